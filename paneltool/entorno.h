// What the panel tool's routines need from the world around them: the
// registry, the file system, the log window, the windows of the program and
// the trap for unexpected errors. The repairs take an Entorno, so they run
// against the real system in paneltool.exe and against an in-memory registry,
// a scratch folder and recording fakes in the native tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "paneltool/ini/ini_file.h"
#include "platform/file_system.h"
#include "platform/registry.h"

namespace kx::paneltool {

// Images of a log line.
enum ImagenLog : int {
  kSinImagen = -1,    // headers of an action and blank lines
  kImagenExito = 0,   // a step that ended well
  kImagenAviso = 1,   // a step that was cancelled
};

// The log window of technician mode.
class Log {
 public:
  virtual ~Log() = default;
  // Deletes every line and shows the window (not modal).
  virtual void Vaciar() = 0;
  // Appends one line; a text of blanks only is a blank line without image.
  virtual void AnadirLineaLog(const std::string& texto, int imagen) = 0;
};

// The windows of the program as the routines see them.
class Ventanas {
 public:
  virtual ~Ventanas() = default;
  // Takes every message waiting in the queue, dispatches it, returns when the
  // queue is empty.
  virtual void ProcesarMensajes() = 0;
  // Yes/No question with the caption "Confirmación" and the question icon,
  // owned by the main form. True for Yes.
  virtual bool Preguntar(const std::string& texto) = 0;
  // Shows or hides the busy cursor (on the main form, or on the whole screen
  // while the wait window is up).
  virtual void CursorOcupado(bool ocupado) = 0;
  // Lets a little time pass while something else is awaited (the caller
  // processes messages around it).
  virtual void Pausa() = 0;
  // Message box with the caption "Información" and the information icon,
  // without owner window.
  virtual void Informar(const std::string& texto) = 0;
};

// The program's trap for unexpected errors: shows "Se ha producido un error
// inesperado en la aplicación." with the failure text and ends the program
// (by throwing kx::ProgramExit, which main catches).
class Trampa {
 public:
  virtual ~Trampa() = default;
  virtual void ErrorInesperado(const std::string& mensaje) = 0;
};

// Starting programs and documents.
class Programas {
 public:
  virtual ~Programas() = default;
  // Starts `linea` as a new process (the whole command line, no separate
  // program name), not inheriting handles, creation flag 0x800, the caller's
  // environment, working folder `carpeta`; when it starts, waits without time
  // limit until it ends. False when it could not start.
  virtual bool EjecutarYEsperarProceso(const std::string& linea, const std::string& carpeta) = 0;
  // Asks the shell to open `fichero` with its default verb in `carpeta`.
  virtual void AbrirConShell(const std::string& fichero, const std::string& carpeta) = 0;
};

// A date and time split into fields, as the system gives them.
struct FechaHora {
  int anio = 0, mes = 0, dia_semana = 0, dia = 0, hora = 0, minuto = 0, segundo = 0, milisegundo = 0;
  friend bool operator==(const FechaHora&, const FechaHora&) = default;
};

struct Entorno {
  platform::Registry* registro = nullptr;
  platform::FileSystem* fs = nullptr;
  Log* log = nullptr;
  Ventanas* ventanas = nullptr;
  Trampa* trampa = nullptr;
  Programas* programas = nullptr;
  // Opens an INI file; null means the file engine over `fs` (the benchmark
  // puts the Windows profile functions here to compare).
  std::unique_ptr<ini::IniFile> (*abrir_ini)(const std::string& ruta) = nullptr;
  // Technician mode: the repairs write to the log only then.
  bool EsModoSertec = false;
  // The panel selected in the main form: its folder with a trailing
  // backslash, and its identifier (its registry key name after "VAVU_").
  std::string CarpetaPanel;
  std::string IdPanel;

  // Helpers over the members above.
  void ProcesarMensajes() const;
  // Writes a log line in technician mode only.
  void Registrar(const std::string& texto, int imagen = kSinImagen) const;
  void LineaEnBlanco() const { Registrar("", kSinImagen); }
  // Hands the message to the trap; never returns.
  [[noreturn]] void Fallo(const std::string& mensaje) const;
  // Opens an INI file (icon file, uninstall file); a file that exists but
  // can't be read goes to the trap.
  std::unique_ptr<ini::IniFile> AbrirIni(const std::string& ruta) const;
  // Flushes it; a file that can't be written goes to the trap.
  void Volcar(ini::IniFile& fichero) const;
  // Writes a key; a refused write goes to the trap.
  void Escribir(ini::IniFile& fichero, const std::string& seccion, const std::string& clave,
                const std::string& valor) const;
};

// The registry branch of the panels.
inline constexpr char kRamaPaneles[] = "\\Software\\Roroz OR\\";
// "\Software\Roroz OR\VAVU_" + id.
std::string ClavePanel(const std::string& id);

// Registry reads and writes with the tool's rules: a key that can't be opened
// counts as absent, a missing value reads as empty (or 0); any other failure
// of the registry (a value of another type, for instance) goes to the trap.
bool ExisteClave(const Entorno& e, const std::string& ruta);
std::vector<std::string> Subclaves(const Entorno& e, const std::string& ruta);
std::string LeerTextoRegistro(const Entorno& e, const std::string& ruta, const std::string& nombre);
// Writes a 32-bit value when the key exists; false when it doesn't.
bool EscribirEnteroRegistro(const Entorno& e, const std::string& ruta, const std::string& nombre, int32_t valor);

}  // namespace kx::paneltool
