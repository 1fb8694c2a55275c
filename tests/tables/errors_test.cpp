// Failures of the table engine: opens that fail (absorbed as the
// network-error flag), refused locks, corrupt and truncated files (an error
// record naming the file and the defect, nothing written), and power cuts
// during appends (the file stays consistent).
#include <gtest/gtest.h>

#include <filesystem>

#include "errors/record/error_record.h"
#include "platform/fault_file_system.h"
#include "tests/tables/table_fixtures.h"
#include "updater/tables/workareas.h"

namespace kx::tables {
namespace {

using test::RecordingHandler;

TEST(TableErrors, FailedOpensSetTheFlagAndLeaveTheAliasFree) {
  std::string dir = test::ScratchFolder("tables_open_fail");
  std::string t = test::CopyTable(test::Reference("Empresa"), dir, "Empresa");
  WorkAreas w;
  ASSERT_TRUE(w.Open(t, "E"));
  struct Case {
    std::string path;
    uint32_t os_code;
  };
  for (const Case& c : {Case{dir + "/Missing", 2}, Case{dir + "/NoFolder/Empresa", 3}}) {
    SCOPED_TRACE(c.path);
    SetNetErr(false);
    NERRORCODE(Value::Number(0));
    EXPECT_FALSE(w.Open(c.path, "X"));
    EXPECT_TRUE(NetErr());
    EXPECT_EQ(NERRORCODE().number(), c.os_code);
    EXPECT_FALSE(w.IsOpen("X"));
    EXPECT_EQ(w.SelectedAlias(), "E");  // the selection is kept
    EXPECT_EQ(w.LastError(), 5004);
  }
  // A table held exclusively by another handle: sharing violation.
  WorkAreas other;
  EXPECT_FALSE(other.Open(t, "E2"));
  EXPECT_TRUE(NetErr());
  EXPECT_EQ(NERRORCODE().number(), 32);
  // A successful open clears the flag.
  w.Close();
  EXPECT_TRUE(other.Open(t, "E2"));
  EXPECT_FALSE(NetErr());
  EXPECT_EQ(other.LastError(), 0);
}

TEST(TableErrors, AnOpenErrorRecordCarriesCodesAndRetryRepeatsTheOpen) {
  std::string dir = test::ScratchFolder("tables_open_record");
  int calls = 0;
  std::vector<ErrorRecord> seen;
  ErrorHandler previous = SetErrorHandler([&](ErrorRecord& e) {
    seen.push_back(e);
    // The first answer retries: the table is there by then.
    if (++calls == 1) {
      test::CopyTable(test::Reference("Empresa"), dir, "Late");
      return ErrorAnswer{ErrorAction::Retry, Value()};
    }
    return ErrorAnswer{ErrorAction::Default, Value()};
  });
  WorkAreas w;
  EXPECT_TRUE(w.Open(dir + "/Late", "L"));
  SetErrorHandler(std::move(previous));
  ASSERT_EQ(seen.size(), 1u);
  const ErrorRecord& e = seen[0];
  EXPECT_EQ(e.gen_code, 21);
  EXPECT_EQ(e.os_code, 2u);
  EXPECT_EQ(e.sub_code, 5004);
  EXPECT_EQ(*e.sub_system, "DBFCDX");
  EXPECT_TRUE(e.can_retry);
  EXPECT_NE(e.file_name.find("Late.dbf"), std::string::npos);
  EXPECT_EQ(DescriptionLine(e).rfind("(Error DOS 2) DBFCDX/5004 Open error: ", 0), 0u) << DescriptionLine(e);
}

TEST(TableErrors, AnAnnouncedIndexThatIsMissingOpensWithoutIndex) {
  std::string dir = test::ScratchFolder("tables_no_cdx");
  std::string t = test::CopyTable(test::Reference("Journal"), dir, "Backup");
  std::filesystem::remove(test::HostPath(t + ".cdx"));
  WorkAreas w;
  ASSERT_TRUE(w.Open(t, "B"));
  EXPECT_EQ(w.OrderCount(), 0);
  EXPECT_EQ(w.RecCount(), 2000u);
  int n = 0;
  for (w.GoTop(); !w.Eof(); w.Skip()) ++n;
  EXPECT_EQ(n, 1949);
  // A write works and creates no index.
  w.GoTop();
  EXPECT_TRUE(w.PutField("SERIE", Value::Text("Z")));
  w.Close();
  EXPECT_FALSE(std::filesystem::exists(test::HostPath(t + ".cdx")));
}

TEST(TableErrors, SharedOpensLockRecordsTheFileAndAppends) {
  std::string dir = test::ScratchFolder("tables_shared");
  std::string t = test::CopyTable(test::Reference("Journal"), dir, "Journal");
  WorkAreas a, b;
  ASSERT_TRUE(a.Open(t, "J", OpenMode::Shared));
  ASSERT_TRUE(b.Open(t, "J", OpenMode::Shared));
  EXPECT_TRUE(a.IsShared());
  // Record locks exclude each other, different records do not.
  EXPECT_TRUE(a.LockRecord(3));
  EXPECT_FALSE(b.LockRecord(3));
  EXPECT_EQ(b.LastError(), 7040);
  EXPECT_TRUE(b.LockRecord(4));
  // A file lock needs every record free.
  EXPECT_FALSE(b.LockFile());
  // A write needs the record's lock.
  b.GoTo(3);
  {
    RecordingHandler h;
    EXPECT_FALSE(b.PutField("SERIE", Value::Text("X")));
    ASSERT_EQ(h.errors.size(), 1u);
    EXPECT_EQ(h.errors[0].gen_code, kGenUnlocked);
  }
  a.GoTo(3);
  EXPECT_TRUE(a.PutField("SERIE", Value::Text("Q")));
  EXPECT_TRUE(a.UnlockRecord(3));  // written when the lock goes
  EXPECT_TRUE(b.LockRecord(3));
  EXPECT_EQ(b.GetField("SERIE").text(), "Q  ");
  b.UnlockAll();
  // The append lock: held by a, an append of b is refused, silently.
  EXPECT_TRUE(a.LockAppend());
  SetNetErr(false);
  NERRORCODE(Value::Number(77));
  EXPECT_FALSE(b.AppendBlank());
  EXPECT_TRUE(NetErr());
  EXPECT_EQ(NERRORCODE().number(), 77);  // left alone
  EXPECT_EQ(b.RecCount(), 2000u);
  a.UnlockAppend();
  // Appends from both handles: each sees the other's.
  EXPECT_TRUE(b.AppendBlank());
  EXPECT_EQ(b.RecNo(), 2001u);
  EXPECT_TRUE(b.PutField("CONTRA", Value::Text("DE B")));
  EXPECT_TRUE(a.AppendBlank());
  EXPECT_EQ(a.RecNo(), 2002u);
  b.UnlockAll();
  a.UnlockAll();
  a.GoTo(2001);
  EXPECT_EQ(a.GetField("CONTRA").text().substr(0, 4), "DE B");
  // Zap needs the table to itself.
  {
    RecordingHandler h;
    EXPECT_FALSE(a.Zap());
    EXPECT_EQ(h.errors.size(), 1u);
  }
}

// ---- Corrupt and truncated files ------------------------------------------------

void Patch(std::string* bytes, size_t at, std::initializer_list<int> values) {
  for (int v : values) (*bytes)[at++] = char(v);
}

TEST(TableErrors, CorruptFilesRaiseAnErrorThatNamesFileAndDefect) {
  struct Case {
    const char* name;
    const char* ext;  // the file to damage
    void (*damage)(std::string*);
    const char* what;  // in the description
  };
  const Case cases[] = {
      {"short", ".dbf", [](std::string* b) { b->resize(20); }, "too short"},
      {"header length", ".dbf", [](std::string* b) { Patch(b, 8, {0xFF, 0x7F}); }, "record count 2000 needs"},
      {"record count", ".dbf", [](std::string* b) { Patch(b, 4, {0x10, 0x27, 0, 0}); }, "record count 10000"},
      {"truncated", ".dbf", [](std::string* b) { b->resize(b->size() - 100); }, "record count 2000"},
      {"record length", ".dbf", [](std::string* b) { Patch(b, 10, {10, 0}); }, "record length"},
      {"field type", ".dbf", [](std::string* b) { (*b)[32 + 11] = 'X'; }, "unknown type"},
      {"field width", ".dbf", [](std::string* b) { (*b)[32 + 32 * 6 + 16] = 3; }, "width 3"},
      {"no terminator", ".dbf", [](std::string* b) { (*b)[32 + 32 * 9] = 'A'; }, "unknown type"},
      {"memo header", ".fpt", [](std::string* b) { b->resize(100); }, "too short"},
      {"memo block size", ".fpt", [](std::string* b) { Patch(b, 6, {0, 0}); }, "block size is 0"},
      {"index", ".cdx", [](std::string* b) { b->resize(700); }, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string dir = test::ScratchFolder("tables_corrupt");
    std::string t = test::CopyTable(test::Reference("Journal"), dir, "Journal");
    std::string file = test::HostPath(t + c.ext);
    std::string bytes = test::ReadText(file);
    c.damage(&bytes);
    { std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes; }
    RecordingHandler h;
    WorkAreas w;
    EXPECT_FALSE(w.Open(t, "J"));
    EXPECT_FALSE(w.IsOpen("J"));
    ASSERT_EQ(h.errors.size(), 1u);
    const ErrorRecord& e = h.errors[0];
    EXPECT_EQ(e.os_code, 0u);
    EXPECT_NE(e.file_name.find(std::string("Journal") + c.ext), std::string::npos) << e.file_name;
    EXPECT_NE(e.description->find(c.what), std::string::npos) << *e.description;
    EXPECT_FALSE(NetErr());  // not a silent failure: it must reach the dialog
    // Nothing was written.
    EXPECT_EQ(test::ReadText(file), bytes);
  }
}

TEST(TableErrors, BadMemoPointersAreAnErrorNotACrash) {
  std::string dir = test::ScratchFolder("tables_bad_memo");
  std::string t = test::CopyTable(test::Reference("Journal"), dir, "Journal");
  std::string file = test::HostPath(t + ".dbf");
  std::string bytes = test::ReadText(file);
  // NOTAS of record 1 (offset 80 in the record) beyond the memo file, of
  // record 5 inside the memo header, of record 9 with a length past the end.
  const size_t hl = 584, rl = 84;
  Patch(&bytes, hl + 0 * rl + 80, {0xFF, 0xFF, 0, 0});
  Patch(&bytes, hl + 4 * rl + 80, {3, 0, 0, 0});
  { std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes; }
  std::string memo = test::ReadText(test::HostPath(t + ".fpt"));
  WorkAreas w;
  ASSERT_TRUE(w.Open(t, "J", OpenMode::Exclusive, true));
  for (uint32_t n : {1u, 5u}) {
    RecordingHandler h;
    w.GoTo(n);
    Value v = w.GetField("NOTAS");
    EXPECT_TRUE(v.IsText());
    EXPECT_TRUE(v.text().empty());
    ASSERT_EQ(h.errors.size(), 1u) << n;
    EXPECT_EQ(h.errors[0].gen_code, kGenCorruption);
    EXPECT_NE(h.errors[0].file_name.find("Journal.fpt"), std::string::npos);
    EXPECT_NE(h.errors[0].description->find("memo block"), std::string::npos) << *h.errors[0].description;
  }
  w.Close();
  EXPECT_EQ(test::ReadText(test::HostPath(t + ".fpt")), memo);
}

// ---- Power cuts ------------------------------------------------------------------

// Appends 8 records (one with a memo) and rewrites one, through `fs`.
void AppendJob(platform::FileSystem* fs, const std::string& t) {
  WorkAreas w(fs);
  if (!w.Open(t, "J")) return;
  for (int i = 0; i < 8; ++i) {
    w.AppendBlank();
    w.PutField("CONTRA", Value::Text("CUT " + std::to_string(i)));
    w.PutField("FACTURA", Value::Number(i + 1));
    if (i == 3) w.PutField("NOTAS", Value::Memo("memo of the fourth"));
  }
  w.GoTo(1);
  w.PutField("SERIE", Value::Text("CUT"));
  w.CloseAll();
}

TEST(TableErrors, APowerCutLosesAtMostTheRecordBeingWritten) {
  std::string dir = test::ScratchFolder("tables_power_cut");
  std::string t;
  uint64_t total = 0;
  {
    t = test::CopyTable(test::Reference("Journal"), dir, "Journal");
    platform::FaultFileSystem fs(platform::DefaultFileSystem());
    AppendJob(&fs, t);
    total = fs.mutations();
  }
  ASSERT_GT(total, 16u);
  for (uint64_t cut = 1; cut <= total; ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    t = test::CopyTable(test::Reference("Journal"), dir, "Journal");
    {
      platform::FaultFileSystem fs(platform::DefaultFileSystem());
      fs.PowerCutAt(cut, 3);
      AppendJob(&fs, t);
    }
    // The DBF opens (without its index, which a cut may leave stale) and
    // every record the count covers is whole.
    std::string bytes = test::ReadText(test::HostPath(t + ".dbf"));
    auto u = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    uint32_t count = u(4) | u(5) << 8 | u(6) << 16 | uint32_t(u(7)) << 24;
    ASSERT_GE(count, 2000u);
    ASSERT_LE(count, 2008u);
    EXPECT_GE(bytes.size(), 584 + size_t(count) * 84);
    std::filesystem::remove(test::HostPath(t + ".cdx"));
    WorkAreas w;
    RecordingHandler h;
    ASSERT_TRUE(w.Open(t, "J", OpenMode::Exclusive, true));
    for (uint32_t n = 2001; n <= count; ++n) {
      w.GoTo(n);
      int i = int(n - 2001);
      EXPECT_EQ(w.GetField("CONTRA").text().substr(0, 6), "CUT " + std::to_string(i) + " ");
      EXPECT_EQ(w.GetField("FACTURA").number(), i + 1);
      if (i == 3) {
        EXPECT_EQ(w.GetField("NOTAS").text(), "memo of the fourth");
      }
    }
    EXPECT_TRUE(h.errors.empty()) << DescriptionLine(h.errors[0]);
  }
}

}  // namespace
}  // namespace kx::tables
