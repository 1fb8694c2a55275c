#include "paneltool/ini/ini_file.h"

#include <gtest/gtest.h>

#include <functional>

#include "paneltool/ini/ini_text.h"
#include "platform/file_system.h"
#include "tests/support/paths.h"

namespace kx::ini {
namespace {

using platform::DefaultFileSystem;
using platform::Status;

std::string Slurp(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(platform::ReadWholeFile(DefaultFileSystem(), path, &bytes).ok()) << path;
  return bytes;
}

void Put(const std::string& path, const std::string& bytes) {
  ASSERT_TRUE(platform::WriteWholeFile(DefaultFileSystem(), path, bytes).ok()) << path;
}

std::string Folder(const std::string& name) { return kx::test::ScratchFolder("ini/" + name); }

std::unique_ptr<IniFile> Open(const std::string& path, platform::FileSystem* fs = DefaultFileSystem()) {
  std::unique_ptr<IniFile> f;
  Status s = OpenIniFile(fs, path, &f);
  EXPECT_TRUE(s.ok()) << s.message();
  return f;
}

// A file holding `bytes`, opened.
std::unique_ptr<IniFile> OpenWith(const std::string& test, const std::string& bytes, std::string* path = nullptr) {
  std::string p = Folder(test) + "/ICONOS.INI";
  Put(p, bytes);
  if (path) *path = p;
  return Open(p);
}

// One change, flushed; the file's bytes after it.
std::string AfterChange(const std::string& test, const std::string& before,
                        const std::function<Status(IniFile&)>& change) {
  std::string path;
  auto f = OpenWith(test, before, &path);
  Status s = change(*f);
  EXPECT_TRUE(s.ok()) << s.message();
  s = f->Flush();
  EXPECT_TRUE(s.ok()) << s.message();
  return Slurp(path);
}

const char kSample[] =
    "; icon file\r\n"
    "\r\n"
    "[PANEL]\r\n"
    "VAVU_INFO = 1A2B3C4D1FC7D73B   \r\n"
    "SECCIONES=2\r\n"
    "\r\n"
    "[PRINCIPAL_1]\r\n"
    "TITULO=  \"  Gestión  \"  \r\n"
    "NOMBRE='Gestion_ABC'\r\n"
    "titulo=second copy\r\n"
    "Vacía=\r\n"
    "no equals sign here\r\n"
    ";TITULO=commented\r\n"
    "\r\n"
    "[principal_1]\r\n"
    "EXTRA=only in the second occurrence\r\n"
    "[PRINCIPAL_3]\r\n"
    "\r\n"
    "[ÑANDÚ]\n"
    "Clave Ñ=\"half\n"
    "Q='x\"";

TEST(IniRead, ValuesAndPresenceFollowTheProfileRules) {
  auto f = OpenWith("read", kSample);
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  } cases[] = {
      {"PANEL", "VAVU_INFO", "1A2B3C4D1FC7D73B"},        // blanks around '=' and at the end
      {"panel", "vavu_info", "1A2B3C4D1FC7D73B"},        // names without regard to case
      {"  PANEL ", " SECCIONES  ", "2"},                 // names given with blanks
      {"PRINCIPAL_1", "TITULO", "  Gestión  "},          // one pair of quotes, inner blanks kept
      {"PRINCIPAL_1", "NOMBRE", "Gestion_ABC"},          // single quotes too
      {"PRINCIPAL_1", "Titulo", "  Gestión  "},          // a key listed twice reads as its first
      {"PRINCIPAL_1", "VACÍA", ""},                      // accented letters fold too
      {"PRINCIPAL_1", "no equals sign here", "dflt"},    // a line without '=' is no key
      {"PRINCIPAL_1", ";TITULO", "dflt"},                // nor is a comment
      {"PRINCIPAL_1", "EXTRA", "dflt"},                  // the second occurrence is not seen
      {"ñandú", "clave ñ", "\"half"},                    // an unmatched quote stays
      {"ÑANDÚ", "Q", "'x\""},                            // so do mismatched quotes (no final line end)
      {"MISSING", "X", "dflt"},
      {"PANEL", "", ""},                                 // an empty key name reads empty
  };
  for (const Case& c : cases)
    EXPECT_EQ(f->ReadString(c.section, c.key, "dflt"), c.expected) << c.section << " / " << c.key;

  EXPECT_EQ(f->ReadString("X", "Y", "  de fault  "), "  de fault");  // trailing blanks of a default go
  EXPECT_EQ(f->ReadString("X", "Y", "\"q\""), "q");                   // and its quotes, as the system does

  EXPECT_TRUE(f->HasSection("Principal_1"));
  EXPECT_FALSE(f->HasSection("PRINCIPAL_3"));  // a header without keys is absent
  EXPECT_FALSE(f->HasSection("PRINCIPAL_2"));
  EXPECT_TRUE(f->HasKey("PRINCIPAL_1", "vacía"));  // present whatever its value
  EXPECT_FALSE(f->HasKey("PRINCIPAL_1", "no equals sign here"));

  EXPECT_EQ(f->ReadSectionKeys("principal_1"), (std::vector<std::string>{"TITULO", "NOMBRE", "Vacía"}));
  EXPECT_EQ(f->ReadSectionPairs("PRINCIPAL_1"),
            (std::vector<IniPair>{{"TITULO", "\"  Gestión  \""}, {"NOMBRE", "'Gestion_ABC'"}, {"Vacía", ""}}));
  EXPECT_EQ(f->ReadSectionNames(), (std::vector<std::string>{"PANEL", "PRINCIPAL_1", "PRINCIPAL_3", "ÑANDÚ"}));
}

TEST(IniRead, LongValuesAreCutOnlyWhenRead) {
  std::string big(3000, 'x');
  big[2046] = 'A';
  big[2047] = 'B';
  auto f = OpenWith("long", "[S]\r\nK=" + big + "\r\nQ=\"" + big + "\"\r\n");
  std::string read = f->ReadString("S", "K", "");
  EXPECT_EQ(read.size(), kMaxRead);
  EXPECT_EQ(read.back(), 'A');
  EXPECT_EQ(f->ReadString("S", "Q", ""), big.substr(0, kMaxRead));
  std::vector<IniPair> pairs = f->ReadSectionPairs("S");
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[0].value, big);  // whole
  EXPECT_EQ(pairs[1].value, "\"" + big + "\"");
  EXPECT_EQ(ReadableValue(pairs[1].value), big.substr(0, kMaxRead));
}

// Every change leaves the lines it does not touch byte for byte.
TEST(IniWrite, ChangesTouchOnlyTheirLines) {
  const std::string before =
      "; head\r\n"
      "[A]\r\n"
      "  Key1 =  old   \r\n"
      "key1=dup\r\n"
      "; trailing comment of A\r\n"
      "\r\n"
      "\r\n"
      "[B]\n"
      "x=1\n"
      "[C]\r\n"
      "c=3";  // no final line end
  struct Case {
    const char* name;
    std::function<Status(IniFile&)> change;
    std::string after;
  } cases[] = {
      {"replace_in_place", [](IniFile& f) { return f.WriteString("a", "KEY1", "new"); },
       "; head\r\n[A]\r\n  Key1 =  new\r\nkey1=dup\r\n; trailing comment of A\r\n\r\n\r\n[B]\nx=1\n[C]\r\nc=3"},
      {"append_key_before_trailing_blanks", [](IniFile& f) { return f.WriteString("A", "K2", "v"); },
       "; head\r\n[A]\r\n  Key1 =  old   \r\nkey1=dup\r\n; trailing comment of A\r\nK2=v\r\n\r\n\r\n"
       "[B]\nx=1\n[C]\r\nc=3"},
      {"append_key_after_last_line_without_end", [](IniFile& f) { return f.WriteString("C", "d", "4"); },
       "; head\r\n[A]\r\n  Key1 =  old   \r\nkey1=dup\r\n; trailing comment of A\r\n\r\n\r\n[B]\nx=1\n"
       "[C]\r\nc=3\r\nd=4\r\n"},
      {"append_section", [](IniFile& f) { return f.WriteString("New", "k", "v"); },
       "; head\r\n[A]\r\n  Key1 =  old   \r\nkey1=dup\r\n; trailing comment of A\r\n\r\n\r\n[B]\nx=1\n"
       "[C]\r\nc=3\r\n[New]\r\nk=v\r\n"},
      {"erase_section", [](IniFile& f) { return f.EraseSection("a"); }, "; head\r\n[B]\nx=1\n[C]\r\nc=3"},
      {"erase_last_section", [](IniFile& f) { return f.EraseSection("C"); },
       "; head\r\n[A]\r\n  Key1 =  old   \r\nkey1=dup\r\n; trailing comment of A\r\n\r\n\r\n[B]\nx=1\n"},
      {"erase_key_every_copy", [](IniFile& f) { return f.EraseKey("A", "key1"); },
       "; head\r\n[A]\r\n; trailing comment of A\r\n\r\n\r\n[B]\nx=1\n[C]\r\nc=3"},
      {"same_value_changes_nothing", [](IniFile& f) { return f.WriteString("A", "Key1", "old"); }, before},
      {"write_section", [](IniFile& f) { return f.WriteSection("A", {{"p", "1"}, {"q", "\"2\""}, {"P", "dup"}}); },
       "; head\r\n[A]\r\np=1\r\nq=\"2\"\r\n; trailing comment of A\r\n\r\n\r\n[B]\nx=1\n[C]\r\nc=3"},
      {"erase_missing_is_nothing", [](IniFile& f) { return f.EraseSection("Z"); }, before},
  };
  for (const Case& c : cases) EXPECT_EQ(AfterChange(c.name, before, c.change), c.after) << c.name;
}

TEST(IniWrite, DuplicateSectionsAreWrittenInTheFirstAndErasedWhole) {
  const std::string before = "[A]\r\nk=1\r\n[B]\r\nb=1\r\n[a]\r\nk=2\r\nz=9\r\n";
  EXPECT_EQ(AfterChange("dup_write", before, [](IniFile& f) { return f.WriteString("A", "z", "new"); }),
            "[A]\r\nk=1\r\nz=new\r\n[B]\r\nb=1\r\n[a]\r\nk=2\r\nz=9\r\n");
  std::string path;
  auto f = OpenWith("dup_erase", before, &path);
  ASSERT_TRUE(f->EraseSection("A").ok());
  EXPECT_FALSE(f->HasSection("A"));  // no stale second copy shows up
  EXPECT_EQ(f->ReadString("A", "z", "gone"), "gone");
  ASSERT_TRUE(f->Flush().ok());
  EXPECT_EQ(Slurp(path), "[B]\r\nb=1\r\n");
}

TEST(IniWrite, LinesAddedFollowTheFilesLineEnds) {
  EXPECT_EQ(AfterChange("lf", "[A]\na=1\n", [](IniFile& f) { return f.WriteString("B", "b", "2"); }),
            "[A]\na=1\n[B]\nb=2\n");
  EXPECT_EQ(AfterChange("empty", "", [](IniFile& f) { return f.WriteString("B", "b", "2"); }), "[B]\r\nb=2\r\n");
}

TEST(IniWrite, RefusesNamesAndValuesThatWouldBreakTheFile) {
  auto f = OpenWith("refuse", "[A]\r\na=1\r\n");
  for (auto [s, k, v] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {"A", "x", "two\r\nlines"}, {"A", "", "v"}, {"", "k", "v"}, {"A", "k=v", "1"},
           {"A", ";k", "1"}, {"A]", "k", "1"}, {"A", "[k", "1"}}) {
    Status st = f->WriteString(s, k, v);
    EXPECT_FALSE(st.ok()) << s << "/" << k;
    EXPECT_EQ(st.message().rfind("Unable to write to ", 0), 0u) << st.message();
  }
  EXPECT_EQ(f->ReadSectionPairs("A"), (std::vector<IniPair>{{"a", "1"}}));
}

// What a section move needs: the target erased first, the pairs whole.
TEST(IniWrite, SectionMoveCarriesExactlyTheMovedPairs) {
  std::string big(2500, 'v');
  std::string path;
  auto f = OpenWith("move",
                    "[ACCESO1_2]\r\nTITULO=stale\r\nEXE=old.exe\r\nSTALE=1\r\n"
                    "[ACCESO1_7]\r\nTITULO=\"  moved  \"\r\nEXE=" + big + "\r\nEXE=dup\r\n",
                    &path);
  std::vector<IniPair> pairs = f->ReadSectionPairs("ACCESO1_7");
  ASSERT_TRUE(f->EraseSection("ACCESO1_2").ok());
  ASSERT_TRUE(f->EraseSection("ACCESO1_7").ok());
  ASSERT_TRUE(f->WriteSection("ACCESO1_2", pairs).ok());
  EXPECT_EQ(f->ReadSectionPairs("ACCESO1_2"), (std::vector<IniPair>{{"TITULO", "\"  moved  \""}, {"EXE", big}}));
  EXPECT_EQ(f->ReadString("ACCESO1_2", "TITULO", ""), "  moved  ");
  EXPECT_FALSE(f->HasKey("ACCESO1_2", "STALE"));
  ASSERT_TRUE(f->Flush().ok());
  EXPECT_EQ(Slurp(path), "[ACCESO1_2]\r\nTITULO=\"  moved  \"\r\nEXE=" + big + "\r\n");
}

TEST(IniFileOnDisk, MissingFileReadsEmptyAndIsCreatedByTheFirstWrite) {
  std::string path = Folder("missing") + "/DESINSTA.INI";
  auto f = Open(path);
  EXPECT_EQ(f->ReadString("DESINSTALAR", "REG_KEY", "none"), "none");
  EXPECT_TRUE(f->ReadSectionNames().empty());
  ASSERT_TRUE(f->Flush().ok());
  EXPECT_FALSE(DefaultFileSystem()->Exists(path));  // reads alone create nothing
  ASSERT_TRUE(f->WriteString("DESINSTALAR", "REG_KEY", "Roroz OR\\VAVU_X").ok());
  EXPECT_FALSE(DefaultFileSystem()->Exists(path));  // not before the flush
  ASSERT_TRUE(f->Flush().ok());
  EXPECT_EQ(Slurp(path), "[DESINSTALAR]\r\nREG_KEY=Roroz OR\\VAVU_X\r\n");
  EXPECT_FALSE(DefaultFileSystem()->Exists(path + kTempSuffix));
  EXPECT_FALSE(DefaultFileSystem()->Exists(path + kBackupSuffix));
}

// A file system that breaks chosen steps of a flush.
class BreakingFileSystem : public platform::FileSystemWrapper {
 public:
  BreakingFileSystem() : FileSystemWrapper(DefaultFileSystem()) {}
  bool fail_temp_write = false;
  bool fail_rename_into_place = false;
  bool fail_restore = false;

  Status Open(const std::string& path, platform::Access access, platform::Share share,
              platform::Disposition disposition, std::unique_ptr<platform::File>* result) override {
    Status s = target()->Open(path, access, share, disposition, result);
    if (s.ok() && fail_temp_write && path.size() > 5 && path.substr(path.size() - 5) == kTempSuffix) {
      // Half the bytes reach the disk, then the disk is full.
      struct HalfFile : platform::File {
        std::unique_ptr<platform::File> inner;
        Status ReadAt(uint64_t o, void* b, size_t n, size_t* g) override { return inner->ReadAt(o, b, n, g); }
        Status WriteAt(uint64_t o, const void* b, size_t n) override {
          inner->WriteAt(o, b, n / 2);
          return Status::Error(platform::kErrDiskFull, "disk full");
        }
        Status Size(uint64_t* s) override { return inner->Size(s); }
        Status Truncate(uint64_t s) override { return inner->Truncate(s); }
        Status Flush() override { return inner->Flush(); }
        Status Lock(uint64_t o, uint64_t l) override { return inner->Lock(o, l); }
        Status Unlock(uint64_t o, uint64_t l) override { return inner->Unlock(o, l); }
      };
      auto half = std::make_unique<HalfFile>();
      half->inner = std::move(*result);
      *result = std::move(half);
    }
    return s;
  }
  Status Rename(const std::string& from, const std::string& to) override {
    bool from_temp = from.size() > 5 && from.substr(from.size() - 5) == kTempSuffix;
    bool from_backup = from.size() > 5 && from.substr(from.size() - 5) == kBackupSuffix;
    if (fail_rename_into_place && from_temp) return Status::Error(platform::kErrAccessDenied, "denied");
    if (fail_restore && from_backup) return Status::Error(platform::kErrAccessDenied, "denied");
    return target()->Rename(from, to);
  }
};

TEST(IniFileOnDisk, AFailedFlushLeavesTheOldFileAndKeepsTheChanges) {
  const std::string old_bytes = "[PANEL]\r\nSECCIONES=1\r\n";
  for (int mode = 0; mode < 2; ++mode) {
    SCOPED_TRACE(mode == 0 ? "temporary file write fails" : "rename into place fails");
    std::string path = Folder("flush_fail" + std::to_string(mode)) + "/ICONOS.INI";
    Put(path, old_bytes);
    BreakingFileSystem fs;
    (mode == 0 ? fs.fail_temp_write : fs.fail_rename_into_place) = true;
    auto f = Open(path, &fs);
    ASSERT_TRUE(f->WriteString("PANEL", "SECCIONES", "2").ok());
    Status s = f->Flush();
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.message(), "Unable to write to " + path);
    EXPECT_EQ(Slurp(path), old_bytes);
    EXPECT_FALSE(DefaultFileSystem()->Exists(path + kTempSuffix));
    EXPECT_FALSE(DefaultFileSystem()->Exists(path + kBackupSuffix));
    fs.fail_temp_write = fs.fail_rename_into_place = false;
    ASSERT_TRUE(f->Flush().ok());  // the change was kept and goes out now
    EXPECT_EQ(Slurp(path), "[PANEL]\r\nSECCIONES=2\r\n");
  }
}

TEST(IniFileOnDisk, AnInterruptedReplaceIsRecoveredFromTheKeptCopy) {
  std::string path = Folder("interrupted") + "/ICONOS.INI";
  Put(path, "[PANEL]\r\nSECCIONES=1\r\n");
  BreakingFileSystem fs;
  fs.fail_rename_into_place = true;
  fs.fail_restore = true;  // as if the machine stopped between the two renames
  auto f = Open(path, &fs);
  ASSERT_TRUE(f->WriteString("PANEL", "SECCIONES", "2").ok());
  EXPECT_FALSE(f->Flush().ok());
  EXPECT_FALSE(DefaultFileSystem()->Exists(path));
  EXPECT_EQ(Slurp(path + kBackupSuffix), "[PANEL]\r\nSECCIONES=1\r\n");
  // The next open reads the kept copy, and its first flush puts a file back.
  auto g = Open(path);
  EXPECT_EQ(g->ReadString("PANEL", "SECCIONES", ""), "1");
  ASSERT_TRUE(g->Flush().ok());
  EXPECT_EQ(Slurp(path), "[PANEL]\r\nSECCIONES=1\r\n");
  EXPECT_FALSE(DefaultFileSystem()->Exists(path + kBackupSuffix));
}

TEST(IniFileOnDisk, AReadOnlyFileIsNotReplaced) {
  std::string path = Folder("readonly") + "/ICONOS.INI";
  Put(path, "[A]\r\na=1\r\n");
  ASSERT_TRUE(DefaultFileSystem()->SetReadOnly(path, true).ok());
  auto f = Open(path);
  ASSERT_TRUE(f->WriteString("A", "a", "2").ok());
  Status s = f->Flush();
  EXPECT_EQ(s.message(), "Unable to write to " + path);
  EXPECT_EQ(Slurp(path), "[A]\r\na=1\r\n");
  DefaultFileSystem()->SetReadOnly(path, false);
}

// A file the size of the largest icon file: every call stays cheap (the
// program would take minutes here if a call scanned the file).
TEST(IniScale, LargeIconFileRoundTrips) {
  std::string text = "[PANEL]\r\nSECCIONES=2500\r\n";
  for (int n = 1; n <= 2500; ++n) {
    text += "[PRINCIPAL_" + std::to_string(n) + "]\r\nTITULO=App " + std::to_string(n) + "\r\nNOMBRE=APP_" +
            std::to_string(n) + "\r\n";
    for (int m = 1; m <= 50; ++m)
      text += "[ACCESO" + std::to_string(m) + "_" + std::to_string(n) + "]\r\nTITULO=t\r\nEXE=x.exe\r\nID=12345678ABCDEFGH\r\n";
  }
  std::string path;
  auto f = OpenWith("large", text, &path);
  int present = 0;
  for (int n = 0; n <= 2501; ++n)
    for (int m = 1; m <= 50; ++m) present += f->HasSection("ACCESO" + std::to_string(m) + "_" + std::to_string(n));
  EXPECT_EQ(present, 2500 * 50);
  for (int n = 1; n <= 2500; n += 7) {
    std::string from = "ACCESO50_" + std::to_string(n), to = "ACCESO1_" + std::to_string(n);
    std::vector<IniPair> pairs = f->ReadSectionPairs(from);
    ASSERT_TRUE(f->EraseSection(to).ok());
    ASSERT_TRUE(f->EraseSection(from).ok());
    ASSERT_TRUE(f->WriteSection(to, pairs).ok());
  }
  ASSERT_TRUE(f->Flush().ok());
  auto g = Open(path);
  EXPECT_FALSE(g->HasSection("ACCESO50_1"));
  EXPECT_EQ(g->ReadString("ACCESO1_1", "ID", ""), "12345678ABCDEFGH");
  EXPECT_EQ(g->ReadSectionNames().size(), 1u + 2500u * 51u - (2500u + 6u) / 7u);
}

// A section of many keys is looked up through an index of its own: reads,
// appends, in-place writes and erasures must agree with the small-section
// rules, also after the index has been rebuilt.
TEST(IniScale, ManyKeysInOneSectionFollowTheSameRules) {
  std::string text = "[BIG]\r\n";
  for (int i = 0; i < 60; ++i) text += "k" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
  text += "K7=dup\r\n; note\r\n\r\n\r\n[NEXT]\r\nx=1\r\n";
  std::string path;
  auto f = OpenWith("many_keys", text, &path);
  EXPECT_EQ(f->ReadString("big", "K7", ""), "7");  // first occurrence
  EXPECT_EQ(f->ReadSectionKeys("BIG").size(), 60u);
  ASSERT_TRUE(f->WriteString("BIG", "new", "n").ok());  // after "; note", before the blank lines
  EXPECT_EQ(f->ReadString("BIG", "NEW", ""), "n");
  ASSERT_TRUE(f->EraseKey("BIG", "k7").ok());  // both copies
  EXPECT_FALSE(f->HasKey("BIG", "K7"));
  EXPECT_EQ(f->ReadString("BIG", "k59", ""), "59");  // positions after the erasure
  ASSERT_TRUE(f->WriteString("BIG", "k59", "changed").ok());
  ASSERT_TRUE(f->Flush().ok());
  std::string expected = "[BIG]\r\n";
  for (int i = 0; i < 60; ++i)
    if (i != 7) expected += "k" + std::to_string(i) + "=" + (i == 59 ? "changed" : std::to_string(i)) + "\r\n";
  expected += "; note\r\nnew=n\r\n\r\n\r\n[NEXT]\r\nx=1\r\n";
  EXPECT_EQ(Slurp(path), expected);
}

// Many rewrites between flushes: what a flush writes stays exact, and so do
// the changes made after it.
TEST(IniScale, RepeatedRewritesAndFlushesKeepTheBytes) {
  std::string path;
  auto f = OpenWith("rewrites", "; head\n[A]\nv=0\n[B]\nw=start", &path);
  std::string big(1000, 'x');
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 300; ++i) ASSERT_TRUE(f->WriteString("A", "v", big + std::to_string(i)).ok());
    ASSERT_TRUE(f->Flush().ok());
    EXPECT_EQ(Slurp(path), "; head\n[A]\nv=" + big + "299\n[B]\nw=start");
  }
  ASSERT_TRUE(f->WriteString("B", "w", "end").ok());
  ASSERT_TRUE(f->WriteSection("C", {{"c", "1"}}).ok());
  ASSERT_TRUE(f->Flush().ok());
  EXPECT_EQ(Slurp(path), "; head\n[A]\nv=" + big + "299\n[B]\nw=end\n[C]\nc=1\n");
  EXPECT_EQ(Open(path)->ReadString("A", "V", ""), big + "299");
}

}  // namespace
}  // namespace kx::ini
