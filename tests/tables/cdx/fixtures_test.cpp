// Every tag of every reference table and of the Visual FoxPro samples reads
// exactly: walk orders against the manifest, keys against the records.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tests/tables/cdx/fixture_support.h"

namespace kx::cdx::test {
namespace {

using kx::platform::Access;
using kx::platform::DefaultFileSystem;
using kx::platform::Share;

std::unique_ptr<CdxFile> OpenRead(const std::string& path) {
  std::unique_ptr<CdxFile> f;
  Status s = CdxFile::Open(DefaultFileSystem(), path, Access::Read, Share::Shared, &f);
  EXPECT_TRUE(s.ok()) << s.message();
  return f;
}

// Walks a tag with a cursor forwards and backwards.
void ExpectCursorWalks(CdxFile* f, int tag, const std::vector<CdxFile::Entry>& all) {
  auto c = f->NewCursor(tag);
  std::vector<uint32_t> fwd, back;
  ASSERT_TRUE(c->First().ok());
  while (c->Valid()) {
    fwd.push_back(c->recno());
    ASSERT_TRUE(c->Next().ok());
  }
  ASSERT_TRUE(c->Last().ok());
  while (c->Valid()) {
    back.push_back(c->recno());
    ASSERT_TRUE(c->Prev().ok());
  }
  std::reverse(back.begin(), back.end());
  EXPECT_EQ(fwd, Recnos(all)) << f->Tag(tag).name;
  EXPECT_EQ(back, Recnos(all)) << f->Tag(tag).name;
}

class ReferenceTable : public ::testing::TestWithParam<const char*> {};

TEST_P(ReferenceTable, EveryTagWalksAsTheManifestSays) {
  static const auto manifest = ParseManifest();
  std::string name = GetParam();
  const auto& tags = manifest.at(name);
  auto f = OpenRead(kx::test::FixturePath("reference-tables/" + name + ".cdx"));
  ASSERT_TRUE(f);
  MemTable table;
  ASSERT_TRUE(table.Load(kx::test::FixturePath("reference-tables/" + name + ".dbf")));
  Status s = f->Bind(table);
  ASSERT_TRUE(s.ok()) << s.message();
  ASSERT_EQ(size_t(f->TagCount()), tags.size());
  s = f->Check();
  EXPECT_TRUE(s.ok()) << s.message();
  std::vector<int> by_name = f->TagsByName();
  for (const ManifestTag& mt : tags) {
    SCOPED_TRACE(name + "." + mt.name);
    int i = f->FindTag(mt.name);
    ASSERT_EQ(i, mt.creation - 1) << "creation order";
    EXPECT_EQ(by_name[size_t(mt.name_order - 1)], i) << "name order";
    std::vector<CdxFile::Entry> all;
    s = f->ReadAll(i, &all);
    ASSERT_TRUE(s.ok()) << s.message();
    EXPECT_EQ(all.size(), mt.entries);
    std::vector<uint32_t> rec = Recnos(all);
    if (!mt.first.empty()) {
      ASSERT_GE(rec.size(), 40u);
      EXPECT_EQ(std::vector<uint32_t>(rec.begin(), rec.begin() + 20), mt.first);
      EXPECT_EQ(std::vector<uint32_t>(rec.end() - 20, rec.end()), mt.last);
    } else {
      EXPECT_EQ(rec, mt.order);
    }
    if (all.size() < 5000) ExpectCursorWalks(f.get(), i, all);
  }
}

// Each stored key equals the key its expression gives for the record, and
// each record passing the FOR expression is in the tag (unique tags: one
// entry per distinct key, the lowest record number).
TEST_P(ReferenceTable, StoredKeysAreTheExpressionsValues) {
  std::string name = GetParam();
  auto f = OpenRead(kx::test::FixturePath("reference-tables/" + name + ".cdx"));
  ASSERT_TRUE(f);
  MemTable table;
  ASSERT_TRUE(table.Load(kx::test::FixturePath("reference-tables/" + name + ".dbf")));
  ASSERT_TRUE(f->Bind(table).ok());
  std::vector<std::vector<CdxFile::Entry>> stored(size_t(f->TagCount()));
  for (int i = 0; i < f->TagCount(); ++i) ASSERT_TRUE(f->ReadAll(i, &stored[size_t(i)]).ok());
  for (int i = 0; i < f->TagCount(); ++i) {
    const TagInfo& info = f->Tag(i);
    if (info.collation == Collation::General || info.key_type == 'T') continue;  // see GeneralKeys / datetime note
    SCOPED_TRACE(name + "." + info.name);
    std::map<uint32_t, std::string> by_rec;
    for (auto& e : stored[size_t(i)]) by_rec[e.recno] = e.key;
    std::map<std::string, uint32_t> first_of_key;
    size_t expected = 0;
    std::unique_ptr<Expr> key_expr, for_expr;
    ASSERT_TRUE(Compile(info.key_expr, table, &key_expr).ok());
    if (!info.for_expr.empty()) {
      ASSERT_TRUE(Compile(info.for_expr, table, &for_expr).ok());
    }
    for (uint32_t r = 1; r <= table.records.size(); ++r) {
      table.current = r;
      kx::Value v;
      if (for_expr) {
        ASSERT_TRUE(for_expr->Eval(table, &v).ok());
        if (!v.logical()) {
          EXPECT_EQ(by_rec.count(r), 0u) << "record " << r << " fails the FOR expression";
          continue;
        }
      }
      ASSERT_TRUE(key_expr->Eval(table, &v).ok());
      std::string key;
      Status s = EncodeKey(v, info, &key);
      ASSERT_TRUE(s.ok()) << s.message();
      if (info.unique || info.candidate) {
        if (first_of_key.count(key)) continue;
        first_of_key[key] = r;
      }
      ++expected;
      ASSERT_EQ(by_rec.count(r), 1u) << "record " << r;
      EXPECT_EQ(by_rec[r], key) << "record " << r;
    }
    EXPECT_EQ(expected, stored[size_t(i)].size());
  }
}

// Every stored key seeks to its own first entry in walk order.
TEST_P(ReferenceTable, EverySeekFindsItsRecord) {
  std::string name = GetParam();
  if (name == "Big") GTEST_SKIP() << "covered by the smaller tables";
  auto f = OpenRead(kx::test::FixturePath("reference-tables/" + name + ".cdx"));
  MemTable table;
  ASSERT_TRUE(table.Load(kx::test::FixturePath("reference-tables/" + name + ".dbf")));
  ASSERT_TRUE(f->Bind(table).ok());
  for (int i = 0; i < f->TagCount(); ++i) {
    std::vector<CdxFile::Entry> all;
    ASSERT_TRUE(f->ReadAll(i, &all).ok());
    auto c = f->NewCursor(i);
    for (size_t k = 0; k < all.size(); ++k) {
      bool found = false;
      ASSERT_TRUE(c->Seek(all[k].key, &found).ok());
      ASSERT_TRUE(found) << f->Tag(i).name << " entry " << k;
      size_t first = k;
      while (first > 0 && all[first - 1].key == all[k].key) --first;
      EXPECT_EQ(c->recno(), all[first].recno) << f->Tag(i).name << " entry " << k;
      ASSERT_TRUE(c->SeekEntry(all[k].key, all[k].recno, &found).ok());
      EXPECT_TRUE(found);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cdx, ReferenceTable, ::testing::Values("Empresa", "Empresa_gen", "Journal", "Journal_gen", "Empty", "Types", "Big"));

// GENERAL-collation tags: the same records in the same order as the walk of
// the manifest; keys are two bytes per character, and writing them is refused.
TEST(GeneralCollation, KeysAreReadAndWritingIsRefused) {
  std::string dir = kx::test::ScratchFolder("cdx_general");
  std::string path = CopyFixture("reference-tables/Empresa_gen.cdx", dir);
  std::string before = ReadFile(path);
  std::unique_ptr<CdxFile> f;
  ASSERT_TRUE(CdxFile::Open(DefaultFileSystem(), path, Access::ReadWrite, Share::Exclusive, &f).ok());
  MemTable table;
  ASSERT_TRUE(table.Load(kx::test::FixturePath("reference-tables/Empresa_gen.dbf")));
  ASSERT_TRUE(f->Bind(table).ok());
  int tag = f->FindTag("NOMBRE");
  EXPECT_EQ(f->Tag(tag).collation, Collation::General);
  EXPECT_EQ(f->Tag(tag).key_length, 80);
  table.current = 1;
  RecordKeys keys;
  Status s = f->ComputeKeys(table, &keys);
  EXPECT_EQ(s.code(), kErrUnsupported);
  EXPECT_NE(s.message().find("GENERAL"), std::string::npos) << s.message();
  TagSpec spec;
  spec.name = "G2";
  spec.key_expr = "CODEMP";
  spec.collation = Collation::General;
  int idx;
  EXPECT_EQ(f->AddTag(spec, table, &idx).code(), kErrUnsupported);
  f.reset();
  EXPECT_EQ(ReadFile(path), before);
}

// Visual FoxPro 9 files: 3-level tree, candidate tags, unreferenced pages.
TEST(VisualFoxProFiles, EveryTagReadsAndMatchesItsRecords) {
  struct Case {
    const char* folder;
    const char* table;
    size_t tags;
    bool bindable;  // orders.cdx names the database container's long field names
  } cases[] = {
      {"tastrade_orders", "orders", 6, false},
      {"testdata_customer", "customer", 5, true},
      {"testdata_orditems", "orditems", 2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    std::string base = kx::test::FixturePath(std::string("real-world/") + c.folder + "/" + c.table);
    auto f = OpenRead(base + ".cdx");
    ASSERT_TRUE(f);
    EXPECT_EQ(size_t(f->TagCount()), c.tags);
    MemTable table;
    ASSERT_TRUE(table.Load(base + ".dbf"));
    Status s = f->Bind(table);
    if (!c.bindable) {
      EXPECT_EQ(s.code(), kErrExpression);
      EXPECT_NE(s.message().find("tag "), std::string::npos) << s.message();
      EXPECT_NE(s.message().find("unknown field"), std::string::npos) << s.message();
    } else {
      ASSERT_TRUE(s.ok()) << s.message();
    }
    s = f->Check();
    EXPECT_TRUE(s.ok()) << s.message();
    for (int i = 0; i < f->TagCount(); ++i) {
      std::vector<CdxFile::Entry> all;
      ASSERT_TRUE(f->ReadAll(i, &all).ok());
      std::set<uint32_t> recs;
      for (auto& e : all) recs.insert(e.recno);
      EXPECT_EQ(recs.size(), all.size()) << f->Tag(i).name;
      EXPECT_LE(all.size(), table.records.size());
      if (!c.bindable) continue;
      // keys in order and equal to their expression's value
      for (size_t k = 0; k < all.size(); ++k) {
        table.current = all[k].recno;
        RecordKeys keys;
        ASSERT_TRUE(f->ComputeKeys(table, &keys).ok());
        ASSERT_TRUE(keys[size_t(i)]);
        EXPECT_EQ(*keys[size_t(i)], all[k].key) << f->Tag(i).name << " record " << all[k].recno;
      }
      EXPECT_EQ(all.size(), table.records.size()) << f->Tag(i).name;
    }
  }
}

}  // namespace
}  // namespace kx::cdx::test
