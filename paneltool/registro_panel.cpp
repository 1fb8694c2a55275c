#include "paneltool/registro_panel.h"

#include "paneltool/reparar_iconos.h"
#include "paneltool/utils.h"

namespace kx::paneltool {

bool EsRamaHuerfana(const Entorno& e, const std::string& clave_aplicacion) {
  std::string aplicacion = clave_aplicacion + "\\Aplicacion01";
  if (!ExisteClave(e, aplicacion)) return false;
  std::string ruta = LeerTextoRegistro(e, aplicacion, "Ruta");
  if (ruta.empty()) return true;
  if (!RaizAccesible(e, ruta)) return false;
  return !e.fs->Exists(ruta);
}

bool HayRamasHuerfanas(const Entorno& e) {
  std::string panel = ClavePanel(e.IdPanel);
  if (!ExisteClave(e, panel)) return false;
  std::vector<std::string> aplicaciones = Subclaves(e, panel);
  if (aplicaciones.empty()) return true;
  for (const std::string& n : aplicaciones) {
    bool huerfana = EsRamaHuerfana(e, panel + "\\" + n);
    e.ProcesarMensajes();
    if (huerfana) return true;
  }
  return false;
}

std::string NombreAplicacion(const std::string& subclave) {
  size_t guion = subclave.find('_');
  return guion == std::string::npos ? subclave : subclave.substr(0, guion);
}

void LimpiarRamasHuerfanas(const Entorno& e) {
  if (e.EsModoSertec && e.log) e.log->Vaciar();
  e.Registrar("Eliminando entradas huérfanas del registro del sistema...");
  std::string panel = ClavePanel(e.IdPanel);
  if (ExisteClave(e, panel)) {
    for (const std::string& n : Subclaves(e, panel)) {
      std::string aplicacion = panel + "\\" + n;
      if (EsRamaHuerfana(e, aplicacion) && e.registro->DeleteTree(aplicacion).ok())
        e.Registrar(NombreAplicacion(n) + " ha sido eliminado del registro", kImagenExito);
      e.ProcesarMensajes();
    }
  }
  e.LineaEnBlanco();
  e.LineaEnBlanco();
  e.Registrar("El registro del sistema ha sido limpiado correctamente", kImagenExito);
}

void ActualizarValoresRegistro(const Entorno& e) {
  std::string iconos = e.CarpetaPanel + "ICONOS.INI";
  std::string iconos_p = e.CarpetaPanel + "ICONOS_P.INI";
  int a = NumeroSecciones(e, iconos, false);
  int b = NumeroSecciones(e, iconos_p, false);
  int c = NumeroSecciones(e, iconos, true);
  int d = NumeroSecciones(e, iconos_p, true);
  std::string panel = ClavePanel(e.IdPanel);
  if (ExisteClave(e, panel)) {
    EscribirEnteroRegistro(e, panel, "SECCIONES", a + b);
    EscribirEnteroRegistro(e, panel, "SECCIONES_ACTUALES", c + d);
  }
  if (e.EsModoSertec && e.ventanas) e.ventanas->Informar("La actualización de valores en el registro ha finalizado");
}

}  // namespace kx::paneltool
