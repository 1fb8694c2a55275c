// Helpers of the update-run tests: sample installations made by mkinstall,
// snapshots of every link table, and the check that a run kept every record
// and marked exactly the qualifying journal records.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/cp1252.h"
#include "base/run_settings.h"
#include "errors/call_frame.h"
#include "errors/record/error_record.h"
#include "errors/record/silent_courses.h"
#include "framework/file_copy.h"
#include "gui/headless.h"
#include "tests/support/paths.h"
#include "tools/mkinstall/mkinstall.h"
#include "updater/journal_mark.h"
#include "updater/tables/check.h"
#include "updater/tables/workareas.h"
#include "updater/update_run.h"

namespace kx::test {

// A path of the installation as the host's file functions take it.
inline std::string HostPath(std::string p) {
#ifdef _WIN32
  for (char& c : p)
    if (c == '/') c = '\\';
#else
  for (char& c : p)
    if (c == '\\') c = '/';
#endif
  return p;
}

// The host's file system without the flushes to disk: the tests model
// power cuts with the fault file system, and thousands of syncs on a shared
// disk would only make them slow.
class NoSyncFs : public platform::FileSystemWrapper {
 public:
  NoSyncFs() : FileSystemWrapper(platform::DefaultFileSystem()) {}
  platform::Status Open(const std::string& path, platform::Access access, platform::Share share,
                        platform::Disposition disposition, std::unique_ptr<platform::File>* result) override {
    platform::Status st = FileSystemWrapper::Open(path, access, share, disposition, result);
    if (st.ok()) *result = std::make_unique<NoSyncFile>(std::move(*result));
    return st;
  }

 private:
  class NoSyncFile : public platform::File {
   public:
    explicit NoSyncFile(std::unique_ptr<platform::File> f) : f_(std::move(f)) {}
    platform::Status ReadAt(uint64_t o, void* b, size_t n, size_t* got) override { return f_->ReadAt(o, b, n, got); }
    platform::Status WriteAt(uint64_t o, const void* b, size_t n) override { return f_->WriteAt(o, b, n); }
    platform::Status Size(uint64_t* size) override { return f_->Size(size); }
    platform::Status Truncate(uint64_t size) override { return f_->Truncate(size); }
    platform::Status Flush() override { return platform::Status::Ok(); }
    platform::Status Lock(uint64_t o, uint64_t n) override { return f_->Lock(o, n); }
    platform::Status Unlock(uint64_t o, uint64_t n) override { return f_->Unlock(o, n); }

   private:
    std::unique_ptr<platform::File> f_;
  };
};

inline platform::FileSystem* TestFs() {
  static NoSyncFs fs;
  return &fs;
}

// One record as field name -> value text (type letter and contents).
using Record = std::map<std::string, std::string>;
using TableRows = std::vector<Record>;

inline std::string ValueText(const Value& v) {
  switch (v.type()) {
    case Value::Type::Text:
    case Value::Type::Memo: return "C" + std::string(TrimRight(v.text()));
    case Value::Type::Number: return "N" + std::to_string(v.number());
    case Value::Type::Date: return "D" + std::to_string(v.date().jdn);
    case Value::Type::Logical: return v.logical() ? "LT" : "LF";
    default: return "U";
  }
}

// Every visible record of a table, every field; empty with *opened false
// when it does not open.
inline TableRows ReadTable(tables::WorkAreas& db, const std::string& path, bool* opened = nullptr) {
  TableRows rows;
  bool ok = db.Open(path, "SNAPSHOT", tables::OpenMode::Exclusive, true);
  if (opened) *opened = ok;
  if (!ok) return rows;
  auto fields = db.Fields();
  for (db.GoTop(); !db.Eof(); db.Skip(1)) {
    Record r;
    for (size_t i = 0; i < fields.size(); ++i) r[fields[i].name] = ValueText(db.GetField(static_cast<int>(i) + 1));
    rows.push_back(std::move(r));
  }
  db.Close("SNAPSHOT");
  return rows;
}

inline bool RuleHolds(const Record& r) {
  auto text = [&](const char* f) {
    auto it = r.find(f);
    return it == r.end() ? std::string() : it->second.substr(1);
  };
  auto num = [&](const char* f) {
    auto it = r.find(f);
    return it == r.end() ? 0.0 : std::stod(it->second.substr(1));
  };
  updater::JournalFields j{text("CONTRA"), num("FACTURA"), num("NFACTICK"), text("DOCUMENTO"), text("SERIE")};
  // Trailing blanks were trimmed for the comparison; the rule trims anyway,
  // except that tabs are kept by TrimRight, as they are in the table.
  return updater::QualifiesForL340(j);
}

// The link tables of a company, and the journal ones.
inline const std::vector<std::string>& LinkTables() {
  static const std::vector<std::string> t = {"TDiaNew", "TempDia", "TDiaNic", "Claves", "FacCliT", "FacProT", "Ivas"};
  return t;
}
inline bool IsJournal(const std::string& t) { return t == "TDiaNew" || t == "TempDia" || t == "TDiaNic"; }

struct Snapshot {
  std::map<std::string, TableRows> tables;  // path -> rows (missing tables absent)
};

inline Snapshot TakeSnapshot(tables::WorkAreas& db, const mkinstall::Installation& inst) {
  DeletedHidden(true);
  Snapshot s;
  for (const auto& c : inst.companies) {
    if (c.deleted) continue;
    for (const auto& t : LinkTables()) {
      bool opened = false;
      TableRows rows = ReadTable(db, HostPath(c.folder + t), &opened);
      if (opened) s.tables[HostPath(c.folder + t)] = std::move(rows);
    }
  }
  for (const auto& entry : std::filesystem::recursive_directory_iterator(HostPath(inst.root + "\\ZELBAR"))) {
    if (entry.path().filename() == "Diario.dbf") {
      std::string p = HostPath(entry.path().string());
      p = p.substr(0, p.size() - 4);
      s.tables[p] = ReadTable(db, p);
    }
  }
  return s;
}

// Checks the installation after a completed run against the snapshot taken
// before it: every record of every link table present once, in order, with
// its values (fields of both structures); L340 set exactly by the rule in the
// journal work tables of companies that lacked it and in the journals their
// link settings name, false everywhere else; no backup left; every index
// passes the engine's check.
inline void ExpectUpdated(tables::WorkAreas& db, const mkinstall::Installation& inst, const Snapshot& before,
                          const std::string& context = {}) {
  SCOPED_TRACE(context);
  DeletedHidden(true);
  std::set<std::string> marked_journals;
  for (const auto& c : inst.companies)
    if (!c.has_l340)
      for (const auto& j : c.journals) marked_journals.insert(HostPath(j));
  for (const auto& [path, rows] : before.tables) {
    SCOPED_TRACE(path);
    bool opened = false;
    TableRows now = ReadTable(db, path, &opened);
    ASSERT_TRUE(opened);
    ASSERT_EQ(now.size(), rows.size());
    std::string table = path.substr(path.find_last_of("\\/") + 1);
    bool company_marked = false;
    for (const auto& c : inst.companies)
      if (!c.deleted && path.rfind(HostPath(c.folder), 0) == 0) company_marked = c.has_l340;
    bool journal = IsJournal(table) || table == "Diario";
    bool expect_marks = journal && (table == "Diario" ? marked_journals.count(path) > 0 : !company_marked);
    for (size_t i = 0; i < rows.size(); ++i) {
      for (const auto& [field, value] : rows[i]) {
        if (field == "L340") continue;
        auto it = now[i].find(field);
        if (it == now[i].end()) continue;  // a field the new structure dropped
        // Numbers may have been widened; their value stays.
        EXPECT_EQ(it->second, value) << "record " << i + 1 << " field " << field;
      }
      if (journal && table != "TDiaNic") {
        ASSERT_TRUE(now[i].count("L340")) << "record " << i + 1;
        bool want = expect_marks && RuleHolds(rows[i]);
        EXPECT_EQ(now[i].at("L340"), want ? "LT" : "LF") << "record " << i + 1 << " CONTRA " << rows[i].at("CONTRA");
      }
    }
    // The index agrees with the records.
    ASSERT_TRUE(db.Open(path, "CHECK", tables::OpenMode::Exclusive, true));
    tables::Fault f = tables::CheckIndex(*db.Current());
    EXPECT_TRUE(f.ok()) << f.what;
    db.Close("CHECK");
  }
  for (const auto& c : inst.companies) {
    if (c.deleted) continue;
    for (const auto& entry : std::filesystem::directory_iterator(HostPath(c.folder))) {
      std::string name = entry.path().filename().string();
      EXPECT_NE(name[0], '_') << "backup left: " << c.folder << name;
    }
  }
}

// Records every error the run raises with the call frames of that moment;
// applies the handler's silent courses and answers everything else with
// `answer` (Default when it is empty).
struct ErrorLog {
  std::vector<ErrorRecord> records;
  std::vector<std::vector<FrameSnapshot>> frames;  // one entry per record
  std::function<ErrorAction(const ErrorRecord&)> answer;
  ErrorHandler previous;
  explicit ErrorLog(tables::WorkAreas* db) {
    previous = SetErrorHandler([this, db](ErrorRecord& e) -> ErrorAnswer {
      records.push_back(e);
      frames.push_back(CallFrame::Capture());
      if (auto a = ApplySilentCourses(e, db->LastError())) return *a;
      return {answer ? answer(e) : ErrorAction::Default, {}};
    });
  }
  ~ErrorLog() { SetErrorHandler(previous); }
  std::vector<std::string> RunProblems() const {
    std::vector<std::string> out;
    for (const auto& r : records)
      if (r.sub_system && *r.sub_system == updater::kRunSubSystem) out.push_back(r.description.value_or(""));
    return out;
  }
};

// A sample installation in a scratch folder, with the engine and the
// framework's copies on one file system.
struct SampleInstallation {
  std::string root;
  mkinstall::Installation inst;
  explicit SampleInstallation(const std::string& name, mkinstall::Options opt = {}, platform::FileSystem* fs = nullptr) {
    root = ScratchFolder(name);
    tables::WorkAreas db(fs ? fs : TestFs());
#ifdef _WIN32
    opt.accounting_drive.clear();
#else
    // The link settings name the accounting folder on drive X:, as a real
    // installation stores it; the platform layer maps the drive.
    opt.accounting_drive = "X";
    setenv("UPDATER_DRIVE_X", root.c_str(), 1);
#endif
    std::string error;
    bool ok = mkinstall::MakeInstallation(db, root, opt, &inst, &error);
    EXPECT_TRUE(ok) << error;
  }
};

// Runs the updater on `root` with a headless GUI; returns MAIN's result.
inline int RunUpdater(const std::string& root, platform::FileSystem* fs, gui::HeadlessToolkit* toolkit = nullptr,
                      updater::RunSummary* summary = nullptr, std::function<uint32_t()> tick = {}) {
  tables::WorkAreas db(fs);
  framework::ScopedFrameworkFileSystem copies(fs);
  gui::HeadlessToolkit own;
  if (!toolkit) {
    toolkit = &own;
    own.SetKeepEvents(false);
  }
  updater::UpdateRun run({&db, toolkit, std::move(tick)});
  int rc = run.MAIN(root + "\\DBF", "KX");
  if (summary) *summary = run.summary();
  return rc;
}

inline void CopyTree(const std::string& from, const std::string& to) {
  std::error_code ec;
  std::filesystem::remove_all(to, ec);
  std::filesystem::copy(from, to, std::filesystem::copy_options::recursive);
}

}  // namespace kx::test
