// What the fuzz targets share: a quiet error handler that counts the errors
// raised, the reference tables read once from the fixtures folder, and the
// walks and writes every target runs on a table it managed to open.
//
// Oracles beyond "no crash, no hang, no sanitizer report":
//  - a table the engine opened and wrote without raising an error opens
//    again afterwards;
//  - an index that was consistent with its records (CheckIndex) stays so
//    after writes that raised no error.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "base/value.h"
#include "errors/record/error_record.h"
#include "platform/file_system.h"
#include "tests/fuzz/mem_fs.h"
#include "updater/tables/area.h"
#include "updater/tables/check.h"
#include "updater/tables/workareas.h"

namespace kx::fuzz {

// Errors raised through the handler since the last Reset.
inline int& ErrorsRaised() {
  static int n = 0;
  return n;
}

inline void InstallQuietHandler() {
  static bool once = [] {
    SetErrorHandler([](ErrorRecord& e) {
      ++ErrorsRaised();
      static bool trace = std::getenv("KX_FUZZ_TRACE") != nullptr;
      if (trace) std::fprintf(stderr, "fuzz: error %s\n", DescriptionLine(e).c_str());
      return ErrorAnswer{ErrorAction::Default, Value()};
    });
    return true;
  }();
  (void)once;
}

// A file of the reference tables (empty when the fixtures are not there).
inline const std::string& Fixture(const std::string& name) {
  static std::map<std::string, std::string> cache;
  auto it = cache.find(name);
  if (it != cache.end()) return it->second;
  std::string data;
#ifdef KX_FIXTURE_DIR
  platform::ReadWholeFile(platform::DefaultFileSystem(), std::string(KX_FIXTURE_DIR) + "/" + name, &data);
#endif
  return cache.emplace(name, std::move(data)).first->second;
}

// Stops the fuzzer with a message: an oracle failed.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "fuzz oracle failed: %s\n", what);
  std::abort();
}

// With KX_FUZZ_TRACE set, tells on which table the write phase ran and what
// the oracles could hold it to (to see that the seeds reach them).
inline void Trace(const char* table, bool consistent, bool clean) {
  static bool on = std::getenv("KX_FUZZ_TRACE") != nullptr;
  if (on) std::fprintf(stderr, "fuzz: %s: index %s, writes %s\n", table, consistent ? "consistent" : "not consistent",
                       clean ? "without error" : "with errors");
}

// True when the current table's index agrees with its records.
inline bool IndexConsistent(tables::WorkAreas& w) {
  tables::Area* a = w.Current();
  return a && a->cdx && tables::CheckIndex(*a).ok();
}

// Reads every field of up to `budget` records in natural order and in every
// tag both ways, and seeks each tag with the key of a record.
inline void WalkAll(tables::WorkAreas& w, int budget = 300) {
  int fields = w.FieldCount();
  for (int order = 0; order <= w.OrderCount(); ++order) {
    if (!w.SetOrder(order)) continue;
    int steps = 0;
    for (w.GoTop(); !w.Eof() && steps < budget; w.Skip(), ++steps)
      for (int i = 1; i <= fields; ++i) w.GetField(i);
    steps = 0;
    for (w.GoBottom(); !w.Bof() && !w.Eof() && steps < budget; w.Skip(-1), ++steps) w.GetField(1);
    if (order == 0) continue;
    // Seek by the value of the key expression when it is a bare field, else
    // by the first field's value (which may be of the wrong type: an error).
    std::string key = w.Orders()[size_t(order - 1)].key;
    int pos = w.FieldPos(key);
    w.GoTo(w.RecCount() / 2 + 1);
    Value v = w.GetField(pos > 0 ? pos : 1);
    w.Seek(v);
    w.Seek(v, true);
    if (v.IsText()) w.Seek(Value::Text(v.text().substr(0, 1)), true);
    w.Skip(-3);
    w.Skip(5);
  }
  w.SetOrder(0);
  w.GoTo(0);
  w.GoTo(w.RecCount() + 7);
  w.Skip(-1);
}

// A different value of the same type as `v`, for field `f`.
inline Value Changed(const tables::FieldInfo& f, const Value& v, uint32_t salt) {
  switch (f.type) {
    case 'C':
    case 'V':
      return Value::Text(std::string(1, char('A' + salt % 26)) + (v.IsText() ? v.text() : std::string()));
    case 'M':
    case 'G':
      return Value::Memo(std::string(salt % 200, 'x'));
    case 'N':
    case 'F':
    case 'B':
    case 'Y':
    case 'I':
      return Value::Number(double(salt % 97) - 40, f.decimals);
    case 'D':
    case 'T':
      return Value::FromDate(Date{2451545 + int32_t(salt % 9000)});
    case 'L':
      return Value::Logical(salt % 2 == 0);
    default:
      return v;
  }
}

// Writes through every writer of the engine on the current (writable) table:
// field writes with the same and with other values, deletion marks, appends,
// and with `zap` finally Zap and an append into the empty table.
inline void WriteSome(tables::WorkAreas& w, bool zap) {
  int fields = w.FieldCount();
  w.SetOrder(w.OrderCount() > 0 ? 1 : 0);
  int steps = 0;
  for (w.GoTop(); !w.Eof() && steps < 6; w.Skip(), ++steps) {
    uint32_t r = w.RecNo();
    for (int i = 1; i <= fields; ++i) {
      tables::FieldInfo f = w.Field(i);
      Value v = w.GetField(i);
      // A currency near its limits does not survive the trip through a
      // double (the write is refused, rightly): leave those as they are.
      if (f.type == 'Y' && v.IsNumber() && std::fabs(v.number()) > 1e14) continue;
      w.PutField(i, (r + uint32_t(i)) % 3 ? v : Changed(f, v, r * 31 + uint32_t(i)));
    }
    if (r % 2) w.Delete();
  }
  w.SetOrder(0);
  w.GoTo(1);
  w.Recall();
  w.GoTo(w.RecCount());
  w.Delete();
  w.Commit();
  for (int n = 0; n < 3; ++n) {
    if (!w.AppendBlank()) break;
    for (int i = 1; i <= fields; ++i) {
      tables::FieldInfo f = w.Field(i);
      w.PutField(i, Changed(f, w.GetField(i), uint32_t(n * 7 + i)));
    }
  }
  w.Commit();
  w.GoTo(2);
  if (fields > 0) w.PutField(1, w.GetField(1));
  if (zap) {
    w.Zap();
    if (w.AppendBlank() && fields > 0) w.PutField(1, Changed(w.Field(1), w.GetField(1), 5));
  }
}

}  // namespace kx::fuzz
