// Corrupt and truncated index files give an error that names the file and
// what is wrong, never a crash or a hang, and nothing is written into them.
#include <gtest/gtest.h>

#include <functional>

#include "tests/tables/cdx/fixture_support.h"

namespace kx::cdx::test {
namespace {

using kx::platform::Access;
using kx::platform::DefaultFileSystem;
using kx::platform::Share;

uint32_t Le32(const std::string& d, size_t o) {
  return uint8_t(d[o]) | (uint8_t(d[o + 1]) << 8) | (uint8_t(d[o + 2]) << 16) | (uint32_t(uint8_t(d[o + 3])) << 24);
}
uint32_t Be32(const std::string& d, size_t o) {
  return (uint32_t(uint8_t(d[o])) << 24) | (uint8_t(d[o + 1]) << 16) | (uint8_t(d[o + 2]) << 8) | uint8_t(d[o + 3]);
}
void PutLe(std::string* d, size_t o, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) (*d)[o + i] = char(uint8_t(v >> (8 * i)));
}
void PutBe32(std::string* d, size_t o, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*d)[o + i] = char(uint8_t(v >> (24 - 8 * i)));
}

// Journal.cdx: tag FECHA (header 2048, key length 17) is a 3-level tree.
constexpr uint32_t kFecha = 2048;
constexpr uint32_t kKlen = 17;
uint32_t Root(const std::string& d) { return Le32(d, kFecha); }
uint32_t FirstChild(const std::string& d, uint32_t page) { return Be32(d, page + 12 + kKlen + 4); }
uint32_t FirstLeaf(const std::string& d) {
  uint32_t p = Root(d);
  while (!(uint8_t(d[p]) & 2)) p = FirstChild(d, p);
  return p;
}

TEST(CdxCorrupt, DamagedFilesGiveAnErrorNamingTheFile) {
  const std::string original = ReadFile(kx::test::FixturePath("reference-tables/Journal.cdx"));
  struct Case {
    const char* what;
    std::function<void(std::string*)> damage;
  } cases[] = {
      {"truncated mid-page", [](std::string* d) { d->resize(50000); }},
      {"truncated at a page", [](std::string* d) { d->resize(51200); }},
      {"shorter than the header", [](std::string* d) { d->resize(700); }},
      {"empty file", [](std::string* d) { d->clear(); }},
      {"directory root outside the file", [](std::string* d) { PutLe(d, 0, 0x7FFFFE00, 4); }},
      {"directory root not on a page", [](std::string* d) { PutLe(d, 0, 1000, 4); }},
      {"tag root outside the file", [](std::string* d) { PutLe(d, kFecha, 0x00FFFE00, 4); }},
      {"key length zero", [](std::string* d) { PutLe(d, kFecha + 12, 0, 2); }},
      {"key length beyond 240", [](std::string* d) { PutLe(d, kFecha + 12, 600, 2); }},
      {"expression beyond the pool", [](std::string* d) { PutLe(d, kFecha + 510, 900, 2); }},
      {"interior cycle", [](std::string* d) {
         uint32_t mid = FirstChild(*d, Root(*d));
         PutBe32(d, mid + 12 + kKlen + 4, Root(*d));
       }},
      {"child pointer to itself", [](std::string* d) { PutBe32(d, Root(*d) + 12 + kKlen + 4, Root(*d)); }},
      {"child pointer outside the file", [](std::string* d) { PutBe32(d, Root(*d) + 12 + kKlen + 4, 0x10000000); }},
      {"interior key count too large", [](std::string* d) { PutLe(d, Root(*d) + 2, 400, 2); }},
      {"leaf key count too large", [](std::string* d) { PutLe(d, FirstLeaf(*d) + 2, 0xFFFF, 2); }},
      {"leaf bit counts", [](std::string* d) { (*d)[FirstLeaf(*d) + 23] = 0; }},
      {"leaf duplicate count", [](std::string* d) { (*d)[FirstLeaf(*d) + 24 + 3 + 1] = char(0xFF); }},
      {"leaf sibling loop", [](std::string* d) { PutLe(d, FirstLeaf(*d) + 8, FirstLeaf(*d), 4); }},
      {"leaf free count", [](std::string* d) { PutLe(d, FirstLeaf(*d) + 12, 3, 2); }},
      {"node attribute", [](std::string* d) { (*d)[FirstLeaf(*d)] = 9; }},
      {"free list outside the file", [](std::string* d) { PutLe(d, 4, 0x00FFFE00, 4); }},
  };
  std::string dir = kx::test::ScratchFolder("cdx_corrupt");
  MemTable table;
  ASSERT_TRUE(table.Load(kx::test::FixturePath("reference-tables/Journal.dbf")));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string damaged = original;
    c.damage(&damaged);
    std::string path = dir + "/Journal.cdx";
    ASSERT_TRUE(kx::platform::WriteWholeFile(DefaultFileSystem(), path, damaged).ok());
    std::unique_ptr<CdxFile> f;
    Status s = CdxFile::Open(DefaultFileSystem(), path, Access::ReadWrite, Share::Exclusive, &f);
    if (s.ok()) {
      f->Bind(table);
      for (int i = 0; i < f->TagCount() && s.ok(); ++i) {
        std::vector<CdxFile::Entry> all;
        s = f->ReadAll(i, &all);
        if (s.ok()) {
          auto cur = f->NewCursor(i);
          s = cur->Last();
          for (int k = 0; k < 5000 && s.ok() && cur->Valid(); ++k) s = cur->Prev();
        }
      }
      if (s.ok()) s = f->Check();
      // A write after the corruption was found is refused.
      if (!s.ok()) {
        EXPECT_FALSE(f->Insert(1, std::string(17, ' '), 1).ok());
        EXPECT_FALSE(f->Zap().ok());
      }
    }
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.code(), kErrCorrupt) << s.message();
    EXPECT_NE(s.message().find("Journal.cdx"), std::string::npos) << s.message();
    f.reset();
    EXPECT_EQ(ReadFile(path), damaged) << "the damaged file was written";
  }
}

TEST(CdxCorrupt, ReadOnlyOpenRefusesWrites) {
  std::unique_ptr<CdxFile> f;
  ASSERT_TRUE(CdxFile::Open(DefaultFileSystem(), kx::test::FixturePath("reference-tables/Empresa.cdx"), Access::Read, Share::Shared, &f).ok());
  Status s = f->Insert(0, "0001", 9);
  EXPECT_EQ(s.code(), kx::platform::kErrAccessDenied);
  std::unique_ptr<CdxFile> g;
  s = CdxFile::Open(DefaultFileSystem(), kx::test::FixturePath("reference-tables/Missing.cdx"), Access::Read, Share::Shared, &g);
  EXPECT_EQ(s.code(), kx::platform::kErrFileNotFound);
  EXPECT_FALSE(g);
}

}  // namespace
}  // namespace kx::cdx::test
