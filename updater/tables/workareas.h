// Work areas: the table engine as the rest of the system sees it.
//
// A table is a DBF file (dBase III, FoxPro or Visual FoxPro) with an optional
// FPT memo file and an optional structural CDX index of the same name. Tables
// are named by path without extension ("C:\KX\DBF\Empresa"); ".dbf", ".fpt" and
// ".cdx" are added here. An open table sits in a numbered slot (1 to 255) under
// an alias; one slot is the current selection, and every operation below acts
// on the currently selected table.
//
// Failures are returned, not thrown. An unexpected failure (a file that cannot
// be opened or created, a refused append lock, a value of the wrong type for
// its field, a file found corrupt, a failed read or write) is raised as an
// ErrorRecord through kx::RaiseError with sub-system "DBFCDX". The handler's
// answer Retry repeats the operation (where the record says can_retry);
// Default gives it up, and the operation returns false (or an empty value).
// While no handler is installed, the engine applies the handler's silent
// courses itself (errors/record/silent_courses.h): failed opens and creates
// with an expected Windows code and refused append locks set the network-error
// flag and make the operation return false; anything else prints its
// description line and ends the program with exit code 1.
//
// Consistency: after every record write the DBF is consistent (the header's
// record count agrees with the data), so a crash loses at most the record
// being written. Nothing is written into a file found corrupt.
//
// Not thread-safe; the system runs one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/value.h"
#include "platform/file_system.h"
#include "updater/tables/fault.h"

namespace kx::tables {

// The engine's own error numbers, as its last-error register holds them. The
// handler maps four of them to Windows codes (5004 -> 2, 7004 -> 4,
// 7008 -> 5, 7040 -> 5) when an error record carries no Windows code.
enum EngineError : int {
  kEngineOk = 0,
  kEngineFileNotFound = 5004,     // the table's file (or its folder) is missing
  kEngineTooManyFiles = 7004,     // the system refused another open file
  kEngineAccessDenied = 7008,     // access denied / the file is held by someone else
  kEngineLockRefused = 7040,      // a record, file or append lock was refused
  kEngineCorrupt = 7100,          // a DBF, FPT or CDX file is corrupt or truncated
  kEngineDataType = 1020,         // a value of the wrong type or too long for its field
  kEngineReadWrite = 7200,        // a read or write of an open file failed
  kEngineNotOpen = 7300,          // no table is selected, or the alias is unknown
  kEngineAliasInUse = 7301,       // the alias is already open in another slot
  kEngineNoOrder = 7302,          // order number beyond the table's tags
  kEngineReadOnly = 7303,         // a write into a table opened read-only
  kEngineNotLocked = 7304,        // a write into a shared table's record without its lock
  kEngineDuplicateKey = 7105,     // a candidate tag already holds the record's key
  kEngineBadExpression = 7110,    // an index expression names what the table lacks
};

// How a table is opened.
enum class OpenMode {
  Exclusive,  // no other handle (in this process or another) may open it
  Shared,     // others may open it shared too; writers lock records first
};

// One field of a table's structure.
struct FieldInfo {
  std::string name;      // upper case, as stored (at most 10 characters)
  char type = 'C';       // C N F D L M I B Y T G (also V, Q, W for VFP varchars/blobs)
  int length = 0;        // bytes in the record
  int decimals = 0;      // for N, F, B, Y
  bool nullable = false; // VFP: the field may hold a null
};

// One tag of the structural index, for reports and tools.
struct OrderInfo {
  std::string tag;
  std::string key;       // key expression
  std::string for_expr;  // FOR expression, empty when none
  bool unique = false;
  bool descending = false;
};

// The state of one open table, as the error report lists it.
struct AreaInfo {
  int slot = 0;
  std::string alias;
  std::string path;          // as given to Open, without extension
  bool current = false;
  uint32_t recno = 0;
  uint32_t reccount = 0;
  bool bof = false;
  bool eof = false;
  int order = 0;             // active order, 0 for natural order
  std::vector<OrderInfo> orders;
};

class Area;  // one open table (defined in the engine's sources)

// The set of work areas of one program. The process-wide one is Engine();
// tests may make their own, with a file system of their choice.
class WorkAreas {
 public:
  // `fs` is used for every file the engine touches; it must outlive this object.
  explicit WorkAreas(platform::FileSystem* fs = platform::DefaultFileSystem());
  ~WorkAreas();  // closes every table
  WorkAreas(const WorkAreas&) = delete;
  WorkAreas& operator=(const WorkAreas&) = delete;

  // Replaces the file system. REQUIRES: no table open.
  void SetFileSystem(platform::FileSystem* fs);
  platform::FileSystem* file_system() const { return fs_; }

  // ---- Opening and selecting -------------------------------------------------

  // Opens `path` (without extension) under `alias` (case-insensitive; empty
  // means the file's base name) in the lowest free slot, and selects it. The
  // structural index (same name, ".cdx") opens with it when the header's flag
  // announces it and the file exists; a missing one is not an error (the
  // table opens without index). No order is active; the table is positioned
  // on the first visible record. The network-error flag is cleared first.
  // On failure the alias stays free, the previous selection is kept, an error
  // record is raised (gen code 21, the Windows code, the engine's number) and
  // the result is false (with the handler's default, the flag is then set).
  // An alias already open fails with kEngineAliasInUse.
  bool Open(const std::string& path, const std::string& alias, OpenMode mode = OpenMode::Exclusive,
            bool read_only = false);
  // Creates a new empty table with the given structure (DBF, and an FPT when
  // a memo field exists; FoxPro 2 header, or VFP when a field needs it),
  // replacing an existing one, and no index. Does not open it. Failures are
  // raised with gen code 20.
  bool Create(const std::string& path, const std::vector<FieldInfo>& fields);

  // Selects the table open under `alias`; false (nothing changes, nothing is
  // raised) when no table has that alias.
  bool Select(const std::string& alias);
  // Selects slot 1..255 (an empty slot may be selected; then nothing is current).
  bool SelectSlot(int slot);
  int SelectedSlot() const;
  // Alias of the current table; empty when the selected slot is free.
  std::string SelectedAlias() const;
  bool IsOpen(const std::string& alias) const;
  // Slot of the table open under `alias`, 0 when none.
  int SlotOf(const std::string& alias) const;

  // Writes the pending record and closes the current table (its DBF, FPT and
  // CDX). The selected slot becomes free; nothing else is selected.
  void Close();
  // Closes the table open under `alias`, if any; the selection stays on its slot.
  void Close(const std::string& alias);
  // Closes every table.
  void CloseAll();

  // ---- Walking (current table) ------------------------------------------------

  // Makes tag n (1-based, in the structural index's order) the walking order;
  // 0 returns to natural (record number) order. Keeps the current record.
  // n beyond the tags: raises kEngineNoOrder, returns false, order unchanged.
  bool SetOrder(int n);
  int Order() const;                 // 0 when natural order
  int OrderCount() const;            // tags of the structural index
  std::vector<OrderInfo> Orders() const;
  // Number of the tag named `tag` (case-insensitive), 0 when none.
  int OrderByName(const std::string& tag) const;

  // Every move writes the pending record first. Deleted records are skipped
  // by GoTop, GoBottom, Skip and Seek in every order.
  bool GoTop();
  bool GoBottom();
  // Moves n visible records forward (negative: back) in the current order.
  // Past the last one: Eof() is true and RecNo() is RecCount() + 1. Before the
  // first one: Bof() is true and the table stays on the first visible record.
  bool Skip(long n = 1);
  // Goes to record `recno` whatever its deleted mark; outside 1..RecCount()
  // it goes to the end position (Eof() true).
  bool GoTo(uint32_t recno);
  bool Eof() const;  // true past the last visible record, and with no table
  bool Bof() const;
  uint32_t RecNo() const;     // current record number; RecCount() + 1 at the end
  uint32_t RecCount() const;  // records in the file, deleted ones included

  // Looks `key` up in the current order (REQUIRES: an order is active): a text
  // key matches keys that begin with it, a number or date key must be equal.
  // Found: positions on the first visible record with that key and returns
  // true. Not found: goes to the end (Eof()), or with `soft` to the first key
  // above it, and returns false. Found() tells the last seek's outcome.
  bool Seek(const Value& key, bool soft = false);
  bool Found() const;

  // ---- Fields (current record) -------------------------------------------------

  int FieldCount() const;                      // 0 with no table
  // 1-based position of field `name` (case-insensitive, blanks around it
  // ignored); 0 when absent.
  int FieldPos(const std::string& name) const;
  FieldInfo Field(int pos) const;              // REQUIRES: 1 <= pos <= FieldCount()
  std::vector<FieldInfo> Fields() const;

  // The value of field `pos` of the current record: C as Text of the full
  // width, M (and G) as Memo, N F I B Y as Number with the field's decimals, D
  // as Date, L as Logical, T as the Date of its day. A null (VFP) reads as no
  // value. At the end position every field reads as its blank value. A
  // position outside the structure reads as no value. A bad memo pointer is
  // raised as kEngineCorrupt and reads as an empty memo.
  Value GetField(int pos);
  Value GetField(const std::string& name);  // no value when there is no such field

  // Stores `v` into field `pos` of the current record; the record reaches the
  // file when the table leaves the record, Commit() is called or the table is
  // closed. Text into C is cut to the width or padded with blanks; Text or Memo
  // into M is stored whole; Number into N F I B Y; Date into D (and T, at
  // midnight); Logical into L; no value into a nullable field stores a null.
  // Any other type, or a number that does not fit its numeric field, raises
  // gen code 33 with sub-code 1020 and stores nothing. Positions outside the
  // structure are ignored (true). At the end position nothing is stored (true).
  bool PutField(int pos, const Value& v);
  bool PutField(const std::string& name, const Value& v);  // unknown name: nothing stored

  // Writes the pending record (data, memo blocks, index keys) now.
  bool Commit();

  // ---- Records -----------------------------------------------------------------

  // Adds a record of blanks at the end and makes it current; RecCount()
  // counts it at once. On an exclusive table the new record reaches the file
  // (data first, then the header's count) when the record is left, with the
  // values written into it meanwhile; on a shared table it is written at
  // once, under the append lock, and keeps its record lock. Clears the
  // network-error flag first. A refused append lock raises gen code 40
  // (kEngineLockRefused) and returns false.
  bool AppendBlank();
  bool Deleted() const;    // the current record's deleted mark
  bool Delete();           // sets the deleted mark of the current record
  bool Recall();           // clears it
  // Removes every record: the DBF keeps its header with count 0, the memo file
  // keeps only its header, every tag of the index is emptied.
  // REQUIRES: exclusive open (a shared table answers kEngineLockRefused).
  bool Zap();

  // Opens `path` read-only and exclusively under a temporary alias, walks its
  // visible records from the top in natural order; before each record calls
  // `before_each` (when given) and stops when it returns false; adds each
  // record to the current table with every field copied to the field of the
  // same name (fields missing on either side are left out; values are
  // converted as PutField does). The other table is closed afterwards and the
  // selection is back on the current table. Clears the network-error flag
  // first. If the other table cannot be opened, nothing is added, the
  // failure goes the way of Open (the flag) and the result is false.
  bool AppendFrom(const std::string& path, const std::function<bool()>& before_each = {});

  // ---- Locks (shared opens) ----------------------------------------------------
  // Locks use the byte offsets of the FoxPro convention, so other xBase
  // programs and ours exclude each other. None of them waits: a lock held
  // elsewhere is refused at once (false, no error raised; the engine's last
  // error becomes kEngineLockRefused). On an exclusive table they succeed.

  bool LockRecord(uint32_t recno);   // adds the lock of one record
  bool UnlockRecord(uint32_t recno);
  bool LockFile();                   // the whole table
  bool LockAppend();                 // the append lock (AppendBlank takes it itself)
  void UnlockAppend();
  void UnlockAll();                  // every record, file and append lock of the current table
  bool IsShared() const;
  bool IsReadOnly() const;

  // ---- State ---------------------------------------------------------------------

  // The engine's most recent error number (EngineError), of the last failing
  // operation only: every operation clears it when it starts.
  int LastError() const { return last_error_; }
  // Every open table, by slot.
  std::vector<AreaInfo> OpenAreas() const;
  // The table path (without extension) of the current table; empty when none.
  std::string TablePath() const;

  // The current table's open state, for the engine's own helpers and tools;
  // nullptr when the selected slot is free.
  Area* Current() const;

 private:
  friend class Area;
  // Raises `f` as an error record; true when the handler asks for a retry.
  bool Raise(const Fault& f, int gen_code, const std::string& operation, bool can_retry);
  bool OpenInto(const std::string& path, const std::string& alias, OpenMode mode, bool read_only,
                int* slot_out);
  bool FlushArea(Area* a);
  bool AppendBlankIn(Area* a);
  void CloseSlot(int slot, bool report);
  Area* AreaAt(int slot) const;

  platform::FileSystem* fs_;
  int selected_ = 1;
  mutable int last_error_ = 0;
  std::vector<std::unique_ptr<Area>> slots_;  // index 0 is slot 1
};

// The process-wide work areas (on the default file system).
WorkAreas& Engine();

}  // namespace kx::tables
