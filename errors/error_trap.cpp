#include "errors/error_trap.h"

#include <utility>

#include "base/module_variables.h"
#include "errors/record/silent_courses.h"
#include "platform/system.h"

namespace kx {

namespace {

ErrorTrapHooks g_hooks;
bool g_in_handler = false;
KX_MODULE_VARIABLES(2);

struct InHandler {
  InHandler() { g_in_handler = true; }
  ~InHandler() { g_in_handler = false; }
};

[[noreturn]] void EndProgram() {
  if (g_hooks.release_gui) {
    try {
      g_hooks.release_gui();
    } catch (...) {
    }
  }
  throw ProgramExit{1};
}

std::string LogPath() {
  if (!g_hooks.log_path.empty()) return g_hooks.log_path;
  std::string folder = platform::CurrentFolder();
  if (folder.empty()) return "Error.log";
  char last = folder.back();
  return folder + (last == '/' || last == '\\' ? "" : "\\") + "Error.log";
}

}  // namespace

void SetErrorTrapHooks(ErrorTrapHooks hooks) { g_hooks = std::move(hooks); }
ErrorTrapHooks& ErrorTrap() { return g_hooks; }

ErrorAnswer ERRORDIALOG(ErrorRecord& error) {
  // 1. A failure inside the handler, its report or its dialog.
  if (g_in_handler) EndProgram();
  InHandler guard;
  // Whether an event loop of the program runs is a fact of the moment the
  // error arose, not of the moment the dialog closes.
  bool loop_running = false;
  std::string report;
  std::vector<std::string> calls;
  try {
    loop_running = g_hooks.event_loop_running && g_hooks.event_loop_running();
    // 2. The report, before anything changes the record.
    ReportState state = g_hooks.report_state ? g_hooks.report_state() : GatherReportState(tables::Engine());
    report = ComposeReport(error, state);
    calls = CallSequenceLines(state.frames);
  } catch (const ProgramExit&) {
    throw;
  } catch (...) {
    EndProgram();
  }
  std::string description_text = " Descripción del error: " + DescriptionLine(error);

  // 3 to 6. Division by zero, the engine's number, canDefault, soft failures.
  int engine_error = g_hooks.engine_error ? g_hooks.engine_error() : tables::Engine().LastError();
  if (auto answer = ApplySilentCourses(error, engine_error)) return *answer;

  // 7. Error.log; a failure is given up silently.
  WriteErrorLog(g_hooks.fs ? g_hooks.fs : platform::DefaultFileSystem(), LogPath(), report);

  // 8. The dialog.
  DialogChoice choice = DialogChoice::Leave;
  try {
    ErrorPrompt* prompt = g_hooks.prompt ? g_hooks.prompt : DefaultErrorPrompt();
    choice = prompt ? prompt->Ask(description_text, calls, error.can_retry) : DialogChoice::Leave;
  } catch (const ProgramExit&) {
    throw;
  } catch (...) {
    EndProgram();
  }

  // 9. The decision.
  if (choice == DialogChoice::Default) return {ErrorAction::Default, {}};
  if (choice == DialogChoice::Retry && error.can_retry && loop_running) return {ErrorAction::Retry, {}};
  EndProgram();
}

void ERRORSYS() { SetErrorHandler(ERRORDIALOG); }

}  // namespace kx
