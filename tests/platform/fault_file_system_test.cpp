// The fault-injecting file system: what it counts, how it fails, and what a
// power cut leaves on the disk.
#include "platform/fault_file_system.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/platform/fs_test_util.h"

namespace kx::platform::test {
namespace {

// A job of thirteen steps, each exactly one mutating operation, with reads
// and plain opens between them that must never count.
struct Job {
  FileSystem* fs;
  std::string dir;
  std::unique_ptr<File> a;
  std::vector<Status> results;

  std::string P(const std::string& n) const { return Join(dir, n); }

  Status Step(int i) {
    auto need = [&]() { return a ? Status::Ok() : Status::Error(kErrInvalidHandle, "no file"); };
    switch (i) {
      case 1: return fs->Open(P("a.dbf"), Access::ReadWrite, Share::Shared, Disposition::CreateNew, &a);
      case 2: return a ? a->WriteAt(0, "hello", 5) : need();
      case 3: return a ? a->Flush() : need();
      case 4: return a ? a->WriteAt(5, " world", 6) : need();
      case 5: {
        Status s = a ? a->Truncate(8) : need();
        a.reset();
        return s;
      }
      case 6: return fs->Rename(P("a.dbf"), P("b.dbf"));
      case 7: return fs->MakeFolder(P("d"));
      case 8: return fs->CopyOver(P("b.dbf"), P("d" + std::string(1, kSep) + "c.dbf"));
      case 9: return fs->SetTimes(P("b.dbf"), 0, kOldTime);
      case 10: return fs->Open(P("b.dbf"), Access::ReadWrite, Share::Shared, Disposition::CreateAlways, &a);
      case 11: {
        Status s = a ? a->WriteAt(0, "new", 3) : need();
        a.reset();
        return s;
      }
      case 12: return fs->Remove(P("d" + std::string(1, kSep) + "c.dbf"));
      case 13: return fs->RemoveFolder(P("d"));
    }
    return Status::Error(kErrInvalidParameter, "no such step");
  }

  // Things a program does between its writes; none of them counts.
  void Look() {
    fs->Exists(P("a.dbf"));
    FileInfo info;
    fs->Stat(P("b.dbf"), &info);
    std::vector<FileInfo> entries;
    fs->ListFolder(dir, &entries);
    std::unique_ptr<File> r;
    if (fs->Open(P("b.dbf"), Access::Read, Share::Shared, Disposition::OpenExisting, &r).ok()) {
      char buf[16];
      size_t got;
      r->ReadAt(0, buf, sizeof buf, &got);
      uint64_t size;
      r->Size(&size);
      r->Lock(0x7FFFFFFE, 1);
      r->Unlock(0x7FFFFFFE, 1);
    }
  }

  void Run(int steps) {
    for (int i = 1; i <= steps; ++i) {
      results.push_back(Step(i));
      Look();
    }
    a.reset();
  }
};
constexpr int kSteps = 13;

// The folder's files and their contents; a file with the job's old time
// carries "@old".
std::map<std::string, std::string> Snapshot(const std::string& dir, const std::string& prefix = "") {
  std::map<std::string, std::string> out;
  std::vector<FileInfo> entries;
  if (!DefaultFileSystem()->ListFolder(dir, &entries).ok()) return out;
  for (const FileInfo& e : entries) {
    if (e.is_folder) {
      out[prefix + e.name + "/"] = "";
      for (auto& [k, v] : Snapshot(Join(dir, e.name), prefix + e.name + "/")) out[k] = v;
    } else {
      out[prefix + e.name] = Contents(DefaultFileSystem(), Join(dir, e.name)) + (e.last_write == kOldTime ? "@old" : "");
    }
  }
  return out;
}

std::string Fresh(const std::string& base, const std::string& name) {
  std::string d = Join(base, name);
  EXPECT_TRUE(DefaultFileSystem()->MakeFolder(d).ok()) << d;
  return d;
}

TEST(FaultFileSystem, CountsEveryMutatingOperationAndNothingElse) {
  std::string dir = TestFolder();
  FaultFileSystem fs(DefaultFileSystem());
  Job job{&fs, dir, nullptr, {}};
  for (int i = 1; i <= kSteps; ++i) {
    Status s = job.Step(i);
    ASSERT_TRUE(s.ok()) << "step " << i << ": " << s.message();
    EXPECT_EQ(fs.mutations(), static_cast<uint64_t>(i)) << "step " << i;
    job.Look();
    EXPECT_EQ(fs.mutations(), static_cast<uint64_t>(i)) << "after looking at step " << i;
  }
  EXPECT_FALSE(fs.fault_struck());
  EXPECT_EQ(Snapshot(dir), (std::map<std::string, std::string>{{"b.dbf", "new"}}));
  fs.ResetCount();
  EXPECT_EQ(fs.mutations(), 0u);
}

TEST(FaultFileSystem, PowerCutAtEveryStepLeavesTheDiskAsTheStepsBeforeIt) {
  std::string base = TestFolder();
  for (int n = 1; n <= kSteps; ++n) {
    SCOPED_TRACE("cut at " + std::to_string(n));
    std::string ref_dir = Fresh(base, "ref" + std::to_string(n));
    Job ref{DefaultFileSystem(), ref_dir, nullptr, {}};
    ref.Run(n - 1);
    for (const Status& s : ref.results) ASSERT_TRUE(s.ok()) << s.message();

    std::string cut_dir = Fresh(base, "cut" + std::to_string(n));
    FaultFileSystem fs(DefaultFileSystem());
    fs.PowerCutAt(n);
    Job job{&fs, cut_dir, nullptr, {}};
    job.Run(kSteps);
    // The program never noticed.
    for (size_t i = 0; i < job.results.size(); ++i) EXPECT_TRUE(job.results[i].ok()) << "step " << i + 1;
    EXPECT_TRUE(fs.power_cut());
    EXPECT_EQ(fs.mutations(), static_cast<uint64_t>(kSteps));
    EXPECT_FALSE(fs.struck_operation().empty());
    EXPECT_EQ(Snapshot(cut_dir), Snapshot(ref_dir));
  }
}

TEST(FaultFileSystem, TornWriteLeavesAPrefix) {
  std::string dir = TestFolder();
  FaultFileSystem fs(DefaultFileSystem());
  fs.PowerCutAt(4, 3);  // the second write, " world"
  Job job{&fs, dir, nullptr, {}};
  job.Run(kSteps);
  EXPECT_EQ(fs.struck_operation(), "WriteAt " + Join(dir, "a.dbf") + " at 5, 6 bytes");
  EXPECT_EQ(Snapshot(dir), (std::map<std::string, std::string>{{"a.dbf", "hello wo"}}));
}

TEST(FaultFileSystem, AfterTheCutReadsSeeTheDisk) {
  std::string dir = TestFolder();
  Put(DefaultFileSystem(), Join(dir, "old.dbf"), "old");
  FaultFileSystem fs(DefaultFileSystem());
  fs.PowerCutAt(1);
  std::unique_ptr<File> f;
  // Truncating an existing file: the old contents stay.
  ASSERT_TRUE(fs.Open(Join(dir, "old.dbf"), Access::ReadWrite, Share::Shared, Disposition::CreateAlways, &f).ok());
  ASSERT_TRUE(f->WriteAt(0, "XY", 2).ok());
  char buf[8];
  size_t got = 0;
  ASSERT_TRUE(f->ReadAt(0, buf, sizeof buf, &got).ok());
  EXPECT_EQ(std::string(buf, got), "old");
  // A file created after the cut reads as empty and never appears.
  std::unique_ptr<File> g;
  ASSERT_TRUE(fs.Open(Join(dir, "new.dbf"), Access::ReadWrite, Share::Shared, Disposition::CreateNew, &g).ok());
  ASSERT_TRUE(g->WriteAt(0, "abc", 3).ok());
  uint64_t size = 99;
  ASSERT_TRUE(g->Size(&size).ok());
  EXPECT_EQ(size, 0u);
  ASSERT_TRUE(g->ReadAt(0, buf, sizeof buf, &got).ok());
  EXPECT_EQ(got, 0u);
  EXPECT_TRUE(g->Lock(0, 1).ok());
  EXPECT_FALSE(fs.Exists(Join(dir, "new.dbf")));
  // What would fail without the cut still fails.
  EXPECT_EQ(fs.Open(Join(dir, "old.dbf"), Access::ReadWrite, Share::Shared, Disposition::CreateNew, &g).code(),
            kErrFileExists);
  EXPECT_EQ(fs.Open(Join(dir, Join("nofolder", "x.dbf")), Access::ReadWrite, Share::Shared, Disposition::CreateNew, &g)
                .code(),
            kErrPathNotFound);
  EXPECT_EQ(fs.mutations(), 6u);
}

TEST(FaultFileSystem, FailAtTheNthStepFailsOnlyThatStep) {
  std::string base = TestFolder();
  for (int n = 1; n <= kSteps; ++n) {
    SCOPED_TRACE("fail at " + std::to_string(n));
    std::string dir = Fresh(base, "run" + std::to_string(n));
    FaultFileSystem fs(DefaultFileSystem());
    fs.FailAt(n, kErrDiskFull);
    Job job{&fs, dir, nullptr, {}};
    for (int i = 1; i < n; ++i) ASSERT_TRUE(job.Step(i).ok()) << "step " << i;
    std::map<std::string, std::string> before = Snapshot(dir);
    Status s = job.Step(n);
    EXPECT_EQ(s.code(), kErrDiskFull) << s.message();
    EXPECT_TRUE(fs.fault_struck());
    EXPECT_FALSE(fs.power_cut());
    job.a.reset();
    // The failed operation changed nothing.
    EXPECT_EQ(Snapshot(dir), before);
  }
}

TEST(FaultFileSystem, FailuresRecoverOrKeepFailing) {
  std::string dir = TestFolder();
  struct Case {
    FaultFileSystem::AfterFailure after;
    size_t torn;
    std::vector<uint32_t> codes;  // of the four writes
    std::string contents;
  } cases[] = {
      {FaultFileSystem::AfterFailure::Recover, 0, {0, kErrWriteFault, 0, 0}, std::string("aa\0\0ccdd", 8)},
      {FaultFileSystem::AfterFailure::Recover, 1, {0, kErrWriteFault, 0, 0}, std::string("aab\0ccdd", 8)},
      {FaultFileSystem::AfterFailure::KeepFailing, 0, {0, kErrWriteFault, kErrWriteFault, kErrWriteFault}, "aa"},
  };
  int k = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(k);
    std::string path = Join(dir, "f" + std::to_string(k++));
    FaultFileSystem fs(DefaultFileSystem());
    std::unique_ptr<File> f;
    ASSERT_TRUE(fs.Open(path, Access::ReadWrite, Share::Exclusive, Disposition::CreateNew, &f).ok());
    fs.FailAt(3, kErrWriteFault, c.after, c.torn);  // the open was the first
    const char* parts[] = {"aa", "bb", "cc", "dd"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(f->WriteAt(2 * i, parts[i], 2).code(), c.codes[i]) << "write " << i;
    // Reads and sizes never fail.
    uint64_t size;
    EXPECT_TRUE(f->Size(&size).ok());
    f.reset();
    EXPECT_EQ(Contents(DefaultFileSystem(), path), c.contents);
  }
  // Disarmed, everything passes again; the count goes on.
  FaultFileSystem fs(DefaultFileSystem());
  fs.FailAt(1, kErrWriteFault, FaultFileSystem::AfterFailure::KeepFailing);
  EXPECT_EQ(fs.MakeFolder(Join(dir, "x")).code(), kErrWriteFault);
  EXPECT_EQ(fs.MakeFolder(Join(dir, "x")).code(), kErrWriteFault);
  fs.Disarm();
  EXPECT_TRUE(fs.MakeFolder(Join(dir, "x")).ok());
  EXPECT_EQ(fs.mutations(), 3u);
}

TEST(FaultFileSystem, FilesOutliveTheFileSystem) {
  std::string dir = TestFolder();
  std::unique_ptr<File> f;
  {
    FaultFileSystem fs(DefaultFileSystem());
    ASSERT_TRUE(fs.Open(Join(dir, "f"), Access::ReadWrite, Share::Shared, Disposition::CreateNew, &f).ok());
  }
  EXPECT_TRUE(f->WriteAt(0, "ok", 2).ok());
  f.reset();
  EXPECT_EQ(Contents(DefaultFileSystem(), Join(dir, "f")), "ok");
}

}  // namespace
}  // namespace kx::platform::test

namespace kx::platform::test {
namespace {

TEST(FaultFileSystem, PowerCutCanLoseWhatWasNotFlushed) {
  std::string base = TestFolder();
  struct Case {
    int n;
    std::map<std::string, std::string> disk;
  } cases[] = {
      {2, {{"a.dbf", ""}}},                              // the file exists, empty
      {3, {{"a.dbf", ""}}},                              // "hello" was never flushed
      {4, {{"a.dbf", "hello"}}},                         // flushed before the cut
      {6, {{"a.dbf", "hello"}}},                         // the later write and truncate are lost
      {9, {{"b.dbf", "hello"}, {"d/", ""}, {"d/c.dbf", ""}}},  // renamed; the copy's data lost
      {10, {{"b.dbf", "hello@old"}, {"d/", ""}, {"d/c.dbf", ""}}},  // times are kept
      {12, {{"b.dbf", "hello"}, {"d/", ""}, {"d/c.dbf", ""}}},       // the truncate and "new" are lost
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("cut at " + std::to_string(c.n));
    std::string dir = Fresh(base, "run" + std::to_string(c.n));
    FaultFileSystem fs(DefaultFileSystem());
    fs.PowerCutAt(c.n, 0, FaultFileSystem::Unflushed::Lost);
    Job job{&fs, dir, nullptr, {}};
    job.Run(kSteps);
    for (const Status& s : job.results) EXPECT_TRUE(s.ok()) << s.message();
    EXPECT_EQ(Snapshot(dir), c.disk);
  }
}

}  // namespace
}  // namespace kx::platform::test
