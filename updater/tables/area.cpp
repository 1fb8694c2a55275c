#include "updater/tables/area.h"

#include "updater/tables/codec.h"

namespace kx::tables {

Fault IndexFault(const std::string& path, const platform::Status& s) {
  Fault f;
  f.file = path;
  f.what = s.message();
  if (s.code() == cdx::kErrCorrupt) {
    f.engine = kEngineCorrupt;
  } else if (s.code() == cdx::kErrDuplicateKey) {
    f.engine = kEngineDuplicateKey;
  } else if (s.code() == cdx::kErrExpression || s.code() == cdx::kErrUnsupported) {
    f.engine = kEngineBadExpression;
  } else if (s.code() < 0x10000) {
    f.engine = kEngineReadWrite;
    f.os_code = s.code();
  } else {
    f.engine = kEngineCorrupt;
  }
  return f;
}

Area::~Area() = default;

Fault Area::CursorFault(const platform::Status& s) const {
  return IndexFault(path + ".cdx", s);
}

int Area::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < catalog_.size(); ++i) {
    const std::string& n = catalog_[i].name;
    if (n.size() != name.size()) continue;
    bool same = true;
    for (size_t k = 0; k < n.size() && same; ++k) {
      char a = n[k], b = name[k];
      if (a >= 'a' && a <= 'z') a = char(a - 32);
      if (b >= 'a' && b <= 'z') b = char(b - 32);
      same = a == b;
    }
    if (same) return int(i);
  }
  return -1;
}

Value Area::FieldValue(int i) const {
  if (!eval_rec_ || i < 0 || size_t(i) >= dbf->fields().size()) return Value();
  const DbfField& f = dbf->fields()[size_t(i)];
  if (f.info.type == 'T' && !IsNullField(*dbf, f, *eval_rec_)) {
    // Datetimes as the index wants them: the day number and the time of day
    // in milliseconds as a fraction of the day (0 when empty).
    const auto* p = reinterpret_cast<const unsigned char*>(eval_rec_->data()) + f.offset;
    int32_t jdn = static_cast<int32_t>(GetLe32(p));
    uint32_t ms = GetLe32(p + 4);
    return Value::Number(jdn > 0 ? double(jdn) + double(ms) / 86400000.0 : 0.0);
  }
  Fault ignored;
  return DecodeField(*dbf, f, *eval_rec_, memo.get(), &ignored);
}

Fault Area::KeysOf(const std::string& r, uint32_t n, cdx::RecordKeys* keys) {
  keys->clear();
  if (!cdx || !cdx->bound()) return Fault::Ok();
  eval_rec_ = &r;
  eval_recno_ = n;
  platform::Status s = cdx->ComputeKeys(*this, keys);
  eval_rec_ = nullptr;
  if (!s.ok()) return CursorFault(s);
  return Fault::Ok();
}

Fault Area::Load(uint32_t n) {
  found = false;
  if (n >= 1 && n <= Count()) {
    Fault f = dbf->Read(n, &rec);
    if (!f.ok()) {
      recno = Count() + 1;
      rec = dbf->BlankRecord();
      eof = true;
      return f;
    }
    recno = n;
    eof = false;
  } else {
    recno = Count() + 1;
    rec = dbf->BlankRecord();
    eof = true;
  }
  cursor_synced = false;
  return Fault::Ok();
}

Fault Area::BeginChange() {
  if (dirty || pending_append) {
    dirty = true;
    return Fault::Ok();
  }
  if (cdx && cdx->bound()) {
    cdx::RecordKeys keys;
    Fault f = KeysOf(rec, recno, &keys);
    if (!f.ok()) return f;
    old_keys = std::move(keys);
  }
  dirty = true;
  return Fault::Ok();
}

void Area::Discard() {
  if (pending_append) {
    pending_append = false;
    dirty = false;
    old_keys.reset();
    Load(recno);  // now beyond the count: the end position
    return;
  }
  if (dirty) {
    dirty = false;
    old_keys.reset();
    uint32_t n = recno;
    Load(n);
  }
}

Fault Area::Flush() {
  if (!dirty && !pending_append) return Fault::Ok();
  bool indexed = cdx && cdx->bound();
  cdx::RecordKeys new_keys;
  if (indexed) {
    Fault f = KeysOf(rec, recno, &new_keys);
    if (!f.ok()) return f;
  }
  if (indexed && pending_append && deferred) {
    Fault f = dbf->Append(rec);
    if (!f.ok()) return f;
    for (size_t t = 0; t < new_keys.size() && t < deferred->size(); ++t)
      if (new_keys[t]) (*deferred)[t].push_back({std::move(*new_keys[t]), recno});
    pending_append = false;
    dirty = false;
    old_keys.reset();
    cursor_synced = false;
    return Fault::Ok();
  }
  cdx::RecordKeys before;
  if (indexed && !pending_append && old_keys) before = *old_keys;
  before.resize(new_keys.size());
  // Index first, tag by tag, so that a refused key (a candidate tag's
  // duplicate) leaves every tag and the table as they were.
  std::vector<int> changed;
  auto undo = [&] {
    for (auto it = changed.rbegin(); it != changed.rend(); ++it) {
      size_t t = size_t(*it);
      if (new_keys[t]) cdx->Remove(*it, *new_keys[t], recno);
      if (before[t]) cdx->Insert(*it, *before[t], recno);
    }
  };
  for (size_t t = 0; t < new_keys.size(); ++t) {
    if (before[t] == new_keys[t] && !pending_append) continue;
    if (before[t]) {
      platform::Status s = cdx->Remove(int(t), *before[t], recno);
      if (!s.ok()) {
        undo();
        return CursorFault(s);
      }
    }
    if (new_keys[t]) {
      platform::Status s = cdx->Insert(int(t), *new_keys[t], recno);
      if (!s.ok()) {
        if (before[t]) cdx->Insert(int(t), *before[t], recno);
        undo();
        Fault f = CursorFault(s);
        if (f.engine == kEngineDuplicateKey)
          f.what = "tag " + cdx->Tag(int(t)).name + " already holds the key of record " + std::to_string(recno);
        return f;
      }
    }
    changed.push_back(int(t));
  }
  Fault f = pending_append ? dbf->Append(rec) : dbf->Write(recno, rec);
  if (!f.ok()) {
    undo();
    return f;
  }
  // A UNIQUE tag holds each key once, for the first record (in record order)
  // that has it. When this record gave its key up, the next record with that
  // key takes the entry.
  for (int t : changed) {
    const cdx::TagInfo& info = cdx->Tag(t);
    if (!info.unique || info.candidate || !before[size_t(t)]) continue;
    f = Reown(t, *before[size_t(t)]);
    if (!f.ok()) return f;
  }
  pending_append = false;
  dirty = false;
  old_keys.reset();
  cursor_synced = false;
  return Fault::Ok();
}

Fault Area::Reown(int tag, const std::string& key) {
  bool held = false;
  std::unique_ptr<cdx::Cursor> c = cdx->NewCursor(tag);
  platform::Status s = c->Seek(key, &held);
  if (!s.ok()) return CursorFault(s);
  if (held && c->Valid() && c->key() == key) return Fault::Ok();
  std::string other;
  cdx::RecordKeys keys;
  for (uint32_t n = 1; n <= dbf->record_count(); ++n) {
    if (n == recno) continue;
    Fault f = dbf->Read(n, &other);
    if (!f.ok()) return f;
    f = KeysOf(other, n, &keys);
    if (!f.ok()) return f;
    if (size_t(tag) < keys.size() && keys[size_t(tag)] && *keys[size_t(tag)] == key) {
      s = cdx->Insert(tag, key, n);
      return s.ok() ? Fault::Ok() : CursorFault(s);
    }
  }
  return Fault::Ok();
}

Fault Area::BuildDeferred() {
  if (!deferred) return Fault::Ok();
  std::vector<std::vector<cdx::CdxFile::Entry>> lists = std::move(*deferred);
  deferred.reset();
  for (size_t t = 0; t < lists.size(); ++t) {
    platform::Status s = cdx->BuildTag(int(t), std::move(lists[t]));
    if (!s.ok()) return CursorFault(s);
  }
  cursor_synced = false;
  return Fault::Ok();
}

bool Area::Visible(uint32_t n, Fault* f) {
  *f = dbf->Read(n, &visible_rec_);
  if (!f->ok()) return false;
  return visible_rec_.empty() || visible_rec_[0] != '*';
}

Fault Area::First(bool from_end) {
  bof = eof = false;
  found = false;
  uint32_t count = Count();
  if (order == 0) {
    Fault f;
    if (!from_end) {
      for (uint32_t n = 1; n <= count; ++n) {
        if (Visible(n, &f)) return Load(n);
        if (!f.ok()) return f;
      }
    } else {
      for (uint32_t n = count; n >= 1; --n) {
        if (Visible(n, &f)) return Load(n);
        if (!f.ok()) return f;
      }
    }
    Load(0);
    bof = eof = true;
    return Fault::Ok();
  }
  platform::Status s = from_end ? cursor->Last() : cursor->First();
  if (!s.ok()) return CursorFault(s);
  while (cursor->Valid()) {
    uint32_t n = cursor->recno();
    if (n < 1 || n > count) return Fault{kEngineCorrupt, 0, path + ".cdx",
                                         "index holds record " + std::to_string(n) + " of " + std::to_string(count)};
    Fault f;
    if (Visible(n, &f)) {
      f = Load(n);
      cursor_synced = true;
      return f;
    }
    if (!f.ok()) return f;
    s = from_end ? cursor->Prev() : cursor->Next();
    if (!s.ok()) return CursorFault(s);
  }
  Load(0);
  bof = eof = true;
  return Fault::Ok();
}

Fault Area::SyncCursor() {
  // Exactly on the current record's entry, or (a record its tag leaves out)
  // where its key would be.
  cursor_synced = true;
  if (AtEnd()) return Fault::Ok();
  cdx::RecordKeys keys;
  Fault f = KeysOf(rec, recno, &keys);
  if (!f.ok()) return f;
  size_t t = size_t(order - 1);
  if (t < keys.size() && keys[t]) {
    bool hit = false;
    platform::Status s = cursor->SeekEntry(*keys[t], recno, &hit);
    if (!s.ok()) return CursorFault(s);
    if (hit) return Fault::Ok();
    s = cursor->Seek(*keys[t], &hit);
    if (!s.ok()) return CursorFault(s);
  }
  cursor_synced = false;  // soft position: the entry after the record
  return Fault::Ok();
}

Fault Area::Step(bool forward, bool* moved) {
  *moved = false;
  uint32_t count = Count();
  bof = false;
  if (order == 0) {
    Fault f;
    if (forward) {
      if (AtEnd()) {
        eof = true;
        return Fault::Ok();
      }
      for (uint32_t n = recno + 1; n <= count; ++n) {
        if (Visible(n, &f)) {
          *moved = true;
          return Load(n);
        }
        if (!f.ok()) return f;
      }
      Load(0);
      eof = true;
      return Fault::Ok();
    }
    uint32_t start = AtEnd() ? count : recno - 1;
    for (uint32_t n = start; n >= 1; --n) {
      if (Visible(n, &f)) {
        *moved = true;
        return Load(n);
      }
      if (!f.ok()) return f;
    }
    f = First(false);
    bof = true;
    return f;
  }
  // In tag order.
  platform::Status s;
  if (AtEnd()) {
    if (forward) {
      eof = true;
      return Fault::Ok();
    }
    s = cursor->Last();
    if (!s.ok()) return CursorFault(s);
  } else {
    bool exact = true;
    if (!cursor_synced) {
      Fault f = SyncCursor();
      if (!f.ok()) return f;
      exact = cursor_synced;
    }
    if (forward) {
      if (exact && cursor->Valid()) s = cursor->Next();
    } else {
      if (!cursor->Valid()) s = cursor->Last();
      else s = cursor->Prev();
    }
    if (!s.ok()) return CursorFault(s);
  }
  while (cursor->Valid()) {
    uint32_t n = cursor->recno();
    if (n < 1 || n > count) return Fault{kEngineCorrupt, 0, path + ".cdx",
                                         "index holds record " + std::to_string(n) + " of " + std::to_string(count)};
    Fault f;
    if (Visible(n, &f)) {
      f = Load(n);
      cursor_synced = true;
      *moved = true;
      return f;
    }
    if (!f.ok()) return f;
    s = forward ? cursor->Next() : cursor->Prev();
    if (!s.ok()) return CursorFault(s);
  }
  if (forward) {
    Load(0);
    eof = true;
    return Fault::Ok();
  }
  Fault f = First(false);
  bof = true;
  return f;
}

}  // namespace kx::tables
