#include "updater/tables/workareas.h"

#include <algorithm>

#include "errors/record/error_record.h"
#include "errors/record/silent_courses.h"
#include "updater/tables/area.h"
#include "updater/tables/codec.h"

namespace kx::tables {
namespace {

constexpr int kSlots = 255;

std::string UpperAscii(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 32);
  return s;
}

std::string TrimBlanks(const std::string& s) {
  size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return {};
  size_t b = s.find_last_not_of(' ');
  return s.substr(a, b - a + 1);
}

bool EndsWithNoCase(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && UpperAscii(s.substr(s.size() - tail.size())) == UpperAscii(tail);
}

// "C:\KX\Empresa" -> "Empresa".
std::string BaseName(const std::string& path) {
  size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The table's name without extension (a given ".dbf" is dropped).
std::string Stem(const std::string& path) {
  return EndsWithNoCase(path, ".dbf") ? path.substr(0, path.size() - 4) : path;
}

const char* Describe(int gen_code) {
  switch (gen_code) {
    case kGenOpen: return "Open error";
    case kGenCreate: return "Create error";
    case kGenDataType: return "Data type error";
    case kGenAppendLock: return "Append lock failed";
    case kGenCorruption: return "Corruption detected";
    case kGenRead: return "Read error";
    case kGenWrite: return "Write error";
    case kGenDupAlias: return "Alias already in use";
    case kGenBadAlias: return "Alias not found";
    case kGenNoOrder: return "Order not found";
    case kGenReadOnly: return "Table is read-only";
    case kGenUnlocked: return "Record not locked";
    case kGenNoTable: return "No table in use";
    default: return "Table error";
  }
}

Fault Simple(int engine, const std::string& file, std::string what) {
  Fault f;
  f.engine = engine;
  f.file = file;
  f.what = std::move(what);
  return f;
}

}  // namespace

WorkAreas& Engine() {
  static WorkAreas* engine = new WorkAreas();
  return *engine;
}

WorkAreas::WorkAreas(platform::FileSystem* fs) : fs_(fs) { slots_.resize(kSlots); }

WorkAreas::~WorkAreas() {
  for (int s = 1; s <= kSlots; ++s) CloseSlot(s, false);
}

void WorkAreas::SetFileSystem(platform::FileSystem* fs) { fs_ = fs; }

Area* WorkAreas::AreaAt(int slot) const {
  if (slot < 1 || slot > kSlots) return nullptr;
  return slots_[size_t(slot - 1)].get();
}

Area* WorkAreas::Current() const { return AreaAt(selected_); }

bool WorkAreas::Raise(const Fault& f, int gen_code, const std::string& operation, bool can_retry) {
  last_error_ = f.engine;
  ErrorRecord e;
  e.gen_code = f.engine == kEngineCorrupt ? kGenCorruption : gen_code;
  e.os_code = f.os_code;
  e.sub_system = "DBFCDX";
  e.sub_code = f.engine;
  std::string d = Describe(e.gen_code);
  bool plain_os_failure = f.os_code != 0 && (gen_code == kGenOpen || gen_code == kGenCreate);
  if (!f.what.empty() && !plain_os_failure) d += " (" + f.what + ")";
  e.description = d;
  e.file_name = f.file;
  e.operation = operation;
  e.can_retry = can_retry;
  e.can_default = true;
  ErrorAnswer a = RaiseWithSilentCourses(e, last_error_);
  return can_retry && a.action == ErrorAction::Retry;
}

// ---- Opening and selecting -----------------------------------------------------

bool WorkAreas::OpenInto(const std::string& path_in, const std::string& alias_in, OpenMode mode, bool read_only,
                         int* slot_out) {
  std::string path = Stem(path_in);
  std::string alias = TrimBlanks(alias_in.empty() ? BaseName(path) : alias_in);
  if (SlotOf(alias) != 0) {
    Raise(Simple(kEngineAliasInUse, path + ".dbf", "alias " + alias + " is open"), kGenDupAlias, "USE", false);
    return false;
  }
  int slot = 0;
  for (int s = 1; s <= kSlots && !slot; ++s)
    if (!AreaAt(s)) slot = s;
  if (!slot) {
    Raise(Simple(kEngineTooManyFiles, path + ".dbf", "every work area is in use"), kGenOpen, "USE", false);
    return false;
  }
  platform::Share share = mode == OpenMode::Shared ? platform::Share::Shared : platform::Share::Exclusive;
  platform::Access access = read_only ? platform::Access::Read : platform::Access::ReadWrite;
  for (;;) {
    auto a = std::make_unique<Area>();
    a->alias = alias;
    a->path = path;
    a->slot = slot;
    a->shared = mode == OpenMode::Shared;
    a->read_only = read_only;
    Fault f = DbfFile::Open(fs_, path + ".dbf", read_only, share, &a->dbf);
    if (f.ok() && a->dbf->has_memo_fields()) f = MemoFile::Open(fs_, path + ".fpt", read_only, share, &a->memo);
    if (f.ok() && a->dbf->cdx_flag()) {
      platform::Status s = cdx::CdxFile::Open(fs_, path + ".cdx", access, share, &a->cdx);
      if (!s.ok() && (s.code() == platform::kErrFileNotFound || s.code() == platform::kErrPathNotFound)) {
        a->cdx.reset();  // announced but missing: the table opens without index
      } else if (!s.ok()) {
        f = IndexFault(path + ".cdx", s);
        if (s.code() < 0x10000) {
          f.engine = EngineNumberForOpen(s.code());
          f.what.clear();
        }
      }
    }
    if (f.ok()) {
      for (const DbfField& df : a->dbf->fields()) {
        cdx::FieldInfo ci;
        ci.name = df.info.name;
        ci.type = df.info.type;
        ci.width = df.info.length;
        ci.decimals = df.info.decimals;
        ci.nullable = df.info.nullable;
        a->catalog_.push_back(ci);
      }
      if (a->cdx) {
        platform::Status s = a->cdx->Bind(*a);
        // A read-only open still reads a table whose index names what it
        // lacks (the long field names of a database container); a writer
        // would leave that index behind, so it gets the error.
        if (!s.ok() && !read_only) f = IndexFault(path + ".cdx", s);
      }
    }
    if (f.ok()) {
      if (a->shared) a->dbf->DisableCache();
      Area* raw = a.get();
      slots_[size_t(slot - 1)] = std::move(a);
      selected_ = slot;
      f = raw->First(false);
      if (!f.ok()) {
        Raise(f, kGenRead, "USE", false);
      }
      *slot_out = slot;
      return true;
    }
    if (!Raise(f, kGenOpen, "USE", true)) return false;
  }
}

bool WorkAreas::Open(const std::string& path, const std::string& alias, OpenMode mode, bool read_only) {
  last_error_ = 0;
  SetNetErr(false);
  int slot = 0;
  return OpenInto(path, alias, mode, read_only, &slot);
}

bool WorkAreas::Create(const std::string& path_in, const std::vector<FieldInfo>& fields) {
  last_error_ = 0;
  std::string path = Stem(path_in);
  bool memo = std::any_of(fields.begin(), fields.end(), [](const FieldInfo& f) { return IsMemoType(f.type); });
  for (;;) {
    Fault f = DbfFile::Create(fs_, path + ".dbf", fields, false, false);
    if (f.ok() && memo) f = MemoFile::Create(fs_, path + ".fpt");
    if (f.ok()) return true;
    if (f.engine == kEngineCorrupt) f.engine = kEngineDataType;  // a structure that cannot be written
    if (!Raise(f, kGenCreate, "CREATE", f.os_code != 0)) return false;
  }
}

bool WorkAreas::Select(const std::string& alias) {
  int s = SlotOf(alias);
  if (!s) return false;
  selected_ = s;
  return true;
}

bool WorkAreas::SelectSlot(int slot) {
  if (slot < 1 || slot > kSlots) return false;
  selected_ = slot;
  return true;
}

int WorkAreas::SelectedSlot() const { return selected_; }

std::string WorkAreas::SelectedAlias() const {
  Area* a = Current();
  return a ? a->alias : std::string();
}

bool WorkAreas::IsOpen(const std::string& alias) const { return SlotOf(alias) != 0; }

int WorkAreas::SlotOf(const std::string& alias) const {
  std::string want = UpperAscii(TrimBlanks(alias));
  if (want.empty()) return 0;
  for (int s = 1; s <= kSlots; ++s) {
    Area* a = AreaAt(s);
    if (a && UpperAscii(a->alias) == want) return s;
  }
  return 0;
}

void WorkAreas::CloseSlot(int slot, bool report) {
  Area* a = AreaAt(slot);
  if (!a) return;
  Fault f = a->Flush();
  if (!f.ok()) {
    if (report) Raise(f, kGenWrite, "CLOSE", false);
    a->Discard();
  }
  if (a->cdx) {
    platform::Status s = a->cdx->Flush();
    if (!s.ok() && report) Raise(IndexFault(a->path + ".cdx", s), kGenWrite, "CLOSE", false);
  }
  if (a->dbf && !a->read_only) a->dbf->file()->Flush();
  slots_[size_t(slot - 1)].reset();  // closes the files, which releases their locks
}

void WorkAreas::Close() {
  last_error_ = 0;
  CloseSlot(selected_, true);
}

void WorkAreas::Close(const std::string& alias) {
  last_error_ = 0;
  int s = SlotOf(alias);
  if (s) CloseSlot(s, true);
}

void WorkAreas::CloseAll() {
  last_error_ = 0;
  for (int s = 1; s <= kSlots; ++s) CloseSlot(s, true);
  selected_ = 1;
}

// ---- Walking ---------------------------------------------------------------------

bool WorkAreas::FlushArea(Area* a) {
  for (;;) {
    Fault f = a->Flush();
    if (f.ok()) return true;
    bool retry = f.engine != kEngineDuplicateKey && f.engine != kEngineCorrupt;
    if (!Raise(f, kGenWrite, "REPLACE", retry)) {
      // Given up: the record stays as the file holds it.
      a->Discard();
      return false;
    }
  }
}

bool WorkAreas::SetOrder(int n) {
  last_error_ = 0;
  Area* a = Current();
  if (!a) {
    Raise(Simple(kEngineNotOpen, "", "no table is selected"), kGenNoTable, "SET ORDER", false);
    return false;
  }
  int tags = (a->cdx && a->cdx->bound()) ? a->cdx->TagCount() : 0;
  if (n < 0 || n > tags) {
    Raise(Simple(kEngineNoOrder, a->path + ".cdx", "order " + std::to_string(n) + " of " + std::to_string(tags)),
          kGenNoOrder, "SET ORDER", false);
    return false;
  }
  if (!FlushArea(a)) return false;
  a->order = n;
  a->cursor = n ? a->cdx->NewCursor(n - 1) : nullptr;
  a->cursor_synced = false;
  return true;
}

int WorkAreas::Order() const {
  Area* a = Current();
  return a ? a->order : 0;
}

int WorkAreas::OrderCount() const {
  Area* a = Current();
  return a && a->cdx ? a->cdx->TagCount() : 0;
}

std::vector<OrderInfo> WorkAreas::Orders() const {
  std::vector<OrderInfo> out;
  Area* a = Current();
  if (!a || !a->cdx) return out;
  for (int i = 0; i < a->cdx->TagCount(); ++i) {
    const cdx::TagInfo& t = a->cdx->Tag(i);
    OrderInfo o;
    o.tag = t.name;
    o.key = t.key_expr;
    o.for_expr = t.for_expr;
    o.unique = t.unique || t.candidate;
    o.descending = t.descending;
    out.push_back(o);
  }
  return out;
}

int WorkAreas::OrderByName(const std::string& tag) const {
  Area* a = Current();
  if (!a || !a->cdx) return 0;
  return a->cdx->FindTag(TrimBlanks(tag)) + 1;
}

bool WorkAreas::GoTop() {
  last_error_ = 0;
  Area* a = Current();
  if (!a) return false;
  if (!FlushArea(a)) return false;
  if (a->shared) a->dbf->RefreshCount();
  Fault f = a->First(false);
  if (!f.ok()) {
    Raise(f, kGenRead, "GO TOP", false);
    return false;
  }
  return true;
}

bool WorkAreas::GoBottom() {
  last_error_ = 0;
  Area* a = Current();
  if (!a) return false;
  if (!FlushArea(a)) return false;
  if (a->shared) a->dbf->RefreshCount();
  Fault f = a->First(true);
  if (!f.ok()) {
    Raise(f, kGenRead, "GO BOTTOM", false);
    return false;
  }
  return true;
}

bool WorkAreas::Skip(long n) {
  last_error_ = 0;
  Area* a = Current();
  if (!a) return false;
  if (!FlushArea(a)) return false;
  if (n == 0) {
    Fault f = a->Load(a->recno);
    if (!f.ok()) Raise(f, kGenRead, "SKIP", false);
    return f.ok();
  }
  bool forward = n > 0;
  long steps = forward ? n : -n;
  for (long i = 0; i < steps; ++i) {
    bool moved = false;
    Fault f = a->Step(forward, &moved);
    if (!f.ok()) {
      Raise(f, kGenRead, "SKIP", false);
      return false;
    }
    if (!moved) break;
  }
  return true;
}

bool WorkAreas::GoTo(uint32_t recno) {
  last_error_ = 0;
  Area* a = Current();
  if (!a) return false;
  if (!FlushArea(a)) return false;
  a->bof = false;
  Fault f = a->Load(recno);
  if (!f.ok()) {
    Raise(f, kGenRead, "GOTO", false);
    return false;
  }
  return true;
}

bool WorkAreas::Eof() const {
  Area* a = Current();
  return !a || a->eof;
}

bool WorkAreas::Bof() const {
  Area* a = Current();
  return !a || a->bof;
}

uint32_t WorkAreas::RecNo() const {
  Area* a = Current();
  return a ? a->recno : 0;
}

uint32_t WorkAreas::RecCount() const {
  Area* a = Current();
  return a ? a->Count() : 0;
}

bool WorkAreas::Seek(const Value& key, bool soft) {
  last_error_ = 0;
  Area* a = Current();
  if (!a) return false;
  if (!a->order || !a->cursor) {
    Raise(Simple(kEngineNoOrder, a->path + ".cdx", "no order is active"), kGenNoOrder, "SEEK", false);
    return false;
  }
  if (!FlushArea(a)) return false;
  const cdx::TagInfo& tag = a->cdx->Tag(a->order - 1);
  std::string k;
  if (key.IsText() && tag.key_type == 'C' && tag.collation == cdx::Collation::Machine) {
    // A text key is a partial key: the records whose keys begin with it.
    k = key.text().substr(0, size_t(tag.key_length - (tag.nullable ? 1 : 0)));
    if (tag.nullable) k.insert(k.begin(), '\x80');
  } else {
    platform::Status s = cdx::EncodeKey(key, tag, &k);
    if (!s.ok()) {
      Raise(Simple(kEngineDataType, a->path + ".cdx", "seek key: " + s.message()), kGenDataType, "SEEK", false);
      return false;
    }
  }
  bool hit = false;
  platform::Status s = a->cursor->Seek(k, &hit);
  if (!s.ok()) {
    Raise(IndexFault(a->path + ".cdx", s), kGenRead, "SEEK", false);
    return false;
  }
  uint32_t count = a->Count();
  // The first visible record under that key; deleted ones are passed over.
  while (a->cursor->Valid()) {
    uint32_t n = a->cursor->recno();
    if (n < 1 || n > count) {
      Raise(Simple(kEngineCorrupt, a->path + ".cdx", "index holds record " + std::to_string(n)), kGenRead, "SEEK",
            false);
      return false;
    }
    if (hit && a->cursor->key().compare(0, k.size(), k) != 0) hit = false;
    Fault f = a->Load(n);
    if (!f.ok()) {
      Raise(f, kGenRead, "SEEK", false);
      return false;
    }
    if (a->rec.empty() || a->rec[0] != '*') {
      if (hit || soft) {
        a->cursor_synced = true;
        a->found = hit;
        a->bof = false;
        return hit;
      }
      break;
    }
    s = a->cursor->Next();
    if (!s.ok()) {
      Raise(IndexFault(a->path + ".cdx", s), kGenRead, "SEEK", false);
      return false;
    }
  }
  a->Load(0);
  a->eof = true;
  a->found = false;
  return false;
}

bool WorkAreas::Found() const {
  Area* a = Current();
  return a && a->found;
}

// ---- Fields ------------------------------------------------------------------------

int WorkAreas::FieldCount() const {
  Area* a = Current();
  return a ? int(a->dbf->fields().size()) : 0;
}

int WorkAreas::FieldPos(const std::string& name) const {
  Area* a = Current();
  if (!a) return 0;
  return a->FieldIndex(UpperAscii(TrimBlanks(name))) + 1;
}

FieldInfo WorkAreas::Field(int pos) const {
  Area* a = Current();
  if (!a || pos < 1 || pos > int(a->dbf->fields().size())) return {};
  return a->dbf->fields()[size_t(pos - 1)].info;
}

std::vector<FieldInfo> WorkAreas::Fields() const {
  std::vector<FieldInfo> out;
  Area* a = Current();
  if (!a) return out;
  for (const DbfField& f : a->dbf->fields()) out.push_back(f.info);
  return out;
}

Value WorkAreas::GetField(int pos) {
  last_error_ = 0;
  Area* a = Current();
  if (!a || pos < 1 || pos > int(a->dbf->fields().size())) return Value();
  const DbfField& f = a->dbf->fields()[size_t(pos - 1)];
  if (a->AtEnd()) return BlankValue(f.info);
  Fault fault;
  Value v = DecodeField(*a->dbf, f, a->rec, a->memo.get(), &fault);
  if (!fault.ok()) Raise(fault, kGenRead, f.info.name, false);
  return v;
}

Value WorkAreas::GetField(const std::string& name) {
  int pos = FieldPos(name);
  return pos ? GetField(pos) : Value();
}

bool WorkAreas::PutField(int pos, const Value& v) {
  last_error_ = 0;
  Area* a = Current();
  if (!a) {
    Raise(Simple(kEngineNotOpen, "", "no table is selected"), kGenNoTable, "REPLACE", false);
    return false;
  }
  if (pos < 1 || pos > int(a->dbf->fields().size())) return true;
  if (a->AtEnd()) return true;
  const DbfField& f = a->dbf->fields()[size_t(pos - 1)];
  if (a->read_only) {
    Raise(Simple(kEngineReadOnly, a->path + ".dbf", "field " + f.info.name), kGenReadOnly, f.info.name, false);
    return false;
  }
  if (a->shared && !a->file_locked && !a->record_locks.count(a->recno) && !a->pending_append) {
    Raise(Simple(kEngineNotLocked, a->path + ".dbf", "record " + std::to_string(a->recno)), kGenUnlocked,
          f.info.name, false);
    return false;
  }
  for (;;) {
    Fault fault = a->BeginChange();
    if (fault.ok()) {
      std::string rec = a->rec;
      fault = EncodeField(*a->dbf, f, v, &rec, a->memo.get());
      if (fault.ok()) {
        a->rec = std::move(rec);
        return true;
      }
    }
    int gen = fault.engine == kEngineDataType ? kGenDataType : kGenWrite;
    if (!Raise(fault, gen, f.info.name, gen == kGenWrite && fault.engine != kEngineCorrupt)) return false;
  }
}

bool WorkAreas::PutField(const std::string& name, const Value& v) {
  int pos = FieldPos(name);
  return pos ? PutField(pos, v) : true;
}

bool WorkAreas::Commit() {
  last_error_ = 0;
  Area* a = Current();
  if (!a) return false;
  if (!FlushArea(a)) return false;
  if (a->cdx) {
    platform::Status s = a->cdx->Flush();
    if (!s.ok()) {
      Raise(IndexFault(a->path + ".cdx", s), kGenWrite, "COMMIT", false);
      return false;
    }
  }
  return true;
}

// ---- Records ---------------------------------------------------------------------

bool WorkAreas::AppendBlankIn(Area* a) {
  if (a->read_only) {
    Raise(Simple(kEngineReadOnly, a->path + ".dbf", "append"), kGenReadOnly, "APPEND", false);
    return false;
  }
  if (!FlushArea(a)) return false;
  if (a->shared) {
    for (;;) {
      bool had = a->append_locked;
      platform::Status s = had ? platform::Status::Ok() : a->dbf->file()->Lock(kLockBase, 1);
      if (s.ok()) {
        Fault f = a->dbf->RefreshCount();
        uint32_t n = a->dbf->record_count() + 1;
        std::string blank = a->dbf->BlankRecord();
        if (f.ok()) {
          a->rec = blank;
          a->recno = n;
          a->pending_append = true;
          a->eof = a->bof = false;
          f = a->Flush();
          if (!f.ok()) a->Discard();
        }
        if (!had) a->dbf->file()->Unlock(kLockBase, 1);
        if (!f.ok()) {
          Raise(f, kGenWrite, "APPEND", false);
          return false;
        }
        if (!a->file_locked && a->dbf->file()->Lock(kLockBase - n, 1).ok()) a->record_locks.insert(n);
        a->Load(n);
        return true;
      }
      Fault lf = Simple(kEngineLockRefused, a->path + ".dbf", "the append lock is held by another user");
      lf.os_code = 0;
      if (!Raise(lf, kGenAppendLock, "APPEND", true)) return false;
    }
  }
  a->rec = a->dbf->BlankRecord();
  a->pending_append = true;
  a->dirty = false;
  a->old_keys.reset();
  a->recno = a->dbf->record_count() + 1;
  a->eof = a->bof = false;
  a->found = false;
  a->cursor_synced = false;
  return true;
}

bool WorkAreas::AppendBlank() {
  last_error_ = 0;
  SetNetErr(false);
  Area* a = Current();
  if (!a) {
    Raise(Simple(kEngineNotOpen, "", "no table is selected"), kGenNoTable, "APPEND", false);
    return false;
  }
  return AppendBlankIn(a);
}

bool WorkAreas::Deleted() const {
  Area* a = Current();
  return a && !a->AtEnd() && !a->rec.empty() && a->rec[0] == '*';
}

static bool SetMark(WorkAreas* w, Area* a, char mark) {
  (void)w;
  if (a->AtEnd() || a->rec[0] == mark) return true;
  Fault f = a->BeginChange();
  if (!f.ok()) return false;
  a->rec[0] = mark;
  return true;
}

bool WorkAreas::Delete() {
  last_error_ = 0;
  Area* a = Current();
  if (!a) return false;
  if (a->read_only) {
    Raise(Simple(kEngineReadOnly, a->path + ".dbf", "delete"), kGenReadOnly, "DELETE", false);
    return false;
  }
  if (!SetMark(this, a, '*')) return false;
  return true;
}

bool WorkAreas::Recall() {
  last_error_ = 0;
  Area* a = Current();
  if (!a) return false;
  if (a->read_only) {
    Raise(Simple(kEngineReadOnly, a->path + ".dbf", "recall"), kGenReadOnly, "RECALL", false);
    return false;
  }
  return SetMark(this, a, ' ');
}

bool WorkAreas::Zap() {
  last_error_ = 0;
  Area* a = Current();
  if (!a) return false;
  if (a->read_only) {
    Raise(Simple(kEngineReadOnly, a->path + ".dbf", "zap"), kGenReadOnly, "ZAP", false);
    return false;
  }
  if (a->shared && !a->file_locked) {
    Raise(Simple(kEngineLockRefused, a->path + ".dbf", "removing every record needs an exclusive open"),
          kGenUnlocked, "ZAP", false);
    return false;
  }
  a->Discard();
  for (;;) {
    Fault f = a->dbf->Zap();
    if (f.ok() && a->memo) f = a->memo->Zap();
    if (f.ok() && a->cdx) {
      platform::Status s = a->cdx->Zap();
      if (!s.ok()) f = IndexFault(a->path + ".cdx", s);
    }
    if (f.ok()) break;
    if (!Raise(f, kGenWrite, "ZAP", f.engine != kEngineCorrupt)) return false;
  }
  a->First(false);
  return true;
}

bool WorkAreas::AppendFrom(const std::string& path, const std::function<bool()>& before_each) {
  last_error_ = 0;
  SetNetErr(false);
  Area* target = Current();
  if (!target) {
    Raise(Simple(kEngineNotOpen, "", "no table is selected"), kGenNoTable, "APPEND FROM", false);
    return false;
  }
  if (!FlushArea(target)) return false;
  int target_slot = selected_;
  int src_slot = 0;
  std::string temp_alias;
  for (int n = 1; temp_alias.empty(); ++n) {
    std::string candidate = "__APPFROM" + std::to_string(n);
    if (!SlotOf(candidate)) temp_alias = candidate;
  }
  if (!OpenInto(path, temp_alias, OpenMode::Exclusive, true, &src_slot)) {
    selected_ = target_slot;
    return false;
  }
  Area* src = AreaAt(src_slot);
  selected_ = target_slot;

  // Field pairs by name; a pair of the same type and shape is copied as bytes.
  struct Pair {
    const DbfField* from;
    const DbfField* to;
    bool raw;
  };
  std::vector<Pair> pairs;
  for (const DbfField& sf : src->dbf->fields()) {
    int t = target->FieldIndex(UpperAscii(sf.info.name));
    if (t < 0) continue;
    const DbfField& tf = target->dbf->fields()[size_t(t)];
    bool raw = sf.info.type == tf.info.type && sf.info.length == tf.info.length &&
               sf.info.decimals == tf.info.decimals && !IsMemoType(sf.info.type) && sf.null_bit < 0 &&
               tf.null_bit < 0 && sf.varlen_bit < 0 && tf.varlen_bit < 0;
    pairs.push_back({&sf, &tf, raw});
  }
  auto family = [](char t) -> char {
    switch (t) {
      case 'N': case 'F': case 'I': case 'B': case 'Y': return 'N';
      case 'D': case 'T': return 'D';
      case 'C': case 'V': case 'Q': case 'M': case 'G': case 'P': case 'W': return 'C';
      default: return t;
    }
  };

  // Into an empty exclusive table the tags are built from the sorted keys
  // after the last record instead of growing record by record (a candidate
  // tag must refuse each duplicate as it comes, so it keeps the slow way).
  // Each record still reaches the DBF whole, count last; if the program dies
  // before the end, the DBF holds every record appended so far and the index
  // file holds the tags as they were before the append (empty): it must be
  // rebuilt from the table.
  if (target->cdx && target->cdx->bound() && !target->shared && target->Count() == 0) {
    bool candidate = false;
    for (int t = 0; t < target->cdx->TagCount(); ++t) candidate = candidate || target->cdx->Tag(t).candidate;
    if (!candidate) target->deferred.emplace(size_t(target->cdx->TagCount()));
  }
  auto build = [&]() -> bool {
    Fault bf = target->BuildDeferred();
    if (bf.ok()) return true;
    Raise(bf, kGenWrite, "APPEND FROM", false);
    return false;
  };

  bool ok = true;
  Fault f = src->First(false);
  while (ok && f.ok() && !src->AtEnd()) {
    if (before_each && !before_each()) break;
    if (!AppendBlankIn(target)) {
      ok = false;
      break;
    }
    for (const Pair& p : pairs) {
      if (p.raw) {
        target->rec.replace(p.to->offset, size_t(p.to->info.length), src->rec, p.from->offset,
                            size_t(p.from->info.length));
        continue;
      }
      Fault rf;
      Value v = DecodeField(*src->dbf, *p.from, src->rec, src->memo.get(), &rf);
      if (!rf.ok()) {
        Raise(rf, kGenRead, p.from->info.name, false);
        continue;
      }
      if (family(p.from->info.type) != family(p.to->info.type) && !v.IsNil()) {
        Fault tf{kEngineDataType, 0, target->path + ".dbf",
                 "field " + p.to->info.name + " of type " + p.to->info.type + " cannot take field " +
                     p.from->info.name + " of type " + p.from->info.type};
        Raise(tf, kGenDataType, p.to->info.name, false);
        continue;
      }
      if (v.IsNil() && p.to->null_bit < 0) v = BlankValue(p.to->info);
      for (;;) {
        Fault wf = target->BeginChange();
        if (wf.ok()) {
          std::string rec = target->rec;
          wf = EncodeField(*target->dbf, *p.to, v, &rec, target->memo.get());
          if (wf.ok()) target->rec = std::move(rec);
        }
        if (wf.ok()) break;
        int gen = wf.engine == kEngineDataType ? kGenDataType : kGenWrite;
        if (!Raise(wf, gen, p.to->info.name, gen == kGenWrite && wf.engine != kEngineCorrupt)) break;
      }
    }
    if (!FlushArea(target)) {
      ok = false;
      break;
    }
    bool moved = false;
    f = src->Step(true, &moved);
  }
  if (!f.ok()) {
    Raise(f, kGenRead, "APPEND FROM", false);
    ok = false;
  }
  if (!build()) ok = false;
  CloseSlot(src_slot, true);
  selected_ = target_slot;
  return ok;
}

// ---- Locks -------------------------------------------------------------------------

bool WorkAreas::LockRecord(uint32_t recno) {
  last_error_ = 0;
  Area* a = Current();
  if (!a) return false;
  if (!a->shared || a->file_locked || a->record_locks.count(recno)) return true;
  if (!a->dbf->file()->Lock(kLockBase - recno, 1).ok()) {
    last_error_ = kEngineLockRefused;
    return false;
  }
  a->record_locks.insert(recno);
  // What another user wrote before the lock is what this record holds now.
  if (recno == a->recno && !a->dirty && !a->pending_append) a->Load(recno);
  return true;
}

bool WorkAreas::UnlockRecord(uint32_t recno) {
  last_error_ = 0;
  Area* a = Current();
  if (!a) return false;
  if (!a->record_locks.count(recno)) return true;
  if (recno == a->recno && !FlushArea(a)) return false;
  a->dbf->file()->Unlock(kLockBase - recno, 1);
  a->record_locks.erase(recno);
  return true;
}

bool WorkAreas::LockFile() {
  last_error_ = 0;
  Area* a = Current();
  if (!a) return false;
  if (!a->shared || a->file_locked) return true;
  if (!a->dbf->file()->Lock(kFileLockStart, kLockBase - kFileLockStart).ok()) {
    last_error_ = kEngineLockRefused;
    return false;
  }
  // The file lock covers every record lock this handle held.
  for (uint32_t n : a->record_locks) a->dbf->file()->Unlock(kLockBase - n, 1);
  a->record_locks.clear();
  a->file_locked = true;
  a->dbf->RefreshCount();
  return true;
}

bool WorkAreas::LockAppend() {
  last_error_ = 0;
  Area* a = Current();
  if (!a) return false;
  if (!a->shared || a->append_locked) return true;
  if (!a->dbf->file()->Lock(kLockBase, 1).ok()) {
    last_error_ = kEngineLockRefused;
    return false;
  }
  a->append_locked = true;
  return true;
}

void WorkAreas::UnlockAppend() {
  Area* a = Current();
  if (!a || !a->append_locked) return;
  a->dbf->file()->Unlock(kLockBase, 1);
  a->append_locked = false;
}

void WorkAreas::UnlockAll() {
  last_error_ = 0;
  Area* a = Current();
  if (!a || !a->shared) return;
  FlushArea(a);
  if (a->cdx) a->cdx->Flush();
  for (uint32_t n : a->record_locks) a->dbf->file()->Unlock(kLockBase - n, 1);
  a->record_locks.clear();
  if (a->file_locked) a->dbf->file()->Unlock(kFileLockStart, kLockBase - kFileLockStart);
  a->file_locked = false;
  UnlockAppend();
}

bool WorkAreas::IsShared() const {
  Area* a = Current();
  return a && a->shared;
}

bool WorkAreas::IsReadOnly() const {
  Area* a = Current();
  return a && a->read_only;
}

// ---- State ---------------------------------------------------------------------------

std::vector<AreaInfo> WorkAreas::OpenAreas() const {
  std::vector<AreaInfo> out;
  for (int s = 1; s <= kSlots; ++s) {
    Area* a = AreaAt(s);
    if (!a) continue;
    AreaInfo i;
    i.slot = s;
    i.alias = a->alias;
    i.path = a->path;
    i.current = s == selected_;
    i.recno = a->recno;
    i.reccount = a->Count();
    i.bof = a->bof;
    i.eof = a->eof;
    i.order = a->order;
    if (a->cdx) {
      for (int t = 0; t < a->cdx->TagCount(); ++t) {
        const cdx::TagInfo& ti = a->cdx->Tag(t);
        i.orders.push_back({ti.name, ti.key_expr, ti.for_expr, ti.unique || ti.candidate, ti.descending});
      }
    }
    out.push_back(std::move(i));
  }
  return out;
}

std::string WorkAreas::TablePath() const {
  Area* a = Current();
  return a ? a->path : std::string();
}

}  // namespace kx::tables
