// A UNIQUE tag holds each key once, for the first record in record order
// that has it: when that record gives its key up, the next record with the
// same key takes the entry; a later record giving up a shared key changes
// nothing. Empty's tag DOCUNI is UNIQUE on DOCUMENTO.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tables/table_fixtures.h"
#include "updater/tables/area.h"
#include "updater/tables/check.h"
#include "updater/tables/workareas.h"

namespace kx::tables {
namespace {

TEST(UniqueTag, TheNextRecordWithTheKeyOwnsItWhenTheOwnerGivesItUp) {
  struct Case {
    const char* what;
    std::vector<std::string> docs;  // DOCUMENTO of records 1, 2, ...
    uint32_t changed;               // record whose DOCUMENTO becomes "Q"
    std::vector<uint32_t> walk;     // DOCUNI from the top afterwards
  } cases[] = {
      {"owner changes, next takes over", {"X", "X", "Z"}, 1, {1, 2, 3}},
      {"owner changes, the third has it", {"X", "Y", "X"}, 1, {1, 3, 2}},
      {"a later record changes", {"X", "X", "Z"}, 2, {2, 1, 3}},
      {"the only record changes", {"X", "Y"}, 1, {1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string dir = test::ScratchFolder("tables_unique");
    std::string t = test::CopyTable(test::Reference("Empty"), dir, "Empty");
    WorkAreas w;
    ASSERT_TRUE(w.Open(t, "E"));
    for (const std::string& d : c.docs) {
      ASSERT_TRUE(w.AppendBlank());
      ASSERT_TRUE(w.PutField("DOCUMENTO", Value::Text(d)));
    }
    ASSERT_TRUE(w.GoTo(c.changed));
    ASSERT_TRUE(w.PutField("DOCUMENTO", Value::Text("Q")));
    ASSERT_TRUE(w.Commit());
    ASSERT_TRUE(w.SetOrder(w.OrderByName("DOCUNI")));
    std::vector<uint32_t> walk;
    for (w.GoTop(); !w.Eof(); w.Skip()) walk.push_back(w.RecNo());
    EXPECT_EQ(walk, c.walk);
    Fault f = CheckIndex(*w.Current());
    EXPECT_TRUE(f.ok()) << f.what;
    w.CloseAll();
  }
}

}  // namespace
}  // namespace kx::tables
