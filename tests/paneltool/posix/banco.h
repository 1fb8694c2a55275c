// A test bench for the panel tool's routines (native: drive C: maps onto a
// scratch folder and the time zone is fixed): an in-memory registry, a scratch
// folder that stands for drive C:, and fakes of the log, the windows, the
// trap and the program starter that record what they are asked.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "errors/record/error_record.h"
#include "paneltool/entorno.h"
#include "paneltool/ini/ini_file.h"
#include "platform/file_system.h"
#include "platform/memory_registry.h"
#include "tests/support/paths.h"

namespace kx::paneltool::test {

struct LineaLog {
  std::string texto;
  int imagen;
  bool operator==(const LineaLog&) const = default;
};

class LogFalso : public Log {
 public:
  void Vaciar() override {
    lineas.clear();
    ++vaciados;
  }
  void AnadirLineaLog(const std::string& texto, int imagen) override {
    bool blanco = texto.find_first_not_of(' ') == std::string::npos;
    lineas.push_back({blanco ? std::string() : texto, blanco ? -1 : imagen});
  }
  std::vector<LineaLog> lineas;
  int vaciados = 0;
};

class VentanasFalsas : public Ventanas {
 public:
  void ProcesarMensajes() override {
    ++mensajes_procesados;
    if (al_procesar) al_procesar();
  }
  bool Preguntar(const std::string& texto) override {
    preguntas.push_back(texto);
    return respuesta;
  }
  void CursorOcupado(bool ocupado) override { cursor.push_back(ocupado); }
  void Pausa() override {
    ++pausas;
    if (al_pausar) al_pausar();
  }
  void Informar(const std::string& texto) override { avisos.push_back(texto); }

  int mensajes_procesados = 0;
  int pausas = 0;
  bool respuesta = true;
  std::vector<std::string> preguntas, avisos;
  std::vector<bool> cursor;
  std::function<void()> al_procesar, al_pausar;
};

class TrampaFalsa : public Trampa {
 public:
  void ErrorInesperado(const std::string& m) override {
    mensajes.push_back(m);
    throw ProgramExit{1};
  }
  std::vector<std::string> mensajes;
};

class ProgramasFalsos : public Programas {
 public:
  bool EjecutarYEsperarProceso(const std::string& linea, const std::string& carpeta) override {
    ejecutados.push_back(linea + "|" + carpeta);
    return true;
  }
  void AbrirConShell(const std::string& fichero, const std::string& carpeta) override {
    abiertos.push_back(fichero + "|" + carpeta);
  }
  std::vector<std::string> ejecutados, abiertos;
};

// FILETIME of a UTC date and time.
inline platform::FileTime TiempoUtc(int anio, int mes, int dia, int hora, int minuto) {
  struct tm tm = {};
  tm.tm_year = anio - 1900;
  tm.tm_mon = mes - 1;
  tm.tm_mday = dia;
  tm.tm_hour = hora;
  tm.tm_min = minuto;
  int64_t unix_s = static_cast<int64_t>(timegm(&tm));
  return (unix_s + 11644473600LL) * 10000000LL;
}

class Banco : public ::testing::Test {
 protected:
  void SetUp() override {
    // Identifiers use local time: a fixed zone one hour east of UTC, no DST.
    setenv("TZ", "CET-1", 1);
    tzset();
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string nombre = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : nombre)
      if (c == '/') c = '_';
    raiz = kx::test::ScratchFolder("paneltool/" + nombre);
    setenv("UPDATER_DRIVE_C", raiz.c_str(), 1);
    unsetenv("UPDATER_DRIVE_Q");
    fs = platform::DefaultFileSystem();
    e.registro = &registro;
    e.fs = fs;
    e.log = &log;
    e.ventanas = &ventanas;
    e.trampa = &trampa;
    e.programas = &programas;
    e.EsModoSertec = true;
  }

  void Registro(const std::string& texto) {
    platform::Status s = registro.LoadRegText("Windows Registry Editor Version 5.00\r\n\r\n" + texto);
    ASSERT_TRUE(s.ok()) << s.message();
  }
  // Path of drive C: (the scratch folder) with backslashes.
  void Escribir(const std::string& ruta, const std::string& contenido) {
    std::string carpeta = ruta.substr(0, ruta.find_last_of('\\'));
    HacerCarpetas(carpeta);
    platform::Status s = platform::WriteWholeFile(fs, ruta, contenido);
    ASSERT_TRUE(s.ok()) << s.message();
  }
  std::string Leer(const std::string& ruta) {
    std::string contenido;
    platform::ReadWholeFile(fs, ruta, &contenido);
    return contenido;
  }
  void HacerCarpetas(const std::string& carpeta) {
    size_t p = 3;
    while (p != std::string::npos && p <= carpeta.size()) {
      size_t q = carpeta.find('\\', p);
      std::string parte = q == std::string::npos ? carpeta : carpeta.substr(0, q);
      if (!fs->Exists(parte)) fs->MakeFolder(parte);
      if (q == std::string::npos) break;
      p = q + 1;
    }
  }
  void Fecha(const std::string& ruta, platform::FileTime t) {
    platform::Status s = fs->SetTimes(ruta, t, t);
    ASSERT_TRUE(s.ok()) << s.message();
  }
  // One value of an INI file as the engine reads it.
  std::string Ini(const std::string& ruta, const std::string& seccion, const std::string& clave) {
    std::unique_ptr<ini::IniFile> f;
    EXPECT_TRUE(ini::OpenIniFile(fs, ruta, &f).ok());
    return f ? f->ReadString(seccion, clave, "<falta>") : std::string("<sin fichero>");
  }
  std::vector<std::string> Secciones(const std::string& ruta) {
    std::unique_ptr<ini::IniFile> f;
    EXPECT_TRUE(ini::OpenIniFile(fs, ruta, &f).ok());
    return f ? f->ReadSectionNames() : std::vector<std::string>();
  }
  std::vector<ini::IniPair> Pares(const std::string& ruta, const std::string& seccion) {
    std::unique_ptr<ini::IniFile> f;
    EXPECT_TRUE(ini::OpenIniFile(fs, ruta, &f).ok());
    return f ? f->ReadSectionPairs(seccion) : std::vector<ini::IniPair>();
  }
  uint32_t Dword(const std::string& clave, const std::string& nombre) {
    uint32_t v = 0xFFFFFFFF;
    if (!registro.ReadDword(clave, nombre, &v).ok()) return 0xFFFFFFFF;
    return v;
  }
  std::vector<std::string> Textos() const {
    std::vector<std::string> t;
    for (const LineaLog& l : log.lineas) t.push_back(l.texto);
    return t;
  }

  std::string raiz;
  platform::FileSystem* fs = nullptr;
  platform::MemoryRegistry registro;
  LogFalso log;
  VentanasFalsas ventanas;
  TrampaFalsa trampa;
  ProgramasFalsos programas;
  Entorno e;
};

}  // namespace kx::paneltool::test
