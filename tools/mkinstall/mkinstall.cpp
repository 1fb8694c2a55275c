#include "tools/mkinstall/mkinstall.h"

#include <algorithm>
#include <cstdio>

#include "base/cp1252.h"
#include "base/date.h"
#include "updater/tables/cdx/cdx.h"

namespace kx::mkinstall {

namespace {

using tables::FieldInfo;
using tables::WorkAreas;

FieldInfo F(const char* name, char type, int length, int decimals = 0) {
  FieldInfo f;
  f.name = name;
  f.type = type;
  f.length = length;
  f.decimals = decimals;
  return f;
}

// A small deterministic generator (the standard distributions differ between
// libraries, and a seed must give the same installation everywhere).
class Random {
 public:
  explicit Random(uint32_t seed) : s_(seed * 2654435761u + 12345u) {}
  uint32_t Next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 17;
    s_ ^= s_ << 5;
    return s_;
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }

 private:
  uint32_t s_;
};

class Catalog : public cdx::FieldCatalog {
 public:
  explicit Catalog(const std::vector<FieldInfo>& fields) {
    for (const auto& f : fields) {
      cdx::FieldInfo c;
      c.name = f.name;
      c.type = f.type;
      c.width = f.length;
      c.decimals = f.decimals;
      c.nullable = f.nullable;
      fields_.push_back(c);
    }
  }
  int FieldCount() const override { return static_cast<int>(fields_.size()); }
  int FieldIndex(std::string_view name) const override {
    std::string up = Upper(name);
    for (size_t i = 0; i < fields_.size(); ++i)
      if (fields_[i].name == up) return static_cast<int>(i);
    return -1;
  }
  const cdx::FieldInfo& Field(int i) const override { return fields_[i]; }

 private:
  std::vector<cdx::FieldInfo> fields_;
};

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

std::string Pad(int n, int width) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*d", width, n);
  return buf;
}

struct Writer {
  WorkAreas& db;
  std::string* error;
  bool Put(const char* field, const Value& v) {
    if (!db.PutField(field, v)) return Fail(error, std::string("no se puede escribir ") + field + " en " + db.TablePath());
    return true;
  }
};

}  // namespace

std::vector<FieldInfo> JournalFields(bool with_l340) {
  std::vector<FieldInfo> f = {F("ASIENTO", 'N', 6),     F("FECHA", 'D', 8),       F("SUBCTA", 'C', 12),
                              F("CONTRA", 'C', 20),     F("CONCEPTO", 'C', 25),   F("EURODEBE", 'N', 14, 2),
                              F("EUROHABER", 'N', 14, 2), F("FACTURA", 'N', 8),   F("NFACTICK", 'N', 8),
                              F("DOCUMENTO", 'C', 10),  F("SERIE", 'C', 2)};
  if (with_l340) f.push_back(F("L340", 'L', 1));
  return f;
}

std::vector<FieldInfo> ClavesFields(bool release) {
  std::vector<FieldInfo> f = {F("NTIPENLACE", 'N', 1), F("CPATHZELBA", 'C', 120), F("CCODEMP", 'C', 5),
                              F("CCODEMP2", 'C', 5), F("CSUBCLI", 'C', release ? 15 : 12)};
  if (release) f.push_back(F("LIVAREPER", 'L', 1));
  return f;
}

std::vector<FieldInfo> FacCliTFields(bool release) {
  std::vector<FieldInfo> f = {F("SERIE", 'C', 2), F("NUMFAC", 'N', 8), F("FECHA", 'D', 8), F("CODCLI", 'C', 8)};
  if (release) f.push_back(F("NIF", 'C', 15));
  f.push_back(F("BASE", 'N', 14, 2));
  f.push_back(F("CUOTAIVA", 'N', 14, 2));
  f.push_back(F("TOTAL", 'N', release ? 16 : 14, 2));
  f.push_back(F("OBSERV", 'M', 4));
  return f;
}

std::vector<FieldInfo> FacProTFields(bool release) {
  std::vector<FieldInfo> f = {F("SERIE", 'C', 2), F("NUMFAC", 'N', 8), F("FECHA", 'D', 8), F("CODPRO", 'C', 8),
                              F("BASE", 'N', 14, 2), F("CUOTAIVA", 'N', 14, 2), F("TOTAL", 'N', 14, 2)};
  if (release) {
    f.push_back(F("NIF", 'C', 15));
    f.push_back(F("LRECC", 'L', 1));
  }
  return f;
}

std::vector<FieldInfo> IvasFields(bool release) {
  std::vector<FieldInfo> f = {F("TIPO", 'N', 2), F("PORCEN", 'N', 5, 2), F("RECARGO", 'N', 5, 2)};
  if (release) f.push_back(F("DESCRIP", 'C', 30));
  return f;
}

std::vector<FieldInfo> EmpresaFields() { return {F("CODEMP", 'C', 3), F("CNOMBRE", 'C', 40), F("CNIF", 'C', 15)}; }

const std::vector<JournalCase>& MarkingCases() {
  static const std::vector<JournalCase> cases = {
      {"REGULARIZACION", 10, 0, "F-1", "A", false},
      {"  REGULARIZACION  ", 10, 0, "F-2", "A", false},
      {"REGULAR", 10, 0, "F-3", "A", true},
      {"4300000001", 0, 5, "T-5", "R", true},   // FACTURA 0, NFACTICK set
      {"4300000001", 0, 0, "T-6", "R", false},  // both 0
      {"4300000002", 7, 0, "F-7", "B", true},
      {"4300000003", 8, 0, "F-8", "C", true},
      {"4300000004", 9, 0, "F-9", "Z", true},
      {"4300000005", 0, 5, "T-10", "r", false},
      {"4300000006", 11, 0, "F-11", "D", false},
      {"4300000007", 12, 0, "F-12", "  ", false},  // blank series
      {"4300000008", 13, 0, "F-13", "AB", true},
      {"4300000009", 14, 0, "F-14", "AC", false},
      {"4300000010", 15, 0, "", "A", false},        // blank DOCUMENTO
      {"\t\t\t", 16, 0, "F-16", "A", false},        // CONTRA of tabs only
      {"", 17, 0, "F-17", "A", false},              // blank CONTRA
      {" 4720000001 ", 18, 0, "F-18", " A", true},  // blanks around
  };
  return cases;
}

bool CreateTable(WorkAreas& db, const std::string& path, const std::vector<FieldInfo>& fields,
                 const std::vector<Tag>& tags, std::string* error) {
  if (!db.Create(path, fields)) return Fail(error, "no se puede crear " + path);
  if (tags.empty()) return true;
  platform::FileSystem* fs = db.file_system();
  std::unique_ptr<cdx::CdxFile> cdx;
  auto st = cdx::CdxFile::Create(fs, path + ".cdx", platform::Share::Exclusive, &cdx);
  if (!st.ok()) return Fail(error, st.message());
  Catalog catalog(fields);
  for (const Tag& t : tags) {
    cdx::TagSpec spec;
    spec.name = t.name;
    spec.key_expr = t.key;
    int index = 0;
    st = cdx->AddTag(spec, catalog, &index);
    if (!st.ok()) return Fail(error, st.message());
  }
  st = cdx->Flush();
  if (!st.ok()) return Fail(error, st.message());
  cdx.reset();
  // Announce the structural index in the table's header (byte 28, bit 0).
  std::unique_ptr<platform::File> file;
  st = fs->Open(path + ".dbf", platform::Access::ReadWrite, platform::Share::Exclusive,
                platform::Disposition::OpenExisting, &file);
  if (!st.ok()) return Fail(error, st.message());
  unsigned char flag = 0;
  size_t got = 0;
  st = file->ReadAt(28, &flag, 1, &got);
  if (!st.ok() || got != 1) return Fail(error, "no se puede leer la cabecera de " + path);
  flag |= 0x01;
  st = file->WriteAt(28, &flag, 1);
  if (!st.ok()) return Fail(error, st.message());
  return true;
}

namespace {

bool MakeFolder(platform::FileSystem* fs, const std::string& path, std::string* error) {
  if (fs->Exists(path)) return true;
  auto st = fs->MakeFolder(path);
  if (!st.ok()) return Fail(error, "no se puede crear la carpeta " + path + ": " + st.message());
  return true;
}

// Journal rows: first the marking cases, then varied rows; every 9th of the
// varied rows is marked deleted.
bool WriteJournal(WorkAreas& db, const std::string& path, bool with_l340, int rows, Random& rnd,
                  std::string* error) {
  if (!CreateTable(db, path, JournalFields(with_l340), {{"ASIENTO", "ASIENTO"}, {"SUBCTA", "SUBCTA"}}, error))
    return false;
  if (!db.Open(path, "GENJOUR")) return Fail(error, "no se puede abrir " + path);
  Writer w{db, error};
  const auto& cases = MarkingCases();
  static const char* const series[] = {"A", "B", "C", "R", "Z", "r", "D", "  ", "AB", "BC", "RZ", "CR"};
  for (int i = 0; i < rows; ++i) {
    if (!db.AppendBlank()) return Fail(error, "no se puede añadir a " + path);
    std::string contra, documento, serie;
    double factura, nfactick;
    if (i < static_cast<int>(cases.size())) {
      const auto& c = cases[i];
      contra = c.contra;
      factura = c.factura;
      nfactick = c.nfactick;
      documento = c.documento;
      serie = c.serie;
    } else {
      contra = rnd.Below(10) == 0 ? "REGULARIZACION" : "43" + Pad(rnd.Below(100000000), 8);
      factura = rnd.Below(3) == 0 ? 0 : 1 + rnd.Below(99999);
      nfactick = rnd.Below(4) == 0 ? 1 + rnd.Below(999) : 0;
      documento = rnd.Below(8) == 0 ? "" : "D-" + std::to_string(i);
      serie = series[rnd.Below(12)];
    }
    bool ok = w.Put("ASIENTO", Value::Number(i / 2 + 1)) &&
              w.Put("FECHA", Value::FromDate(DateFromYmd(2025, 1 + i % 12, 1 + i % 28))) &&
              w.Put("SUBCTA", Value::Text("57" + Pad(i % 1000, 10))) && w.Put("CONTRA", Value::Text(contra)) &&
              w.Put("CONCEPTO", Value::Text("Asiento nº " + std::to_string(i + 1) + " línea")) &&
              w.Put("EURODEBE", Value::Number((i % 7) * 100.25, 2)) &&
              w.Put("EUROHABER", Value::Number((i % 5) * 10.5, 2)) && w.Put("FACTURA", Value::Number(factura)) &&
              w.Put("NFACTICK", Value::Number(nfactick)) && w.Put("DOCUMENTO", Value::Text(documento)) &&
              w.Put("SERIE", Value::Text(serie));
    if (!ok) return false;
    if (with_l340 && !w.Put("L340", Value::Logical(false))) return false;
    if (i >= static_cast<int>(cases.size()) && i % 9 == 0) db.Delete();
  }
  db.Close();
  return true;
}

bool WriteClaves(WorkAreas& db, const std::string& path, int type, const std::string& zelba, const std::string& c1,
                 const std::string& c2, std::string* error) {
  if (!CreateTable(db, path, ClavesFields(false), {{"CCODEMP", "CCODEMP"}}, error)) return false;
  if (!db.Open(path, "GENCLAV")) return Fail(error, "no se puede abrir " + path);
  Writer w{db, error};
  bool ok = db.AppendBlank() && w.Put("NTIPENLACE", Value::Number(type)) && w.Put("CPATHZELBA", Value::Text(zelba)) &&
            w.Put("CCODEMP", Value::Text(c1)) && w.Put("CCODEMP2", Value::Text(c2)) &&
            w.Put("CSUBCLI", Value::Text("430000000001"));
  db.Close();
  return ok;
}

bool WriteInvoices(WorkAreas& db, const std::string& path, bool customers, int rows, Random& rnd,
                   std::string* error) {
  auto fields = customers ? FacCliTFields(false) : FacProTFields(false);
  if (!CreateTable(db, path, fields, {{"NUMFAC", "NUMFAC"}}, error)) return false;
  if (!db.Open(path, "GENFAC")) return Fail(error, "no se puede abrir " + path);
  Writer w{db, error};
  for (int i = 0; i < rows; ++i) {
    double base = 100 + rnd.Below(100000) / 100.0;
    bool ok = db.AppendBlank() && w.Put("SERIE", Value::Text(i % 2 ? "A" : "B")) &&
              w.Put("NUMFAC", Value::Number(i + 1)) &&
              w.Put("FECHA", Value::FromDate(DateFromYmd(2025, 1 + i % 12, 1 + i % 28))) &&
              w.Put(customers ? "CODCLI" : "CODPRO", Value::Text(Pad(1 + rnd.Below(9999), 8))) &&
              w.Put("BASE", Value::Number(base, 2)) && w.Put("CUOTAIVA", Value::Number(base * 0.21, 2)) &&
              w.Put("TOTAL", Value::Number(base * 1.21, 2));
    if (ok && customers)
      ok = w.Put("OBSERV", Value::Memo(i % 3 == 2 ? std::string()
                                                  : "Factura " + std::to_string(i + 1) +
                                                        ": entrega en almacén, pago a 30 días.\r\nAño " +
                                                        std::to_string(2025) + "; línea " + std::string(i % 5 * 30, '*')));
    if (!ok) return false;
    if (i == 3) db.Delete();  // a deleted invoice is not carried over
  }
  db.Close();
  return true;
}

bool WriteIvas(WorkAreas& db, const std::string& path, std::string* error) {
  if (!CreateTable(db, path, IvasFields(false), {{"TIPO", "TIPO"}}, error)) return false;
  if (!db.Open(path, "GENIVA")) return Fail(error, "no se puede abrir " + path);
  Writer w{db, error};
  const double rates[][2] = {{21, 5.2}, {10, 1.4}, {4, 0.5}, {0, 0}};
  for (int i = 0; i < 4; ++i) {
    bool ok = db.AppendBlank() && w.Put("TIPO", Value::Number(i + 1)) &&
              w.Put("PORCEN", Value::Number(rates[i][0], 2)) && w.Put("RECARGO", Value::Number(rates[i][1], 2));
    if (!ok) return false;
  }
  db.Close();
  return true;
}

}  // namespace

bool MakeInstallation(WorkAreas& db, const std::string& root_in, const Options& opt, Installation* out,
                      std::string* error) {
  platform::FileSystem* fs = db.file_system();
  std::string root = root_in;
  while (root.size() > 1 && (root.back() == '/' || root.back() == '\\')) root.pop_back();
  Installation inst;
  inst.root = root;
  Random rnd(opt.seed);
  const std::string dbf = root + "\\DBF\\";
  if (!MakeFolder(fs, root + "\\DBF", error) || !MakeFolder(fs, root + "\\ZELBAR", error)) return false;

  // The release's fresh tables.
  if (!CreateTable(db, dbf + "TDiaNew", JournalFields(true), {{"ASIENTO", "ASIENTO"}, {"SUBCTA", "SUBCTA"}}, error) ||
      !CreateTable(db, dbf + "TempDia", JournalFields(true), {{"ASIENTO", "ASIENTO"}, {"SUBCTA", "SUBCTA"}}, error) ||
      !CreateTable(db, dbf + "Claves", ClavesFields(true), {{"CCODEMP", "CCODEMP"}}, error) ||
      !CreateTable(db, dbf + "FacCliT", FacCliTFields(true), {{"NUMFAC", "NUMFAC"}}, error) ||
      !CreateTable(db, dbf + "FacProT", FacProTFields(true), {{"NUMFAC", "NUMFAC"}}, error) ||
      !CreateTable(db, dbf + "Ivas", IvasFields(true), {{"TIPO", "TIPO"}}, error))
    return false;

  // Where the link settings say the accounting product lives.
  std::string zelba;
  if (!opt.accounting_drive.empty()) {
    zelba = opt.accounting_drive + ":\\ZELBAR\\";
    inst.drive_mapping = "UPDATER_DRIVE_" + opt.accounting_drive + "=" + root;
  } else {
    zelba = root + "\\ZELBAR\\";
  }
  const std::string zelbar = root + "\\ZELBAR\\";
  if (zelba.size() > 120) return Fail(error, "la ruta " + zelba + " no cabe en CPATHZELBA");

  // Companies: codes with blanks first, then plain numbers.
  for (int i = 1; i <= opt.companies; ++i) {
    Company c;
    c.code = i == 1 ? "  1" : i == 2 ? " 02" : Pad(i, 3);
    std::string digits = c.code;
    std::replace(digits.begin(), digits.end(), ' ', '0');
    c.folder = root + "\\DBF" + digits + "\\";
    c.name = "Empresa de prueba número " + std::to_string(i) + (i % 2 ? " s.l." : " s.a.");
    c.has_l340 = opt.companies >= 3 && i == 3;
    c.has_nic = i % 2 == 0 || i == 1;
    c.linked = i % 4 != 0;
    inst.companies.push_back(c);
  }
  if (opt.companies > 0) {
    Company gone;
    gone.code = Pad(990, 3);
    gone.name = "Empresa dada de baja";
    gone.deleted = true;
    gone.folder = root + "\\DBF990\\";
    inst.companies.push_back(gone);
  }

  if (!CreateTable(db, dbf + "Empresa", EmpresaFields(), {{"CODEMP", "CODEMP"}}, error)) return false;
  if (!db.Open(dbf + "Empresa", "GENEMP")) return Fail(error, "no se puede abrir Empresa");
  // Written out of code order, so that only the index gives the run's order.
  std::vector<const Company*> order;
  for (const auto& c : inst.companies) order.push_back(&c);
  std::reverse(order.begin(), order.end());
  for (const Company* c : order) {
    Writer w{db, error};
    if (!db.AppendBlank() || !w.Put("CODEMP", Value::Text(c->code)) || !w.Put("CNOMBRE", Value::Text(c->name)) ||
        !w.Put("CNIF", Value::Text("B" + Pad(static_cast<int>(rnd.Below(99999999)), 8)))) {
      db.Close();
      return false;
    }
    if (c->deleted) db.Delete();
  }
  db.Close();

  for (Company& c : inst.companies) {
    if (c.deleted) continue;
    std::string f = c.folder;
    if (!MakeFolder(fs, f.substr(0, f.size() - 1), error)) return false;
    std::string digits = c.folder.substr(root.size() + 4, c.folder.size() - root.size() - 5);
    int rows = opt.journal_rows;
    if (!WriteJournal(db, f + "TempDia", c.has_l340, rows, rnd, error) ||
        !WriteJournal(db, f + "TDiaNew", c.has_l340, rows / 4 + 1, rnd, error))
      return false;
    if (c.has_nic && !WriteJournal(db, f + "TDiaNic", false, rows / 8 + 1, rnd, error)) return false;
    std::string code1 = digits, code2 = c.code == " 02" ? "02B" : "";
    std::string path = zelba;
    if (c.code == " 02") path.pop_back();  // stored without its final backslash
    if (!WriteClaves(db, f + "Claves", c.linked ? 1 : 0, c.linked ? path : "", code1, code2, error)) return false;
    if (!WriteInvoices(db, f + "FacCliT", true, 12, rnd, error) ||
        !WriteInvoices(db, f + "FacProT", false, 9, rnd, error) || !WriteIvas(db, f + "Ivas", error))
      return false;
    // The accounting journals, also for companies not linked (then nothing
    // points to them and they must stay untouched).
    for (const std::string& code : {code1, code2}) {
      if (code.empty()) continue;
      std::string folder = zelbar + "Emp" + code;
      if (!MakeFolder(fs, folder, error)) return false;
      if (!WriteJournal(db, folder + "\\Diario", true, rows / 2 + 1, rnd, error)) return false;
      if (c.linked) c.journals.push_back(folder + "\\Diario");
    }
  }
  if (out) *out = std::move(inst);
  return true;
}

}  // namespace kx::mkinstall
