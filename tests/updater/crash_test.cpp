// Interrupted runs lose nothing: the power is cut at every rename, copy and
// delete of a run, and at record writes spread over it; the next run then
// completes the update, with every record present once and the marks right.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/fault_file_system.h"
#include "tests/updater/run_support.h"

namespace kx::test {
namespace {

// Notes the number each rename, copy and delete gets in the fault file
// system's count of mutating operations.
class FileOpLog : public platform::FileSystemWrapper {
 public:
  FileOpLog(platform::FaultFileSystem* fault) : FileSystemWrapper(fault), fault_(fault) {}
  std::vector<uint64_t> ops;
  std::vector<std::string> names;
  platform::Status Rename(const std::string& from, const std::string& to) override {
    Note("rename " + from);
    return FileSystemWrapper::Rename(from, to);
  }
  platform::Status CopyOver(const std::string& from, const std::string& to) override {
    Note("copy " + to);
    return FileSystemWrapper::CopyOver(from, to);
  }
  platform::Status Remove(const std::string& path) override {
    Note("delete " + path);
    return FileSystemWrapper::Remove(path);
  }

 private:
  void Note(const std::string& what) {
    ops.push_back(fault_->mutations() + 1);
    names.push_back(what);
  }
  platform::FaultFileSystem* fault_;
};

TEST(InterruptedRun, PowerCutAnywhereLosesNothing) {
  // One installation, saved once and copied back before every cut, always
  // to the same folder (the link settings hold its path).
  SampleInstallation s("crash_work", [] {
    mkinstall::Options o;
    o.companies = 3;
    o.journal_rows = 10;
    return o;
  }());
  const std::string work = HostPath(s.root);
  const std::string saved = ScratchFolder("crash_saved") + "/inst";
  CopyTree(work, saved);
  Snapshot before;
  {
    tables::WorkAreas db(TestFs());
    before = TakeSnapshot(db, s.inst);
  }

  // A clean run, counted.
  std::vector<uint64_t> file_ops;
  std::vector<std::string> file_op_names;
  uint64_t total = 0;
  {
    tables::WorkAreas db(TestFs());
    ErrorLog log(&db);
    platform::FaultFileSystem fault(TestFs());
    FileOpLog ops(&fault);
    ASSERT_EQ(RunUpdater(s.root, &ops), 0);
    total = fault.mutations();
    file_ops = ops.ops;
    file_op_names = ops.names;
    ExpectUpdated(db, s.inst, before, "clean run");
  }
  ASSERT_GT(file_ops.size(), 40u);
  // Cut points: every file operation, and 50 other mutations (record and
  // header writes, truncations) spread evenly over the run.
  std::vector<std::pair<uint64_t, std::string>> cuts;
  for (size_t i = 0; i < file_ops.size(); ++i) cuts.push_back({file_ops[i], file_op_names[i]});
  std::vector<uint64_t> others;
  for (uint64_t n = 1; n <= total; ++n)
    if (std::find(file_ops.begin(), file_ops.end(), n) == file_ops.end()) others.push_back(n);
  ASSERT_GE(others.size(), 50u);
  for (size_t k = 0; k < 50; ++k) cuts.push_back({others[k * others.size() / 50], "write"});

  size_t cuts_with_backups = 0;
  for (const auto& [n, what] : cuts) {
    if (HasFatalFailure() || testing::Test::HasFailure()) break;  // one broken case is enough to read
    CopyTree(saved, work);
    {
      tables::WorkAreas db(TestFs());
      ErrorLog log(&db);
      platform::FaultFileSystem fault(TestFs());
      fault.PowerCutAt(n);
      RunUpdater(s.root, &fault);
      ASSERT_TRUE(fault.power_cut()) << n;
    }
    for (const auto& c : s.inst.companies) {
      if (c.deleted) continue;
      for (const auto& e : std::filesystem::directory_iterator(HostPath(c.folder)))
        if (e.path().filename().string()[0] == '_') {
          ++cuts_with_backups;
          goto counted;
        }
    }
  counted:
    tables::WorkAreas db(TestFs());
    ErrorLog log(&db);
    ASSERT_EQ(RunUpdater(s.root, TestFs()), 0);
    ExpectUpdated(db, s.inst, before, "power cut at mutation " + std::to_string(n) + " (" + what + ")");
    EXPECT_TRUE(log.RunProblems().empty()) << "after a cut at " << n << ": " << log.RunProblems().front();
  }
  // The cuts did leave interrupted companies behind for the reruns to mend.
  EXPECT_GT(cuts_with_backups, cuts.size() / 2) << cuts.size() << " cuts";
}

}  // namespace
}  // namespace kx::test
