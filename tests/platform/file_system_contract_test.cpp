// The contract of FileSystem and File, run against the system's file system
// (POSIX natively, Win32 under Wine) and against the fault-injecting wrapper
// with no fault armed, which must be indistinguishable from it.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>

#include "platform/fault_file_system.h"
#include "platform/file_system.h"
#include "tests/platform/fs_test_util.h"

namespace kx::platform::test {
namespace {

enum class Kind { System, UnarmedFault };

class FileSystemContract : public ::testing::TestWithParam<Kind> {
 protected:
  void SetUp() override {
    dir_ = TestFolder(GetParam() == Kind::System ? "" : ".fault");
    if (GetParam() == Kind::UnarmedFault) {
      fault_ = std::make_unique<FaultFileSystem>(DefaultFileSystem());
      fs_ = fault_.get();
    } else {
      fs_ = DefaultFileSystem();
    }
  }
  void TearDown() override {
    // Read-only files would keep the scratch folder from being cleared.
    std::vector<FileInfo> entries;
    if (DefaultFileSystem()->ListFolder(dir_, &entries).ok())
      for (const FileInfo& e : entries)
        if (e.read_only) {
          DefaultFileSystem()->SetReadOnly(P(e.name), false);
        }
  }

  std::string P(const std::string& name) const { return Join(dir_, name); }

  std::unique_ptr<File> OpenOk(const std::string& name, Access access = Access::ReadWrite, Share share = Share::Shared,
                               Disposition d = Disposition::OpenExisting) {
    std::unique_ptr<File> f;
    Status s = fs_->Open(P(name), access, share, d, &f);
    EXPECT_TRUE(s.ok()) << name << ": " << s.message();
    return f;
  }

  uint32_t OpenCode(const std::string& name, Access access, Share share, Disposition d) {
    std::unique_ptr<File> f;
    Status s = fs_->Open(P(name), access, share, d, &f);
    EXPECT_EQ(s.ok(), f != nullptr);
    return s.code();
  }

  std::string dir_;
  std::unique_ptr<FaultFileSystem> fault_;
  FileSystem* fs_ = nullptr;
};

INSTANTIATE_TEST_SUITE_P(Both, FileSystemContract, ::testing::Values(Kind::System, Kind::UnarmedFault),
                         [](const ::testing::TestParamInfo<Kind>& i) {
                           return i.param == Kind::System ? std::string("System") : std::string("UnarmedFault");
                         });

TEST_P(FileSystemContract, ShareModes) {
  Put(fs_, P("t.dbf"), "data");
  struct Case {
    Access first_access;
    Share first;
    Access second_access;
    Share second;
    uint32_t code;  // of the second open
  } cases[] = {
      {Access::ReadWrite, Share::Exclusive, Access::ReadWrite, Share::Exclusive, kErrSharingViolation},
      {Access::ReadWrite, Share::Exclusive, Access::ReadWrite, Share::Shared, kErrSharingViolation},
      {Access::ReadWrite, Share::Exclusive, Access::Read, Share::Shared, kErrSharingViolation},
      {Access::Read, Share::Exclusive, Access::Read, Share::Shared, kErrSharingViolation},
      {Access::ReadWrite, Share::Shared, Access::ReadWrite, Share::Exclusive, kErrSharingViolation},
      {Access::Read, Share::Shared, Access::ReadWrite, Share::Exclusive, kErrSharingViolation},
      {Access::ReadWrite, Share::Shared, Access::ReadWrite, Share::Shared, 0},
      {Access::Read, Share::Shared, Access::ReadWrite, Share::Shared, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "first " << int(c.first) << "/" << int(c.first_access) << ", second "
                                      << int(c.second) << "/" << int(c.second_access));
    std::unique_ptr<File> a = OpenOk("t.dbf", c.first_access, c.first);
    ASSERT_TRUE(a);
    EXPECT_EQ(OpenCode("t.dbf", c.second_access, c.second, Disposition::OpenExisting), c.code);
    // A create that would truncate is refused just the same, and truncates nothing.
    if (c.code) {
      EXPECT_EQ(OpenCode("t.dbf", Access::ReadWrite, c.second, Disposition::CreateAlways), c.code);
    }
    a.reset();
    EXPECT_EQ(Contents(fs_, P("t.dbf")), "data");
    // Once the first is closed, the second gets in.
    EXPECT_EQ(OpenCode("t.dbf", c.second_access, c.second, Disposition::OpenExisting), 0u);
  }
}

TEST_P(FileSystemContract, TwoSharedHandlesSeeEachOthersWrites) {
  Put(fs_, P("t.dbf"), "0123456789");
  auto a = OpenOk("t.dbf");
  auto b = OpenOk("t.dbf");
  ASSERT_TRUE(a && b);
  ASSERT_TRUE(a->WriteAt(2, "AB", 2).ok());
  char buf[10];
  size_t got = 0;
  ASSERT_TRUE(b->ReadAt(0, buf, 10, &got).ok());
  EXPECT_EQ(std::string(buf, got), "01AB456789");
}

TEST_P(FileSystemContract, ByteRangeLocks) {
  Put(fs_, P("t.dbf"), std::string(200, 'x'));
  auto a = OpenOk("t.dbf");
  auto b = OpenOk("t.dbf");
  ASSERT_TRUE(a && b);
  const uint64_t kFar = 0x7FFFFFFEull;  // record locks lie far beyond the data
  ASSERT_TRUE(a->Lock(100, 10).ok());
  ASSERT_TRUE(a->Lock(kFar - 5, 1).ok());
  struct Case {
    uint64_t offset, length;
    uint32_t code;  // of b's attempt
  } cases[] = {
      {100, 10, kErrLockViolation}, {105, 1, kErrLockViolation}, {90, 11, kErrLockViolation},
      {109, 50, kErrLockViolation}, {kFar - 5, 1, kErrLockViolation}, {kFar - 10, 6, kErrLockViolation},
      {110, 5, 0},                  {90, 10, 0},                    {kFar - 4, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "range " << c.offset << "+" << c.length);
    Status s = b->Lock(c.offset, c.length);
    EXPECT_EQ(s.code(), c.code) << s.message();
    if (s.ok()) {
      EXPECT_TRUE(b->Unlock(c.offset, c.length).ok());
    }
  }
  // Locks do not nest: a's own range, or part of it, is refused to a too.
  EXPECT_EQ(a->Lock(100, 10).code(), kErrLockViolation);
  EXPECT_EQ(a->Lock(109, 2).code(), kErrLockViolation);
  // Unlock takes exactly what was locked.
  EXPECT_EQ(a->Unlock(100, 5).code(), kErrNotLocked);
  EXPECT_EQ(a->Unlock(300, 1).code(), kErrNotLocked);
  EXPECT_EQ(b->Lock(100, 10).code(), kErrLockViolation);
  ASSERT_TRUE(a->Unlock(100, 10).ok());
  EXPECT_TRUE(b->Lock(100, 10).ok());
  // Closing a handle releases its locks.
  EXPECT_EQ(b->Lock(kFar - 5, 1).code(), kErrLockViolation);
  a.reset();
  EXPECT_TRUE(b->Lock(kFar - 5, 1).ok());
  // A zero length locks nothing and always succeeds.
  EXPECT_TRUE(b->Lock(0, 0).ok());
  EXPECT_TRUE(b->Unlock(0, 0).ok());
}

TEST_P(FileSystemContract, LocksOnAReadOnlyHandleExcludeWriters) {
  Put(fs_, P("t.dbf"), "x");
  auto r = OpenOk("t.dbf", Access::Read);
  auto w = OpenOk("t.dbf", Access::ReadWrite);
  ASSERT_TRUE(r && w);
  ASSERT_TRUE(r->Lock(1000, 1).ok());
  EXPECT_EQ(w->Lock(1000, 1).code(), kErrLockViolation);
  ASSERT_TRUE(w->Lock(2000, 1).ok());
  EXPECT_EQ(r->Lock(2000, 1).code(), kErrLockViolation);
}

TEST_P(FileSystemContract, ReadPastEndAndWriteExtending) {
  auto f = OpenOk("t.dbf", Access::ReadWrite, Share::Exclusive, Disposition::CreateNew);
  ASSERT_TRUE(f);
  ASSERT_TRUE(f->WriteAt(0, "0123456789", 10).ok());
  char buf[32];
  size_t got = 99;
  ASSERT_TRUE(f->ReadAt(5, buf, 20, &got).ok());
  EXPECT_EQ(std::string(buf, got), "56789");
  got = 99;
  ASSERT_TRUE(f->ReadAt(10, buf, 5, &got).ok());
  EXPECT_EQ(got, 0u);
  ASSERT_TRUE(f->ReadAt(1000, buf, 5, &got).ok());
  EXPECT_EQ(got, 0u);
  // A write past the end extends the file; the gap reads as zeros.
  ASSERT_TRUE(f->WriteAt(20, "Z", 1).ok());
  uint64_t size = 0;
  ASSERT_TRUE(f->Size(&size).ok());
  EXPECT_EQ(size, 21u);
  ASSERT_TRUE(f->ReadAt(8, buf, 32, &got).ok());
  EXPECT_EQ(std::string(buf, got), std::string("89") + std::string(10, '\0') + "Z");
  ASSERT_TRUE(f->Flush().ok());
}

TEST_P(FileSystemContract, Truncate) {
  auto f = OpenOk("t.dbf", Access::ReadWrite, Share::Exclusive, Disposition::CreateNew);
  ASSERT_TRUE(f);
  ASSERT_TRUE(f->WriteAt(0, "0123456789", 10).ok());
  ASSERT_TRUE(f->Truncate(4).ok());
  uint64_t size = 0;
  ASSERT_TRUE(f->Size(&size).ok());
  EXPECT_EQ(size, 4u);
  ASSERT_TRUE(f->Truncate(6).ok());
  f.reset();
  EXPECT_EQ(Contents(fs_, P("t.dbf")), std::string("0123") + std::string(2, '\0'));
}

TEST_P(FileSystemContract, ReadOnlyHandleRefusesWrites) {
  Put(fs_, P("t.dbf"), "abc");
  auto f = OpenOk("t.dbf", Access::Read);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->WriteAt(0, "x", 1).code(), kErrAccessDenied);
  EXPECT_EQ(f->Truncate(0).code(), kErrAccessDenied);
  f.reset();
  EXPECT_EQ(Contents(fs_, P("t.dbf")), "abc");
}

TEST_P(FileSystemContract, Dispositions) {
  Put(fs_, P("old.dbf"), "old");
  struct Case {
    const char* name;
    Disposition d;
    uint32_t code;
    const char* after;  // contents afterwards; null: still missing
  } cases[] = {
      {"old.dbf", Disposition::OpenExisting, 0, "old"},
      {"old.dbf", Disposition::OpenAlways, 0, "old"},
      {"old.dbf", Disposition::CreateNew, kErrFileExists, "old"},
      {"old.dbf", Disposition::CreateAlways, 0, ""},
      {"new1.dbf", Disposition::OpenExisting, kErrFileNotFound, nullptr},
      {"new2.dbf", Disposition::OpenAlways, 0, ""},
      {"new3.dbf", Disposition::CreateNew, 0, ""},
      {"new4.dbf", Disposition::CreateAlways, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + std::string(" disposition ") + std::to_string(int(c.d)));
    EXPECT_EQ(OpenCode(c.name, Access::ReadWrite, Share::Shared, c.d), c.code);
    if (c.after) {
      EXPECT_EQ(Contents(fs_, P(c.name)), c.after);
    } else {
      EXPECT_FALSE(fs_->Exists(P(c.name)));
    }
  }
  // A missing folder on the way is "path not found", for every disposition.
  for (Disposition d : {Disposition::OpenExisting, Disposition::OpenAlways, Disposition::CreateNew,
                        Disposition::CreateAlways})
    EXPECT_EQ(OpenCode(std::string("nofolder") + kSep + "x.dbf", Access::ReadWrite, Share::Shared, d),
              kErrPathNotFound);
}

TEST_P(FileSystemContract, OpenRefusesFoldersAndWritesToReadOnlyFiles) {
  ASSERT_TRUE(fs_->MakeFolder(P("sub")).ok());
  EXPECT_EQ(OpenCode("sub", Access::Read, Share::Shared, Disposition::OpenExisting), kErrAccessDenied);
  Put(fs_, P("ro.dbf"), "keep");
  ASSERT_TRUE(fs_->SetReadOnly(P("ro.dbf"), true).ok());
  EXPECT_EQ(OpenCode("ro.dbf", Access::ReadWrite, Share::Shared, Disposition::OpenExisting), kErrAccessDenied);
  EXPECT_EQ(OpenCode("ro.dbf", Access::ReadWrite, Share::Shared, Disposition::CreateAlways), kErrAccessDenied);
  EXPECT_EQ(OpenCode("ro.dbf", Access::ReadWrite, Share::Shared, Disposition::OpenAlways), kErrAccessDenied);
  EXPECT_EQ(OpenCode("ro.dbf", Access::ReadWrite, Share::Shared, Disposition::CreateNew), kErrFileExists);
  EXPECT_EQ(Contents(fs_, P("ro.dbf")), "keep");
  // Reading it works, exclusively too, and the exclusive open keeps others out.
  auto r = OpenOk("ro.dbf", Access::Read, Share::Exclusive);
  ASSERT_TRUE(r);
  EXPECT_EQ(OpenCode("ro.dbf", Access::Read, Share::Shared, Disposition::OpenExisting), kErrSharingViolation);
}

TEST_P(FileSystemContract, Rename) {
  Put(fs_, P("a.dbf"), "A");
  Put(fs_, P("b.dbf"), "B");
  ASSERT_TRUE(fs_->MakeFolder(P("sub")).ok());
  struct Case {
    std::string from, to;
    uint32_t code;
  } cases[] = {
      {"a.dbf", "b.dbf", kErrAlreadyExists},
      {"a.dbf", "B.DBF", kErrAlreadyExists},
      {"a.dbf", "sub", kErrAlreadyExists},
      {"missing.dbf", "c.dbf", kErrFileNotFound},
      {std::string("nofolder") + kSep + "a.dbf", "c.dbf", kErrPathNotFound},
      {"a.dbf", std::string("nofolder") + kSep + "a.dbf", kErrPathNotFound},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from + " -> " + c.to);
    EXPECT_EQ(fs_->Rename(P(c.from), P(c.to)).code(), c.code);
  }
  EXPECT_EQ(Contents(fs_, P("a.dbf")), "A");
  EXPECT_EQ(Contents(fs_, P("b.dbf")), "B");
  // A move into a folder, a folder rename, and a change of case only.
  ASSERT_TRUE(fs_->Rename(P("a.dbf"), P(std::string("sub") + kSep + "c.dbf")).ok());
  EXPECT_FALSE(fs_->Exists(P("a.dbf")));
  ASSERT_TRUE(fs_->Rename(P("sub"), P("sub2")).ok());
  EXPECT_EQ(Contents(fs_, P(std::string("sub2") + kSep + "c.dbf")), "A");
  ASSERT_TRUE(fs_->Rename(P("b.dbf"), P("B.DBF")).ok());
  FileInfo info;
  ASSERT_TRUE(fs_->Stat(P("b.dbf"), &info).ok());
#ifndef _WIN32
  // Windows takes the new spelling too; Wine keeps the old one.
  EXPECT_EQ(info.name, "B.DBF");
#endif
  EXPECT_EQ(Contents(fs_, P("B.DBF")), "B");
}

TEST_P(FileSystemContract, RenameAndRemoveRefuseAnOpenFile) {
  Put(fs_, P("a.dbf"), "A");
  auto f = OpenOk("a.dbf");
  ASSERT_TRUE(f);
  EXPECT_EQ(fs_->Rename(P("a.dbf"), P("c.dbf")).code(), kErrSharingViolation);
  EXPECT_EQ(fs_->Remove(P("a.dbf")).code(), kErrSharingViolation);
  f.reset();
  EXPECT_EQ(Contents(fs_, P("a.dbf")), "A");
  EXPECT_TRUE(fs_->Rename(P("a.dbf"), P("c.dbf")).ok());
}

TEST_P(FileSystemContract, CopyOverReplacesContentsAndKeepsLastWriteTime) {
  Put(fs_, P("src.dbf"), "new contents");
  ASSERT_TRUE(fs_->SetTimes(P("src.dbf"), 0, kOldTime).ok());
  Put(fs_, P("dst.dbf"), "old contents that are longer");
  ASSERT_TRUE(fs_->CopyOver(P("src.dbf"), P("dst.dbf")).ok());
  EXPECT_EQ(Contents(fs_, P("dst.dbf")), "new contents");
  FileInfo info;
  ASSERT_TRUE(fs_->Stat(P("dst.dbf"), &info).ok());
  EXPECT_EQ(info.last_write, kOldTime);
  EXPECT_EQ(info.name, "dst.dbf");
  EXPECT_EQ(info.size, 12u);
  // A missing target is created.
  ASSERT_TRUE(fs_->CopyOver(P("src.dbf"), P("fresh.dbf")).ok());
  EXPECT_EQ(Contents(fs_, P("fresh.dbf")), "new contents");
  EXPECT_EQ(Contents(fs_, P("src.dbf")), "new contents");
}

TEST_P(FileSystemContract, CopyOverFailuresLeaveTheTarget) {
  Put(fs_, P("src.dbf"), "new");
  Put(fs_, P("ro.dbf"), "read-only");
  ASSERT_TRUE(fs_->SetReadOnly(P("ro.dbf"), true).ok());
  Put(fs_, P("held.dbf"), "held");
  auto held = OpenOk("held.dbf");
  Put(fs_, P("excl.dbf"), "exclusive");
  auto excl = OpenOk("excl.dbf", Access::ReadWrite, Share::Exclusive);
  ASSERT_TRUE(held && excl);
  struct Case {
    std::string from, to;
    uint32_t code;
    const char* to_after;  // null: missing
  } cases[] = {
      {"src.dbf", "ro.dbf", kErrAccessDenied, "read-only"},
      {"src.dbf", "held.dbf", kErrSharingViolation, "held"},
      {"excl.dbf", "out.dbf", kErrSharingViolation, nullptr},
      {"missing.dbf", "out.dbf", kErrFileNotFound, nullptr},
      {"src.dbf", std::string("nofolder") + kSep + "out.dbf", kErrPathNotFound, nullptr},
      {"src.dbf", "src.dbf", kErrSharingViolation, "new"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from + " -> " + c.to);
    Status s = fs_->CopyOver(P(c.from), P(c.to));
    EXPECT_EQ(s.code(), c.code) << s.message();
    if (c.to == "held.dbf") {
      char buf[16];
      size_t got = 0;
      ASSERT_TRUE(held->ReadAt(0, buf, sizeof buf, &got).ok());
      EXPECT_EQ(std::string(buf, got), c.to_after);
    } else if (c.to_after) {
      EXPECT_EQ(Contents(fs_, P(c.to)), c.to_after);
    } else {
      EXPECT_FALSE(fs_->Exists(P(c.to)));
    }
  }
  FileInfo info;
  ASSERT_TRUE(fs_->Stat(P("ro.dbf"), &info).ok());
  EXPECT_TRUE(info.read_only);
}

TEST_P(FileSystemContract, Remove) {
  Put(fs_, P("a.dbf"), "A");
  Put(fs_, P("ro.dbf"), "R");
  ASSERT_TRUE(fs_->SetReadOnly(P("ro.dbf"), true).ok());
  ASSERT_TRUE(fs_->MakeFolder(P("sub")).ok());
  struct Case {
    std::string name;
    uint32_t code;
    bool exists_after;
  } cases[] = {
      {"a.dbf", 0, false},
      {"a.dbf", kErrFileNotFound, false},
      {std::string("nofolder") + kSep + "a.dbf", kErrPathNotFound, false},
      {"ro.dbf", kErrAccessDenied, true},
      {"sub", kErrAccessDenied, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(fs_->Remove(P(c.name)).code(), c.code);
    EXPECT_EQ(fs_->Exists(P(c.name)), c.exists_after);
  }
  ASSERT_TRUE(fs_->SetReadOnly(P("ro.dbf"), false).ok());
  EXPECT_TRUE(fs_->Remove(P("ro.dbf")).ok());
}

TEST_P(FileSystemContract, ExistsAndStat) {
  Put(fs_, P("File.Dbf"), "12345");
  ASSERT_TRUE(fs_->MakeFolder(P("Sub")).ok());
  EXPECT_TRUE(fs_->Exists(P("File.Dbf")));
  EXPECT_TRUE(fs_->Exists(P("FILE.DBF")));
  EXPECT_TRUE(fs_->Exists(P("Sub")));
  EXPECT_TRUE(fs_->Exists(dir_));
  EXPECT_FALSE(fs_->Exists(P("missing")));
  EXPECT_FALSE(fs_->Exists(P(std::string("missing") + kSep + "x")));
  EXPECT_FALSE(fs_->Exists(""));
  std::unique_ptr<File> none;
  EXPECT_FALSE(fs_->Open("", Access::Read, Share::Shared, Disposition::OpenExisting, &none).ok());

  FileInfo info;
  ASSERT_TRUE(fs_->Stat(P("FILE.DBF"), &info).ok());
  EXPECT_EQ(info.name, "File.Dbf");  // as stored, not as asked
  EXPECT_FALSE(info.is_folder);
  EXPECT_FALSE(info.read_only);
  EXPECT_EQ(info.size, 5u);
  EXPECT_NE(info.last_write, 0);
  ASSERT_TRUE(fs_->Stat(P("sub"), &info).ok());
  EXPECT_EQ(info.name, "Sub");
  EXPECT_TRUE(info.is_folder);
  ASSERT_TRUE(fs_->SetReadOnly(P("File.Dbf"), true).ok());
  ASSERT_TRUE(fs_->Stat(P("File.Dbf"), &info).ok());
  EXPECT_TRUE(info.read_only);

  FileInfo untouched;
  untouched.name = "untouched";
  EXPECT_EQ(fs_->Stat(P("missing"), &untouched).code(), kErrFileNotFound);
  EXPECT_EQ(fs_->Stat(P(std::string("missing") + kSep + "x"), &untouched).code(), kErrPathNotFound);
  EXPECT_EQ(untouched.name, "untouched");
}

TEST_P(FileSystemContract, SetTimes) {
  Put(fs_, P("t.dbf"), "x");
  ASSERT_TRUE(fs_->SetTimes(P("t.dbf"), kOldTime, kOldTime).ok());
  FileInfo info;
  ASSERT_TRUE(fs_->Stat(P("t.dbf"), &info).ok());
  EXPECT_EQ(info.last_write, kOldTime);
  EXPECT_EQ(info.creation, kOldTime);
  // 0 leaves the last-write time as it is; read-only files take new times.
  ASSERT_TRUE(fs_->SetReadOnly(P("t.dbf"), true).ok());
  ASSERT_TRUE(fs_->SetTimes(P("t.dbf"), 0, kOldTime + 10000000).ok());
  ASSERT_TRUE(fs_->SetTimes(P("t.dbf"), kOldTime, 0).ok());
  ASSERT_TRUE(fs_->Stat(P("t.dbf"), &info).ok());
  EXPECT_EQ(info.last_write, kOldTime + 10000000);
  EXPECT_EQ(fs_->SetTimes(P("missing"), 0, kOldTime).code(), kErrFileNotFound);
  EXPECT_EQ(fs_->SetTimes(P("missing"), kOldTime, 0).code(), kErrFileNotFound);
  EXPECT_EQ(fs_->SetTimes(P(std::string("missing") + kSep + "x"), 0, kOldTime).code(), kErrPathNotFound);
}

TEST_P(FileSystemContract, ListFolder) {
  Put(fs_, P("a.txt"), "1");
  Put(fs_, P("B.TXT"), "22");
  ASSERT_TRUE(fs_->MakeFolder(P("Sub")).ok());
  std::vector<FileInfo> entries;
  ASSERT_TRUE(fs_->ListFolder(dir_, &entries).ok());
  std::map<std::string, FileInfo> by_name;
  for (const FileInfo& e : entries) by_name[e.name] = e;
  ASSERT_EQ(by_name.size(), 3u);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(by_name["a.txt"].size, 1u);
  EXPECT_EQ(by_name["B.TXT"].size, 2u);
  EXPECT_FALSE(by_name["B.TXT"].is_folder);
  EXPECT_TRUE(by_name["Sub"].is_folder);
  // A trailing separator changes nothing; an empty folder lists nothing.
  ASSERT_TRUE(fs_->ListFolder(dir_ + kSep, &entries).ok());
  EXPECT_EQ(entries.size(), 3u);
  ASSERT_TRUE(fs_->ListFolder(P("Sub"), &entries).ok());
  EXPECT_TRUE(entries.empty());
  entries.resize(2);
  EXPECT_EQ(fs_->ListFolder(P("missing"), &entries).code(), kErrPathNotFound);
  EXPECT_TRUE(entries.empty());
  EXPECT_EQ(fs_->ListFolder(P("a.txt"), &entries).code(), kErrPathNotFound);
}

TEST_P(FileSystemContract, MakeAndRemoveFolder) {
  ASSERT_TRUE(fs_->MakeFolder(P("d")).ok());
  EXPECT_EQ(fs_->MakeFolder(P("d")).code(), kErrAlreadyExists);
  Put(fs_, P("f"), "x");
  EXPECT_EQ(fs_->MakeFolder(P("f")).code(), kErrAlreadyExists);
  EXPECT_EQ(fs_->MakeFolder(P(std::string("missing") + kSep + "d")).code(), kErrPathNotFound);
  Put(fs_, P(std::string("d") + kSep + "x"), "x");
  EXPECT_EQ(fs_->RemoveFolder(P("d")).code(), kErrDirNotEmpty);
  ASSERT_TRUE(fs_->Remove(P(std::string("d") + kSep + "x")).ok());
  EXPECT_TRUE(fs_->RemoveFolder(P("d")).ok());
  EXPECT_FALSE(fs_->Exists(P("d")));
  EXPECT_EQ(fs_->RemoveFolder(P("d")).code(), kErrFileNotFound);
  EXPECT_EQ(fs_->RemoveFolder(P("f")).code(), kErrDirectory);
}

TEST_P(FileSystemContract, WholeFileHelpers) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  bytes += std::string(70000, 'q');
  Put(fs_, P("w.bin"), bytes);
  EXPECT_EQ(Contents(fs_, P("w.bin")), bytes);
  Put(fs_, P("w.bin"), "short");
  EXPECT_EQ(Contents(fs_, P("w.bin")), "short");
  std::string s;
  EXPECT_EQ(ReadWholeFile(fs_, P("missing"), &s).code(), kErrFileNotFound);
}

}  // namespace
}  // namespace kx::platform::test
