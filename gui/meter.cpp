#include "gui/meter.h"

#include <cstdio>

namespace kx::gui {

int Meter::MeterPercentage(int64_t value, int64_t total) {
  if (total == 0) total = 1;
  return static_cast<int>(value * 100 / total);
}

std::string Meter::MeterCaption(const std::string& text, int64_t value, int64_t total) {
  char pct[16];
  std::snprintf(pct, sizeof pct, "%3d%%", MeterPercentage(value, total));
  return text + " " + pct;
}

}  // namespace kx::gui
