#include "paneltool/win32/ventanas_win32.h"

#include <commctrl.h>

#include "errors/record/error_record.h"
#include "resources/paneltool_ids.h"

namespace kx::paneltool {
namespace {

bool g_ocupado = false;

// The standard "searching a folder" animation held by shell32.dll.
constexpr int kAviBuscarCarpeta = 150;
constexpr int kAnchoEspere = 373, kAltoEspere = 69;

INT_PTR CALLBACK ProcEspere(HWND hwnd, UINT msg, WPARAM, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_SETCURSOR:
      if (g_ocupado) {
        SetCursor(LoadCursor(nullptr, IDC_WAIT));
        SetWindowLongPtr(hwnd, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      return TRUE;  // only the program closes it
  }
  return FALSE;
}

}  // namespace

bool CursorOcupadoActivo() { return g_ocupado; }

void VentanasWin32::ProcesarMensajes() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

bool VentanasWin32::Preguntar(const std::string& texto) {
  return MessageBoxA(propietario_, texto.c_str(), "Confirmación", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void VentanasWin32::CursorOcupado(bool ocupado) {
  g_ocupado = ocupado;
  SetCursor(LoadCursor(nullptr, ocupado ? IDC_WAIT : IDC_ARROW));
}

void VentanasWin32::Pausa() { MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT); }

void VentanasWin32::Informar(const std::string& texto) {
  MessageBoxA(nullptr, texto.c_str(), "Información", MB_OK | MB_ICONINFORMATION);
}

void VentanaEsperaWin32::Mostrar() {
  if (hwnd_) return;
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_ANIMATE_CLASS};
  InitCommonControlsEx(&icc);
  hwnd_ = CreateDialogParamA(instancia_, MAKEINTRESOURCEA(IDD_ESPERE), nullptr, ProcEspere, 0);
  if (!hwnd_) return;
  SetWindowTextA(hwnd_, kTituloAplicacion);
  // Client area of 373 x 69 (the window has no border), centred on the
  // screen's work area, above every other window.
  RECT area;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  int x = area.left + (area.right - area.left - kAnchoEspere) / 2;
  int y = area.top + (area.bottom - area.top - kAltoEspere) / 2;
  SetWindowPos(hwnd_, HWND_TOPMOST, x, y, kAnchoEspere, kAltoEspere, SWP_NOACTIVATE);
  HWND animacion = GetDlgItem(hwnd_, IDC_ESPERE_ANIMACION);
  SetWindowPos(animacion, nullptr, 8, 10, 80, 50, SWP_NOZORDER);
  HWND texto = GetDlgItem(hwnd_, IDC_ESPERE_TEXTO);
  SetWindowPos(texto, nullptr, 100, 14, kAnchoEspere - 100 - 10, 44, SWP_NOZORDER);
  SetWindowTextA(texto, kTextoEspere);
  HMODULE shell = LoadLibraryA("shell32.dll");
  if (shell) {
    SendMessageA(animacion, ACM_OPENA, reinterpret_cast<WPARAM>(shell),
                 reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(kAviBuscarCarpeta)));
    // Play frames 0 to 29 over and over (to the last frame, when the
    // system's animation is shorter).
    if (!SendMessageA(animacion, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, 29)))
      SendMessageA(animacion, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, 0xFFFF));
  }
  ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
  UpdateWindow(hwnd_);
  VentanasWin32().ProcesarMensajes();
}

void VentanaEsperaWin32::Cerrar() {
  if (!hwnd_) return;
  HWND animacion = GetDlgItem(hwnd_, IDC_ESPERE_ANIMACION);
  if (animacion) SendMessageA(animacion, ACM_STOP, 0, 0);
  DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

void MostrarErrorInesperado(const std::string& mensaje) {
  std::string texto = std::string(kErrorInesperado) + "\r\r" + mensaje;
  MessageBoxA(nullptr, texto.c_str(), "Error", MB_OK | MB_ICONERROR);
}

void TrampaWin32::ErrorInesperado(const std::string& mensaje) {
  g_ocupado = false;
  MostrarErrorInesperado(mensaje);
  throw ProgramExit{1};
}

}  // namespace kx::paneltool
