// Fuzz target: a DBF file of arbitrary bytes is opened, walked both ways and
// every field of every record read; then a record is appended and written.
// The engine must report what is wrong, never crash, hang or read outside.
#include <cstddef>
#include <cstdint>

#include "errors/record/error_record.h"
#include "tests/fuzz/mem_fs.h"
#include "updater/tables/workareas.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kx;
  static bool once = [] {
    SetErrorHandler([](ErrorRecord&) { return ErrorAnswer{ErrorAction::Default, Value()}; });
    return true;
  }();
  (void)once;
  fuzz::MemFs fs;
  fs.files["t.dbf"] = std::string(reinterpret_cast<const char*>(data), size);
  // A memo file with a few memos, for tables with memo fields.
  std::string fpt(512, '\0');
  fpt[3] = 8 + 4;
  fpt[7] = 64;
  fpt.resize(512 + 4 * 64, 'm');
  fs.files["t.fpt"] = fpt;
  tables::WorkAreas w(&fs);
  if (!w.Open("t", "T", tables::OpenMode::Exclusive, true)) return 0;
  int fields = w.FieldCount();
  int steps = 0;
  for (w.GoTop(); !w.Eof() && steps < 2000; w.Skip(), ++steps)
    for (int i = 1; i <= fields; ++i) w.GetField(i);
  for (w.GoBottom(); !w.Bof() && !w.Eof() && steps < 4000; w.Skip(-1), ++steps) w.GetField(1);
  w.Close();
  // Writable: append a record and store a value of each field's type.
  if (!w.Open("t", "T")) return 0;
  if (w.AppendBlank()) {
    for (int i = 1; i <= fields; ++i) w.PutField(i, w.GetField(i));
  }
  w.CloseAll();
  return 0;
}
