// A generator of sample installations: the company list, the release's fresh
// tables, per company the link tables in the old structures (with their
// indexes, and memo texts in FacCliT), and the accounting product's journals
// that the companies' link settings point to. Every table is written through
// the table engine, as a real installation holds them (DBF + CDX + FPT).
//
// Layout under `root` (which must exist):
//   DBF\Empresa             companies (tag CODEMP), one of them deleted
//   DBF\TDiaNew ... Ivas    the release's fresh tables, new structures
//   DBF<code>\              one company's link tables, old structures
//   ZELBAR\Emp<code>\Diario the accounting journals
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "updater/tables/workareas.h"

namespace kx::mkinstall {

struct Options {
  int companies = 3;
  int journal_rows = 40;  // rows of each company's TempDia
  uint32_t seed = 1;
  // Drive letter under which the link settings name the accounting folder
  // ("X" gives "X:\ZELBAR\"); empty: the folder's own path.
  std::string accounting_drive = "X";
};

struct Company {
  std::string code;        // CODEMP as stored
  std::string folder;      // root + "\DBF" + code with blanks as "0" + "\"
  std::string name;
  bool deleted = false;    // the Empresa record is marked deleted (no folder)
  bool has_l340 = false;   // its TempDia already has the new structure
  bool has_nic = false;    // it has a TDiaNic
  bool linked = false;     // NTIPENLACE 1
  std::vector<std::string> journals;  // Diario tables its settings name (paths without extension)
};

struct Installation {
  std::string root;           // as given, no final separator
  std::string drive_mapping;  // "UPDATER_DRIVE_X=<root>" (empty without a drive)
  std::vector<Company> companies;
};

// Structures of the tables, old (the companies' before the update) and new
// (the release's).
std::vector<tables::FieldInfo> JournalFields(bool with_l340);
std::vector<tables::FieldInfo> ClavesFields(bool release);
std::vector<tables::FieldInfo> FacCliTFields(bool release);
std::vector<tables::FieldInfo> FacProTFields(bool release);
std::vector<tables::FieldInfo> IvasFields(bool release);
std::vector<tables::FieldInfo> EmpresaFields();

// One tag of a structural index to create.
struct Tag {
  std::string name;
  std::string key;
};
// Creates table `path` (without extension) with `fields`, and a structural
// index with `tags` when there are any. False, with *error set, on failure.
bool CreateTable(tables::WorkAreas& db, const std::string& path, const std::vector<tables::FieldInfo>& fields,
                 const std::vector<Tag>& tags, std::string* error);

// Writes a whole installation. False, with *error set, on failure.
bool MakeInstallation(tables::WorkAreas& db, const std::string& root, const Options& options, Installation* out,
                      std::string* error);

// The journal rows that exercise every branch of the marking rule, each with
// whether it qualifies; the generator writes them first into every journal.
struct JournalCase {
  std::string contra;
  double factura;
  double nfactick;
  std::string documento;
  std::string serie;
  bool qualifies;
};
const std::vector<JournalCase>& MarkingCases();

}  // namespace kx::mkinstall
