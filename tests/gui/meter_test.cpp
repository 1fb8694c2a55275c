#include "gui/meter.h"

#include <gtest/gtest.h>

namespace kx::gui {
namespace {

TEST(MeterTest, CaptionShowsTheWholePercentRightAlignedAndClamped) {
  struct Case {
    int64_t value, total;
    const char* caption;
  } cases[] = {
      {0, 100, "EMPRESA 001   0%"},
      {50, 100, "EMPRESA 001  50%"},
      {100, 100, "EMPRESA 001 100%"},
      {1, 3, "EMPRESA 001  33%"},   // truncated, not rounded
      {0, 0, "EMPRESA 001   0%"},   // a total of 0 counts as 1
      {1, 0, "EMPRESA 001 100%"},
      {50, 4, "EMPRESA 001 100%"},  // total lowered below the value: full
      {-5, 100, "EMPRESA 001   0%"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Meter::MeterCaption("EMPRESA 001", c.value, c.total), c.caption) << c.value << " of " << c.total;
  }
}

}  // namespace
}  // namespace kx::gui
