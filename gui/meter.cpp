#include "gui/meter.h"

#include <cstdio>

namespace kx::gui {

int Meter::MeterPercentage(int64_t value, int64_t total) {
  if (total == 0) total = 1;
  // A total lowered below a value set earlier shows the meter full, never
  // above 100% (the bar is drawn clamped to full as well).
  int64_t pct = value * 100 / total;
  return static_cast<int>(pct < 0 ? 0 : pct > 100 ? 100 : pct);
}

std::string Meter::MeterCaption(const std::string& text, int64_t value, int64_t total) {
  char pct[16];
  std::snprintf(pct, sizeof pct, "%3d%%", MeterPercentage(value, total));
  return text + " " + pct;
}

}  // namespace kx::gui
