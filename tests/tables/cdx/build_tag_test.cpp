// Tags built in one pass from their entries (the bulk form of a refill):
// the same contents and a sound structure as inserting them one by one, for
// one leaf and for several levels, with long keys that fill few per page; the
// rules of unique and candidate tags; and refusal of a tag that holds keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/tables/cdx/fixture_support.h"

namespace kx::cdx::test {
namespace {

using kx::platform::Access;
using kx::platform::DefaultFileSystem;
using kx::platform::Share;

std::vector<CdxFile::Entry> All(CdxFile* f, int tag) {
  std::vector<CdxFile::Entry> got;
  EXPECT_TRUE(f->ReadAll(tag, &got).ok());
  return got;
}

void ExpectSameEntries(const std::vector<CdxFile::Entry>& a, const std::vector<CdxFile::Entry>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    ASSERT_EQ(a[i].key, b[i].key) << "entry " << i;
    ASSERT_EQ(a[i].recno, b[i].recno) << "entry " << i;
  }
}

struct BuildCase {
  const char* name;
  int width;         // of the key field
  uint32_t records;
  bool descending;
};

TEST(CdxBuildTag, SameAsInsertingEveryEntry) {
  const BuildCase cases[] = {
      {"one leaf", 10, 20, false},
      {"levels", 12, 30000, false},
      {"descending", 12, 5000, true},
      {"long keys", 200, 3000, false},  // two keys a leaf, a deep tree
  };
  for (const BuildCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string dir = kx::test::ScratchFolder("cdx_build");
    ValueTable cat;
    cat.AddField("NAME", 'C', c.width);
    std::unique_ptr<CdxFile> built, inserted;
    ASSERT_TRUE(CdxFile::Create(DefaultFileSystem(), dir + "/b.cdx", Share::Exclusive, &built).ok());
    ASSERT_TRUE(CdxFile::Create(DefaultFileSystem(), dir + "/i.cdx", Share::Exclusive, &inserted).ok());
    TagSpec spec{"NAME", "NAME", "", false, false, c.descending, Collation::Machine};
    int tb = 0, ti = 0;
    ASSERT_TRUE(built->AddTag(spec, cat, &tb).ok());
    ASSERT_TRUE(inserted->AddTag(spec, cat, &ti).ok());
    std::vector<CdxFile::Entry> entries;
    for (uint32_t r = 1; r <= c.records; ++r) {
      // Duplicates, shared prefixes, trailing blanks and empty keys.
      std::string k = r % 7 == 0 ? "" : "CLIENTE " + std::to_string((r * 7919u) % (c.records / 2 + 1));
      k.resize(size_t(c.width), ' ');
      entries.push_back({k, r});
    }
    std::shuffle(entries.begin(), entries.end(), std::mt19937(7));
    for (const auto& e : entries) ASSERT_TRUE(inserted->Insert(ti, e.key, e.recno).ok());
    Status s = built->BuildTag(tb, entries);
    ASSERT_TRUE(s.ok()) << s.message();
    s = built->Check();
    ASSERT_TRUE(s.ok()) << s.message();
    ExpectSameEntries(All(built.get(), tb), All(inserted.get(), ti));
    // The file as written, opened again; it takes inserts as before.
    ASSERT_TRUE(built->Flush().ok());
    built.reset();
    ASSERT_TRUE(CdxFile::Open(DefaultFileSystem(), dir + "/b.cdx", Access::ReadWrite, Share::Exclusive, &built).ok());
    ASSERT_TRUE(built->Bind(cat).ok());
    std::string extra(size_t(c.width), 'Z');
    ASSERT_TRUE(built->Insert(tb, extra, c.records + 1).ok());
    ASSERT_TRUE(inserted->Insert(ti, extra, c.records + 1).ok());
    s = built->Check();
    ASSERT_TRUE(s.ok()) << s.message();
    ExpectSameEntries(All(built.get(), tb), All(inserted.get(), ti));
    // A tag that holds keys is not built over.
    EXPECT_EQ(built->BuildTag(tb, {{extra, 1}}).code(), kErrBadArgument);
  }
}

TEST(CdxBuildTag, UniqueKeepsTheLowestRecordCandidateRefusesRepeats) {
  std::string dir = kx::test::ScratchFolder("cdx_build_unique");
  ValueTable cat;
  cat.AddField("CODE", 'C', 4);
  std::unique_ptr<CdxFile> f;
  ASSERT_TRUE(CdxFile::Create(DefaultFileSystem(), dir + "/u.cdx", Share::Exclusive, &f).ok());
  int tu = 0, tc = 0;
  ASSERT_TRUE(f->AddTag({"UNI", "CODE", "", true, false, false, Collation::Machine}, cat, &tu).ok());
  ASSERT_TRUE(f->AddTag({"CAND", "CODE", "", false, true, false, Collation::Machine}, cat, &tc).ok());
  ASSERT_TRUE(f->BuildTag(tu, {{"BBBB", 4}, {"AAAA", 9}, {"AAAA", 2}, {"BBBB", 3}}).ok());
  auto u = All(f.get(), tu);
  ASSERT_EQ(u.size(), 2u);
  EXPECT_EQ(u[0].key, "AAAA");
  EXPECT_EQ(u[0].recno, 2u);
  EXPECT_EQ(u[1].key, "BBBB");
  EXPECT_EQ(u[1].recno, 3u);
  Status s = f->BuildTag(tc, {{"AAAA", 1}, {"CCCC", 2}, {"AAAA", 3}});
  EXPECT_EQ(s.code(), kErrDuplicateKey);
  EXPECT_TRUE(All(f.get(), tc).empty());
  s = f->Check();
  EXPECT_TRUE(s.ok()) << s.message();
  // A key of the wrong length changes nothing either.
  EXPECT_EQ(f->BuildTag(tc, {{"AAAAA", 1}}).code(), kErrBadArgument);
  EXPECT_TRUE(All(f.get(), tc).empty());
}

}  // namespace
}  // namespace kx::cdx::test
