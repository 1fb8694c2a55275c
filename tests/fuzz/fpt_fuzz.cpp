// Fuzz target: a table with a memo field over an FPT file of arbitrary
// bytes. Each record points at another block; every memo is read, then
// memos are rewritten, a record with a memo appended and the table zapped.
// Bad pointers and lengths must be reported, never crash.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kx;
  fuzz::InstallQuietHandler();
  fuzz::MemFs fs;
  {
    tables::WorkAreas maker(&fs);
    maker.Create("t", {{"M", 'M', 10, 0, false}, {"C", 'C', 3, 0, false}});
    maker.Open("t", "T");
    for (int i = 0; i < 40; ++i) maker.AppendBlank();
    maker.CloseAll();
  }
  // Record i points at block i * 3 (digits of the 10-byte memo field).
  std::string& dbf = fs.files["t.dbf"];
  uint32_t hl = uint8_t(dbf[8]) | uint8_t(dbf[9]) << 8, rl = uint8_t(dbf[10]) | uint8_t(dbf[11]) << 8;
  for (uint32_t i = 0; i < 40; ++i) {
    std::string digits = std::to_string(i * 3);
    digits.insert(0, 10 - digits.size(), ' ');
    dbf.replace(hl + i * rl + 1, 10, digits);
  }
  fs.files["t.fpt"] = std::string(reinterpret_cast<const char*>(data), size);
  tables::WorkAreas w(&fs);
  if (!w.Open("t", "T")) return 0;
  for (w.GoTop(); !w.Eof(); w.Skip()) w.GetField(1);
  w.GoTo(5);
  w.PutField(1, Value::Memo("a new memo text"));
  w.GoTo(6);
  w.PutField(1, Value::Memo(std::string(size % 1500, 'z')));
  w.GoTo(7);
  w.PutField(1, w.GetField(1));
  w.AppendBlank();
  w.PutField(1, Value::Memo("appended"));
  w.Commit();
  for (w.GoTop(); !w.Eof(); w.Skip()) w.GetField(1);
  if (size % 3 == 0) {
    w.Zap();
    w.AppendBlank();
    w.PutField(1, Value::Memo("after zap"));
  }
  w.CloseAll();
  if (w.Open("t", "T")) {
    for (w.GoTop(); !w.Eof(); w.Skip()) w.GetField(1);
    w.CloseAll();
  }
  return 0;
}
