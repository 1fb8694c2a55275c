// Fuzz target: a DBF file of arbitrary bytes, with Types' memo file and,
// when its fields fit one, the structural index of a reference table. It is
// opened for writing (read-only when that fails) and walked in every order
// (every field of every record read, seeks); then written: field writes,
// deletion marks, appends, zap, and opened once more. The engine must report
// what is wrong, never crash, hang or read outside; a table written without
// an error must open again, and a consistent index stay consistent.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kx;
  fuzz::InstallQuietHandler();
  fuzz::MemFs fs;
  fs.files["t.dbf"] = std::string(reinterpret_cast<const char*>(data), size);
  // A memo file for tables with memo fields: Types' (memos of every kind),
  // else one of a few memos.
  std::string fpt = fuzz::Fixture("Types.fpt");
  if (fpt.empty()) {
    fpt.assign(512, '\0');
    fpt[3] = 8 + 4;
    fpt[7] = 64;
    fpt.resize(512 + 4 * 64, 'm');
  }
  fs.files["t.fpt"] = fpt;
  // The index that binds to the table's fields, if any: Types', Empresa's
  // or Journal's empty one; none when no index fits.
  tables::WorkAreas w(&fs);
  bool opened = false;
  for (const char* cdx : {"Types.cdx", "Empresa.cdx", "Empty.cdx", ""}) {
    const std::string& bytes = fuzz::Fixture(cdx);
    if (*cdx && bytes.empty()) continue;
    if (*cdx) fs.files["t.cdx"] = bytes;
    else fs.files.erase("t.cdx");
    fuzz::ErrorsRaised() = 0;
    if (w.Open("t", "T")) {
      opened = true;
      break;
    }
  }
  if (!opened) {
    // Not writable: read what can be read.
    if (w.Open("t", "T", tables::OpenMode::Exclusive, true)) fuzz::WalkAll(w);
    return 0;
  }
  std::string dbf_before = fs.files["t.dbf"];
  fuzz::WalkAll(w);
  w.Close();
  fuzz::ErrorsRaised() = 0;
  if (!w.Open("t", "T")) fuzz::Fail("a table that opened does not open again");
  bool consistent = fuzz::IndexConsistent(w);
  fuzz::ErrorsRaised() = 0;  // what counts is whether the writes failed
  fuzz::WriteSome(w, size % 2 == 0);
  w.CloseAll();
  bool clean = fuzz::ErrorsRaised() == 0;
  fuzz::Trace("dbf", consistent, clean);
  if (!w.Open("t", "T")) {
    if (clean) fuzz::Fail("a table written without an error does not open again");
    return 0;
  }
  if (clean && consistent && !fuzz::IndexConsistent(w)) fuzz::Fail("writes broke a consistent index");
  fuzz::WalkAll(w, 50);
  w.CloseAll();
  return 0;
}
