// Entry of updater.exe. Until the Win32 progress dialog is built on gui/, the
// run drives the headless GUI: it does its whole job without showing progress.
#include <windows.h>

#include <string>
#include <vector>

#include "errors/record/error_record.h"
#include "errors/record/silent_courses.h"
#include "gui/headless.h"
#include "updater/tables/workareas.h"
#include "updater/update_run.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmd_line, int) {
  using namespace kx;
  // Words at runs of blanks, no quoting.
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

  SetErrorHandler([](ErrorRecord& e) -> ErrorAnswer {
    if (e.sub_system && *e.sub_system == updater::kRunSubSystem) return {ErrorAction::Default, {}};
    if (auto answer = ApplySilentCourses(e, tables::Engine().LastError())) return *answer;
    throw ProgramExit{1};
  });
  gui::HeadlessToolkit toolkit;
  toolkit.SetKeepEvents(false);
  updater::UpdateRun run({&tables::Engine(), &toolkit, {}});
  try {
    return run.MAIN(path, product);
  } catch (const ProgramExit& exit) {
    tables::Engine().CloseAll();
    return exit.code;
  }
}
