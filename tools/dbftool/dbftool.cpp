// dbftool: a table inspector for technicians. Tables are named by path
// without extension, as in the engine. Output is UTF-8.
#include <cstdio>
#include <string>
#include <vector>

#include "base/cp1252.h"
#include "errors/record/error_record.h"
#include "updater/tables/area.h"
#include "updater/tables/check.h"
#include "updater/tables/listing.h"
#include "updater/tables/workareas.h"

namespace {

using namespace kx;
using namespace kx::tables;

const char* kHelp =
    "usage: dbftool COMMAND ARGS...\n"
    "Tables are named by path without extension (.dbf, .fpt and .cdx are added).\n"
    "\n"
    "  records TABLE          every record in natural order, deleted ones included:\n"
    "                         #recno<TAB>deleted<TAB>field names, then one line per record:\n"
    "                         record number, * when deleted, each value\n"
    "  tags TABLE             one line per tag: name, key expression, FOR expression,\n"
    "                         flags (U unique, D descending), number of keys\n"
    "  order TABLE TAG        the record numbers of the tag's keys in walk order\n"
    "                         (a descending tag from its highest key), deleted included\n"
    "  check TABLE            verifies every tag against the records; exits 1 at the\n"
    "                         first fault, with a message\n"
    "  refill TARGET SOURCE   removes every record of TARGET and appends every visible\n"
    "                         record of SOURCE, fields matched by name\n"
    "\n"
    "Values in `records`:\n"
    "  C, V   text without trailing blanks     N, F  the stored digits, trimmed\n"
    "  D      YYYYMMDD, empty when empty       L     T, F or ? (blank)\n"
    "  M      the memo text                    I     decimal integer\n"
    "  B      the double, shortest exact form  Y     currency with four decimals\n"
    "  T      YYYYMMDDhhmmss, empty when empty\n"
    "  G, Q, W and binary C or M: # and the bytes in hex; a null: .NULL.\n"
    "  Backslash, tab, CR and LF inside values are written as \\\\, \\t, \\r, \\n.\n"
    "\n"
    "Exit codes: 0 done, 1 check found a fault, 2 bad arguments or a table error.\n";

bool g_failed = false;

void Print(const std::string& utf8) { std::fwrite(utf8.data(), 1, utf8.size(), stdout); }

bool OpenRead(WorkAreas& w, const std::string& path) {
  if (w.Open(path, "T", OpenMode::Shared, true)) return true;
  if (!g_failed) std::fprintf(stderr, "dbftool: cannot open %s\n", Cp1252ToUtf8(path).c_str());
  return false;
}

int Records(const std::string& path) {
  WorkAreas w;
  if (!OpenRead(w, path)) return 2;
  Area* a = w.Current();
  Print(ListingHeader(*a) + "\n");
  uint32_t count = w.RecCount();
  for (uint32_t n = 1; n <= count; ++n) {
    if (!w.GoTo(n)) return 2;
    Fault f;
    std::string line = ListingLine(*a, &f);
    if (!f.ok()) {
      std::fprintf(stderr, "dbftool: %s: %s\n", Cp1252ToUtf8(f.file).c_str(), Cp1252ToUtf8(f.what).c_str());
      return 2;
    }
    Print(line + "\n");
  }
  return g_failed ? 2 : 0;
}

int Tags(const std::string& path) {
  WorkAreas w;
  if (!OpenRead(w, path)) return 2;
  Area* a = w.Current();
  if (!a->cdx) return 0;
  for (int t = 0; t < a->cdx->TagCount(); ++t) {
    const cdx::TagInfo& tag = a->cdx->Tag(t);
    std::vector<cdx::CdxFile::Entry> entries;
    platform::Status s = a->cdx->ReadAll(t, &entries);
    if (!s.ok()) {
      std::fprintf(stderr, "dbftool: %s\n", Cp1252ToUtf8(s.message()).c_str());
      return 2;
    }
    std::string flags = std::string(tag.unique || tag.candidate ? "U" : "") + (tag.descending ? "D" : "");
    Print(Cp1252ToUtf8(tag.name + "\t" + tag.key_expr + "\t" + tag.for_expr + "\t" + flags + "\t" +
                       std::to_string(entries.size())) +
          "\n");
  }
  return 0;
}

int Order(const std::string& path, const std::string& tag_name) {
  WorkAreas w;
  if (!OpenRead(w, path)) return 2;
  Area* a = w.Current();
  int t = a->cdx ? a->cdx->FindTag(Utf8ToCp1252(tag_name)) : -1;
  if (t < 0) {
    std::fprintf(stderr, "dbftool: %s has no tag %s\n", Cp1252ToUtf8(path).c_str(), tag_name.c_str());
    return 2;
  }
  std::vector<cdx::CdxFile::Entry> entries;
  platform::Status s = a->cdx->ReadAll(t, &entries);
  if (!s.ok()) {
    std::fprintf(stderr, "dbftool: %s\n", Cp1252ToUtf8(s.message()).c_str());
    return 2;
  }
  std::string out;
  for (const auto& e : entries) out += std::to_string(e.recno) + "\n";
  Print(out);
  return 0;
}

int Check(const std::string& path) {
  WorkAreas w;
  if (!OpenRead(w, path)) return 2;
  Fault f = CheckIndex(*w.Current());
  if (!f.ok()) {
    std::fprintf(stderr, "dbftool: %s: %s\n", Cp1252ToUtf8(f.file).c_str(), Cp1252ToUtf8(f.what).c_str());
    return 1;
  }
  std::printf("%s: %d tags, %u records: OK\n", Cp1252ToUtf8(path).c_str(), w.OrderCount(), w.RecCount());
  return 0;
}

int Refill(const std::string& target, const std::string& source) {
  WorkAreas w;
  if (!w.Open(target, "TARGET")) {
    std::fprintf(stderr, "dbftool: cannot open %s\n", Cp1252ToUtf8(target).c_str());
    return 2;
  }
  if (!w.Zap()) return 2;
  if (!w.AppendFrom(source)) {
    if (!g_failed) std::fprintf(stderr, "dbftool: cannot open %s\n", Cp1252ToUtf8(source).c_str());
    return 2;
  }
  uint32_t n = w.RecCount();
  w.CloseAll();
  if (g_failed) return 2;
  std::printf("%u records\n", n);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(kx::Utf8ToCp1252(argv[i]));
  // Every error of the engine is reported here, and the operation gives up.
  kx::SetErrorHandler([](kx::ErrorRecord& e) {
    std::fprintf(stderr, "dbftool: %s\n", kx::Cp1252ToUtf8(kx::DescriptionLine(e)).c_str());
    g_failed = true;
    return kx::ErrorAnswer{kx::ErrorAction::Default, kx::Value()};
  });
  try {
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
      std::fputs(kHelp, args.empty() ? stderr : stdout);
      return args.empty() ? 2 : 0;
    }
    const std::string& cmd = args[0];
    if (cmd == "records" && args.size() == 2) return Records(args[1]);
    if (cmd == "tags" && args.size() == 2) return Tags(args[1]);
    if (cmd == "order" && args.size() == 3) return Order(args[1], args[2]);
    if (cmd == "check" && args.size() == 2) return Check(args[1]);
    if (cmd == "refill" && args.size() == 3) return Refill(args[1], args[2]);
    std::fprintf(stderr, "dbftool: unknown command or wrong arguments (dbftool --help)\n");
    return 2;
  } catch (const kx::ProgramExit& e) {
    return e.code;
  }
}
