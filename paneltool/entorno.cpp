#include "paneltool/entorno.h"

#include "errors/record/error_record.h"

namespace kx::paneltool {

void Entorno::ProcesarMensajes() const {
  if (ventanas) ventanas->ProcesarMensajes();
}

void Entorno::Registrar(const std::string& texto, int imagen) const {
  if (EsModoSertec && log) log->AnadirLineaLog(texto, imagen);
}

void Entorno::Fallo(const std::string& mensaje) const {
  if (trampa) trampa->ErrorInesperado(mensaje);
  // A trap that returns still ends the run here.
  throw ProgramExit{1};
}

std::unique_ptr<ini::IniFile> Entorno::AbrirIni(const std::string& ruta) const {
  if (abrir_ini) {
    std::unique_ptr<ini::IniFile> f = abrir_ini(ruta);
    if (!f) Fallo("No se puede abrir el fichero " + ruta);
    return f;
  }
  std::unique_ptr<ini::IniFile> f;
  platform::Status s = ini::OpenIniFile(fs, ruta, &f);
  if (!s.ok() || !f) Fallo(s.message().empty() ? "No se puede abrir el fichero " + ruta : s.message());
  return f;
}

void Entorno::Volcar(ini::IniFile& fichero) const {
  platform::Status s = fichero.Flush();
  if (!s.ok()) Fallo(s.message().empty() ? "Unable to write to " + fichero.path() : s.message());
}

void Entorno::Escribir(ini::IniFile& fichero, const std::string& seccion, const std::string& clave,
                       const std::string& valor) const {
  platform::Status s = fichero.WriteString(seccion, clave, valor);
  if (!s.ok()) Fallo(s.message().empty() ? "Unable to write to " + fichero.path() : s.message());
}

std::string ClavePanel(const std::string& id) { return std::string(kRamaPaneles) + "VAVU_" + id; }

bool ExisteClave(const Entorno& e, const std::string& ruta) { return e.registro && e.registro->OpenKey(ruta).ok(); }

std::vector<std::string> Subclaves(const Entorno& e, const std::string& ruta) {
  std::vector<std::string> nombres;
  if (!e.registro || !e.registro->ListSubkeys(ruta, &nombres).ok()) nombres.clear();
  return nombres;
}

std::string LeerTextoRegistro(const Entorno& e, const std::string& ruta, const std::string& nombre) {
  std::string valor;
  if (!e.registro) return valor;
  platform::Status s = e.registro->ReadString(ruta, nombre, &valor);
  if (s.ok()) return valor;
  if (platform::IsMissing(s)) return std::string();
  e.Fallo(s.message().empty() ? "No se puede leer el valor " + nombre + " de " + ruta : s.message());
}

bool EscribirEnteroRegistro(const Entorno& e, const std::string& ruta, const std::string& nombre, int32_t valor) {
  if (!ExisteClave(e, ruta)) return false;
  platform::Status s = e.registro->WriteDword(ruta, nombre, static_cast<uint32_t>(valor));
  if (s.ok()) return true;
  if (platform::IsMissing(s)) return false;
  e.Fallo(s.message().empty() ? "No se puede escribir el valor " + nombre + " en " + ruta : s.message());
}

}  // namespace kx::paneltool
