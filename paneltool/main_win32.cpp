// Entry of paneltool.exe: the single-instance guard, the run mode and the
// automatic repair of the machine's current panel.
#include <windows.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "errors/record/error_record.h"
#include "paneltool/entorno.h"
#include "paneltool/principal.h"
#include "paneltool/programas_sistema.h"
#include "paneltool/win32/ventanas_win32.h"
#include "platform/command_line.h"
#include "platform/file_system.h"
#include "platform/mutex.h"
#include "platform/registry.h"

namespace {

using namespace kx::paneltool;

// A crash (access violation and the like) shows the trap's box too and ends
// the program.
LONG WINAPI FiltroExcepciones(EXCEPTION_POINTERS* info) {
  char texto[128];
  std::snprintf(texto, sizeof texto, "Excepción %08lX en la dirección %p.",
                static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
                info->ExceptionRecord->ExceptionAddress);
  MostrarErrorInesperado(texto);
  ExitProcess(1);
  return EXCEPTION_EXECUTE_HANDLER;
}

// Another instance runs: tell every top-level window, waiting for each (but
// not forever for one that hangs), and end.
void AvisarOtraInstancia() {
  UINT mensaje = RegisterWindowMessageA(kNombreInstancia);
  if (mensaje == 0) return;
  DWORD_PTR resultado = 0;
  SendMessageTimeoutA(HWND_BROADCAST, mensaje, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, 2000, &resultado);
}

int Ejecutar(HINSTANCE instancia) {
  std::vector<std::string> palabras = kx::platform::SplitCommandLine(GetCommandLineA());
  std::vector<std::string> argumentos;
  if (palabras.size() > 1) argumentos.assign(palabras.begin() + 1, palabras.end());
  ModoEjecucion modo = LeerModoEjecucion(argumentos);

  VentanasWin32 ventanas;
  TrampaWin32 trampa;
  ProgramasSistema programas;
  Entorno e;
  e.registro = kx::platform::SystemRegistry();
  e.fs = kx::platform::DefaultFileSystem();
  e.ventanas = &ventanas;
  e.trampa = &trampa;
  e.programas = &programas;
  e.EsModoSertec = modo.EsModoSertec;

  if (modo.EsModoSertec) {
    // The technician's forms (access code, main form, log, viewer) are not
    // part of this program yet.
    MessageBoxA(nullptr, "El modo de servicio técnico no está disponible en esta versión del programa.",
                "Información", MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  FormularioPrincipal form(&e);
  VentanaEsperaWin32 espera(instancia);
  EjecucionAutomatica(form, &espera, modo.EsModoRelease);
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instancia, HINSTANCE, LPSTR, int) {
  SetUnhandledExceptionFilter(FiltroExcepciones);
  std::unique_ptr<kx::platform::NamedMutex> mutex;
  kx::platform::Status s = kx::platform::OpenNamedMutex(kNombreInstancia, &mutex);
  if (s.ok() && mutex->already_existed()) {
    AvisarOtraInstancia();
    return 0;
  }
  try {
    return Ejecutar(instancia);
  } catch (const kx::ProgramExit& fin) {
    return fin.code;
  } catch (const std::exception& ex) {
    MostrarErrorInesperado(ex.what());
    return 1;
  }
}
