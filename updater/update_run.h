// The update run: the company loop behind the progress dialog, the backup and
// refresh of each company's link tables, the animation and the file steps.
//
// Installation layout under the root cRoot:
//   cRoot\DBF\             Empresa (company list) and the release's fresh tables
//   cRoot\DBF<code>\       one company's tables; <code> is CODEMP with every
//                          blank replaced by "0"
// Per company the link tables TDiaNew, TempDia (journal work tables; refilled
// record by record by field position, then marked), the optional TDiaNic, and
// Claves, FacCliT, FacProT, Ivas (refilled with fields matched by name) are
// renamed to "_" + name (with their memo files), replaced by the release's
// copies and refilled from the backups, which are deleted once their refill
// has completed. A backup that could not be refilled stays, and the run says so
// through kx::RaiseError; a rerun after an interruption takes the surviving
// backups as the source and loses nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "errors/record/error_record.h"
#include "gui/toolkit.h"
#include "updater/tables/workareas.h"

namespace kx::updater {

// Control ids of the progress dialog "DLGINS".
enum : int {
  kIdRootLabel = 100,
  kIdCompanyList = 110,
  kIdOverallMeter = 120,
  kIdCompanyMeter = 130,
  kIdAnimation = 150,
  kIdBanner = 160,
  kIdLogo = 170,
};

// What the run did for one company, and what it could not do.
struct CompanyResult {
  std::string code;    // CODEMP as stored
  std::string name;    // CNOMBRE trimmed
  std::string folder;  // company folder, with its final backslash
  bool skipped = false;
  bool journal_already_marked = false;  // TempDia had L340 before the run
  std::vector<std::string> rebuilt;     // tables refilled completely ("Claves")
  uint64_t records_kept = 0;            // records put back into rebuilt tables
  uint64_t records_marked = 0;          // journal work-table records that qualify
  uint64_t journal_records_marked = 0;  // accounting-journal records that qualify
  std::vector<std::string> journals_marked;   // Diario tables walked (paths)
  std::vector<std::string> journals_skipped;  // Diario tables that could not be opened
  std::vector<std::string> backups_left;      // backup files kept ("_Claves.Dbf")
  std::vector<std::string> problems;          // texts raised through the error handler
};

// Everything the run could not do, for front ends that show no dialog.
struct RunSummary {
  std::vector<CompanyResult> companies;
  std::vector<std::string> problems;  // every text raised, in order
};

// Sub-system name of the errors the run raises about its own steps.
inline constexpr const char* kRunSubSystem = "ACTUALIZA";
// Sub-code of those errors.
enum RunProblem : int {
  kProblemBackupKept = 1,
  kProblemRenameFailed = 2,
  kProblemCopyFailed = 3,
  kProblemCompanySkipped = 4,
  kProblemStructure = 5,
};

class UpdateRun {
 public:
  struct Env {
    tables::WorkAreas* engine = nullptr;  // defaults to tables::Engine()
    gui::Toolkit* toolkit = nullptr;      // REQUIRED
    std::function<uint32_t()> tick;       // defaults to platform::TickCount
  };
  explicit UpdateRun(Env env);
  ~UpdateRun();

  // The entry: cPath less its last four characters is the root; cProduct is
  // accepted and changes nothing. Returns the exit code: 0 at the end of the
  // run, 1 with nothing touched when cPath leaves no root (a message then goes
  // through the error handler).
  int MAIN(const std::string& cPath, const std::string& cProduct = {});
  // Dialog initialisation, before the first paint.
  void INICIODLG();
  // The company loop.
  bool ACTUA(const std::string& cRoot, gui::TableList* oList);
  // Backup and replacement of the listed tables of the current company.
  bool COPIAEMP(const std::vector<std::string>& aTables);
  // Journal marking, refills and removal of the backups.
  bool TABLAS(const std::vector<std::string>& aTables);
  // Copies the current record of the table open as cAlias into the current
  // record of the selected table by field position. False when a value could
  // not be stored (the caller then keeps the source's backup).
  bool RECCOPY(const std::string& cAlias);
  // One animation step (at most one frame every 400 ms); processes pending
  // messages; true.
  bool LCAMBIAICO();
  // Copies a file over another with one animation step; the copy's result.
  bool COPIAFICH(const std::string& cFrom, const std::string& cTo);
  // The progress dialog while it exists, else null.
  gui::Dialog* OWND() const { return oProgressDlg_; }

  // Called after each company (done or skipped).
  void SetCompanyHook(std::function<void(const CompanyResult&)> hook) { company_hook_ = std::move(hook); }
  const RunSummary& summary() const { return summary_; }

  // Run state, for tests.
  const std::string& cCurrentCode() const { return cCurrentCode_; }
  const std::string& cCompanyFolder() const { return cCompanyFolder_; }
  const std::string& cFreshFolder() const { return cFreshFolder_; }
  bool lJournalMarked() const { return lJournalMarked_; }
  int nAnimFrame() const { return nAnimFrame_; }
  // Prepares the run state for COPIAEMP/TABLAS on one company folder without
  // the dialog (tests).
  void PrepareCompany(const std::string& cFresh, const std::string& cFolder, bool lJournalMarked);
  CompanyResult& current() { return current_; }

 private:
  struct Entry {
    bool in_place = false;   // the release copy stands in the company folder
    bool refilled = false;   // its refill completed (or there was nothing to refill)
  };

  bool BackUpTable(const std::string& name);
  bool PutFreshTable(const std::string& name, const std::string& fresh_name);
  bool ReplaceTable(const std::string& name, const std::string& fresh_name);
  void RestoreBackup(const std::string& name);
  bool RefillByPosition(const std::string& name, const std::string& alias);
  bool RefillByName(const std::string& name, const std::string& alias);
  void RemoveBackup(const std::string& name);
  void MarkJournals();
  void MarkJournal(const std::string& table);
  void ProcessCompany();
  // Raises one of the run's own problems through the error handler; a retry
  // is offered only when the caller can repeat the step.
  ErrorAnswer Report(int sub_code, const std::string& text, const std::string& file, bool can_retry = false);
  void SetMeter(int meter, int64_t value);
  void CompanyMeterText();
  bool Exists(const std::string& path);

  tables::WorkAreas& db_;
  gui::Toolkit* toolkit_;
  std::function<uint32_t()> tick_;
  platform::FileSystem* fs_;

  std::unique_ptr<gui::Dialog> dialog_;
  gui::Dialog* oProgressDlg_ = nullptr;
  gui::Picture* oAnimBitmap_ = nullptr;
  gui::Meter* aMeters_[2] = {nullptr, nullptr};
  int64_t aMeterValues_[2] = {0, 0};
  gui::TableList* oList_ = nullptr;
  int nAnimFrame_ = 0;
  uint32_t nLastTick_ = 0;
  std::string cRoot_;
  std::string cCurrentCode_ = " ";
  std::string cFreshFolder_;
  std::string cCompanyFolder_;
  bool lJournalMarked_ = false;
  bool refresh_nic_ = false;
  std::map<std::string, Entry> entries_;

  CompanyResult current_;
  RunSummary summary_;
  std::function<void(const CompanyResult&)> company_hook_;
  class EmpresaRows;
  std::unique_ptr<EmpresaRows> rows_;
};

// The company folder of a code: cRoot + "\DBF" + code with every blank
// replaced by "0" + "\". Empty when the code cannot name a folder safely (a
// path separator, "..", a drive colon or another character no folder name may
// hold).
std::string CompanyFolder(const std::string& cRoot, const std::string& code);

}  // namespace kx::updater
