// Entry of updater.exe: the update run with the progress dialog "DLGINS" of
// the program's resources, and the error handler with its dialog.
//   updater.exe PATH [PRODUCT]
// The command line is split into words at runs of blanks, with no quoting;
// PATH less its last four characters is the installation root, PRODUCT is
// accepted and changes nothing.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "errors/error_trap.h"
#include "errors/record/error_record.h"
#include "gui/dialog.h"
#include "gui/win32/win32_toolkit.h"
#include "updater/hooks.h"
#include "updater/tables/workareas.h"
#include "updater/update_run.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmd_line, int) {
  using namespace kx;
  std::vector<std::string> words;
  std::string word;
  for (const char* p = cmd_line ? cmd_line : ""; *p; ++p) {
    if (*p == ' ' || *p == '\t') {
      if (!word.empty()) words.push_back(word), word.clear();
    } else {
      word += *p;
    }
  }
  if (!word.empty()) words.push_back(word);
  std::string path = words.empty() ? std::string() : words[0];
  std::string product = words.size() > 1 ? words[1] : std::string();

  updater::InstallHostHooks();
  // "&Reintentar" is honoured while the progress dialog's loop runs; the
  // problems the run reports (a backup kept, a company skipped) reach the
  // dialog like any other error, and "&Defecto" lets the run go on.
  ErrorTrapHooks hooks;
  hooks.event_loop_running = [] {
    gui::Dialog* dialog = updater::ProgressDialog();
    return dialog != nullptr && dialog->IsOpen();
  };
  SetErrorTrapHooks(std::move(hooks));
  ERRORSYS();

  std::unique_ptr<gui::Toolkit> toolkit = gui::win32::NewToolkit();
  updater::UpdateRun run({&tables::Engine(), toolkit.get(), {}});
  try {
    return run.MAIN(path, product);
  } catch (const ProgramExit& exit) {
    tables::Engine().CloseAll();
    return exit.code;
  }
}
