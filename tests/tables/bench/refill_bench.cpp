// Benchmark of the table engine on a refill as the update run does it: a
// table of about 200 bytes a record with three tags and a memo in 1% of the
// records is emptied and refilled from its backup (append from, fields by
// name). Prints records per second, the time of copying the refilled table's
// DBF, CDX and FPT with the platform copy and the ratio of the two, then the
// rate of walking each tag in order and of seeks.
//   bench_tables FOLDER [RECORDS]
// FOLDER must exist; the tables are written into it and left there.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/date.h"
#include "base/value.h"
#include "platform/file_system.h"
#include "updater/tables/cdx/cdx.h"
#include "updater/tables/workareas.h"

namespace {

using kx::Value;
using kx::tables::FieldInfo;
using kx::tables::WorkAreas;
namespace cdx = kx::cdx;
namespace platform = kx::platform;

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

FieldInfo F(const char* name, char type, int length, int decimals = 0) {
  FieldInfo f;
  f.name = name;
  f.type = type;
  f.length = length;
  f.decimals = decimals;
  return f;
}

// 1 + 10 + 40 + 60 + 8 + 14 + 10 + 12 + 40 + 1 + 10 = 206 bytes a record.
std::vector<FieldInfo> Fields() {
  return {F("CODIGO", 'C', 10),    F("NOMBRE", 'C', 40), F("DIRECCION", 'C', 60), F("FECHA", 'D', 8),
          F("IMPORTE", 'N', 14, 2), F("CANTIDAD", 'N', 10), F("CUENTA", 'C', 12),   F("NOTA", 'C', 40),
          F("ACTIVO", 'L', 1),      F("OBSERV", 'M', 10)};
}

class Catalog : public cdx::FieldCatalog {
 public:
  explicit Catalog(const std::vector<FieldInfo>& fields) {
    for (const FieldInfo& f : fields) {
      cdx::FieldInfo c;
      c.name = f.name;
      c.type = f.type;
      c.width = f.length;
      c.decimals = f.decimals;
      fields_.push_back(c);
    }
  }
  int FieldCount() const override { return int(fields_.size()); }
  int FieldIndex(std::string_view name) const override {
    std::string up(name);
    for (char& c : up)
      if (c >= 'a' && c <= 'z') c = char(c - 32);
    for (size_t i = 0; i < fields_.size(); ++i)
      if (fields_[i].name == up) return int(i);
    return -1;
  }
  const cdx::FieldInfo& Field(int i) const override { return fields_[size_t(i)]; }

 private:
  std::vector<cdx::FieldInfo> fields_;
};

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "bench_tables: %s\n", what.c_str());
  std::exit(1);
}

// The codes are a permutation of 0..n-1, so the CODIGO tag is filled out of order.
std::string Code(uint32_t i, uint32_t n) {
  uint64_t v = (uint64_t(i) * 2654435761u + 12345u) % n;
  char buf[16];
  std::snprintf(buf, sizeof buf, "C%09u", unsigned(v));
  return buf;
}

// An empty table with the structural index of three tags, as a release ships it.
void MakeFresh(WorkAreas& db, const std::string& path) {
  if (!db.Create(path, Fields())) Die("cannot create " + path);
  platform::FileSystem* fs = db.file_system();
  std::unique_ptr<cdx::CdxFile> index;
  platform::Status s = cdx::CdxFile::Create(fs, path + ".cdx", platform::Share::Exclusive, &index);
  if (!s.ok()) Die(s.message());
  Catalog catalog(Fields());
  const char* tags[][2] = {{"CODIGO", "CODIGO"}, {"CUENTA", "CUENTA+DTOS(FECHA)"}, {"FECHA", "FECHA"}};
  for (auto& t : tags) {
    cdx::TagSpec spec;
    spec.name = t[0];
    spec.key_expr = t[1];
    int n = 0;
    s = index->AddTag(spec, catalog, &n);
    if (!s.ok()) Die(s.message());
  }
  s = index->Flush();
  if (!s.ok()) Die(s.message());
  index.reset();
  std::unique_ptr<platform::File> file;
  s = fs->Open(path + ".dbf", platform::Access::ReadWrite, platform::Share::Exclusive,
               platform::Disposition::OpenExisting, &file);
  if (!s.ok()) Die(s.message());
  unsigned char flag = 0;
  size_t got = 0;
  s = file->ReadAt(28, &flag, 1, &got);
  flag |= 0x01;  // the structural index belongs to the table
  if (s.ok()) s = file->WriteAt(28, &flag, 1);
  if (!s.ok()) Die(s.message());
}

// The backup: `n` records, one in 50 deleted, a memo in one in 100.
uint32_t MakeBackup(WorkAreas& db, const std::string& path, uint32_t n) {
  if (!db.Create(path, Fields()) || !db.Open(path, "BACKUP")) Die("cannot create " + path);
  uint32_t visible = 0;
  char buf[64];
  for (uint32_t i = 0; i < n; ++i) {
    db.AppendBlank();
    db.PutField(1, Value::Text(Code(i, n)));
    std::snprintf(buf, sizeof buf, "Cliente %u de la provincia %u", unsigned(i), unsigned(i % 52));
    db.PutField(2, Value::Text(buf));
    std::snprintf(buf, sizeof buf, "Calle Mayor %u, piso %u", unsigned(i % 997), unsigned(i % 9));
    db.PutField(3, Value::Text(buf));
    db.PutField(4, Value::FromDate(kx::DateFromYmd(2020 + int(i % 6), 1 + int(i % 12), 1 + int(i % 28))));
    db.PutField(5, Value::Number(double(i % 100000) * 1.25, 2));
    db.PutField(6, Value::Number(double(i % 1000)));
    std::snprintf(buf, sizeof buf, "430%09u", unsigned((i * 7919u) % 20000u));
    db.PutField(7, Value::Text(buf));
    db.PutField(8, Value::Text(i % 3 ? "Sin observaciones" : ""));
    db.PutField(9, Value::Logical(i % 2 == 0));
    if (i % 100 == 7)
      db.PutField(10, Value::Memo("Observaciones del registro " + std::to_string(i) + ": " + std::string(150, 'x')));
    if (i % 50 == 3) db.Delete();
    else ++visible;
  }
  db.Close();
  return visible;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) Die("usage: bench_tables FOLDER [RECORDS]");
  std::string dir = argv[1];
  uint32_t n = argc > 2 ? uint32_t(std::strtoul(argv[2], nullptr, 10)) : 1000000u;
  WorkAreas db;
  platform::FileSystem* fs = db.file_system();
  std::string table = dir + "/Big", backup = dir + "/_Big", copy = dir + "/Copia";

  auto t0 = Clock::now();
  uint32_t visible = MakeBackup(db, backup, n);
  MakeFresh(db, table);
  std::printf("records: %u (%u visible), %.1f s to write the backup\n", n, visible, Since(t0));

  // The refill: remove all records, append every visible record of the backup.
  t0 = Clock::now();
  if (!db.Open(table, "BIG")) Die("cannot open " + table);
  db.Zap();
  if (!db.AppendFrom(backup)) Die("append from failed");
  uint32_t count = db.RecCount();
  db.Close();
  double refill = Since(t0);
  if (count != visible) Die("refill gave " + std::to_string(count) + " records, not " + std::to_string(visible));

  t0 = Clock::now();
  for (const char* ext : {".dbf", ".cdx", ".fpt"}) {
    platform::Status s = fs->CopyOver(table + ext, copy + ext);
    if (!s.ok()) Die(s.message());
  }
  double copied = Since(t0);
  std::printf("refill: %.2f s, %.0f records/s\n", refill, count / refill);
  std::printf("copy of its DBF, CDX and FPT: %.2f s\n", copied);
  std::printf("ratio refill/copy: %.1f\n", refill / copied);

  if (!db.Open(table, "BIG")) Die("cannot open " + table);
  for (int tag = 1; tag <= db.OrderCount(); ++tag) {
    db.SetOrder(tag);
    t0 = Clock::now();
    uint32_t walked = 0;
    for (db.GoTop(); !db.Eof(); db.Skip(1)) ++walked;
    double t = Since(t0);
    if (walked != count) Die("tag " + std::to_string(tag) + " walks " + std::to_string(walked) + " records");
    std::printf("walk in tag %d order: %.2f s, %.0f records/s\n", tag, t, walked / t);
  }
  db.SetOrder(1);
  uint32_t seeks = std::min<uint32_t>(200000, n), found = 0;
  t0 = Clock::now();
  for (uint32_t i = 0; i < seeks; ++i) {
    uint32_t r = uint32_t((uint64_t(i) * 40503u) % n);
    if (r % 50 == 3) continue;  // deleted in the backup, not carried over
    if (db.Seek(Value::Text(Code(r, n)))) ++found;
    else Die("seek of " + Code(r, n) + " failed");
  }
  double t = Since(t0);
  std::printf("seeks: %u in %.2f s, %.0f seeks/s\n", found, t, found / t);
  db.Close();
  return 0;
}
