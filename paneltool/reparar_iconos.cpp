#include "paneltool/reparar_iconos.h"

#include <vector>

#include "paneltool/utils.h"

namespace kx::paneltool {
namespace {

constexpr char kPanel[] = "PANEL";

void Comprobar(const Entorno& e, const platform::Status& s, const ini::IniFile& f) {
  if (!s.ok()) e.Fallo(s.message().empty() ? "Unable to write to " + f.path() : s.message());
}

// "Roroz OR\VAVU_" + id + "\" + nombre: the application's key below Software.
std::string ValorDesinsta(const std::string& id, const std::string& nombre) {
  return "Roroz OR\\VAVU_" + id + "\\" + nombre;
}

void PasoVavuInfo(const Entorno& e, ini::IniFile& f, const std::string& ruta) {
  e.Registrar("Reparando entrada \"VAVU_INFO\" de " + ruta + "...");
  bool cancelado = false;
  if (EtiquetaEnUso(e, e.CarpetaPanel)) {
    if (e.ventanas && e.ventanas->Preguntar(kPreguntaEsperarPanel)) {
      e.ventanas->CursorOcupado(true);
      while (EtiquetaEnUso(e, e.CarpetaPanel)) {
        e.ProcesarMensajes();
        e.ventanas->Pausa();
      }
      e.ventanas->CursorOcupado(false);
    } else {
      cancelado = true;
    }
  }
  if (!cancelado) {
    e.Escribir(f, kPanel, "VAVU_INFO", CalcularIdPanel(e, e.CarpetaPanel + "VAVU.EXE"));
    e.Volcar(f);
    e.Registrar("Entrada \"VAVU_INFO\" reparada con éxito", kImagenExito);
  } else {
    e.Registrar("Reparación de la entrada \"VAVU_INFO\" cancelada por el usuario", kImagenAviso);
  }
  e.LineaEnBlanco();
}

void PasoSecciones(const Entorno& e, ini::IniFile& f, const std::string& ruta) {
  e.Registrar("Actualizando entrada \"SECCIONES\" de " + ruta + "...");
  std::string id = f.ReadString(kPanel, "VAVU_INFO", "");
  int cuenta = 0;
  for (int n = 0; n <= kMaxAplicaciones; ++n) {
    if (f.HasSection(SeccionPrincipal(n))) ++cuenta;
    e.ProcesarMensajes();
  }
  e.Escribir(f, kPanel, "SECCIONES", std::to_string(cuenta));
  e.Volcar(f);
  EscribirEnteroRegistro(e, ClavePanel(id), "SECCIONES", cuenta);
  e.Registrar("Entrada \"SECCIONES\" actualizada con éxito", kImagenExito);
  e.LineaEnBlanco();
}

void PasoSeccionesActuales(const Entorno& e, ini::IniFile& f, const std::string& ruta) {
  e.Registrar("Actualizando valor \"SECCIONES_ACTUALES\" de " + ruta + "...");
  std::string id = f.ReadString(kPanel, "VAVU_INFO", "");
  int cuenta = NumeroSecciones(e, f, true);
  e.Escribir(f, kPanel, "SECCIONES_ACTUALES", std::to_string(cuenta));
  e.Volcar(f);
  EscribirEnteroRegistro(e, ClavePanel(id), "SECCIONES_ACTUALES", cuenta);
  e.Registrar("Actualización de la entrada \"SECCIONES_ACTUALES\" finalizada con éxito", kImagenExito);
  e.LineaEnBlanco();
}

void PasoRenumerarAccesos(const Entorno& e, ini::IniFile& f, const std::string& ruta) {
  e.Registrar("Renumerando entradad \"ACCESOS\" de " + ruta + "...");
  for (int n = 1; n <= kMaxAplicaciones; ++n) {
    if (f.HasSection(SeccionPrincipal(n))) {
      int k = 1;
      for (int m = 1; m <= kMaxAccesos; ++m) {
        if (f.HasSection(SeccionAcceso(m, n))) {
          MoverSeccion(e, f, SeccionAcceso(m, n), SeccionAcceso(k, n));
          ++k;
        }
      }
    }
    e.ProcesarMensajes();
  }
  e.Volcar(f);
  e.Registrar("Renumeración de entrada \"ACCESOS\" finalizada con éxito", kImagenExito);
  e.LineaEnBlanco();
}

void PasoRenumerarPrincipal(const Entorno& e, ini::IniFile& f, const std::string& ruta) {
  e.Registrar("Renumerando entrada \"PRINCIPAL\" de " + ruta + "...");
  int k = 1;
  for (int n = 1; n <= kMaxAplicaciones; ++n) {
    if (f.HasSection(SeccionPrincipal(n))) {
      MoverSeccion(e, f, SeccionPrincipal(n), SeccionPrincipal(k));
      for (int m = 1; m <= kMaxAccesos; ++m)
        if (f.HasSection(SeccionAcceso(m, n))) MoverSeccion(e, f, SeccionAcceso(m, n), SeccionAcceso(m, k));
      ++k;
    }
    e.ProcesarMensajes();
  }
  e.Volcar(f);
  e.Registrar("Entradas \"PRINCIPAL\" renumeradas con éxito", kImagenExito);
  e.LineaEnBlanco();
}

void PasoDesinsta(const Entorno& e, ini::IniFile& f, const std::string& ruta) {
  e.Registrar("Reparando entrada \"DESINSTA\" de " + ruta + "...");
  std::string id = f.ReadString(kPanel, "VAVU_INFO", "");
  for (int n = 1; n <= kMaxAplicaciones; ++n) {
    if (f.HasSection(SeccionPrincipal(n))) {
      std::string nombre = f.ReadString(SeccionPrincipal(n), "NOMBRE", "");
      // A blank name or identifier would make the entry name the whole panel
      // key (or the whole branch), which an uninstaller then deletes.
      if (!Recortar(nombre).empty() && !Recortar(id).empty()) {
        for (int m = 1; m <= kMaxAccesos; ++m) {
          std::string acceso = SeccionAcceso(m, n);
          if (f.HasKey(acceso, "DESINSTA")) e.Escribir(f, acceso, "DESINSTA", ValorDesinsta(id, nombre));
        }
      }
    }
    e.ProcesarMensajes();
  }
  e.Volcar(f);
  e.Registrar("Entradas \"DESINSTA\" renumeradas con éxito", kImagenExito);
  e.LineaEnBlanco();
}

}  // namespace

const char kPreguntaEsperarPanel[] =
    "El panel o alguno de sus programas se está ejecutando y tiene abiertos sus ficheros.\r\n"
    "¿Desea esperar a que terminen para reparar la entrada VAVU_INFO?";

std::string SeccionPrincipal(int n) { return "PRINCIPAL_" + std::to_string(n); }
std::string SeccionAcceso(int m, int n) { return "ACCESO" + std::to_string(m) + "_" + std::to_string(n); }

void MoverSeccion(const Entorno& e, ini::IniFile& f, const std::string& de, const std::string& a) {
  std::vector<ini::IniPair> pares;
  for (ini::IniPair& p : f.ReadSectionPairs(de))
    if (!ini::ReadableValue(p.value).empty()) pares.push_back(std::move(p));
  Comprobar(e, f.EraseSection(de), f);
  if (de != a) Comprobar(e, f.EraseSection(a), f);
  if (!pares.empty()) Comprobar(e, f.WriteSection(a, pares), f);
}

int NumeroSecciones(const Entorno& e, ini::IniFile& f, bool solo_vespra) {
  int cuenta = 0;
  for (int n = 1; n <= kMaxAplicaciones; ++n) {
    std::string seccion = SeccionPrincipal(n);
    if (f.HasSection(seccion)) {
      if (!solo_vespra) {
        ++cuenta;
      } else {
        std::string nombre = f.ReadString(seccion, "NOMBRE", "");
        if (!Recortar(nombre).empty()) {
          std::string clave = ClavePanel(e.IdPanel) + "\\" + nombre + "\\Aplicacion01";
          if (ExisteClave(e, clave)) {
            std::string programa = LeerTextoRegistro(e, clave, "Ruta");
            if (!programa.empty() && e.fs->Exists(programa) && EsVersionVespra(e, e.CarpetaPanel, programa)) ++cuenta;
          }
        }
      }
    }
    e.ProcesarMensajes();
  }
  return cuenta;
}

int NumeroSecciones(const Entorno& e, const std::string& ruta, bool solo_vespra) {
  if (!e.fs->Exists(ruta)) return 0;
  std::unique_ptr<ini::IniFile> f = e.AbrirIni(ruta);
  return NumeroSecciones(e, *f, solo_vespra);
}

void RepararFicheroIconos(const Entorno& e, const std::string& ruta, int opciones) {
  if (e.EsModoSertec && e.log) e.log->Vaciar();
  std::unique_ptr<ini::IniFile> f = e.AbrirIni(ruta);
  if (opciones & kRepararVavuInfo) PasoVavuInfo(e, *f, ruta);
  if (opciones & kActualizarSecciones) PasoSecciones(e, *f, ruta);
  if (opciones & kActualizarSeccionesActuales) PasoSeccionesActuales(e, *f, ruta);
  if (opciones & kRenumerarAcceso) PasoRenumerarAccesos(e, *f, ruta);
  if (opciones & kRenumerarPrincipal) PasoRenumerarPrincipal(e, *f, ruta);
  if (opciones & kRepararDesinsta) PasoDesinsta(e, *f, ruta);
  e.LineaEnBlanco();
  e.Registrar("El proceso de reparación del fichero " + ruta + " ha finalizado.", kImagenExito);
}

void SincronizarIdPanel(const Entorno& e, const std::string& ruta, const std::string& id) {
  std::unique_ptr<ini::IniFile> f = e.AbrirIni(ruta);
  e.Escribir(*f, kPanel, "VAVU_INFO", id);
  bool id_valido = !Recortar(id).empty();
  for (int n = 1; n <= kMaxAplicaciones; ++n) {
    if (f->HasSection(SeccionPrincipal(n))) {
      for (int m = 1; m <= kMaxAccesos; ++m) {
        std::string acceso = SeccionAcceso(m, n);
        if (f->HasKey(acceso, "ID")) {
          std::string v = f->ReadString(acceso, "ID", "");
          std::string propio = v.size() > 8 ? v.substr(8, 8) : std::string();
          e.Escribir(*f, acceso, "ID", id.substr(0, 8) + propio);
        }
        if (f->HasKey(acceso, "DESINSTA")) {
          std::string v = f->ReadString(acceso, "DESINSTA", "");
          if (!v.empty()) {
            for (int i = 0; i < 2; ++i) {
              size_t barra = v.find('\\');
              if (barra != std::string::npos) v.erase(0, barra + 1);
            }
            // Never point the entry at the panel key itself.
            if (id_valido && !Recortar(v).empty()) e.Escribir(*f, acceso, "DESINSTA", ValorDesinsta(id, v));
          }
        }
      }
    }
    e.ProcesarMensajes();
  }
  e.Volcar(*f);
}

}  // namespace kx::paneltool
