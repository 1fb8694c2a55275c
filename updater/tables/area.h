// One open table: its files, its position and its pending record. The work
// areas (workareas.cpp) drive it; tools of the engine (dbftool) read it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "updater/tables/cdx/cdx.h"
#include "updater/tables/cdx/expr.h"
#include "updater/tables/dbf.h"
#include "updater/tables/fault.h"
#include "updater/tables/fpt.h"
#include "updater/tables/workareas.h"

namespace kx::tables {

// Lock offsets of the Visual FoxPro convention: the append lock on the byte
// at kLockBase, record n on the byte at kLockBase - n, the whole file on the
// range below kLockBase that holds every record lock.
inline constexpr uint64_t kLockBase = 0x7FFFFFFEull;
inline constexpr uint64_t kFileLockStart = 0x40000000ull;

class Area final : public cdx::RecordContext {
 public:
  Area() = default;
  ~Area() override;

  // ---- cdx::RecordContext, over the record image in eval_rec_ ----
  int FieldCount() const override { return int(catalog_.size()); }
  int FieldIndex(std::string_view name) const override;
  const cdx::FieldInfo& Field(int i) const override { return catalog_[size_t(i)]; }
  Value FieldValue(int i) const override;
  uint32_t RecNo() const override { return eval_recno_; }
  bool Deleted() const override { return eval_rec_ && !eval_rec_->empty() && (*eval_rec_)[0] == '*'; }

  // The keys of record image `rec` (number `recno`) for every tag.
  Fault KeysOf(const std::string& rec, uint32_t recno, cdx::RecordKeys* keys);

  // Number of records including a pending append.
  uint32_t Count() const { return dbf->record_count() + (pending_append ? 1 : 0); }
  bool AtEnd() const { return recno < 1 || recno > Count(); }
  // Loads record `n` (or the end position) as the current one. REQUIRES: no
  // pending change.
  Fault Load(uint32_t n);
  // Writes the pending record: memo blocks are already out; the index keys,
  // then the record (an appended one: data, end byte, header count).
  Fault Flush();
  // Drops a pending change (the record as it is on disk stays).
  void Discard();
  // The record about to change: keeps its old keys once.
  Fault BeginChange();

  // Walks. `forward`: one visible record on in the current order.
  Fault First(bool from_end);
  Fault Step(bool forward, bool* moved);
  Fault SyncCursor();

  std::string alias;
  std::string path;  // without extension
  int slot = 0;
  bool shared = false;
  bool read_only = false;
  std::unique_ptr<DbfFile> dbf;
  std::unique_ptr<MemoFile> memo;
  std::unique_ptr<cdx::CdxFile> cdx;
  std::vector<cdx::FieldInfo> catalog_;
  int order = 0;
  std::unique_ptr<cdx::Cursor> cursor;
  bool cursor_synced = false;

  uint32_t recno = 0;
  std::string rec;
  bool bof = false;
  bool eof = true;
  bool found = false;
  bool dirty = false;
  bool pending_append = false;
  std::optional<cdx::RecordKeys> old_keys;

  // Bulk filling of an emptied table (append from): while `deferred` holds
  // one list per tag, appended records keep their keys here instead of
  // inserting them, and BuildDeferred builds every tag from them at the end.
  std::optional<std::vector<std::vector<cdx::CdxFile::Entry>>> deferred;
  Fault BuildDeferred();
  // After this record gave `key` of UNIQUE tag `tag` up: gives the entry to
  // the lowest-numbered other record with that key, when the tag lost it.
  Fault Reown(int tag, const std::string& key);

  std::set<uint32_t> record_locks;
  bool file_locked = false;
  bool append_locked = false;

 private:
  Fault CursorFault(const platform::Status& s) const;
  bool Visible(uint32_t n, Fault* f);
  std::string visible_rec_;
  mutable const std::string* eval_rec_ = nullptr;
  uint32_t eval_recno_ = 0;
};

// A fault from an index call.
Fault IndexFault(const std::string& path, const platform::Status& s);

}  // namespace kx::tables
