// Benchmark of a full icon-file repair (all six options) on a generated file.
//   paneltool_bench FOLDER APPLICATIONS ACCESSES [profile]
// With "profile" (Windows only) the repair goes through the Windows profile
// functions instead of the INI engine. Prints the time of the repair.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "paneltool/entorno.h"
#include "paneltool/reparar_iconos.h"
#include "platform/file_system.h"
#include "platform/memory_registry.h"

using namespace kx::paneltool;

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: paneltool_bench FOLDER APPLICATIONS ACCESSES [profile]\n");
    return 2;
  }
  std::string carpeta = argv[1];
  int aplicaciones = std::atoi(argv[2]), accesos = std::atoi(argv[3]);
  bool perfil = argc > 4 && std::string(argv[4]) == "profile";
  char sep = carpeta.find('\\') != std::string::npos ? '\\' : '/';
  std::string ruta = carpeta + sep + "ICONOS.INI";
  // Gaps in the numbering where the bounds leave room, so renumbering moves.
  int paso_app = aplicaciones * 2 <= kMaxAplicaciones ? 2 : 1;
  int paso_acc = accesos * 2 <= kMaxAccesos ? 2 : 1;
  std::string texto = "[PANEL]\r\nVAVU_INFO=1A2B3C4D1FC7D73B\r\nSECCIONES=0\r\n";
  for (int i = 0; i < aplicaciones; ++i) {
    int n = 1 + i * paso_app;
    texto += "[PRINCIPAL_" + std::to_string(n) + "]\r\nNOMBRE=APP_" + std::to_string(n) + "\r\nTITULO=Aplicacion\r\n";
    for (int j = 0; j < accesos; ++j) {
      int m = 1 + j * paso_acc;
      texto += "[ACCESO" + std::to_string(m) + "_" + std::to_string(n) + "]\r\nTITULO=Acceso\r\nEXE=PROG.EXE\r\n"
               "ICO=PROG.ICO\r\nID=1A2B3C4D" + std::to_string(10000000 + m) + "\r\nDESINSTA=Roroz OR\\VAVU_OLD\\APP_" +
               std::to_string(n) + "\r\n";
    }
  }
  kx::platform::FileSystem* fs = kx::platform::DefaultFileSystem();
  if (!kx::platform::WriteWholeFile(fs, ruta, texto).ok()) {
    std::fprintf(stderr, "cannot write %s\n", ruta.c_str());
    return 1;
  }
  kx::platform::MemoryRegistry registro;
  Entorno e;
  e.registro = &registro;
  e.fs = fs;
  e.CarpetaPanel = carpeta + sep;
  if (perfil) {
    e.abrir_ini = [](const std::string& r) { return kx::ini::OpenProfileIniFile(r); };
    if (!kx::ini::OpenProfileIniFile(ruta)) {
      std::fprintf(stderr, "the profile functions exist on Windows only\n");
      return 2;
    }
  }
  auto t0 = std::chrono::steady_clock::now();
  RepararFicheroIconos(e, ruta, kTodasLasOpciones);
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("full repair, %s, %d applications x %d accesses (%zu bytes): %.3f s\n",
              perfil ? "profile functions" : "INI engine", aplicaciones, accesos, texto.size(), s);
  return 0;
}
