#include <gtest/gtest.h>

#include <filesystem>

#include "errors/error_report.h"
#include "tests/updater/run_support.h"

namespace kx::test {
namespace {

using updater::RunSummary;

mkinstall::Options Small(int companies = 3, int rows = 24) {
  mkinstall::Options o;
  o.companies = companies;
  o.journal_rows = rows;
  return o;
}

bool HasProblem(const std::vector<std::string>& problems, const std::string& part) {
  for (const auto& p : problems)
    if (p.find(part) != std::string::npos) return true;
  return false;
}

TEST(UpdateRun, KeepsEveryRecordAndMarksTheQualifyingJournalRecords) {
  SampleInstallation s("run_full", Small(4, 40));
  tables::WorkAreas db(TestFs());
  Snapshot before = TakeSnapshot(db, s.inst);
  ErrorLog log(&db);
  RunSummary summary;
  ASSERT_EQ(RunUpdater(s.root, TestFs(), nullptr, &summary), 0);
  ExpectUpdated(db, s.inst, before);
  EXPECT_TRUE(log.RunProblems().empty());
  // The deleted company is not processed and gets no folder.
  ASSERT_EQ(summary.companies.size(), 4u);
  EXPECT_FALSE(std::filesystem::exists(HostPath(s.root + "\\DBF990")));
  // The company that already had L340 gets only the four other tables.
  EXPECT_TRUE(summary.companies[2].journal_already_marked);
  EXPECT_EQ(summary.companies[2].rebuilt, (std::vector<std::string>{"Claves", "FacCliT", "FacProT", "Ivas"}));
  EXPECT_EQ(summary.companies[0].rebuilt.size(), 7u);  // with TDiaNic
  EXPECT_GT(summary.companies[0].records_marked, 0u);
  EXPECT_GT(summary.companies[0].journal_records_marked, 0u);
  // The memo texts came along and the memo file is the new table's.
  EXPECT_TRUE(std::filesystem::exists(HostPath(s.inst.companies[0].folder + "FacCliT.Fpt")) ||
              std::filesystem::exists(HostPath(s.inst.companies[0].folder + "FacCliT.fpt")));

  // A second run changes nothing: every record still there, marks the same.
  ASSERT_EQ(RunUpdater(s.root, TestFs()), 0);
  ExpectUpdated(db, s.inst, before, "second run");
}

TEST(UpdateRun, DialogShowsRootMetersListAndAnimation) {
  SampleInstallation s("run_dialog", Small(3, 12));
  tables::WorkAreas db(TestFs());
  ErrorLog log(&db);
  gui::HeadlessToolkit tk;
  uint32_t now = 1000;
  auto tick = [&now] { return now += 150; };
  ASSERT_EQ(RunUpdater(s.root, TestFs(), &tk, nullptr, tick), 0);
  using K = gui::HeadlessEvent::Kind;

  auto loaded = tk.EventsOf(K::DialogLoaded);
  ASSERT_EQ(loaded.size(), 1u);
  EXPECT_EQ(loaded[0].text, "DLGINS");
  auto label = tk.EventsOf(K::LabelText, updater::kIdRootLabel);
  ASSERT_EQ(label.size(), 1u);
  EXPECT_EQ(label[0].text, s.root);

  // Overall meter: total = every Empresa record (the deleted one too), full at the end.
  auto totals = tk.EventsOf(K::MeterTotal, updater::kIdOverallMeter);
  ASSERT_FALSE(totals.empty());
  EXPECT_EQ(totals.back().value, 4);
  auto overall = tk.EventsOf(K::MeterValue, updater::kIdOverallMeter);
  ASSERT_FALSE(overall.empty());
  EXPECT_EQ(overall.back().value, 4);
  EXPECT_EQ(overall.back().percent, 100);
  std::vector<int64_t> steps;
  for (const auto& e : overall)
    if (steps.empty() || steps.back() != e.value) steps.push_back(e.value);
  EXPECT_EQ(steps, (std::vector<int64_t>{0, 1, 2, 3, 4}));

  // Company meter texts: the first record's at initialisation, then each company's.
  std::vector<std::string> texts;
  for (const auto& e : tk.EventsOf(K::MeterText, updater::kIdCompanyMeter)) texts.push_back(e.text);
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[0], "  1 - EMPRESA DE PRUEBA NÚMERO 1 S.L.");
  EXPECT_EQ(texts[2], " 02 - EMPRESA DE PRUEBA NÚMERO 2 S.A.");
  auto captions = tk.EventsOf(K::MeterRepaint, updater::kIdOverallMeter);
  ASSERT_FALSE(captions.empty());
  EXPECT_EQ(captions[0].text, "ACTUALIZANDO EMPRESAS   0%");

  // The list: disabled before the first company; the company in progress on
  // the first row with its tick, the ones after it with the cross.
  auto enable = tk.EventsOf(K::ListEnable, updater::kIdCompanyList);
  ASSERT_EQ(enable.size(), 1u);
  EXPECT_FALSE(enable[0].flag);
  auto paints = tk.EventsOf(K::ListRepaint, updater::kIdCompanyList);
  ASSERT_EQ(paints.size(), 4u);  // first paint + one per company
  auto row = [](const gui::ListRow& r) { return r[0].bitmap + "|" + r[1].text; };
  ASSERT_EQ(paints[0].rows.size(), 3u);  // the deleted company is not shown
  EXPECT_EQ(row(paints[0].rows[0]), "BMPSIACT|  1");  // before the first company: codes with a leading blank
  EXPECT_EQ(row(paints[0].rows[1]), "BMPSIACT| 02");
  EXPECT_EQ(row(paints[0].rows[2]), "BMPNOACT|003");
  ASSERT_EQ(paints[2].rows.size(), 2u);
  EXPECT_EQ(row(paints[2].rows[0]), "BMPSIACT| 02");
  EXPECT_EQ(row(paints[2].rows[1]), "BMPNOACT|003");

  // Animation: ACTUA0 when built, ACTUA1 at initialisation, then 0..9, 0 ...
  // with at least 400 ms between two frames.
  auto frames = tk.EventsOf(K::PictureBitmap, updater::kIdAnimation);
  ASSERT_GT(frames.size(), 13u);
  EXPECT_EQ(frames[0].text, "ACTUA0");
  EXPECT_EQ(frames[1].text, "ACTUA1");
  for (size_t i = 2; i < frames.size(); ++i) EXPECT_EQ(frames[i].text, "ACTUA" + std::to_string((i - 2) % 10));
  EXPECT_FALSE(tk.EventsOf(K::PendingMessages).empty());
  EXPECT_EQ(tk.EventsOf(K::DialogClosed).size(), 1u);
}

TEST(UpdateRun, AnimationStepsAreAtLeast400msApart) {
  gui::HeadlessToolkit tk;
  uint32_t now = 0;
  tables::WorkAreas db(TestFs());
  updater::UpdateRun run({&db, &tk, [&now] { return now; }});
  // Without a dialog the frame number still advances, and every step lets
  // pending messages through.
  now = 400;
  run.LCAMBIAICO();
  EXPECT_EQ(run.nAnimFrame(), 1);
  now = 500;
  run.LCAMBIAICO();
  EXPECT_EQ(run.nAnimFrame(), 1);  // 100 ms later: no change
  now = 799;
  run.LCAMBIAICO();
  EXPECT_EQ(run.nAnimFrame(), 1);
  now = 800;
  run.LCAMBIAICO();
  EXPECT_EQ(run.nAnimFrame(), 2);
  for (int i = 0; i < 9; ++i) {
    now += 400;
    run.LCAMBIAICO();
  }
  EXPECT_EQ(run.nAnimFrame(), 1);  // 10 wrapped to 0, then shown and advanced
  EXPECT_EQ(tk.EventsOf(gui::HeadlessEvent::Kind::PendingMessages).size(), 13u);
}

TEST(UpdateRun, CopyStepReplacesAndReportsAMissingSource) {
  std::string dir = ScratchFolder("run_copy");
  platform::FileSystem* fs = TestFs();
  ASSERT_TRUE(platform::WriteWholeFile(fs, dir + "/a", "new").ok());
  ASSERT_TRUE(platform::WriteWholeFile(fs, dir + "/b", "old contents").ok());
  gui::HeadlessToolkit tk;
  tables::WorkAreas db(TestFs());
  uint32_t now = 0;
  updater::UpdateRun run({&db, &tk, [&now] { return now += 500; }});
  EXPECT_TRUE(run.COPIAFICH(dir + "/a", dir + "/b"));
  std::string got;
  ASSERT_TRUE(platform::ReadWholeFile(fs, dir + "/b", &got).ok());
  EXPECT_EQ(got, "new");
  EXPECT_FALSE(run.COPIAFICH(dir + "/missing", dir + "/c"));
  EXPECT_EQ(run.nAnimFrame(), 2);  // both took their animation step
}

TEST(UpdateRun, CommandLineWithoutRootTouchesNothing) {
  gui::HeadlessToolkit tk;
  tables::WorkAreas db(TestFs());
  ErrorLog log(&db);
  for (std::string path : {"", "C:\\", "ABCD"}) {
    updater::UpdateRun run({&db, &tk, {}});
    EXPECT_EQ(run.MAIN(path, "KX"), 1) << path;
  }
  EXPECT_EQ(log.RunProblems().size(), 3u);
  EXPECT_TRUE(tk.EventsOf(gui::HeadlessEvent::Kind::DialogLoaded).empty());
}

TEST(UpdateRun, EmptyCompanyListShowsTheDialogAndTouchesNoFolder) {
  SampleInstallation s("run_empty", Small(0));
  tables::WorkAreas db(TestFs());
  ErrorLog log(&db);
  gui::HeadlessToolkit tk;
  ASSERT_EQ(RunUpdater(s.root, TestFs(), &tk), 0);
  auto overall = tk.EventsOf(gui::HeadlessEvent::Kind::MeterValue, updater::kIdOverallMeter);
  ASSERT_FALSE(overall.empty());
  EXPECT_EQ(overall.back().value, 0);
  EXPECT_EQ(overall.back().total, 0);
  EXPECT_EQ(tk.EventsOf(gui::HeadlessEvent::Kind::DialogClosed).size(), 1u);
  for (const auto& e : std::filesystem::directory_iterator(HostPath(s.root)))
    EXPECT_TRUE(e.path().filename() == "DBF" || e.path().filename() == "ZELBAR") << e.path();
}

// Fails Rename or CopyOver for paths that end with a given text.
class FailingFs : public platform::FileSystemWrapper {
 public:
  using FileSystemWrapper::FileSystemWrapper;
  std::string fail_rename_from, fail_copy_to;
  static bool Ends(const std::string& path, const std::string& tail) {
    return !tail.empty() && path.size() >= tail.size() && Upper(path.substr(path.size() - tail.size())) == Upper(tail);
  }
  platform::Status Rename(const std::string& from, const std::string& to) override {
    if (Ends(from, fail_rename_from)) return platform::Status::Error(platform::kErrAccessDenied, "denied");
    return FileSystemWrapper::Rename(from, to);
  }
  platform::Status CopyOver(const std::string& from, const std::string& to) override {
    if (Ends(to, fail_copy_to)) return platform::Status::Error(platform::kErrDiskFull, "disk full");
    return FileSystemWrapper::CopyOver(from, to);
  }
};

TEST(UpdateRun, FailedRenameOrCopyLeavesTheCompanyTableAsItWas) {
  SampleInstallation s("run_fail_fs", Small(3, 12));
  tables::WorkAreas db(TestFs());
  Snapshot before = TakeSnapshot(db, s.inst);
  ErrorLog log(&db);
  FailingFs fs(TestFs());
  fs.fail_rename_from = "DBF001\\FacProT.Dbf";
  fs.fail_copy_to = "DBF002\\Ivas.Dbf";
  RunSummary summary;
  ASSERT_EQ(RunUpdater(s.root, &fs, nullptr, &summary), 0);
  // Both tables keep their old structure and every record; no backup stays.
  for (const std::string& t : {s.inst.companies[0].folder + "FacProT", s.inst.companies[1].folder + "Ivas"}) {
    SCOPED_TRACE(t);
    TableRows now = ReadTable(db, HostPath(t));
    EXPECT_EQ(now, before.tables.at(HostPath(t)));
    ASSERT_FALSE(now.empty());
    EXPECT_FALSE(now[0].count("NIF") || now[0].count("DESCRIP"));  // not the release's structure
  }
  auto problems = log.RunProblems();
  EXPECT_TRUE(HasProblem(problems, "FacProT")) << problems.size();
  EXPECT_TRUE(HasProblem(problems, "Ivas"));
  // Everything else was updated: drop the two tables and check the rest.
  before.tables.erase(HostPath(s.inst.companies[0].folder + "FacProT"));
  before.tables.erase(HostPath(s.inst.companies[1].folder + "Ivas"));
  ExpectUpdated(db, s.inst, before);
}

TEST(UpdateRun, BackupThatCannotBeRefilledIsKeptAndReported) {
  SampleInstallation s("run_bad_backup", Small(3, 12));
  tables::WorkAreas db(TestFs());
  Snapshot before = TakeSnapshot(db, s.inst);
  // A FacCliT whose header is broken: it cannot be opened as a backup.
  const std::string bad = HostPath(s.inst.companies[0].folder + "FacCliT.dbf");
  std::string bytes;
  ASSERT_TRUE(platform::ReadWholeFile(TestFs(), bad, &bytes).ok());
  std::string broken = bytes;
  broken[8] = broken[9] = '\xFF';  // header length beyond the file
  ASSERT_TRUE(platform::WriteWholeFile(TestFs(), bad, broken).ok());
  ErrorLog log(&db);
  RunSummary summary;
  ASSERT_EQ(RunUpdater(s.root, TestFs(), nullptr, &summary), 0);
  // The company's only copy is still there, byte for byte.
  std::string kept;
  ASSERT_TRUE(platform::ReadWholeFile(TestFs(), HostPath(s.inst.companies[0].folder + "_FacCliT.Dbf"), &kept).ok());
  EXPECT_EQ(kept, broken);
  ASSERT_EQ(summary.companies[0].backups_left, (std::vector<std::string>{"_FacCliT.Dbf"}));
  EXPECT_TRUE(HasProblem(log.RunProblems(), "_FacCliT.Dbf"));
  // And its memo file beside it.
  EXPECT_TRUE(std::filesystem::exists(HostPath(s.inst.companies[0].folder + "_FacCliT.Fpt")));
}

TEST(UpdateRun, JournalBackupThatDoesNotFitTheNewStructureIsKept) {
  SampleInstallation s("run_narrow", Small(3, 12));
  tables::WorkAreas db(TestFs());
  Snapshot before = TakeSnapshot(db, s.inst);
  // A release whose TempDia has a narrower CONTRA and a numeric DOCUMENTO.
  auto fields = mkinstall::JournalFields(true);
  for (auto& f : fields) {
    if (f.name == "CONTRA") f.length = 10;
  }
  std::string error;
  ASSERT_TRUE(mkinstall::CreateTable(db, HostPath(s.root + "\\DBF\\TempDia"), fields, {}, &error)) << error;
  ErrorLog log(&db);
  RunSummary summary;
  ASSERT_EQ(RunUpdater(s.root, TestFs(), nullptr, &summary), 0);
  for (int c : {0, 1}) {
    const auto& company = s.inst.companies[c];
    TableRows kept = ReadTable(db, HostPath(company.folder + "_TempDia"));
    EXPECT_EQ(kept, before.tables.at(HostPath(company.folder + "TempDia")));
    EXPECT_EQ(summary.companies[c].backups_left, (std::vector<std::string>{"_TempDia.Dbf"}));
  }
  EXPECT_TRUE(HasProblem(log.RunProblems(), "CONTRA"));
  // The company that already had L340 is not concerned.
  EXPECT_TRUE(summary.companies[2].backups_left.empty());
}

TEST(UpdateRun, RerunAfterAnInterruptionRefillsFromTheSurvivingBackups) {
  SampleInstallation s("run_rerun", Small(3, 16));
  tables::WorkAreas db(TestFs());
  Snapshot before = TakeSnapshot(db, s.inst);
  platform::FileSystem* fs = TestFs();
  const std::string f = HostPath(s.inst.companies[0].folder);
  const std::string fresh = HostPath(s.root + "\\DBF\\");
  // As a run leaves it when it stops during the journal refill: TempDia
  // already in the new structure (so with L340) holding a few records, its
  // records in _TempDia; TDiaNic renamed away before its copy.
  ASSERT_TRUE(fs->Rename(f + "TempDia.dbf", f + "_TempDia.Dbf").ok());
  ASSERT_TRUE(fs->CopyOver(fresh + "TempDia.dbf", f + "TempDia.Dbf").ok());
  ASSERT_TRUE(db.Open(f + "TempDia", "T"));
  ASSERT_TRUE(db.AppendBlank());
  db.PutField("CONTRA", Value::Text("STRANDED"));
  db.Close("T");
  ASSERT_TRUE(fs->Rename(f + "TDiaNic.dbf", f + "_TDiaNic.dbf").ok());
  ErrorLog log(&db);
  ASSERT_EQ(RunUpdater(s.root, fs), 0);
  ExpectUpdated(db, s.inst, before);
  EXPECT_TRUE(log.RunProblems().empty());
}

TEST(UpdateRun, CompanyCodesThatCannotNameAFolderAreSkipped) {
  SampleInstallation s("run_codes", Small(2, 8));
  tables::WorkAreas db(TestFs());
  Snapshot before = TakeSnapshot(db, s.inst);
  ASSERT_TRUE(db.Open(HostPath(s.root + "\\DBF\\Empresa"), "E"));
  for (const char* code : {"..", "A/B", "A\\B", "C:X"}) {
    ASSERT_TRUE(db.AppendBlank());
    db.PutField("CODEMP", Value::Text(code));
    db.PutField("CNOMBRE", Value::Text("Mala"));
  }
  db.Close("E");
  ErrorLog log(&db);
  RunSummary summary;
  ASSERT_EQ(RunUpdater(s.root, TestFs(), nullptr, &summary), 0);
  int skipped = 0;
  for (const auto& c : summary.companies) skipped += c.skipped;
  EXPECT_EQ(skipped, 4);
  EXPECT_EQ(log.RunProblems().size(), 4u);
  ExpectUpdated(db, s.inst, before);
  // The release folder still holds its empty fresh tables.
  EXPECT_TRUE(ReadTable(db, HostPath(s.root + "\\DBF\\TempDia")).empty());
}

TEST(UpdateRun, CompanyWithoutTempDiaIsSkippedOrRetried) {
  // "&Defecto" leaves the company as it is; "&Reintentar" opens TempDia
  // again, here once the technician has put it back.
  for (bool retry : {false, true}) {
    SCOPED_TRACE(retry ? "retry" : "default");
    SampleInstallation s(retry ? "run_no_tempdia_retry" : "run_no_tempdia", Small(2, 8));
    tables::WorkAreas db(TestFs());
    Snapshot before = TakeSnapshot(db, s.inst);
    const std::string tempdia = HostPath(s.inst.companies[1].folder + "TempDia.dbf");
    std::filesystem::rename(tempdia, tempdia + ".away");
    ErrorLog log(&db);
    log.answer = [&](const ErrorRecord& e) {
      EXPECT_TRUE(e.can_retry);
      if (!retry) return ErrorAction::Default;
      std::filesystem::rename(tempdia + ".away", tempdia);
      return ErrorAction::Retry;
    };
    RunSummary summary;
    ASSERT_EQ(RunUpdater(s.root, TestFs(), nullptr, &summary), 0);
    ASSERT_EQ(summary.companies.size(), 2u);
    EXPECT_FALSE(summary.companies[0].skipped);
    EXPECT_EQ(summary.companies[1].skipped, !retry);
    ASSERT_EQ(log.RunProblems().size(), 1u);
    EXPECT_TRUE(HasProblem(log.RunProblems(), "TempDia"));
    if (retry) {
      ExpectUpdated(db, s.inst, before);
    } else {
      // The skipped company's tables are as they were.
      for (const auto& t : LinkTables()) {
        const std::string path = HostPath(s.inst.companies[1].folder + t);
        if (t != "TempDia" && before.tables.count(path)) {
          EXPECT_EQ(ReadTable(db, path), before.tables.at(path)) << t;
        }
      }
    }
  }
}

// The line of update_run.cpp that a frame names.
std::string SourceLine(int line) {
  static std::vector<std::string> lines = [] {
    std::vector<std::string> out;
    std::string text;
    EXPECT_TRUE(platform::ReadWholeFile(platform::DefaultFileSystem(), HostPath(SourcePath("updater/update_run.cpp")),
                                        &text)
                    .ok());
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i)
      if (i == text.size() || text[i] == '\n') {
        out.push_back(text.substr(start, i - start));
        start = i + 1;
      }
    return out;
  }();
  return line >= 1 && size_t(line) <= lines.size() ? lines[line - 1] : std::string();
}

TEST(UpdateRun, ErrorInsideARefillListsTheChainFromMainInward) {
  SampleInstallation s("run_frames", Small(2, 8));
  // A FacCliT whose header is broken: its backup cannot be opened, and the
  // run reports the backup it keeps from inside TABLAS.
  const std::string bad = HostPath(s.inst.companies[0].folder + "FacCliT.dbf");
  std::string bytes;
  ASSERT_TRUE(platform::ReadWholeFile(TestFs(), bad, &bytes).ok());
  bytes[8] = bytes[9] = '\xFF';
  ASSERT_TRUE(platform::WriteWholeFile(TestFs(), bad, bytes).ok());
  tables::WorkAreas db(TestFs());
  ErrorLog log(&db);
  ASSERT_EQ(RunUpdater(s.root, TestFs()), 0);

  // Each frame's line is the line of the call into the next frame inward.
  struct Expected {
    const char* routine;
    const char* line_holds;  // text of the source line the frame stands at
  };
  auto check = [&](const std::vector<FrameSnapshot>& frames, const std::vector<Expected>& chain) {
    std::vector<FrameSnapshot> ours;
    for (const auto& f : frames)
      if (std::string(f.name) != "RUNUPDATER") ours.push_back(f);
    ASSERT_EQ(ours.size(), chain.size()) << CallSequenceLines(frames).front();
    for (size_t i = 0; i < chain.size(); ++i) {
      EXPECT_EQ(ours[i].name, chain[i].routine);
      EXPECT_NE(SourceLine(ours[i].line).find(chain[i].line_holds), std::string::npos)
          << ours[i].name << "(" << ours[i].line << "): " << SourceLine(ours[i].line);
    }
  };

  // The failed open of the backup, from inside the refill.
  size_t open_error = log.records.size(), kept_report = log.records.size();
  for (size_t i = 0; i < log.records.size(); ++i) {
    const auto& r = log.records[i];
    if (open_error == log.records.size() && r.file_name.find("_FacCliT") != std::string::npos &&
        !(r.sub_system && *r.sub_system == updater::kRunSubSystem))
      open_error = i;
    if (r.sub_system && *r.sub_system == updater::kRunSubSystem && r.description->find("_FacCliT") != std::string::npos)
      kept_report = i;
  }
  ASSERT_LT(open_error, log.records.size());
  ASSERT_LT(kept_report, log.records.size());
  check(log.frames[open_error], {{"REFILLBYNAME", "db_.AppendFrom("},
                                 {"TABLAS", "RefillByName(\"FacCliT.Dbf\""},
                                 {"PROCESSCOMPANY", "TABLAS(aTables)"},
                                 {"ACTUA", "ProcessCompany()"},
                                 {"MAIN", "RunModal"}});
  check(log.frames[kept_report], {{"TABLAS", "entries_[name].refilled"},
                                  {"PROCESSCOMPANY", "TABLAS(aTables)"},
                                  {"ACTUA", "ProcessCompany()"},
                                  {"MAIN", "RunModal"}});

  // Parameters and locals as the variables block shows them.
  const FrameSnapshot& refill = log.frames[open_error][0];
  ASSERT_EQ(refill.params.size(), 2u);
  EXPECT_EQ(refill.params[0].text(), "FacCliT.Dbf");
  EXPECT_EQ(refill.params[1].text(), "FacCliT");
  ASSERT_EQ(refill.locals.size(), 2u);
  EXPECT_EQ(refill.locals[0].TypeLetter(), 'L');
  EXPECT_EQ(refill.locals[1].TypeLetter(), 'N');
  const FrameSnapshot& actua = log.frames[open_error][3];
  ASSERT_EQ(actua.params.size(), 2u);
  EXPECT_EQ(actua.params[1].TypeLetter(), 'O');
  const FrameSnapshot& tablas = log.frames[open_error][1];
  ASSERT_EQ(tablas.params.size(), 1u);
  EXPECT_EQ(tablas.params[0].TypeLetter(), 'A');
  EXPECT_EQ(tablas.params[0].list().size(), 6u);
  EXPECT_EQ(CallSequenceLines(log.frames[kept_report]).back().rfind(" Llamado desde MAIN(", 0), 0u);
}

TEST(UpdateRun, MissingFirstJournalLeavesTheSecondUnmarked) {
  SampleInstallation s("run_journal_missing", Small(2, 16));
  auto& second = s.inst.companies[1];
  ASSERT_EQ(second.journals.size(), 2u);
  std::filesystem::remove(HostPath(second.journals[0] + ".dbf"));
  std::filesystem::remove(HostPath(second.journals[0] + ".cdx"));
  tables::WorkAreas db(TestFs());
  Snapshot before = TakeSnapshot(db, s.inst);
  second.journals.clear();  // neither journal gets marks
  ErrorLog log(&db);
  RunSummary summary;
  ASSERT_EQ(RunUpdater(s.root, TestFs(), nullptr, &summary), 0);
  ExpectUpdated(db, s.inst, before);
  EXPECT_TRUE(summary.companies[0].journals_skipped.empty());
  EXPECT_EQ(summary.companies[1].journals_skipped.size(), 2u);
  EXPECT_TRUE(summary.companies[1].journals_marked.empty());
}

TEST(UpdateRun, ReadOnlyReleaseTablesArriveWritable) {
  SampleInstallation s("run_read_only", Small(1, 8));
  platform::FileSystem* fs = TestFs();
  for (const char* t : {"TDiaNew.dbf", "TempDia.dbf", "Claves.dbf", "FacCliT.dbf", "FacCliT.fpt", "FacProT.dbf", "Ivas.dbf"})
    ASSERT_TRUE(fs->SetReadOnly(HostPath(s.root + "\\DBF\\" + t), true).ok());
  tables::WorkAreas db(TestFs());
  Snapshot before = TakeSnapshot(db, s.inst);
  ErrorLog log(&db);
  ASSERT_EQ(RunUpdater(s.root, fs), 0);
  ExpectUpdated(db, s.inst, before);
  for (const char* t : {"TempDia.Dbf", "Claves.Dbf", "FacCliT.Fpt"}) {
    platform::FileInfo info;
    ASSERT_TRUE(fs->Stat(HostPath(s.inst.companies[0].folder + t), &info).ok()) << t;
    EXPECT_FALSE(info.read_only) << t;
  }
  for (const char* t : {"TDiaNew.dbf", "TempDia.dbf", "Claves.dbf", "FacCliT.dbf", "FacCliT.fpt", "FacProT.dbf", "Ivas.dbf"})
    fs->SetReadOnly(HostPath(s.root + "\\DBF\\" + t), false);
}

}  // namespace
}  // namespace kx::test
