#include "updater/update_run.h"

#include <algorithm>
#include <string_view>

#include "base/cp1252.h"
#include "base/run_settings.h"
#include "errors/call_frame.h"
#include "errors/record/error_record.h"
#include "framework/browse_look.h"
#include "framework/file_copy.h"
#include "framework/startup.h"
#include "platform/system.h"
#include "updater/hooks.h"
#include "updater/journal_mark.h"

namespace kx::gui {
// The company list as a parameter in the error report's variables block.
struct FrameObjectName : Object {
  std::string ClassName() const override { return "TABLELIST"; }
};
inline Value FrameValue(TableList* const& list) {
  return list ? Value::FromObject(std::make_shared<FrameObjectName>()) : Value();
}
}  // namespace kx::gui

namespace kx::updater {

// The run state: the dialog, the animation frame and tick, the current code,
// the animated picture, the meters and their values, the fresh and company
// folders, the journal flag.
KX_MODULE_VARIABLES(10);

namespace {

std::string TextOf(const Value& v) { return v.IsText() ? v.text() : std::string(); }

// "Claves.Dbf" -> "Claves".
std::string BaseName(const std::string& file) {
  auto dot = file.rfind('.');
  return dot == std::string::npos ? file : file.substr(0, dot);
}

std::string MemoOf(const std::string& base) { return base + ".Fpt"; }

// A DBF header that announces a memo file: dBase III/FoxBASE+ with memo (83),
// dBase IV with memo (8B), FoxPro 2 with memo (F5), or Visual FoxPro (30, 31,
// 32) with the memo flag (bit 1 of byte 28).
bool HeaderWantsMemo(const std::string& header) {
  if (header.size() < 32) return false;
  auto v = static_cast<unsigned char>(header[0]);
  if (v == 0x83 || v == 0x8B || v == 0xF5 || v == 0xFB) return true;
  if (v == 0x30 || v == 0x31 || v == 0x32) return (static_cast<unsigned char>(header[28]) & 0x02) != 0;
  return false;
}

// An empty FoxPro memo file: 512-byte header, next free block 8, blocks of 64 bytes.
std::string EmptyMemoFile() {
  std::string m(512, '\0');
  m[3] = 8;
  m[7] = 64;
  return m;
}

bool FieldsNarrower(const tables::FieldInfo& from, const tables::FieldInfo& to) {
  if (from.type != to.type) return true;
  if (to.length < from.length) return true;
  if ((to.type == 'N' || to.type == 'F') && to.decimals < from.decimals) return true;
  return false;
}

}  // namespace

std::string CompanyFolder(const std::string& cRoot, const std::string& code) {
  std::string c = code;
  std::replace(c.begin(), c.end(), ' ', '0');
  if (c.empty() || c.find("..") != std::string::npos) return {};
  for (unsigned char ch : c) {
    if (ch < 0x20 || ch == 0x7F) return {};
    if (std::string_view("\\/:*?\"<>|").find(static_cast<char>(ch)) != std::string_view::npos) return {};
  }
  return cRoot + "\\DBF" + c + "\\";
}

// Rows of the company list from the current Empresa record onward.
class UpdateRun::EmpresaRows : public gui::ListSource {
 public:
  explicit EmpresaRows(UpdateRun* run) : run_(run) {}
  std::vector<gui::ListRow> RowsFromCurrent(size_t max_rows) override {
    auto& db = run_->db_;
    std::vector<gui::ListRow> rows;
    int prev = db.SelectedSlot();
    if (!db.Select("Empresa")) return rows;
    uint32_t recno = db.RecNo();
    const std::string& cur = run_->cCurrentCode_;
    while (rows.size() < max_rows && !db.Eof()) {
      std::string code = TextOf(db.GetField("CODEMP"));
      std::string left = code.substr(0, std::min(code.size(), cur.size()));
      bool done = SpanishCompare(left, cur) <= 0;
      rows.push_back({gui::ListCell{{}, done ? "BMPSIACT" : "BMPNOACT"}, gui::ListCell{code, {}},
                      gui::ListCell{TextOf(db.GetField("CNOMBRE")), {}}});
      uint32_t before = db.RecNo();
      if (!db.Skip(1) || (db.RecNo() == before && !db.Eof())) break;
    }
    db.GoTo(recno);
    db.SelectSlot(prev);
    return rows;
  }

 private:
  UpdateRun* run_;
};

UpdateRun::UpdateRun(Env env)
    : db_(env.engine ? *env.engine : tables::Engine()),
      toolkit_(env.toolkit),
      tick_(env.tick ? std::move(env.tick) : std::function<uint32_t()>(platform::TickCount)),
      fs_(db_.file_system()),
      rows_(std::make_unique<EmpresaRows>(this)) {}

UpdateRun::~UpdateRun() = default;

ErrorAnswer UpdateRun::Report(int sub_code, const std::string& text, const std::string& file, bool can_retry) {
  summary_.problems.push_back(text);
  current_.problems.push_back(text);
  ErrorRecord r;
  r.gen_code = 0;
  r.severity = 1;
  r.sub_system = std::string(kRunSubSystem);
  r.sub_code = sub_code;
  r.description = text;
  r.file_name = file;
  r.operation = "ACTUA";
  r.can_default = true;
  r.can_retry = can_retry;
  // Without a retry offered the answer changes nothing: the step is already
  // given up.
  return RaiseError(r);
}

bool UpdateRun::Exists(const std::string& path) { return fs_->Exists(path); }

void UpdateRun::SetMeter(int meter, int64_t value) {
  aMeterValues_[meter] = value;
  if (aMeters_[meter]) aMeters_[meter]->SetValue(value);
}

void UpdateRun::CompanyMeterText() {
  if (!db_.Select("Empresa")) return;
  std::string text = TextOf(db_.GetField("CODEMP")) + " - " + Upper(Trim(TextOf(db_.GetField("CNOMBRE"))));
  if (aMeters_[1]) {
    aMeters_[1]->SetText(text);
    aMeters_[1]->Repaint();
  }
}

// ---- Entry and dialog ---------------------------------------------------------

int UpdateRun::MAIN(const std::string& cPath, const std::string& cProduct) {
  KX_FRAME("MAIN").Param(cPath).Param(cProduct);
  if (cPath.size() <= 4) {
    Report(kProblemCompanySkipped,
           cPath.empty() ? "Falta la ruta de la instalación en la línea de órdenes"
                         : "La ruta \"" + cPath + "\" es demasiado corta para dar la raíz de la instalación",
           cPath);
    return 1;
  }
  aMeterValues_[0] = aMeterValues_[1] = 0;
  // Current directory, working date and the defaults of the run (deleted
  // records hidden, tables opened exclusively).
  KX_LINE; framework::ARRANQUE();

  cRoot_ = cPath.substr(0, cPath.size() - 4);
  cFreshFolder_ = cRoot_ + "\\DBF\\";
  KX_LINE; if (!db_.Open(cRoot_ + "\\DBF\\Empresa", "Empresa")) {
    Report(kProblemCompanySkipped, "No se puede abrir la lista de empresas " + cFreshFolder_ + "Empresa",
           cFreshFolder_ + "Empresa.Dbf");
    return 1;
  }
  if (db_.OrderCount() > 0) db_.SetOrder(1);
  db_.GoTop();

  KX_LINE; dialog_ = toolkit_->LoadDialog("DLGINS", nullptr);
  if (!dialog_) {
    db_.CloseAll();
    Report(kProblemCompanySkipped, "Falta el diálogo DLGINS en los recursos del programa", {});
    return 1;
  }
  gui::Dialog& dlg = *dialog_;
  const gui::FontSpec dialog_font{"Arial", 5, 14, true};
  const gui::FontSpec meter_font{"Arial", 5, 14, false};
  dlg.SetFont(dialog_font);
  dlg.SetIconResource(1);
  gui::Label* root_label = dlg.BindLabel(kIdRootLabel);
  root_label->SetText(cRoot_);
  root_label->SetTextColor(gui::Rgb(0, 0, 128));

  oList_ = dlg.BindList(kIdCompanyList);
  oList_->SetColumns({{"#", 16, gui::ListColumn::Kind::Bitmap},
                      {"Cod.", 30, gui::ListColumn::Kind::Text},
                      {"Nombre", 185, gui::ListColumn::Kind::Text}});
  gui::ListLook look;
  look.text = gui::Rgb(0, 0, 0);
  look.background = framework::LCOLORBRW() ? gui::Brush::ButtonFace() : gui::Brush::Window();
  look.line_style = framework::NLINESTYLE();
  look.header_font = dialog_font;
  oList_->SetLook(look);
  oList_->SetSource(rows_.get());

  for (int i = 0; i < 2; ++i) {
    aMeters_[i] = dlg.BindMeter(i == 0 ? kIdOverallMeter : kIdCompanyMeter);
    aMeters_[i]->SetFont(meter_font);
    aMeters_[i]->SetColors(gui::MeterColors{});
  }
  oAnimBitmap_ = dlg.BindPicture(kIdAnimation);
  oAnimBitmap_->ShowBitmap("ACTUA0");
  dlg.BindPicture(kIdBanner)->ShowBitmap("BMPACTUA");
  gui::Picture* logo = dlg.BindPicture(kIdLogo);
  logo->SetTransparent(true);
  logo->ShowBitmap("BMPLOGO");

  oProgressDlg_ = &dlg;
  RegisterProgressDialog(&dlg);
  // Also when the program ends from the error handler in the middle of the
  // run (the exit travels out of RunModal): the dialog is unregistered and
  // released, the tables closed.
  struct DialogScope {
    UpdateRun* run;
    ~DialogScope() {
      UnregisterProgressDialog();
      run->oProgressDlg_ = nullptr;
      run->oAnimBitmap_ = nullptr;
      run->aMeters_[0] = run->aMeters_[1] = nullptr;
      run->oList_ = nullptr;
      run->dialog_.reset();
      run->db_.CloseAll();
    }
  } scope{this};
  dlg.SetInitAction([this] { INICIODLG(); });
  dlg.SetStartAction([this] {
    ACTUA(cRoot_, oList_);
    oProgressDlg_->Close();
  });
  KX_LINE; dlg.RunModal(true);
  return 0;
}

void UpdateRun::INICIODLG() {
  KX_FRAME("INICIODLG");
  if (oAnimBitmap_) oAnimBitmap_->ShowBitmap("ACTUA1");
  nLastTick_ = tick_();
  SetMeter(0, 0);
  SetMeter(1, 0);
  CompanyMeterText();
  if (aMeters_[0]) {
    aMeters_[0]->SetText("ACTUALIZANDO EMPRESAS");
    aMeters_[0]->Repaint();
  }
  if (aMeters_[1]) aMeters_[1]->SetTotal(100);
  KX_LINE; if (db_.Select("Empresa") && aMeters_[0]) aMeters_[0]->SetTotal(db_.RecCount());
  toolkit_->ProcessPendingMessages();
}

// ---- Company loop ---------------------------------------------------------------

bool UpdateRun::ACTUA(const std::string& cRoot, gui::TableList* oList) {
  KX_FRAME("ACTUA").Param(cRoot).Param(oList);
  cRoot_ = cRoot;
  cFreshFolder_ = cRoot + "\\DBF\\";
  if (oList) oList->Enable(false);
  if (db_.Select("Empresa")) db_.GoTop();
  while (db_.Select("Empresa") && !db_.Eof()) {
    KX_LINE; cCurrentCode_ = TextOf(db_.GetField("CODEMP"));
    std::string name(Trim(TextOf(db_.GetField("CNOMBRE"))));
    CompanyMeterText();
    SetMeter(1, 0);
    SetMeter(0, aMeterValues_[0] + 1);
    if (oList) oList->Repaint();
    toolkit_->ProcessPendingMessages();

    current_ = CompanyResult{};
    current_.code = cCurrentCode_;
    current_.name = name;
    KX_LINE; ProcessCompany();
    summary_.companies.push_back(current_);
    if (company_hook_) company_hook_(current_);

    if (!db_.Select("Empresa")) break;
    uint32_t before = db_.RecNo();
    KX_LINE; if (!db_.Skip(1) || (db_.RecNo() == before && !db_.Eof())) break;
  }
  KX_LINE; if (db_.Select("Empresa")) {
    if (aMeters_[0]) aMeters_[0]->SetTotal(db_.RecCount());
    SetMeter(0, db_.RecCount());
  }
  toolkit_->ProcessPendingMessages();
  db_.Close("Empresa");
  db_.CloseAll();
  return true;
}

void UpdateRun::PrepareCompany(const std::string& cFresh, const std::string& cFolder, bool lJournalMarked) {
  cFreshFolder_ = cFresh;
  cCompanyFolder_ = cFolder;
  lJournalMarked_ = lJournalMarked;
  refresh_nic_ = Exists(cFolder + "_TDiaNic.dbf") || (!lJournalMarked && Exists(cFolder + "TDiaNic.dbf"));
  entries_.clear();
  CompanyResult fresh;
  fresh.code = current_.code;
  fresh.name = current_.name;
  fresh.folder = cFolder;
  current_ = std::move(fresh);
}

void UpdateRun::ProcessCompany() {
  KX_FRAME("PROCESSCOMPANY");
  cCompanyFolder_ = CompanyFolder(cRoot_, cCurrentCode_);
  current_.folder = cCompanyFolder_;
  if (cCompanyFolder_.empty()) {
    current_.skipped = true;
    Report(kProblemCompanySkipped,
           "El código de empresa \"" + cCurrentCode_ + "\" no puede nombrar una carpeta: la empresa no se actualiza",
           cCurrentCode_);
    return;
  }
  // After an interrupted run the journal work tables may already have the
  // new structure while their records still sit in the backups: refresh them
  // again whenever a backup is there.
  bool journal_backups = Exists(cCompanyFolder_ + "_TDiaNew.Dbf") || Exists(cCompanyFolder_ + "_TempDia.Dbf");
  bool marked = false;
  std::vector<std::string> aTables;
  kx_frame_.Local(journal_backups).Local(marked).Local(aTables);
  if (!journal_backups) {
    KX_LINE; // "&Reintentar" opens it again (the technician may have put the table
    // back); any other answer leaves the company as it is.
    while (!db_.Open(cCompanyFolder_ + "TempDia", "TempDia")) {
      ErrorAnswer answer = Report(
          kProblemCompanySkipped,
          "No se puede abrir " + cCompanyFolder_ + "TempDia: la empresa " + cCurrentCode_ + " no se actualiza",
          cCompanyFolder_ + "TempDia.Dbf", /*can_retry=*/true);
      if (answer.action != ErrorAction::Retry) {
        current_.skipped = true;
        return;
      }
    }
    KX_LINE; marked = db_.FieldPos("l340") > 0;
    db_.Close("TempDia");
  }
  PrepareCompany(cFreshFolder_, cCompanyFolder_, marked);
  current_.journal_already_marked = marked;

  if (!lJournalMarked_) aTables = {"TDiaNew.Dbf", "TempDia.Dbf"};
  for (const char* t : {"Claves.Dbf", "FacCliT.Dbf", "FacProT.Dbf", "Ivas.Dbf"}) aTables.push_back(t);
  KX_LINE; COPIAEMP(aTables);
  KX_LINE; TABLAS(aTables);
}

// ---- Backup and replacement -------------------------------------------------------

// Renames name (and its memo file) to "_" + name unless that backup exists.
// The memo goes first: a run stopped between the two renames leaves the
// table under its own name and its memo beside the coming backup, which the
// next run completes. False when the table stays as it was (a rename failed);
// the failure has been reported.
bool UpdateRun::BackUpTable(const std::string& name) {
  KX_FRAME("BACKUPTABLE").Param(name);
  const std::string& f = cCompanyFolder_;
  const std::string base = BaseName(name);
  const std::string dbf = f + name, bak = f + "_" + name;
  const std::string memo = f + MemoOf(base), bak_memo = f + "_" + MemoOf(base);
  kx_frame_.Local(dbf).Local(bak);
  if (Exists(bak)) return true;   // an earlier run's backup stays the source
  if (!Exists(dbf)) return true;  // nothing to back up; the release copy creates it
  bool memo_moved = false;
  if (Exists(memo)) {
    // A memo backup without its table is what a run left that stopped while
    // deleting the backups; the table's own memo is the one to keep.
    if (Exists(bak_memo)) fs_->Remove(bak_memo);
    KX_LINE; auto st = fs_->Rename(memo, bak_memo);
    if (!st.ok()) {
      Report(kProblemRenameFailed,
             "No se puede renombrar " + memo + " (" + st.message() + "): la tabla " + name + " queda como estaba",
             memo);
      return false;
    }
    memo_moved = true;
  }
  KX_LINE; auto st = fs_->Rename(dbf, bak);
  if (!st.ok()) {
    if (memo_moved) fs_->Rename(bak_memo, memo);
    Report(kProblemRenameFailed,
           "No se puede renombrar " + dbf + " (" + st.message() + "): la tabla queda como estaba", dbf);
    return false;
  }
  return true;
}

// Puts the backup back under the table's own name, after the release copy
// could not be put in place.
void UpdateRun::RestoreBackup(const std::string& name) {
  KX_FRAME("RESTOREBACKUP").Param(name);
  const std::string& f = cCompanyFolder_;
  const std::string base = BaseName(name);
  const std::string dbf = f + name, bak = f + "_" + name;
  const std::string memo = f + MemoOf(base), bak_memo = f + "_" + MemoOf(base);
  if (!Exists(bak)) {
    fs_->Remove(dbf);  // a half copy of a table the company did not have
    return;
  }
  if (Exists(dbf)) fs_->Remove(dbf);
  if (Exists(bak_memo)) {
    if (Exists(memo)) fs_->Remove(memo);
    fs_->Rename(bak_memo, memo);
  }
  fs_->Rename(bak, dbf);
}

// Copies the release's table fresh_name (with its memo file, or an empty one
// when the release table needs one and ships none) over the company's name,
// writable. On failure puts the company's backup back and reports it.
bool UpdateRun::PutFreshTable(const std::string& name, const std::string& fresh_name) {
  KX_FRAME("PUTFRESHTABLE").Param(name).Param(fresh_name);
  const std::string& f = cCompanyFolder_;
  const std::string dbf = f + name, memo = f + MemoOf(BaseName(name));
  const std::string fresh_dbf = cFreshFolder_ + fresh_name, fresh_memo = cFreshFolder_ + MemoOf(BaseName(fresh_name));
  KX_LINE; bool ok = COPIAFICH(fresh_dbf, dbf);
  std::string failed = fresh_dbf;
  kx_frame_.Local(dbf).Local(fresh_dbf).Local(ok).Local(failed);
  if (ok) {
    fs_->SetReadOnly(dbf, false);  // release media may carry read-only files
    if (Exists(fresh_memo)) {
      KX_LINE; ok = COPIAFICH(fresh_memo, memo);
      failed = fresh_memo;
      if (ok) fs_->SetReadOnly(memo, false);
    } else {
      std::string header;
      std::unique_ptr<platform::File> file;
      if (fs_->Open(dbf, platform::Access::Read, platform::Share::Shared, platform::Disposition::OpenExisting, &file)
              .ok()) {
        header.resize(32);
        size_t got = 0;
        file->ReadAt(0, header.data(), header.size(), &got);
        header.resize(got);
        file.reset();
      }
      if (Exists(memo)) fs_->Remove(memo);
      if (HeaderWantsMemo(header)) {
        KX_LINE; ok = platform::WriteWholeFile(fs_, memo, EmptyMemoFile()).ok();
        failed = memo;
      }
    }
  }
  if (!ok) {
    KX_LINE; RestoreBackup(name);
    Report(kProblemCopyFailed,
           "No se puede copiar " + failed + " en " + f + ": la tabla " + name + " queda como estaba", failed);
  }
  return ok;
}

bool UpdateRun::ReplaceTable(const std::string& name, const std::string& fresh_name) {
  KX_FRAME("REPLACETABLE").Param(name).Param(fresh_name);
  KX_LINE; if (!BackUpTable(name)) return false;
  KX_LINE; return PutFreshTable(name, fresh_name);
}

bool UpdateRun::COPIAEMP(const std::vector<std::string>& aTables) {
  KX_FRAME("COPIAEMP").Param(aTables);
  const int64_t n = static_cast<int64_t>(aTables.size());
  kx_frame_.Local(n);
  if (aMeters_[1]) aMeters_[1]->SetTotal(n);
  std::vector<bool> backed(aTables.size());
  for (size_t i = 0; i < aTables.size(); ++i) {
    KX_LINE; backed[i] = BackUpTable(aTables[i]);
    SetMeter(1, static_cast<int64_t>(i) + 1);
    toolkit_->ProcessPendingMessages();
  }
  for (size_t i = 0; i < aTables.size(); ++i) {
    KX_LINE; if (backed[i]) entries_[aTables[i]].in_place = PutFreshTable(aTables[i], aTables[i]);
    SetMeter(1, static_cast<int64_t>(i) + 1);
    toolkit_->ProcessPendingMessages();
  }
  aMeterValues_[1] = n;
  return true;
}

// ---- Refresh ------------------------------------------------------------------------

void UpdateRun::MarkJournal(const std::string& table) {
  KX_FRAME("MARKJOURNAL").Param(table);
  KX_LINE; if (!db_.Open(table, "Diario")) {
    current_.journals_skipped.push_back(table);
    return;
  }
  current_.journals_marked.push_back(table);
  db_.GoTop();
  while (db_.Select("Diario") && !db_.Eof()) {
    KX_LINE; if (MarkCurrentRecord(db_)) ++current_.journal_records_marked;
    uint32_t before = db_.RecNo();
    if (!db_.Skip(1) || (db_.RecNo() == before && !db_.Eof())) break;
    LCAMBIAICO();
  }
  db_.Close("Diario");
}

void UpdateRun::MarkJournals() {
  // The company's own link settings: by now Claves is the release's empty
  // copy, and the company's records wait in the backup _Claves until their
  // refill, so the backup is read when it exists and Claves otherwise (a
  // company whose Claves was missing, or a rerun after the backup was gone).
  KX_FRAME("MARKJOURNALS");
  std::string settings = Exists(cCompanyFolder_ + "_Claves.Dbf") ? cCompanyFolder_ + "_Claves" : cCompanyFolder_ + "Claves";
  kx_frame_.Local(settings);
  KX_LINE; if (!db_.Open(settings, "Claves", tables::OpenMode::Exclusive, true)) return;
  db_.GoTop();
  double type = 0;
  Value v = db_.GetField("NTIPENLACE");
  if (v.IsNumber()) type = v.number();
  std::string path(Trim(TextOf(db_.GetField("CPATHZELBA"))));
  std::string code1(Trim(TextOf(db_.GetField("CCODEMP"))));
  std::string code2(Trim(TextOf(db_.GetField("CCODEMP2"))));
  db_.Close("Claves");
  if (type != 1 || IsBlank(path) || IsBlank(code1)) return;
  if (path.back() != '\\' && path.back() != '/') path += '\\';
  const std::string first = path + "Emp" + code1 + "\\Diario";
  KX_LINE; MarkJournal(first);
  if (IsBlank(code2)) return;
  const std::string second = path + "Emp" + code2 + "\\Diario";
  if (current_.journals_skipped.empty() || current_.journals_skipped.back() != first) {
    KX_LINE; MarkJournal(second);
  } else {
    current_.journals_skipped.push_back(second);  // visited only when the first opened
  }
}

bool UpdateRun::RECCOPY(const std::string& cAlias) {
  KX_FRAME("RECCOPY").Param(cAlias);
  int target = db_.SelectedSlot();
  kx_frame_.Local(target);
  KX_LINE; if (!db_.Select(cAlias)) return false;
  const int n = db_.FieldCount();
  kx_frame_.Local(n);
  std::vector<Value> image;
  image.reserve(n);
  for (int i = 1; i <= n; ++i) image.push_back(db_.GetField(i));
  db_.SelectSlot(target);
  bool ok = true;
  kx_frame_.Local(ok);
  KX_LINE; for (int i = 1; i <= n; ++i)
    if (!db_.PutField(i, image[i - 1])) ok = false;
  return ok;
}

// Refills a journal work table from its backup record by record, by field
// position, marking each new record. The backup's fields must fit the new
// table's fields at the same positions (same type, not narrower), or nothing
// is copied and the backup stays.
bool UpdateRun::RefillByPosition(const std::string& name, const std::string& alias) {
  KX_FRAME("REFILLBYPOSITION").Param(name).Param(alias);
  Entry& e = entries_[name];
  if (!e.in_place) return false;
  const std::string base = BaseName(name);
  const std::string table = cCompanyFolder_ + base, backup = cCompanyFolder_ + "_" + base;
  if (!Exists(cCompanyFolder_ + "_" + name)) {
    e.refilled = true;  // the company had no such table: it stays empty
    current_.rebuilt.push_back(base);
    return true;
  }
  KX_LINE; if (!db_.Open(table, alias)) return false;
  KX_LINE; db_.Zap();
  const std::string bak_alias = "_" + alias;
  KX_LINE; if (!db_.Open(backup, bak_alias, tables::OpenMode::Exclusive, true)) {
    db_.Close(alias);
    return false;  // adds nothing; the backup stays and is reported
  }
  std::vector<tables::FieldInfo> from = db_.Fields();
  db_.Select(alias);
  std::vector<tables::FieldInfo> to = db_.Fields();
  for (size_t i = 0; i < std::min(from.size(), to.size()); ++i) {
    if (FieldsNarrower(from[i], to[i])) {
      db_.Close(bak_alias);
      db_.Close(alias);
      Report(kProblemStructure,
             "El campo " + std::to_string(i + 1) + " de " + backup + " (" + from[i].name + " " + from[i].type + " " +
                 std::to_string(from[i].length) + ") no cabe en el campo " + to[i].name + " " + to[i].type + " " +
                 std::to_string(to[i].length) + " de " + base + ": la tabla no se rellena",
             backup + ".Dbf");
      return false;
    }
  }
  bool ok = true;
  uint64_t kept = 0, marked = 0;
  kx_frame_.Local(ok).Local(kept).Local(marked);
  db_.Select(bak_alias);
  db_.GoTop();
  while (ok && db_.Select(bak_alias) && !db_.Eof()) {
    db_.Select(alias);
    KX_LINE; if (!db_.AppendBlank() || !RECCOPY(bak_alias)) {
      ok = false;
      break;
    }
    KX_LINE; if (MarkCurrentRecord(db_)) ++marked;
    ++kept;
    KX_LINE; LCAMBIAICO();
    db_.Select(bak_alias);
    KX_LINE; if (!db_.Skip(1)) ok = false;
  }
  if (!db_.IsOpen(bak_alias)) ok = false;
  KX_LINE; db_.Close(bak_alias);
  if (!db_.Select(alias) || !db_.Commit()) ok = false;
  db_.Close(alias);
  if (ok) {
    e.refilled = true;
    current_.rebuilt.push_back(base);
    current_.records_kept += kept;
    current_.records_marked += marked;
  }
  return ok;
}

// Empties the table and appends the backup's visible records, fields matched
// by name, with one animation step before each record.
bool UpdateRun::RefillByName(const std::string& name, const std::string& alias) {
  KX_FRAME("REFILLBYNAME").Param(name).Param(alias);
  Entry& e = entries_[name];
  if (!e.in_place) return false;
  const std::string base = BaseName(name);
  const std::string table = cCompanyFolder_ + base, backup = cCompanyFolder_ + "_" + base;
  KX_LINE; if (!db_.Open(table, alias)) return false;
  KX_LINE; db_.Zap();
  bool ok = true;
  uint64_t steps = 0;
  kx_frame_.Local(ok).Local(steps);
  if (Exists(cCompanyFolder_ + "_" + name)) {
    KX_LINE; ok = db_.AppendFrom(backup, [&] {
      ++steps;
      return LCAMBIAICO();
    });
  }
  KX_LINE; if (!db_.Select(alias) || !db_.Commit()) ok = false;
  if (ok && db_.RecCount() != steps) ok = false;
  db_.Close(alias);
  if (ok) {
    e.refilled = true;
    current_.rebuilt.push_back(base);
    current_.records_kept += steps;
  }
  return ok;
}

// The backup's table file goes first: once it is gone the backup is gone,
// and a memo file left behind is recognised as a leftover by the next backup.
void UpdateRun::RemoveBackup(const std::string& name) {
  KX_FRAME("REMOVEBACKUP").Param(name);
  const std::string bak = cCompanyFolder_ + "_" + name;
  const std::string bak_memo = cCompanyFolder_ + "_" + MemoOf(BaseName(name));
  if (Exists(bak)) fs_->Remove(bak);
  if (Exists(bak_memo)) fs_->Remove(bak_memo);
}

bool UpdateRun::TABLAS(const std::vector<std::string>& aTables) {
  KX_FRAME("TABLAS").Param(aTables);
  toolkit_->ProcessPendingMessages();
  if (!lJournalMarked_) {
    KX_LINE; MarkJournals();
    KX_LINE; RefillByPosition("TDiaNew.Dbf", "TDiaNew");
    KX_LINE; RefillByPosition("TempDia.Dbf", "TempDia");
  }
  if (refresh_nic_) {
    const std::string nic = "TDiaNic.dbf";
    Entry& e = entries_[nic];
    KX_LINE; e.in_place = ReplaceTable(nic, "TempDia.Dbf");
    KX_LINE; if (RefillByName(nic, "TDiaNic")) {
      RemoveBackup(nic);
    } else if (Exists(cCompanyFolder_ + "_" + nic)) {
      current_.backups_left.push_back("_" + nic);
      Report(kProblemBackupKept,
             "La tabla TDiaNic de " + cCompanyFolder_ + " no se ha rellenado: se conserva su copia _" + nic,
             cCompanyFolder_ + "_" + nic);
    }
  }
  KX_LINE; RefillByName("Claves.Dbf", "Claves");
  KX_LINE; RefillByName("FacCliT.Dbf", "FacCliT");
  KX_LINE; RefillByName("FacProT.Dbf", "FacProT");
  KX_LINE; RefillByName("Ivas.Dbf", "FacPro");
  for (size_t i = 0; i < aTables.size(); ++i) {
    const std::string& name = aTables[i];
    KX_LINE; if (entries_[name].refilled) {
      RemoveBackup(name);
    } else if (Exists(cCompanyFolder_ + "_" + name)) {
      current_.backups_left.push_back("_" + name);
      Report(kProblemBackupKept,
             "La tabla " + BaseName(name) + " de " + cCompanyFolder_ + " no se ha rellenado: se conserva su copia _" +
                 name,
             cCompanyFolder_ + "_" + name);
    }
    SetMeter(1, static_cast<int64_t>(i) + 1);
    toolkit_->ProcessPendingMessages();
  }
  return true;
}

// ---- Animation and file steps -------------------------------------------------------

bool UpdateRun::LCAMBIAICO() {
  KX_FRAME("LCAMBIAICO");
  uint32_t now = tick_();
  kx_frame_.Local(now);
  if (now - nLastTick_ >= 400) {
    nLastTick_ = now;
    if (nAnimFrame_ == 10) nAnimFrame_ = 0;
    if (oAnimBitmap_) oAnimBitmap_->ShowBitmap("ACTUA" + std::to_string(nAnimFrame_));
    ++nAnimFrame_;
  }
  KX_LINE; toolkit_->ProcessPendingMessages();
  return true;
}

bool UpdateRun::COPIAFICH(const std::string& cFrom, const std::string& cTo) {
  KX_FRAME("COPIAFICH").Param(cFrom).Param(cTo);
  KX_LINE; bool ok = framework::KXCOPYFILE(cFrom, cTo);
  kx_frame_.Local(ok);
  KX_LINE; LCAMBIAICO();
  return ok;
}

}  // namespace kx::updater
