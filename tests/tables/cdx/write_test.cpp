// Write paths: inserts in random order into multi-level trees, deletes that
// empty nodes (free-list reuse), zap, reopen and structural check after each
// step; and indexes rebuilt from a fixture's records against its own index.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "tests/tables/cdx/fixture_support.h"

namespace kx::cdx::test {
namespace {

using kx::platform::Access;
using kx::platform::DefaultFileSystem;
using kx::platform::Share;
using Entries = std::set<std::pair<std::string, uint32_t>>;

uint64_t FileSize(const std::string& path) {
  kx::platform::FileInfo info;
  EXPECT_TRUE(DefaultFileSystem()->Stat(path, &info).ok());
  return info.size;
}

// Flushes, closes and opens the index again, bound to the table's fields
// (which decide how keys of numbers decompress).
void Reopen(const std::string& path, std::unique_ptr<CdxFile>* f, const FieldCatalog& cat) {
  ASSERT_TRUE((*f)->Flush().ok());
  f->reset();
  Status s = CdxFile::Open(DefaultFileSystem(), path, Access::ReadWrite, Share::Exclusive, f);
  ASSERT_TRUE(s.ok()) << s.message();
  s = (*f)->Bind(cat);
  ASSERT_TRUE(s.ok()) << s.message();
}

void ExpectContents(CdxFile* f, int tag, const Entries& want) {
  std::vector<CdxFile::Entry> got;
  ASSERT_TRUE(f->ReadAll(tag, &got).ok());
  std::vector<std::pair<std::string, uint32_t>> w(want.begin(), want.end());
  if (f->Tag(tag).descending) std::reverse(w.begin(), w.end());
  ASSERT_EQ(got.size(), w.size()) << f->Tag(tag).name;
  for (size_t i = 0; i < got.size(); ++i) {
    ASSERT_EQ(got[i].key, w[i].first) << f->Tag(tag).name << " entry " << i;
    ASSERT_EQ(got[i].recno, w[i].second) << f->Tag(tag).name << " entry " << i;
  }
}

void ExpectChecked(CdxFile* f) {
  Status s = f->Check();
  ASSERT_TRUE(s.ok()) << s.message();
}

std::string NumKey(double d) {
  TagInfo t;
  t.key_type = 'N';
  t.key_length = 8;
  std::string k;
  EXPECT_TRUE(EncodeKey(kx::Value::Number(d), t, &k).ok());
  return k;
}

TEST(CdxWrite, RandomInsertsAndDeletesKeepTheTreeSound) {
  std::string dir = kx::test::ScratchFolder("cdx_random");
  std::string path = dir + "/t.cdx";
  ValueTable cat;
  cat.AddField("NAME", 'C', 24);
  cat.AddField("NUM", 'N', 10, 2);
  std::unique_ptr<CdxFile> f;
  ASSERT_TRUE(CdxFile::Create(DefaultFileSystem(), path, Share::Exclusive, &f).ok());
  int tname, tnum;
  TagSpec a{"NAME", "NAME", "", false, false, false, Collation::Machine};
  TagSpec b{"NUMDESC", "NUM", "", false, false, true, Collation::Machine};
  ASSERT_TRUE(f->AddTag(a, cat, &tname).ok());
  ASSERT_TRUE(f->AddTag(b, cat, &tnum).ok());
  EXPECT_EQ(f->Tag(tname).key_length, 24);
  EXPECT_EQ(f->Tag(tnum).key_length, 8);
  EXPECT_TRUE(f->Tag(tnum).descending);
  ExpectChecked(f.get());

  std::mt19937 rng(12345);
  const uint32_t n = 6000;
  std::vector<uint32_t> recs(n);
  for (uint32_t i = 0; i < n; ++i) recs[i] = i + 1;
  std::shuffle(recs.begin(), recs.end(), rng);
  Entries names, nums;
  auto name_of = [](uint32_t r) {
    // many duplicates, shared prefixes and trailing blanks
    std::string s = "CLIENTE " + std::to_string((r * 7919u) % 900u);
    if (r % 5 == 0) s = "";
    s.resize(24, ' ');
    return s;
  };
  auto num_of = [](uint32_t r) { return double(int((r * 104729u) % 5000u) - 2500) / 4.0; };
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t r = recs[i];
    ASSERT_TRUE(f->Insert(tname, name_of(r), r).ok());
    ASSERT_TRUE(f->Insert(tnum, NumKey(num_of(r)), r).ok());
    names.insert({name_of(r), r});
    nums.insert({NumKey(num_of(r)), r});
    if ((i + 1) % 2000 == 0) {
      ExpectChecked(f.get());
      Reopen(path, &f, cat);
      ExpectChecked(f.get());
      ExpectContents(f.get(), tname, names);
      ExpectContents(f.get(), tnum, nums);
    }
  }
  uint64_t full_size = FileSize(path);
  std::vector<uint32_t> first_order = recs;
  // Delete in another random order, checking on the way; whole leaves empty.
  std::shuffle(recs.begin(), recs.end(), rng);
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t r = recs[i];
    ASSERT_TRUE(f->Remove(tname, name_of(r), r).ok());
    ASSERT_TRUE(f->Remove(tnum, NumKey(num_of(r)), r).ok());
    names.erase({name_of(r), r});
    nums.erase({NumKey(num_of(r)), r});
    if ((i + 1) % 2000 == 0) {
      ExpectChecked(f.get());
      Reopen(path, &f, cat);
      ExpectChecked(f.get());
      ExpectContents(f.get(), tname, names);
      ExpectContents(f.get(), tnum, nums);
    }
  }
  ExpectContents(f.get(), tname, {});
  // Removing what is not there changes nothing.
  EXPECT_TRUE(f->Remove(tname, name_of(1), 1).ok());
  // Every page went back to the free list: the same inserts again reuse them.
  for (uint32_t r : first_order) {
    ASSERT_TRUE(f->Insert(tname, name_of(r), r).ok());
    ASSERT_TRUE(f->Insert(tnum, NumKey(num_of(r)), r).ok());
    names.insert({name_of(r), r});
    nums.insert({NumKey(num_of(r)), r});
  }
  Reopen(path, &f, cat);
  ExpectChecked(f.get());
  ExpectContents(f.get(), tname, names);
  ExpectContents(f.get(), tnum, nums);
  EXPECT_LE(FileSize(path), full_size);

  // Zap empties every tag; the file stays sound and reusable.
  ASSERT_TRUE(f->Zap().ok());
  ExpectChecked(f.get());
  Reopen(path, &f, cat);
  ExpectChecked(f.get());
  ExpectContents(f.get(), tname, {});
  ExpectContents(f.get(), tnum, {});
  ASSERT_TRUE(f->Insert(tname, name_of(7), 7).ok());
  Reopen(path, &f, cat);
  ExpectContents(f.get(), tname, {{name_of(7), 7}});
  EXPECT_LE(FileSize(path), full_size);
}

TEST(CdxWrite, LeafBitLayoutFollowsKeyLengthAndRecordNumbers) {
  // Record-number, duplicate and trailing bit counts as FoxPro chooses them.
  struct Case {
    int width;
    uint32_t recno;
    int rn_bits, dup_bits, bytes;
  } cases[] = {
      {1, 50, 14, 1, 2},      {4, 5, 18, 3, 3},        {10, 2000, 16, 4, 3},  {20, 2000, 14, 5, 3},
      {40, 5, 12, 6, 3},      {70, 2000, 18, 7, 4},    {30, 200000, 22, 5, 4}, {8, 200000, 24, 4, 4},
  };
  std::string dir = kx::test::ScratchFolder("cdx_bits");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    std::string path = dir + "/b" + std::to_string(c.width) + ".cdx";
    ValueTable cat;
    cat.AddField("K", 'C', c.width);
    std::unique_ptr<CdxFile> f;
    ASSERT_TRUE(CdxFile::Create(DefaultFileSystem(), path, Share::Exclusive, &f).ok());
    int t;
    ASSERT_TRUE(f->AddTag({"K", "K", "", false, false, false, Collation::Machine}, cat, &t).ok());
    ASSERT_TRUE(f->Insert(t, std::string(size_t(c.width), 'A'), c.recno).ok());
    ASSERT_TRUE(f->Flush().ok());
    uint32_t root = f->Tag(t).header_offset + 1024;  // the root leaf follows the header
    f.reset();
    std::string d = ReadFile(path);
    ASSERT_GE(d.size(), root + 512);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(d.data()) + root;
    EXPECT_EQ(p[0], 3);  // root leaf
    EXPECT_EQ(p[20], c.rn_bits);
    EXPECT_EQ(p[21], c.dup_bits);
    EXPECT_EQ(p[22], c.dup_bits);
    EXPECT_EQ(p[23], c.bytes);
    uint32_t mask = p[14] | (p[15] << 8) | (p[16] << 16) | (uint32_t(p[17]) << 24);
    EXPECT_EQ(mask, (1u << c.rn_bits) - 1);
    EXPECT_EQ(p[12] | (p[13] << 8), 488 - c.bytes - c.width);  // one key, no compression
  }
}

TEST(CdxWrite, UniqueAndCandidateTags) {
  std::string dir = kx::test::ScratchFolder("cdx_unique");
  std::string path = dir + "/u.cdx";
  ValueTable cat;
  cat.AddField("CODE", 'C', 4);
  std::unique_ptr<CdxFile> f;
  ASSERT_TRUE(CdxFile::Create(DefaultFileSystem(), path, Share::Exclusive, &f).ok());
  int tu, tc, tp;
  ASSERT_TRUE(f->AddTag({"UNI", "CODE", "", true, false, false, Collation::Machine}, cat, &tu).ok());
  ASSERT_TRUE(f->AddTag({"CAND", "CODE", "", false, true, false, Collation::Machine}, cat, &tc).ok());
  ASSERT_TRUE(f->AddTag({"PLAIN", "CODE", "", false, false, false, Collation::Machine}, cat, &tp).ok());
  auto keys = [&](const char* k) { return RecordKeys{std::string(k), std::string(k), std::string(k)}; };
  ASSERT_TRUE(f->InsertRecord(5, keys("AAAA")).ok());
  // A unique tag keeps the lowest record number of a key.
  ASSERT_TRUE(f->Insert(tu, "AAAA", 9).ok());
  ASSERT_TRUE(f->Insert(tu, "AAAA", 2).ok());
  ExpectContents(f.get(), tu, {{"AAAA", 2}});
  // A candidate tag refuses a second record with the key, and then nothing
  // of the record reaches any tag.
  Status s = f->InsertRecord(6, keys("AAAA"));
  EXPECT_EQ(s.code(), kErrDuplicateKey);
  EXPECT_NE(s.message().find("CAND"), std::string::npos) << s.message();
  ExpectContents(f.get(), tp, {{"AAAA", 5}});
  ExpectContents(f.get(), tc, {{"AAAA", 5}});
  // Changing the record's own key is fine.
  ASSERT_TRUE(f->UpdateRecord(5, keys("AAAA"), keys("BBBB")).ok());
  ExpectContents(f.get(), tc, {{"BBBB", 5}});
  ExpectContents(f.get(), tp, {{"BBBB", 5}});
  ExpectChecked(f.get());
  // Options byte as FoxPro writes it.
  ASSERT_TRUE(f->Flush().ok());
  uint32_t hu = f->Tag(tu).header_offset, hc = f->Tag(tc).header_offset;
  f.reset();
  std::string d = ReadFile(path);
  EXPECT_EQ(uint8_t(d[hu + 14]), 0x61);
  EXPECT_EQ(uint8_t(d[hc + 14]), 0x64);
}

TEST(CdxWrite, CursorsSeekAndSurviveChanges) {
  std::string dir = kx::test::ScratchFolder("cdx_cursor");
  std::string path = dir + "/c.cdx";
  ValueTable cat;
  cat.AddField("K", 'C', 3);
  std::unique_ptr<CdxFile> f;
  ASSERT_TRUE(CdxFile::Create(DefaultFileSystem(), path, Share::Exclusive, &f).ok());
  int ta, td;
  ASSERT_TRUE(f->AddTag({"ASC", "K", "", false, false, false, Collation::Machine}, cat, &ta).ok());
  ASSERT_TRUE(f->AddTag({"DESC", "K", "", false, false, true, Collation::Machine}, cat, &td).ok());
  const char* keys[] = {"AB ", "AC ", "AC ", "B  ", "BA ", "D  "};
  for (uint32_t i = 0; i < 6; ++i) {
    ASSERT_TRUE(f->Insert(ta, keys[i], i + 1).ok());
    ASSERT_TRUE(f->Insert(td, keys[i], i + 1).ok());
  }
  struct Case {
    int tag;
    const char* key;
    bool found;
    uint32_t recno;  // 0: end of tag
  } cases[] = {
      {ta, "AC", true, 2},  {ta, "A", true, 1},   {ta, "AD", false, 4}, {ta, "E", false, 0}, {ta, "", true, 1},
      {ta, "B  ", true, 4}, {td, "AC", true, 3},  {td, "B", true, 5},   {td, "C", false, 5}, {td, "AA", false, 0},
      {td, "Z", false, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + (c.tag == td ? " desc" : " asc"));
    auto cur = f->NewCursor(c.tag);
    bool found = !c.found;
    ASSERT_TRUE(cur->Seek(c.key, &found).ok());
    EXPECT_EQ(found, c.found);
    EXPECT_EQ(cur->Valid(), c.recno != 0);
    if (c.recno) {
      EXPECT_EQ(cur->recno(), c.recno);
    }
  }
  // A walk goes on correctly while entries are removed and added around it.
  auto cur = f->NewCursor(ta);
  ASSERT_TRUE(cur->First().ok());
  ASSERT_TRUE(cur->Next().ok());
  EXPECT_EQ(cur->recno(), 2u);
  ASSERT_TRUE(f->Remove(ta, "AC ", 2).ok());  // the current entry goes away
  ASSERT_TRUE(f->Insert(ta, "AA ", 7).ok());  // behind the cursor
  ASSERT_TRUE(cur->Next().ok());
  EXPECT_EQ(cur->recno(), 3u);
  ASSERT_TRUE(cur->Prev().ok());
  EXPECT_EQ(cur->recno(), 1u);
  ASSERT_TRUE(cur->Prev().ok());
  EXPECT_EQ(cur->recno(), 7u);
  ASSERT_TRUE(cur->Prev().ok());
  EXPECT_FALSE(cur->Valid());
  // Descending walk: equal keys in descending record order.
  std::vector<CdxFile::Entry> all;
  ASSERT_TRUE(f->ReadAll(td, &all).ok());
  EXPECT_EQ(Recnos(all), (std::vector<uint32_t>{6, 5, 4, 3, 2, 1}));
}

// Rebuild each fixture's index from its records with the same tag
// definitions and compare every tag entry for entry with the fixture.
class RoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(RoundTrip, RebuiltIndexEqualsTheFixture) {
  std::string name = GetParam();
  std::unique_ptr<CdxFile> ref;
  ASSERT_TRUE(CdxFile::Open(DefaultFileSystem(), kx::test::FixturePath("reference-tables/" + name + ".cdx"), Access::Read, Share::Shared, &ref).ok());
  MemTable table;
  ASSERT_TRUE(table.Load(kx::test::FixturePath("reference-tables/" + name + ".dbf")));
  ASSERT_TRUE(ref->Bind(table).ok());
  std::string dir = kx::test::ScratchFolder("cdx_roundtrip_" + name);
  std::string path = dir + "/" + name + ".cdx";
  std::unique_ptr<CdxFile> f;
  ASSERT_TRUE(CdxFile::Create(DefaultFileSystem(), path, Share::Exclusive, &f).ok());
  for (int i = 0; i < ref->TagCount(); ++i) {
    const TagInfo& t = ref->Tag(i);
    int idx;
    Status s = f->AddTag({t.name, t.key_expr, t.for_expr, t.unique, t.candidate, t.descending, Collation::Machine}, table, &idx);
    ASSERT_TRUE(s.ok()) << s.message();
    EXPECT_EQ(idx, i);
    EXPECT_EQ(f->Tag(idx).key_length, t.key_length) << t.name;
    EXPECT_EQ(f->Tag(idx).nullable, t.nullable) << t.name;
  }
  for (uint32_t r = 1; r <= table.records.size(); ++r) {
    table.current = r;
    RecordKeys keys;
    Status s = f->ComputeKeys(table, &keys);
    ASSERT_TRUE(s.ok()) << s.message();
    s = f->InsertRecord(r, keys);
    ASSERT_TRUE(s.ok()) << s.message();
  }
  Reopen(path, &f, table);
  ExpectChecked(f.get());
  EXPECT_EQ(f->TagsByName(), ref->TagsByName());
  for (int i = 0; i < ref->TagCount(); ++i) {
    std::vector<CdxFile::Entry> want, got;
    ASSERT_TRUE(ref->ReadAll(i, &want).ok());
    ASSERT_TRUE(f->ReadAll(i, &got).ok());
    ASSERT_EQ(got.size(), want.size()) << ref->Tag(i).name;
    bool datetime = ref->Tag(i).key_type == 'T';  // last-bit rounding of the writer, see manifest
    for (size_t k = 0; k < got.size(); ++k) {
      ASSERT_EQ(got[k].recno, want[k].recno) << ref->Tag(i).name << " entry " << k;
      if (!datetime) {
        ASSERT_EQ(got[k].key, want[k].key) << ref->Tag(i).name << " entry " << k;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cdx, RoundTrip, ::testing::Values("Empresa", "Journal", "Types"));

}  // namespace
}  // namespace kx::cdx::test
