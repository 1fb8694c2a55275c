// The terminal front end of the Linux build: the progress dialog's meters as
// text bars, each company as it is done, and at the end what the run could
// not do (the dialog version shows nothing of it).
#pragma once

#include <cstdio>
#include <string>

#include "gui/headless.h"
#include "updater/update_run.h"

namespace kx::updater {

class TerminalView {
 public:
  // `interactive`: redraw the bars in place (a terminal); otherwise one plain
  // line per company.
  TerminalView(std::FILE* out, bool interactive);

  // Watches the headless toolkit's meters and labels.
  void Attach(gui::HeadlessToolkit* toolkit);
  // One line for a company that is done (or skipped).
  void CompanyDone(const CompanyResult& company);
  // The list of what the run could not do; call after the run.
  void Summary(const RunSummary& summary);

  // The text of a bar: "[#####.....] TEXT  50%" (Windows-1252 in, UTF-8 out).
  static std::string Bar(const std::string& text, int64_t value, int64_t total, int width);

 private:
  void OnEvent(const gui::HeadlessEvent& e);
  void DrawBars();
  void ClearBars();

  struct MeterState {
    std::string text;
    int64_t value = 0;
    int64_t total = 100;
  };
  std::FILE* out_;
  bool interactive_;
  bool bars_shown_ = false;
  bool header_shown_ = false;
  std::string root_;
  MeterState meters_[2];
};

}  // namespace kx::updater
