#include <gtest/gtest.h>

#include "tools/mkinstall/mkinstall.h"
#include "updater/journal_mark.h"

namespace kx::updater {
namespace {

// The generator's cases cover every branch of the rule; a few more edges here.
TEST(MarkingRule, EveryBranch) {
  for (const auto& c : mkinstall::MarkingCases()) {
    JournalFields r{c.contra, c.factura, c.nfactick, c.documento, c.serie};
    EXPECT_EQ(QualifiesForL340(r), c.qualifies)
        << "CONTRA '" << c.contra << "' FACTURA " << c.factura << " NFACTICK " << c.nfactick << " DOCUMENTO '"
        << c.documento << "' SERIE '" << c.serie << "'";
  }
  struct Case {
    JournalFields r;
    bool want;
  } more[] = {
      {{"REGULARIZACI", 1, 0, "D", "A"}, false},
      {{"regularizacion", 1, 0, "D", "A"}, true},  // case-sensitive
      {{"\tREGULARIZACION", 1, 0, "D", "A"}, true},  // only blanks are trimmed
      {{"X", 1, 0, "\r\n\t ", "A"}, false},          // DOCUMENTO of CR LF tab blank
      {{"X", -3, 0, "D", "A"}, true},                // a negative invoice number is not 0
      {{"X", 0, 0.5, "D", "A"}, true},
      {{"X", 1, 0, "D", "ABCRZ"}, true},
      {{"X", 1, 0, "D", "BCR"}, true},
      {{"X", 1, 0, "D", "ZA"}, false},
      {{"X", 1, 0, "D", "A B"}, false},
      {{"X", 1, 0, "D", "\tA"}, false},  // a tab is not trimmed from SERIE
  };
  for (const auto& c : more)
    EXPECT_EQ(QualifiesForL340(c.r), c.want) << "CONTRA '" << c.r.contra << "' SERIE '" << c.r.serie << "'";
}

}  // namespace
}  // namespace kx::updater
