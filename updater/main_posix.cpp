// Entry of the Linux updater: the update run with a terminal front end.
//   updater PATH [PRODUCT]
// PATH less its last four characters is the installation root; PRODUCT is
// accepted and changes nothing. Drive letters in the link settings map to
// folders through UPDATER_DRIVE_X variables.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "base/cp1252.h"
#include "errors/record/error_record.h"
#include "errors/error_trap.h"
#include "gui/dialog.h"
#include "gui/headless.h"
#include "platform/system.h"
#include "updater/hooks.h"
#include "updater/tables/workareas.h"
#include "updater/terminal.h"
#include "updater/update_run.h"

int main(int argc, char** argv) {
  using namespace kx;
  if (argc < 2 || argv[1][0] == '\0') {
    std::fprintf(stderr, "uso: updater RUTA [PRODUCTO]\n"
                         "  RUTA menos sus cuatro últimos caracteres es la raíz de la instalación\n");
    return 1;
  }
  std::string path = Utf8ToCp1252(argv[1]);
  std::string product = argc > 2 ? Utf8ToCp1252(argv[2]) : std::string();
  if (path.size() <= 4) {
    std::fprintf(stderr, "updater: la ruta \"%s\" es demasiado corta para dar la raíz de la instalación\n",
                 argv[1]);
    return 1;
  }
  // The start-up moves the current directory to the program's folder.
  if (path[0] != '/' && path[0] != '\\') {
    std::string cwd = platform::CurrentFolder();
    path = cwd + (cwd.back() == '/' ? "" : "/") + path;
  }

  updater::TerminalView view(stdout, isatty(STDOUT_FILENO) != 0);
  updater::InstallHostHooks();
  // The error handler with the terminal's prompt; "[R]eintentar" is honoured
  // while the run's dialog is open. The problems the run reports (a backup
  // kept, a company skipped) are listed at the end instead of stopping the
  // run at a prompt: the terminal shows them all together.
  ErrorTrapHooks hooks;
  hooks.event_loop_running = [] {
    gui::Dialog* dialog = updater::ProgressDialog();
    return dialog != nullptr && dialog->IsOpen();
  };
  SetErrorTrapHooks(std::move(hooks));
  SetErrorHandler([](ErrorRecord& e) -> ErrorAnswer {
    if (e.sub_system && *e.sub_system == updater::kRunSubSystem) return {ErrorAction::Default, {}};
    return ERRORDIALOG(e);
  });

  gui::HeadlessToolkit toolkit;
  view.Attach(&toolkit);
  updater::UpdateRun run({&tables::Engine(), &toolkit, {}});
  run.SetCompanyHook([&](const updater::CompanyResult& c) { view.CompanyDone(c); });
  int rc = 1;
  try {
    rc = run.MAIN(path, product);
  } catch (const ProgramExit& exit) {
    tables::Engine().CloseAll();
    view.Summary(run.summary());
    return exit.code;
  }
  if (rc != 0) {
    for (const auto& p : run.summary().problems) std::fprintf(stderr, "updater: %s\n", Cp1252ToUtf8(p).c_str());
    return rc;
  }
  view.Summary(run.summary());
  return 0;
}
