#include "framework/file_copy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/paths.h"

namespace kx::framework {
namespace {

using platform::FileInfo;
using platform::Status;

platform::FileSystem* Fs() { return platform::DefaultFileSystem(); }

std::string Contents(const std::string& path) {
  std::string s;
  EXPECT_TRUE(platform::ReadWholeFile(Fs(), path, &s).ok()) << path;
  return s;
}

void Write(const std::string& path, const std::string& contents) {
  ASSERT_TRUE(platform::WriteWholeFile(Fs(), path, contents).ok()) << path;
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<FileInfo> entries;
  EXPECT_TRUE(Fs()->ListFolder(folder, &entries).ok());
  std::vector<std::string> names;
  for (const FileInfo& e : entries) names.push_back(e.name);
  return names;
}

TEST(FileCopy, ReplacesAnExistingTargetKeepingItsName) {
  std::string dir = test::ScratchFolder("kxcopy_replace") + "/";
  Write(dir + "fresh.dbf", std::string(3000, 'N'));
  Write(dir + "Claves.Dbf", "old contents that are longer than nothing");
  // A source time well in the past, so that a copy stamped "now" shows.
  const platform::FileTime kJan2001 = 126227808000000000LL;
  ASSERT_TRUE(Fs()->SetTimes(dir + "fresh.dbf", 0, kJan2001).ok());

  EXPECT_TRUE(KXCOPYFILE(dir + "fresh.dbf", dir + "CLAVES.DBF"));

  EXPECT_EQ(Contents(dir + "Claves.Dbf"), std::string(3000, 'N'));
  std::vector<std::string> names = Names(dir);
  EXPECT_EQ(names.size(), 2u);
  EXPECT_NE(std::find(names.begin(), names.end(), "Claves.Dbf"), names.end());
  FileInfo info;
  ASSERT_TRUE(Fs()->Stat(dir + "Claves.Dbf", &info).ok());
  EXPECT_EQ(info.last_write / 10000000, kJan2001 / 10000000);
  EXPECT_EQ(Contents(dir + "fresh.dbf"), std::string(3000, 'N'));
}

TEST(FileCopy, CreatesAMissingTargetAndCopiesAnEmptyFile) {
  std::string dir = test::ScratchFolder("kxcopy_new") + "/";
  Write(dir + "empty.dbf", "");
  EXPECT_TRUE(KXCOPYFILE(dir + "empty.dbf", dir + "copy.dbf"));
  EXPECT_TRUE(Fs()->Exists(dir + "copy.dbf"));
  EXPECT_EQ(Contents(dir + "copy.dbf"), "");
}

TEST(FileCopy, FailuresAnswerFalseAndLeaveTheTargetAlone) {
  std::string dir = test::ScratchFolder("kxcopy_fail") + "/";
  Write(dir + "src.dbf", "new");
  Write(dir + "ro.dbf", "read-only target");
  ASSERT_TRUE(Fs()->SetReadOnly(dir + "ro.dbf", true).ok());
  Write(dir + "open.dbf", "held open");

  EXPECT_FALSE(KXCOPYFILE(dir + "src.dbf", dir + "ro.dbf"));
  EXPECT_EQ(Contents(dir + "ro.dbf"), "read-only target");

  EXPECT_FALSE(KXCOPYFILE(dir + "missing.dbf", dir + "x.dbf"));
  EXPECT_FALSE(Fs()->Exists(dir + "x.dbf"));

  EXPECT_FALSE(KXCOPYFILE(dir + "src.dbf", dir + "no_folder/x.dbf"));

  {
    std::unique_ptr<platform::File> holder;
    ASSERT_TRUE(Fs()->Open(dir + "open.dbf", platform::Access::ReadWrite, platform::Share::Exclusive,
                           platform::Disposition::OpenExisting, &holder)
                    .ok());
    EXPECT_FALSE(KXCOPYFILE(dir + "src.dbf", dir + "open.dbf"));
  }
  EXPECT_EQ(Contents(dir + "open.dbf"), "held open");
  EXPECT_TRUE(KXCOPYFILE(dir + "src.dbf", dir + "open.dbf"));  // once it is closed
  EXPECT_EQ(Contents(dir + "open.dbf"), "new");
  ASSERT_TRUE(Fs()->SetReadOnly(dir + "ro.dbf", false).ok());
}

// A file system whose copies fail, to show that KXCOPYFILE answers with the
// file system's result and goes through the one the framework was given.
class FailingCopies : public platform::FileSystemWrapper {
 public:
  FailingCopies() : FileSystemWrapper(platform::DefaultFileSystem()) {}
  Status CopyOver(const std::string& from, const std::string& to) override {
    calls.push_back(from + " -> " + to);
    return Status::Error(platform::kErrDiskFull, "disk full");
  }
  std::vector<std::string> calls;
};

TEST(FileCopy, GoesThroughTheFrameworkFileSystem) {
  std::string dir = test::ScratchFolder("kxcopy_fs") + "/";
  Write(dir + "a", "a");
  FailingCopies failing;
  {
    ScopedFrameworkFileSystem scope(&failing);
    EXPECT_EQ(FrameworkFileSystem(), &failing);
    EXPECT_FALSE(KXCOPYFILE(dir + "a", dir + "b"));
  }
  EXPECT_EQ(FrameworkFileSystem(), platform::DefaultFileSystem());
  ASSERT_EQ(failing.calls.size(), 1u);
  EXPECT_EQ(failing.calls[0], dir + "a -> " + dir + "b");
  EXPECT_FALSE(Fs()->Exists(dir + "b"));
  EXPECT_TRUE(KXCOPYFILE(dir + "a", dir + "b"));
}

}  // namespace
}  // namespace kx::framework
