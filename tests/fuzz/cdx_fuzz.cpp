// libFuzzer target for the CDX reader and writer. First the input is opened
// as an index on its own, bound to a small table, every tag walked both ways,
// sought, checked, and one write tried (which must be refused or succeed
// without harm). Then it is the structural index of a reference table whose
// fields its tags name (Empresa, Types, or Journal's structure: the full
// table for large inputs, the empty one otherwise) and the work areas walk,
// seek and write through it: field writes that change keys, deletion marks,
// appends, zap. Nothing may crash, hang or read out of bounds; an index that
// agreed with its records must still agree after writes without an error.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/file_system.h"
#include "tests/fuzz/fuzz_support.h"
#include "updater/tables/cdx/cdx.h"

namespace {

using namespace kx::platform;

class MemFile : public File {
 public:
  explicit MemFile(std::string* data) : d_(data) {}
  Status ReadAt(uint64_t off, void* buf, size_t n, size_t* got) override {
    *got = off >= d_->size() ? 0 : std::min<size_t>(n, d_->size() - size_t(off));
    if (*got) memcpy(buf, d_->data() + off, *got);
    return Status::Ok();
  }
  Status WriteAt(uint64_t off, const void* buf, size_t n) override {
    if (off + n > (64u << 20)) return Status::Error(kErrDiskFull, "too big");
    if (d_->size() < off + n) d_->resize(size_t(off + n));
    memcpy(d_->data() + off, buf, n);
    return Status::Ok();
  }
  Status Size(uint64_t* s) override {
    *s = d_->size();
    return Status::Ok();
  }
  Status Truncate(uint64_t s) override {
    d_->resize(size_t(s));
    return Status::Ok();
  }
  Status Flush() override { return Status::Ok(); }
  Status Lock(uint64_t, uint64_t) override { return Status::Ok(); }
  Status Unlock(uint64_t, uint64_t) override { return Status::Ok(); }

 private:
  std::string* d_;
};

class MemFs : public FileSystemWrapper {
 public:
  explicit MemFs(std::string data) : FileSystemWrapper(nullptr), data_(std::move(data)) {}
  Status Open(const std::string&, Access, Share, Disposition, std::unique_ptr<File>* r) override {
    *r = std::make_unique<MemFile>(&data_);
    return Status::Ok();
  }

 private:
  std::string data_;
};

class Table : public kx::cdx::RecordContext {
 public:
  Table() {
    fields_ = {{"CODE", 'C', 10, 0, false}, {"AMOUNT", 'N', 10, 2, false}, {"DAY", 'D', 8, 0, false}, {"FLAG", 'L', 1, 0, false}};
  }
  int FieldCount() const override { return 4; }
  int FieldIndex(std::string_view n) const override {
    for (int i = 0; i < 4; ++i)
      if (n.size() == fields_[i].name.size() && strncasecmp(n.data(), fields_[i].name.data(), n.size()) == 0) return i;
    return -1;
  }
  const kx::cdx::FieldInfo& Field(int i) const override { return fields_[size_t(i)]; }
  kx::Value FieldValue(int i) const override {
    switch (i) {
      case 0: return kx::Value::Text("ABC       ");
      case 1: return kx::Value::Number(12.5, 2);
      case 2: return kx::Value::FromDate(kx::Date{2460000});
      default: return kx::Value::Logical(true);
    }
  }
  uint32_t RecNo() const override { return 1; }
  bool Deleted() const override { return false; }

 private:
  std::vector<kx::cdx::FieldInfo> fields_;
};

}  // namespace

// The input as the structural index of a reference table, through the work areas.
static void ThroughTheEngine(const uint8_t* data, size_t size) {
  using namespace kx;
  fuzz::InstallQuietHandler();
  const char* journal = size >= 32768 ? "Journal" : "Empty";
  for (const char* stem : {"Empresa", "Types", journal}) {
    const std::string& dbf = fuzz::Fixture(std::string(stem) + ".dbf");
    if (dbf.empty()) continue;
    fuzz::MemFs fs;
    fs.files["t.dbf"] = dbf;
    const std::string& fpt = fuzz::Fixture(std::string(stem) + ".fpt");
    if (!fpt.empty()) fs.files["t.fpt"] = fpt;
    fs.files["t.cdx"] = std::string(reinterpret_cast<const char*>(data), size);
    tables::WorkAreas w(&fs);
    fuzz::ErrorsRaised() = 0;
    if (!w.Open("t", "T")) continue;
    bool consistent = w.RecCount() <= 50 && fuzz::IndexConsistent(w);
    fuzz::WalkAll(w, 100);
    fuzz::ErrorsRaised() = 0;  // what counts is whether the writes failed
    fuzz::WriteSome(w, size % 4 == 1);
    w.CloseAll();
    bool clean = fuzz::ErrorsRaised() == 0;
    fuzz::Trace(stem, consistent, clean);
    if (!w.Open("t", "T")) {
      if (clean) fuzz::Fail("a table written without an error does not open again");
      return;
    }
    if (clean && consistent && !fuzz::IndexConsistent(w)) fuzz::Fail("writes broke a consistent index");
    fuzz::WalkAll(w, 30);
    w.CloseAll();
    return;
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ThroughTheEngine(data, size);
  MemFs fs(std::string(reinterpret_cast<const char*>(data), size));
  std::unique_ptr<kx::cdx::CdxFile> f;
  if (!kx::cdx::CdxFile::Open(&fs, "fuzz.cdx", Access::ReadWrite, Share::Exclusive, &f).ok()) return 0;
  Table table;
  bool bound = f->Bind(table).ok();
  for (int i = 0; i < f->TagCount(); ++i) {
    std::vector<kx::cdx::CdxFile::Entry> all;
    if (!f->ReadAll(i, &all).ok()) return 0;
    auto c = f->NewCursor(i);
    int steps = 0;
    for (Status s = c->First(); s.ok() && c->Valid() && steps < 100000; s = c->Next()) ++steps;
    for (Status s = c->Last(); s.ok() && c->Valid() && steps < 200000; s = c->Prev()) ++steps;
    bool found;
    if (!all.empty()) c->Seek(all[all.size() / 2].key, &found);
  }
  if (!f->Check().ok()) return 0;
  if (bound && f->TagCount() > 0) {
    kx::cdx::RecordKeys keys;
    if (f->ComputeKeys(table, &keys).ok()) f->InsertRecord(1, keys);
    f->Check();
  }
  return 0;
}
