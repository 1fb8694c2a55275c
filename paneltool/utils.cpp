#include "paneltool/utils.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/local_time.h"

namespace kx::paneltool {
namespace {

constexpr char kMarca[] = "_GRUPO_KX_";
constexpr size_t kLongMarca = 10;
constexpr size_t kLongSello = 52;  // marker, 32 identifier bytes, marker
constexpr size_t kBloque = 4096;

bool EsBlanco(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// The VAVU_ subkeys of the panel branch, in enumeration order.
std::vector<std::string> ClavesPanel(const Entorno& e) {
  std::vector<std::string> paneles;
  for (const std::string& n : Subclaves(e, kRamaPaneles))
    if (n.compare(0, 5, "VAVU_") == 0) paneles.push_back(n);
  if (paneles.size() > 255) paneles.resize(255);
  return paneles;
}

}  // namespace

std::string Recortar(const std::string& texto) {
  size_t a = 0, b = texto.size();
  while (a < b && EsBlanco(texto[a])) ++a;
  while (b > a && EsBlanco(texto[b - 1])) --b;
  return texto.substr(a, b - a);
}

std::string MayusculasAZ(std::string texto) {
  for (char& c : texto)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return texto;
}

std::string CarpetaDe(const std::string& ruta) {
  size_t p = ruta.find_last_of("\\:");
  if (p == std::string::npos) return std::string();
  if (ruta[p] == ':') return ruta.substr(0, p + 1);
  // Keep the backslash of a drive root ("C:\").
  if (p == 2 && ruta[1] == ':') return ruta.substr(0, 3);
  return ruta.substr(0, p);
}

std::string ConBarra(const std::string& carpeta) {
  if (carpeta.empty() || carpeta.back() == '\\') return carpeta;
  return carpeta + "\\";
}

bool RaizAccesible(const Entorno& e, const std::string& ruta) {
  std::string raiz;
  if (ruta.size() >= 2 && ruta[1] == ':' &&
      ((ruta[0] >= 'A' && ruta[0] <= 'Z') || (ruta[0] >= 'a' && ruta[0] <= 'z'))) {
    raiz = ruta.substr(0, 2) + "\\";
  } else if (ruta.size() > 2 && ruta[0] == '\\' && ruta[1] == '\\') {
    // \\server\share\ : the share is the root.
    size_t servidor = ruta.find('\\', 2);
    if (servidor == std::string::npos || servidor == 2) return false;
    size_t recurso = ruta.find('\\', servidor + 1);
    raiz = (recurso == std::string::npos ? ruta : ruta.substr(0, recurso)) + "\\";
    if (raiz.size() <= servidor + 2) return false;  // "\\server\" names no share
  } else {
    return true;
  }
  return e.fs->Exists(raiz);
}

uint8_t NumeroPaneles(const Entorno& e) { return static_cast<uint8_t>(ClavesPanel(e).size()); }

std::string SufijoPanel(const Entorno& e, uint8_t i) {
  std::vector<std::string> paneles = ClavesPanel(e);
  if (i >= paneles.size()) return std::string();
  return paneles[i].substr(5);
}

std::string RutaCompletaPanel(const Entorno& e, uint8_t i) {
  std::vector<std::string> paneles = ClavesPanel(e);
  if (i >= paneles.size()) return std::string();
  return LeerTextoRegistro(e, kRamaPaneles + paneles[i], "VAVU_FULLPATH");
}

FechaHora FechaCreacion(const Entorno& e, const std::string& ruta) {
  platform::FileInfo info;
  if (ruta.empty() || !e.fs->Stat(ruta, &info).ok() || info.is_folder) return FechaHora();
  platform::LocalTime t;
  if (!platform::ToLocalTime(info.creation, &t)) return FechaHora();
  FechaHora f;
  f.anio = t.year;
  f.mes = t.month;
  f.dia_semana = t.day_of_week;
  f.dia = t.day;
  f.hora = t.hour;
  f.minuto = t.minute;
  f.segundo = t.second;
  f.milisegundo = t.millisecond;
  return f;
}

std::string FormatoIdPanel(const std::string& etiqueta, const FechaHora& f) {
  char fecha[32];
  std::snprintf(fecha, sizeof fecha, "%.2X%.1X%.3X%.2X", static_cast<unsigned>(f.dia), static_cast<unsigned>(f.mes),
                static_cast<unsigned>(f.anio), static_cast<unsigned>(f.minuto));
  return etiqueta + fecha;
}

std::string CalcularIdPanel(const Entorno& e, const std::string& ruta_vavu) {
  return FormatoIdPanel(EtiquetaInstalacion(e, CarpetaDe(ruta_vavu)), FechaCreacion(e, ruta_vavu));
}

std::string EtiquetaInstalacion(const Entorno& e, const std::string& carpeta) {
  std::unique_ptr<platform::File> f;
  if (!e.fs->Open(ConBarra(carpeta) + kFicheroEtiqueta, platform::Access::Read, platform::Share::Shared,
                  platform::Disposition::OpenExisting, &f)
           .ok())
    return std::string();
  char buf[256];
  size_t got = 0;
  if (!f->ReadAt(0, buf, sizeof buf, &got).ok()) return std::string();
  std::string linea(buf, got);
  size_t fin = linea.find_first_of("\r\n");
  if (fin != std::string::npos) linea.resize(fin);
  linea = Recortar(linea);
  if (linea.size() != 8) return std::string();
  for (char c : linea) {
    bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (!ok) return std::string();
  }
  return linea;
}

bool EtiquetaEnUso(const Entorno& e, const std::string& carpeta) {
  std::unique_ptr<platform::File> f;
  platform::Status s = e.fs->Open(ConBarra(carpeta) + kFicheroEtiqueta, platform::Access::Read,
                                  platform::Share::Exclusive, platform::Disposition::OpenExisting, &f);
  return s.code() == platform::kErrSharingViolation || s.code() == platform::kErrLockViolation;
}

std::string BuscarSello(platform::FileSystem* fs, const std::string& ruta, platform::Share share, bool* ok) {
  *ok = false;
  std::unique_ptr<platform::File> f;
  if (!fs->Open(ruta, platform::Access::Read, share, platform::Disposition::OpenExisting, &f).ok())
    return std::string();
  // buf holds the file's bytes from offset `base`; markers are searched from
  // `desde` on, so a marker across two blocks is found like any other.
  std::string buf;
  uint64_t base = 0;
  size_t desde = 0;
  bool fin = false;
  auto leer_bloque = [&]() {
    char bloque[kBloque];
    size_t got = 0;
    if (!f->ReadAt(base + buf.size(), bloque, kBloque, &got).ok()) return false;
    buf.append(bloque, got);
    if (got < kBloque) fin = true;
    return true;
  };
  for (;;) {
    size_t p = buf.find(kMarca, desde, kLongMarca);
    if (p == std::string::npos) {
      if (fin) break;
      // Keep the last bytes that may begin a marker.
      size_t guardar = buf.size() < kLongMarca - 1 ? buf.size() : kLongMarca - 1;
      if (desde > buf.size() - guardar) guardar = buf.size() - desde;
      base += buf.size() - guardar;
      buf.erase(0, buf.size() - guardar);
      desde = 0;
      if (!leer_bloque()) return std::string();
      continue;
    }
    while (buf.size() < p + kLongSello && !fin)
      if (!leer_bloque()) return std::string();
    if (buf.size() >= p + kLongSello && buf.compare(p + 42, kLongMarca, kMarca, kLongMarca) == 0) {
      std::string sello = buf.substr(p + kLongMarca, 32);
      size_t cero = sello.find('\0');
      if (cero != std::string::npos) sello.resize(cero);
      std::string limpio;
      for (char c : sello) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7F) limpio += c;
      }
      *ok = true;
      return limpio;
    }
    // Not a complete stamp: the next marker may begin inside these bytes.
    desde = p + 1;
  }
  *ok = true;
  return std::string();
}

std::string LeerSelloAplicacion(const Entorno& e, const std::string& ruta) {
  if (ruta.empty() || !e.fs->Exists(ruta)) return std::string();
  bool ok = false;
  std::string sello = BuscarSello(e.fs, ruta, platform::Share::Exclusive, &ok);
  if (!ok) e.Fallo("No se puede abrir el fichero " + ruta);
  return sello;
}

bool EsVersionVespra(const Entorno& e, const std::string& /*carpeta_panel*/, const std::string& ruta) {
  bool ok = false;
  std::string sello = BuscarSello(e.fs, ruta, platform::Share::Shared, &ok);
  return ok && !sello.empty();
}

void PartirReferenciaIcono(const std::string& referencia, std::string* ruta, int* indice) {
  size_t coma = referencia.find(',');
  *indice = 0;
  *ruta = referencia.substr(0, coma);
  if (coma == std::string::npos) return;
  std::string numero = Recortar(referencia.substr(coma + 1));
  size_t i = 0;
  bool negativo = false;
  if (i < numero.size() && (numero[i] == '+' || numero[i] == '-')) negativo = numero[i++] == '-';
  if (i == numero.size()) return;
  long long n = 0;
  for (; i < numero.size(); ++i) {
    if (numero[i] < '0' || numero[i] > '9') return;
    if (n < 100000000) n = n * 10 + (numero[i] - '0');
  }
  if (negativo || n <= 0) return;  // icon 0 or less: the first icon
  *indice = static_cast<int>(n - 1);
}

int AnadirIcono(const std::string& referencia, ListaImagenes* lista) {
  std::string ruta;
  int indice = 0;
  PartirReferenciaIcono(referencia, &ruta, &indice);
  if (ruta.empty() || !lista) return -1;
  return lista->AnadirIconoDeFichero(ruta, indice);
}

std::string FormatearClave(const std::string& texto) {
  std::string t = Recortar(texto);
  if (t.size() != 30) return t;
  return t.substr(0, 5) + "-" + t.substr(5, 10) + "-" + t.substr(15, 5) + "-" + t.substr(20, 5) + "-" +
         t.substr(25, 5);
}

void AbrirDocumento(const Entorno& e, const std::string& fichero, const std::string& carpeta) {
  if (e.programas) e.programas->AbrirConShell(fichero, carpeta);
}

std::string LineaDeOrdenes(const std::string& orden) {
  std::string linea = Recortar(orden);
  if (!linea.empty() && linea.front() != '"' && linea.find(' ') != std::string::npos) linea = "\"" + linea + "\"";
  return linea;
}

void EjecutarYEsperar(const Entorno& e, const std::string& orden, const std::string& carpeta) {
  std::string linea = LineaDeOrdenes(orden);
  if (linea.empty() || !e.programas) return;
  e.programas->EjecutarYEsperarProceso(linea, carpeta);
}

}  // namespace kx::paneltool
