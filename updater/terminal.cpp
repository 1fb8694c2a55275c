#include "updater/terminal.h"

#include <algorithm>

#include "base/cp1252.h"
#include "gui/meter.h"

namespace kx::updater {

namespace {

std::string U(const std::string& s) { return Cp1252ToUtf8(s); }

std::string Join(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& s : items) out += (out.empty() ? "" : ", ") + s;
  return out;
}

}  // namespace

TerminalView::TerminalView(std::FILE* out, bool interactive) : out_(out), interactive_(interactive) {}

void TerminalView::Attach(gui::HeadlessToolkit* toolkit) {
  toolkit->SetKeepEvents(false);
  toolkit->SetObserver([this](const gui::HeadlessEvent& e) { OnEvent(e); });
}

std::string TerminalView::Bar(const std::string& text, int64_t value, int64_t total, int width) {
  int64_t t = total == 0 ? 1 : total;
  int64_t filled = std::clamp<int64_t>(value * width / t, 0, width);
  std::string bar = "[" + std::string(filled, '#') + std::string(width - filled, '.') + "] ";
  return bar + U(gui::Meter::MeterCaption(text, value, total));
}

void TerminalView::OnEvent(const gui::HeadlessEvent& e) {
  using K = gui::HeadlessEvent::Kind;
  if (e.kind == K::LabelText && e.id == kIdRootLabel) {
    root_ = e.text;
    std::fprintf(out_, "Directorio del programa : %s\n", U(root_).c_str());
    header_shown_ = true;
    std::fflush(out_);
    return;
  }
  int m = e.id == kIdOverallMeter ? 0 : e.id == kIdCompanyMeter ? 1 : -1;
  if (m < 0) return;
  MeterState& s = meters_[m];
  switch (e.kind) {
    case K::MeterText: s.text = e.text; return;
    case K::MeterTotal: s.total = e.value; return;
    case K::MeterValue:
    case K::MeterRepaint:
      s.value = e.value;
      s.total = e.total;
      if (interactive_) DrawBars();
      return;
    default: return;
  }
}

void TerminalView::ClearBars() {
  if (!bars_shown_) return;
  std::fputs("\r\033[2K\033[1A\r\033[2K", out_);  // the company bar, then the overall bar
  bars_shown_ = false;
}

void TerminalView::DrawBars() {
  ClearBars();
  std::fprintf(out_, "%s\n%s", Bar(meters_[0].text, meters_[0].value, meters_[0].total, 30).c_str(),
               Bar(meters_[1].text, meters_[1].value, meters_[1].total, 30).c_str());
  bars_shown_ = true;
  std::fflush(out_);
}

void TerminalView::CompanyDone(const CompanyResult& c) {
  ClearBars();
  std::string line = c.code + " - " + Upper(Trim(c.name)) + ": ";
  if (c.skipped) {
    line += "no se actualiza";
  } else {
    line += std::to_string(c.rebuilt.size()) + " tablas rehechas, " + std::to_string(c.records_kept) +
            " registros conservados, " + std::to_string(c.records_marked + c.journal_records_marked) +
            " registros marcados";
    if (c.journal_already_marked) line += " (diarios ya actualizados)";
    line += ", copias que quedan: " + (c.backups_left.empty() ? std::string("ninguna") : Join(c.backups_left));
  }
  std::fprintf(out_, "%s\n", U(line).c_str());
  if (interactive_) DrawBars();
  std::fflush(out_);
}

void TerminalView::Summary(const RunSummary& summary) {
  ClearBars();
  if (interactive_ && (meters_[0].total || meters_[0].value))
    std::fprintf(out_, "%s\n", Bar(meters_[0].text, meters_[0].value, meters_[0].total, 30).c_str());
  std::vector<std::string> lines;
  for (const auto& c : summary.companies) {
    for (const auto& j : c.journals_skipped)
      lines.push_back("Empresa " + c.code + ": diario de contabilidad no marcado (no existe o está en uso): " + j);
  }
  for (const auto& p : summary.problems) lines.push_back(p);
  if (lines.empty()) {
    std::fprintf(out_, "%s\n", U("Actualización terminada.").c_str());
  } else {
    std::fprintf(out_, "%s\n", U("Actualización terminada. No se ha podido hacer:").c_str());
    for (const auto& l : lines) std::fprintf(out_, "  - %s\n", U(l).c_str());
  }
  std::fflush(out_);
}

}  // namespace kx::updater
