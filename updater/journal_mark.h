// The rule that decides which journal records get the logical field L340.
#pragma once

#include <string>

#include "base/value.h"

namespace kx::tables {
class WorkAreas;
}

namespace kx::updater {

// The fields of one journal record that the rule reads.
struct JournalFields {
  std::string contra;
  double factura = 0;
  double nfactick = 0;
  std::string documento;
  std::string serie;
};

// True when a journal record with these fields qualifies: CONTRA not blank,
// CONTRA trimmed not beginning with "REGULARIZACI", FACTURA or NFACTICK not 0,
// DOCUMENTO not blank, and SERIE trimmed not empty and a run of the letters
// "ABCRZ" (so A, B, C, R, Z, AB, BC, CR, RZ, ABC ... qualify; case matters).
// Blank means nothing but spaces, tabs, CR and LF.
bool QualifiesForL340(const JournalFields& record);

// Applies the rule to the current record of the current table: when the
// table has a field L340 and the record qualifies, stores true in L340 and
// answers true. Never stores false. A table without L340 is left untouched.
bool MarkCurrentRecord(tables::WorkAreas& engine);

}  // namespace kx::updater
