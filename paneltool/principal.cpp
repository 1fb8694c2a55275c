#include "paneltool/principal.h"

#include "paneltool/registro_panel.h"
#include "paneltool/reparar_desinsta.h"
#include "paneltool/reparar_iconos.h"
#include "paneltool/utils.h"

namespace kx::paneltool {

const char kTituloAplicacion[] = "Reparador de KX Zeder av Iraduri";
const char kMensajeNoReparable[] =
    "No se puede realizar el proceso de reparación. Póngase en contacto con el Servicio de Atención al Cliente";
const char kMensajeFinReparacion[] = "El proceso de reparación ha finalizado";
const char kTextoEspere[] = "Por favor, espere un momento mientras se procesan los datos de su equipo...";
const char kErrorInesperado[] = "Se ha producido un error inesperado en la aplicación.";
const char kNombreInstancia[] = "paneltool";

ModoEjecucion LeerModoEjecucion(const std::vector<std::string>& argumentos) {
  ModoEjecucion modo;
  if (argumentos.size() != 1) return modo;
  std::string a = MayusculasAZ(argumentos[0]);
  modo.EsModoSertec = a == "/SERTEC" || a == "-SERTEC";
  modo.EsModoRelease = a == "/RELEASE" || a == "-RELEASE";
  return modo;
}

std::string TextoPanelesDetectados(int n) {
  if (n == 0) return "No se ha detectado ningún KX Zeder av Iraduri";
  if (n == 1) return "KX Zeder av Iraduri detectado: 1";
  return "KX Zeder av Iraduri detectados: " + std::to_string(n);
}

int FormularioPrincipal::DetectarPaneles() {
  numero_ = NumeroPaneles(*e_);
  paneles_.clear();
  for (int i = 0; i < numero_; ++i) {
    uint8_t indice = static_cast<uint8_t>(i);
    paneles_.push_back(RutaCompletaPanel(*e_, indice) + " (" + SufijoPanel(*e_, indice) + ")");
  }
  if (numero_ == 0) paneles_.push_back("<No hay KX Zeder av Iraduri>");
  return numero_;
}

int FormularioPrincipal::IndicePanelActual() const {
  if (!ExisteClave(*e_, kRamaPaneles)) return 0;
  std::string actual = LeerTextoRegistro(*e_, kRamaPaneles, "VAVU_FULLPATH");
  if (actual.empty()) return 0;
  actual = MayusculasAZ(ConBarra(actual) + "VAVU.EXE");
  for (size_t i = 0; i < paneles_.size(); ++i)
    if (MayusculasAZ(paneles_[i]).compare(0, actual.size(), actual) == 0) return static_cast<int>(i);
  return 0;
}

bool FormularioPrincipal::ExisteEnPanel(const char* fichero) const {
  return !e_->CarpetaPanel.empty() && e_->fs->Exists(e_->CarpetaPanel + fichero);
}

void FormularioPrincipal::cboPanelesDetectadosChange(int i) {
  seleccionado_ = i;
  uint8_t indice = static_cast<uint8_t>(i);
  e_->CarpetaPanel = ConBarra(CarpetaDe(RutaCompletaPanel(*e_, indice)));
  e_->IdPanel = SufijoPanel(*e_, indice);
  huerfanas_ = HayRamasHuerfanas(*e_);
  bool o = huerfanas_;
  bool ini = ExisteEnPanel("ICONOS.INI"), ini_p = ExisteEnPanel("ICONOS_P.INI");
  estado_.btnRepararIconosINI = estado_.btnVisualizarIconosINI = ini && !o;
  estado_.btnRepararIconosPINI = estado_.btnVisualizarIconosPINI = ini_p && !o;
  estado_.btnLanzarIconosExe = ExisteEnPanel("ICONOS.EXE") && !o;
  estado_.btnLanzarIconosPExe = ExisteEnPanel("ICONOS_P.EXE") && !o;
  estado_.btnLimpiarRegistro = true;
  estado_.btnRepararDesinstaINI = !o;
  estado_.opciones = !o;
  estado_.btnActualizarValoresEnRegistro = (ini || ini_p) && !o;
  if (!estado_.opciones) Marcar(kRepararVavuInfo, false);
}

void FormularioPrincipal::chkOpcionesClick() {
  bool alguna = (opciones_ & kTodasLasOpciones) != 0;
  estado_.btnRepararIconosINI = ExisteEnPanel("ICONOS.INI") && alguna;
  estado_.btnRepararIconosPINI = ExisteEnPanel("ICONOS_P.INI") && alguna;
}

void FormularioPrincipal::DeshabilitarTodo() { estado_ = EstadoControles(); }

bool FormularioPrincipal::Marcada(int opcion) const { return (opciones_ & opcion) != 0; }

void FormularioPrincipal::Marcar(int opcion, bool marcada) {
  if (marcada)
    opciones_ |= opcion;
  else
    opciones_ &= ~opcion;
}

ResultadoAutomatico EjecucionAutomatica(FormularioPrincipal& form, VentanaEspera* espera, bool release) {
  Entorno& e = form.entorno();
  if (form.DetectarPaneles() == 0) {
    if (e.ventanas) e.ventanas->Informar(kMensajeNoReparable);
    return ResultadoAutomatico::SinPaneles;
  }
  form.cboPanelesDetectadosChange(form.IndicePanelActual());
  if (form.Huerfanas()) {
    if (e.ventanas) e.ventanas->Informar(kMensajeNoReparable);
    return ResultadoAutomatico::RamasHuerfanas;
  }
  if (espera) espera->Mostrar();
  if (e.ventanas) e.ventanas->CursorOcupado(true);
  std::string id = CalcularIdPanel(e, e.CarpetaPanel + "VAVU.EXE");
  std::string iconos = e.CarpetaPanel + "ICONOS.INI";
  std::string iconos_p = e.CarpetaPanel + "ICONOS_P.INI";
  if (e.fs->Exists(iconos)) SincronizarIdPanel(e, iconos, id);
  if (e.fs->Exists(iconos_p)) SincronizarIdPanel(e, iconos_p, id);
  ActualizarFicherosDesinsta(e, id);
  if (e.fs->Exists(iconos)) RepararFicheroIconos(e, iconos, kTodasLasOpciones);
  if (e.fs->Exists(iconos_p)) RepararFicheroIconos(e, iconos_p, kTodasLasOpciones);
  ActualizarValoresRegistro(e);
  if (e.ventanas) e.ventanas->CursorOcupado(false);
  if (espera) espera->Cerrar();
  if (!release && e.ventanas) e.ventanas->Informar(kMensajeFinReparacion);
  return ResultadoAutomatico::Reparado;
}

}  // namespace kx::paneltool
