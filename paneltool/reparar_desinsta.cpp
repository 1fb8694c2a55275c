#include "paneltool/reparar_desinsta.h"

#include "paneltool/utils.h"

namespace kx::paneltool {
namespace {

// Steps shared by the two repairs. Applications with an empty Ruta, a blank
// subkey name or a blank identifier are skipped: their entries would name the
// panel key (or the whole branch), and \DESINSTA.INI at a drive root is no
// application's file.
void RecorrerAplicaciones(const Entorno& e, const std::string& id, bool con_sello) {
  std::string panel = ClavePanel(id);
  if (Recortar(id).empty() || !ExisteClave(e, panel)) return;
  for (const std::string& n : Subclaves(e, panel)) {
    std::string aplicacion = panel + "\\" + n + "\\Aplicacion01";
    if (!Recortar(n).empty() && ExisteClave(e, aplicacion)) {
      std::string ruta = LeerTextoRegistro(e, aplicacion, "Ruta");
      std::string desinsta = FicheroDesinsta(ruta);
      if (!desinsta.empty() && e.fs->Exists(desinsta)) {
        std::unique_ptr<ini::IniFile> f = e.AbrirIni(desinsta);
        e.Escribir(*f, "DESINSTALAR", "VAVU_REG_KEY", "Roroz OR\\VAVU_" + id);
        e.Escribir(*f, "DESINSTALAR", "REG_KEY", "Roroz OR\\VAVU_" + id + "\\" + n);
        if (con_sello) e.Escribir(*f, "DESINSTALAR", "APP_ID", LeerSelloAplicacion(e, ruta));
        e.Volcar(*f);
        if (con_sello) e.Registrar(desinsta + " reparado correctamente", kImagenExito);
      }
    }
    e.ProcesarMensajes();
  }
}

}  // namespace

std::string FicheroDesinsta(const std::string& ruta) {
  size_t barra = ruta.find_last_of('\\');
  if (barra == std::string::npos || barra == 0) return std::string();
  return ruta.substr(0, barra) + "\\DESINSTA.INI";
}

void RepararFicherosDesinsta(const Entorno& e) {
  if (e.EsModoSertec && e.log) e.log->Vaciar();
  e.Registrar("Reparando ficheros \"DESINSTA.INI\"...");
  e.LineaEnBlanco();
  std::string id = CalcularIdPanel(e, e.CarpetaPanel + "VAVU.EXE");
  RecorrerAplicaciones(e, id, true);
  e.LineaEnBlanco();
  e.LineaEnBlanco();
  e.Registrar("Todos los ficheros \"DESINSTA.INI\" han sido reparados", kImagenExito);
}

void ActualizarFicherosDesinsta(const Entorno& e, const std::string& id) { RecorrerAplicaciones(e, id, false); }

}  // namespace kx::paneltool
