// The Win32 windows of the automatic run: the message pump, the message
// boxes, the busy cursor, the wait window and the trap for unexpected errors.
#pragma once

#include <windows.h>

#include <string>

#include "paneltool/entorno.h"
#include "paneltool/principal.h"

namespace kx::paneltool {

class VentanasWin32 : public Ventanas {
 public:
  // `propietario`: the window that owns the questions (the main form); null
  // in the automatic run.
  explicit VentanasWin32(HWND propietario = nullptr) : propietario_(propietario) {}
  void ProcesarMensajes() override;
  bool Preguntar(const std::string& texto) override;
  void CursorOcupado(bool ocupado) override;
  void Pausa() override;
  void Informar(const std::string& texto) override;

 private:
  HWND propietario_;
};

// frmEspere: the wait window, created from the dialog resource IDD_ESPERE as
// a modeless window.
class VentanaEsperaWin32 : public VentanaEspera {
 public:
  explicit VentanaEsperaWin32(HINSTANCE instancia) : instancia_(instancia) {}
  ~VentanaEsperaWin32() override { Cerrar(); }
  void Mostrar() override;
  void Cerrar() override;
  HWND hwnd() const { return hwnd_; }

 private:
  HINSTANCE instancia_;
  HWND hwnd_ = nullptr;
};

// Shows "Se ha producido un error inesperado en la aplicación." with the
// failure text (caption "Error", error icon, no owner) and ends the program.
class TrampaWin32 : public Trampa {
 public:
  void ErrorInesperado(const std::string& mensaje) override;
};

// The trap's box, without ending anything: for main's last-resort handlers.
void MostrarErrorInesperado(const std::string& mensaje);

// The busy cursor is shown on every window of the program while this is true.
bool CursorOcupadoActivo();

}  // namespace kx::paneltool
