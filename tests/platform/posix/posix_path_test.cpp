// How Windows paths land on a POSIX tree: backslashes, case-insensitive
// components, drive letters, Windows-1252 names stored as UTF-8.
#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "platform/file_system.h"
#include "platform/local_time.h"
#include "platform/posix/posix_path.h"
#include "platform/system.h"
#include "tests/platform/fs_test_util.h"

namespace kx::platform::test {
namespace {

void HostMkdir(const std::string& p) { ASSERT_EQ(::mkdir(p.c_str(), 0777), 0) << p; }
void HostWrite(const std::string& p, const std::string& s) { std::ofstream(p, std::ios::binary) << s; }

std::set<std::string> HostNames(const std::string& dir) {
  std::set<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (struct dirent* e = ::readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.insert(e->d_name);
    ::closedir(d);
  }
  return names;
}

std::string Backslashed(std::string p) {
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

class PosixPaths : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TestFolder();
    HostMkdir(dir_ + "/Data");
    HostMkdir(dir_ + "/Data/Sub");
    HostWrite(dir_ + "/Data/Sub/File.DBF", "contents");
  }
  void TearDown() override {
    ::unsetenv("UPDATER_DRIVE_Q");
    ::unsetenv("UPDATER_DRIVE_W");
  }
  FileSystem* fs() { return DefaultFileSystem(); }
  std::string dir_;
};

TEST_F(PosixPaths, BackslashesAndCaseOfEveryComponent) {
  for (std::string p : {"/Data/Sub/File.DBF", "\\Data\\Sub\\File.DBF", "\\DATA\\sub\\file.dbf",
                               "/data\\SUB/fILE.dBF", "\\Data\\Sub\\\\File.DBF"}) {
    SCOPED_TRACE(p);
    EXPECT_EQ(Contents(fs(), dir_ + p), "contents");
    std::string host;
    ASSERT_TRUE(ResolvePath(dir_ + p, &host).ok());
    EXPECT_EQ(host, dir_ + "/Data/Sub/File.DBF");
  }
  // The whole path may use backslashes, the host part too.
  EXPECT_EQ(Contents(fs(), Backslashed(dir_) + "\\DATA\\SUB\\FILE.DBF"), "contents");
  FileInfo info;
  ASSERT_TRUE(fs()->Stat(dir_ + "\\DATA\\SUB\\FILE.DBF", &info).ok());
  EXPECT_EQ(info.name, "File.DBF");
}

TEST_F(PosixPaths, AnExactNameWinsOverOneThatDiffersInCase) {
  HostWrite(dir_ + "/Data/Sub/FILE.DBF", "upper");
  EXPECT_EQ(Contents(fs(), dir_ + "\\Data\\Sub\\FILE.DBF"), "upper");
  EXPECT_EQ(Contents(fs(), dir_ + "\\Data\\Sub\\File.DBF"), "contents");
}

TEST_F(PosixPaths, NewNamesGoIntoTheFolderAsItIsSpelled) {
  Put(fs(), dir_ + "\\DATA\\SUB\\NEW.DBF", "new");
  ASSERT_TRUE(fs()->MakeFolder(dir_ + "\\data\\sub\\NewFolder").ok());
  ASSERT_TRUE(fs()->Rename(dir_ + "\\DATA\\SUB\\FILE.DBF", dir_ + "\\data\\SUB\\_File.DBF").ok());
  ASSERT_TRUE(fs()->CopyOver(dir_ + "\\DATA\\SUB\\NEW.DBF", dir_ + "\\DATA\\SUB\\NEWFOLDER\\Copy.DBF").ok());
  EXPECT_EQ(HostNames(dir_), std::set<std::string>{"Data"});
  EXPECT_EQ(HostNames(dir_ + "/Data"), std::set<std::string>{"Sub"});
  EXPECT_EQ(HostNames(dir_ + "/Data/Sub"), (std::set<std::string>{"NEW.DBF", "NewFolder", "_File.DBF"}));
  EXPECT_EQ(HostNames(dir_ + "/Data/Sub/NewFolder"), std::set<std::string>{"Copy.DBF"});
  // A missing folder on the way is still "path not found".
  std::unique_ptr<File> f;
  EXPECT_EQ(fs()->Open(dir_ + "\\DATA\\NOPE\\X.DBF", Access::ReadWrite, Share::Shared, Disposition::CreateAlways, &f)
                .code(),
            kErrPathNotFound);
}

TEST_F(PosixPaths, DriveLettersMapThroughTheEnvironment) {
  ::setenv("UPDATER_DRIVE_Q", (dir_ + "/Data/").c_str(), 1);
  for (std::string p : {"Q:\\Sub\\File.DBF", "q:\\SUB\\FILE.DBF", "Q:/sub/file.dbf", "Q:Sub\\File.DBF"}) {
    SCOPED_TRACE(p);
    EXPECT_EQ(Contents(fs(), p), "contents");
  }
  EXPECT_TRUE(fs()->Exists("Q:\\"));
  EXPECT_TRUE(fs()->Exists("Q:"));
  std::vector<FileInfo> entries;
  ASSERT_TRUE(fs()->ListFolder("Q:\\", &entries).ok());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "Sub");

  ::unsetenv("UPDATER_DRIVE_W");
  std::unique_ptr<File> f;
  Status s = fs()->Open("W:\\KX\\DBF\\EMPRESA.DBF", Access::Read, Share::Shared, Disposition::OpenExisting, &f);
  EXPECT_EQ(s.code(), kErrPathNotFound);
  EXPECT_NE(s.message().find("UPDATER_DRIVE_W"), std::string::npos) << s.message();
  EXPECT_FALSE(fs()->Exists("W:\\"));
  ::setenv("UPDATER_DRIVE_W", "", 1);
  FileInfo info;
  s = fs()->Stat("w:\\x", &info);
  EXPECT_EQ(s.code(), kErrPathNotFound);
  EXPECT_NE(s.message().find("UPDATER_DRIVE_W"), std::string::npos) << s.message();
}

TEST_F(PosixPaths, Cp1252NamesAreUtf8OnTheHost) {
  // "Año Señal.txt" in the program is Windows-1252; on the host it is UTF-8.
  Put(fs(), dir_ + "\\Año Señal.txt", "ñ");
  EXPECT_EQ(HostNames(dir_), (std::set<std::string>{"Data", "A\xC3\xB1o Se\xC3\xB1" "al.txt"}));
  EXPECT_EQ(Contents(fs(), dir_ + "\\Año Señal.txt"), "\xF1");
  // Upper and lower case of accented letters match each other.
  EXPECT_EQ(Contents(fs(), dir_ + "\\AÑO SEÑAL.TXT"), "\xF1");
  std::vector<FileInfo> entries;
  ASSERT_TRUE(fs()->ListFolder(dir_, &entries).ok());
  std::set<std::string> names;
  for (const FileInfo& e : entries) names.insert(e.name);
  EXPECT_EQ(names, (std::set<std::string>{"Data", "A\xF1o Se\xF1" "al.txt"}));
  // A host name that is not UTF-8 (copied by an old tool) is taken as
  // Windows-1252 and still found.
  HostWrite(dir_ + "/Canci\xF3n.ini", "old");
  EXPECT_EQ(Contents(fs(), dir_ + "\\CANCIÓN.INI"), "old");
}

TEST(PosixLocalTime, UsesTheOffsetInForceNow) {
  const char* old = ::getenv("TZ");
  std::string saved = old ? old : "";
  ::setenv("TZ", "XXX-3", 1);  // three hours east of UTC, no daylight-saving time
  ::tzset();
  LocalTime t;
  ASSERT_TRUE(ToLocalTime(kOldTime, &t));  // 2007-12-31 10:59 UTC
  EXPECT_EQ(t.hour, 13);
  EXPECT_EQ(t.minute, 59);
  FileTime back = 0;
  ASSERT_TRUE(FromLocalTime(t, &back));
  EXPECT_EQ(back, kOldTime);
  ::setenv("TZ", "XXX+11", 1);  // across midnight backwards
  ::tzset();
  ASSERT_TRUE(ToLocalTime(kOldTime, &t));
  EXPECT_EQ(t.day, 30);
  EXPECT_EQ(t.hour, 23);
  if (old) ::setenv("TZ", saved.c_str(), 1);
  else ::unsetenv("TZ");
  ::tzset();
}

}  // namespace
}  // namespace kx::platform::test

namespace kx::platform::test {
namespace {

// A running program cannot be opened for writing, not even by root: the
// file system falls back to a read-only descriptor, which still keeps the
// share mode against earlier openers and takes byte locks.
TEST(PosixReadOnlyDescriptors, ShareAndLockARunningProgram) {
  const std::string exe = ModulePath();
  FileSystem* fs = DefaultFileSystem();
  std::unique_ptr<File> shared, excl, other;
  ASSERT_TRUE(fs->Open(exe, Access::Read, Share::Shared, Disposition::OpenExisting, &shared).ok());
  EXPECT_EQ(fs->Open(exe, Access::Read, Share::Exclusive, Disposition::OpenExisting, &excl).code(),
            kErrSharingViolation);
  ASSERT_TRUE(fs->Open(exe, Access::Read, Share::Shared, Disposition::OpenExisting, &other).ok());
  ASSERT_TRUE(shared->Lock(0x7FFFFFFE, 1).ok());
  EXPECT_EQ(other->Lock(0x7FFFFFFE, 1).code(), kErrLockViolation);
  ASSERT_TRUE(shared->Unlock(0x7FFFFFFE, 1).ok());
  EXPECT_TRUE(other->Lock(0x7FFFFFFE, 1).ok());
  shared.reset();
  other.reset();
  ASSERT_TRUE(fs->Open(exe, Access::Read, Share::Exclusive, Disposition::OpenExisting, &excl).ok());
  EXPECT_EQ(excl->WriteAt(0, "x", 1).code(), kErrAccessDenied);
}

}  // namespace
}  // namespace kx::platform::test
