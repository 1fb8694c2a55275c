// The main form's logic without its windows: run modes, the list of detected
// panels, the choice of the current panel, the selected panel's state and the
// enabled states of the controls, and the automatic run. The Win32 forms
// show this state; the native tests check it directly.
#pragma once

#include <string>
#include <vector>

#include "paneltool/entorno.h"

namespace kx::paneltool {

// Run mode from the command line's arguments (without the program name).
struct ModoEjecucion {
  bool EsModoSertec = false;   // exactly one argument, /SERTEC or -SERTEC
  bool EsModoRelease = false;  // exactly one argument, /RELEASE or -RELEASE
};
ModoEjecucion LeerModoEjecucion(const std::vector<std::string>& argumentos);

// Texts of the program.
extern const char kTituloAplicacion[];       // "Reparador de KX Zeder av Iraduri"
extern const char kMensajeNoReparable[];     // refusal of the automatic run
extern const char kMensajeFinReparacion[];   // end of the automatic run
extern const char kTextoEspere[];            // text of the wait window
extern const char kErrorInesperado[];        // first line of the trap's box
extern const char kNombreInstancia[];        // mutex and registered message: "paneltool"

// The count text of the detected panels.
std::string TextoPanelesDetectados(int n);

// Enabled state of the main form's controls.
struct EstadoControles {
  bool btnRepararIconosINI = false, btnVisualizarIconosINI = false;
  bool btnRepararIconosPINI = false, btnVisualizarIconosPINI = false;
  bool btnLanzarIconosExe = false, btnLanzarIconosPExe = false;
  bool btnLimpiarRegistro = false, btnRepararDesinstaINI = false;
  bool btnActualizarValoresEnRegistro = false;
  bool opciones = false;  // grpboxOpcionesReparacion and its six check boxes
  friend bool operator==(const EstadoControles&, const EstadoControles&) = default;
};

// The main form's data. The selected panel's folder and identifier live in
// the Entorno it works on (CarpetaPanel, IdPanel), which the repairs read.
class FormularioPrincipal {
 public:
  explicit FormularioPrincipal(Entorno* e) : e_(e) {}

  // Detects the panels and fills the list (FormCreate's steps 3 and 4).
  // Returns the number of panels.
  int DetectarPaneles();
  const std::vector<std::string>& Paneles() const { return paneles_; }  // the list's items
  std::string TextoCuenta() const { return TextoPanelesDetectados(numero_); }
  int NumeroDePaneles() const { return numero_; }

  // Index of the list item of the machine's current panel (VAVU_FULLPATH of
  // the branch); 0 when it can't be told.
  int IndicePanelActual() const;

  // The selection handler: sets CarpetaPanel and IdPanel for item i, runs the
  // orphan test and sets the enabled states.
  void cboPanelesDetectadosChange(int i);
  // After a check box changes: the two icon-file repair buttons need their
  // file and at least one checked option.
  void chkOpcionesClick();
  // Disables everything (no panel detected).
  void DeshabilitarTodo();

  // The six option boxes, by option bit (1 ... 32).
  bool Marcada(int opcion) const;
  void Marcar(int opcion, bool marcada);
  int OpcionesMarcadas() const { return opciones_; }

  int Seleccionado() const { return seleccionado_; }
  bool Huerfanas() const { return huerfanas_; }
  const EstadoControles& Estado() const { return estado_; }
  Entorno& entorno() const { return *e_; }

 private:
  bool ExisteEnPanel(const char* fichero) const;

  Entorno* e_;
  std::vector<std::string> paneles_;
  int numero_ = 0;
  int seleccionado_ = -1;
  bool huerfanas_ = false;
  int opciones_ = 0;
  EstadoControles estado_;
};

// The wait window of the automatic run.
class VentanaEspera {
 public:
  virtual ~VentanaEspera() = default;
  // Shows it (no border, on top, centred, the find-folder animation running).
  virtual void Mostrar() = 0;
  virtual void Cerrar() = 0;
};

// What the automatic run did, for the caller and the tests.
enum class ResultadoAutomatico { SinPaneles, RamasHuerfanas, Reparado };

// The automatic run (the main form's start-up without the technician switch):
// refuses with kMensajeNoReparable when no panel is detected or the current
// one has orphan branches; otherwise, behind the wait window with the busy
// cursor, writes the computed identifier into both icon files and the
// uninstall files, repairs both icon files with every option and updates the
// registry values; then, unless `release`, tells that the repair has ended.
ResultadoAutomatico EjecucionAutomatica(FormularioPrincipal& form, VentanaEspera* espera, bool release);

}  // namespace kx::paneltool
