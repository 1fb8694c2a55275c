// The process-wide error handler ERRORDIALOG: silent courses, the report
// Error.log, the error dialog and the decision.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "errors/error_report.h"
#include "errors/record/error_record.h"

namespace kx {

// What the user chose in the error dialog; Leave stands for "&Salir", the
// close box and Escape alike.
enum class DialogChoice { Leave, Retry, Default };

// The error dialog: shows the description text (" Descripción del error: "
// + description line) and the call-sequence lines, offers "&Reintentar"
// when `offer_retry`, "&Salir" and "&Defecto", and waits for the answer.
class ErrorPrompt {
 public:
  virtual ~ErrorPrompt() = default;
  virtual DialogChoice Ask(const std::string& description_text, const std::vector<std::string>& call_lines,
                           bool offer_retry) = 0;
};

// The dialog of the build: the Win32 dialog on Windows, the terminal prompt
// on Linux.
ErrorPrompt* DefaultErrorPrompt();

// What the handler consults; every member left empty takes its default.
struct ErrorTrapHooks {
  std::function<int()> engine_error;          // default: the process engine's LastError()
  std::function<bool()> event_loop_running;   // default: no event loop (Retry ends the program)
  std::function<ReportState()> report_state;  // default: GatherReportState(Engine())
  platform::FileSystem* fs = nullptr;         // default: the system's
  std::string log_path;                       // default: "Error.log" in the current folder
  ErrorPrompt* prompt = nullptr;              // default: DefaultErrorPrompt()
  std::function<void()> release_gui;          // run before the program ends
};

// Replaces the hooks (tests, and the updater's entry for the event loop).
void SetErrorTrapHooks(ErrorTrapHooks hooks);
ErrorTrapHooks& ErrorTrap();

// The handler. Returns Substitute (0) for a division by zero, Default for a
// silent course or "&Defecto", Retry for "&Reintentar" while an event loop
// runs; ends the program (throws ProgramExit{1}) for "&Salir", for a Retry
// without an event loop and for a failure raised while it runs.
ErrorAnswer ERRORDIALOG(ErrorRecord& error);

// Installs ERRORDIALOG for the whole process. Call once, before MAIN.
void ERRORSYS();

}  // namespace kx
