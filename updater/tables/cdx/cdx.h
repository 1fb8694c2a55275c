// Compound index files in the compact CDX format of FoxPro: a compound header
// whose own B-tree lists the tags by name, and per tag a 512-byte header, an
// expression pool and a B-tree of 512-byte pages (compact leaves, interior
// nodes of full keys). The file layout is written down in cdx_file.cpp.
//
// Keys are byte strings of the tag's key length, compared as unsigned bytes;
// equal keys order by ascending record number. A descending tag is stored in
// ascending order and walked from the end.
//
// Not thread-safe. Every failure is returned as a Status whose message names
// the file and what is wrong. A file found corrupt is never written: after a
// corruption error every write call fails with kErrCorrupt.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/value.h"
#include "platform/file_system.h"
#include "platform/status.h"
#include "updater/tables/cdx/expr.h"

namespace kx::cdx {

using kx::platform::Status;

// Error codes of the index layer (beside the Windows codes of file failures).
inline constexpr uint32_t kErrCorrupt = 0x20002;       // structure broken; message says where
inline constexpr uint32_t kErrDuplicateKey = 0x20003;  // a candidate tag already holds the key
inline constexpr uint32_t kErrUnsupported = 0x20004;   // e.g. writing a GENERAL-collation tag
inline constexpr uint32_t kErrBadArgument = 0x20005;   // wrong tag number, key length ...

enum class Collation { Machine, General };

// What a tag header states, plus what binding its expressions decided.
struct TagInfo {
  std::string name;        // upper case, at most 10 characters
  std::string key_expr;    // as stored
  std::string for_expr;    // empty when the tag has no FOR clause
  bool unique = false;
  bool candidate = false;  // a unique key that refuses duplicates
  bool descending = false;
  bool nullable = false;   // keys carry a leading byte: 0x80 value present, 0x00 null
  int key_length = 0;      // stored bytes per key, null byte included
  // Key type: 'C' character, 'N' number (N, F, B), 'D' date, 'L' logical,
  // 'I' integer, 'Y' currency, 'T' datetime. Known only after Bind(); '?'
  // before (keys then decompress as character keys).
  char key_type = '?';
  Collation collation = Collation::Machine;
  uint32_t header_offset = 0;  // file offset of the tag header
};

// A new tag for CdxFile::AddTag.
struct TagSpec {
  std::string name;  // 1..10 characters: letters, digits, '_'; stored upper case
  std::string key_expr;
  std::string for_expr;  // empty: no FOR clause
  bool unique = false;
  bool candidate = false;
  bool descending = false;
  Collation collation = Collation::Machine;
};

// The sortable key bytes of `value` for `tag` (its key type, length,
// collation and nullability):
//  C: the text padded with blanks or cut to the key length (GENERAL: two
//     bytes per character, weights then accents, padded with 0x00);
//  N, D: an 8-byte big-endian IEEE double, sign bit flipped when positive,
//     every bit flipped when negative (dates as Julian day numbers, the empty
//     date as 0);
//  I: 4 bytes big-endian with the top bit flipped;
//  Y: the amount x 10000 as a 64-bit big-endian integer, sign bit flipped;
//  T: as N, of the Julian day number + time of day / 86400000;
//  L: "T" or "F" (a blank logical is "F");
//  nullable tags: one more byte in front, 0x80 when a value is present; a
//     null (Nil) gives 0x00 followed by zero bytes.
// A value of the wrong type returns an error. Also used to build seek keys.
Status EncodeKey(const kx::Value& value, const TagInfo& tag, std::string* key);

class CdxFile;

// A position in one tag, in walk order (descending tags from the highest
// stored key). A cursor stays usable across changes of the index: it keeps
// its (key, record) and finds its place again after a change. A cursor must
// not outlive its CdxFile.
class Cursor {
 public:
  virtual ~Cursor() = default;
  // Moves to the first / last entry in walk order. Valid() is false when the
  // tag is empty.
  virtual Status First() = 0;
  virtual Status Last() = 0;
  // Moves one entry on / back in walk order; past either end Valid() turns
  // false. REQUIRES: Valid().
  virtual Status Next() = 0;
  virtual Status Prev() = 0;
  // Positions at the first entry in walk order whose key starts with `key`
  // (a shorter key is a partial key) and sets *found. When no key starts with
  // it, positions where such a key would be walked (soft seek: the next
  // entry in walk order; Valid() false past the end) and sets *found false.
  virtual Status Seek(std::string_view key, bool* found) = 0;
  // Positions at the entry (key, recno) exactly; *found false (and Valid()
  // false) when the tag does not hold it.
  virtual Status SeekEntry(std::string_view key, uint32_t recno, bool* found) = 0;
  virtual bool Valid() const = 0;
  // The current entry. REQUIRES: Valid().
  virtual uint32_t recno() const = 0;
  virtual const std::string& key() const = 0;
};

// One tag's keys of one record: nullopt when the FOR expression leaves the
// record out of the tag. Indexed like the tags.
using RecordKeys = std::vector<std::optional<std::string>>;

class CdxFile {
 public:
  ~CdxFile();
  CdxFile(const CdxFile&) = delete;
  CdxFile& operator=(const CdxFile&) = delete;

  // Opens an existing index and reads its tag directory (every tag header is
  // checked; pages are read as they are needed). Access::Read opens it for
  // reading only: write calls then fail with kErrAccessDenied. On failure
  // leaves *result empty; a corrupt file gives kErrCorrupt naming the file.
  static Status Open(kx::platform::FileSystem* fs, const std::string& path, kx::platform::Access access,
                     kx::platform::Share share, std::unique_ptr<CdxFile>* result);
  // Creates (or replaces) an index file without tags, opened read-write.
  static Status Create(kx::platform::FileSystem* fs, const std::string& path, kx::platform::Share share,
                       std::unique_ptr<CdxFile>* result);

  const std::string& path() const;

  // Tags in creation order (the order of their headers in the file, as
  // Visual FoxPro numbers them); tag n of "select order n" is Tag(n - 1).
  int TagCount() const;
  // REQUIRES: 0 <= i < TagCount().
  const TagInfo& Tag(int i) const;
  // Index of the tag named `name` (case-insensitive); -1 when none.
  int FindTag(std::string_view name) const;
  // Tag indexes in the order of the compound header's name B-tree (the
  // other numbering convention).
  std::vector<int> TagsByName() const;

  // Compiles every tag's key and FOR expression against the table's fields
  // and sets each TagInfo::key_type (and checks the stored key length against
  // the expression). On failure returns kErrExpression with a message naming
  // the tag and the expression, e.g. "tag FECHA, expression 'DTOS(FECHA)':
  // position 6: unknown field 'FECHA'"; the tags stay unbound.
  Status Bind(const FieldCatalog& catalog);
  bool bound() const;

  // The keys of the record in `ctx` for every tag (FOR expression applied).
  // REQUIRES: bound().
  Status ComputeKeys(const RecordContext& ctx, RecordKeys* keys) const;

  // Adds a new, empty tag (its header after the last one; name B-tree
  // updated). Its expressions are compiled against `catalog`, which decides
  // the key type and length. On success stores its index in *index; the
  // caller then inserts the keys of every record (InsertRecord). Fails for a
  // duplicate name, a bad expression, or a GENERAL collation (kErrUnsupported:
  // GENERAL keys are read but not written).
  Status AddTag(const TagSpec& spec, const FieldCatalog& catalog, int* index);

  // Adds the entry (key, recno) to tag `tag`. `key` must have the tag's key
  // length. A UNIQUE tag keeps one entry per key, that of the lowest record
  // number (a later insert of the same key with a higher number changes
  // nothing). A CANDIDATE tag refuses a second entry of a key with
  // kErrDuplicateKey and changes nothing. Adding an entry already present
  // changes nothing.
  Status Insert(int tag, std::string_view key, uint32_t recno);
  // Removes the entry (key, recno); absent entries are not an error.
  Status Remove(int tag, std::string_view key, uint32_t recno);

  // Every tag at once for one record. InsertRecord: a new record (append).
  // UpdateRecord: the record's keys before and after a change (field write,
  // deletion mark, recall); only the tags whose key changed are touched.
  // RemoveRecord: takes the record out of every tag.
  Status InsertRecord(uint32_t recno, const RecordKeys& keys);
  Status UpdateRecord(uint32_t recno, const RecordKeys& old_keys, const RecordKeys& new_keys);
  Status RemoveRecord(uint32_t recno, const RecordKeys& keys);

  // Every entry of a tag, for BuildTag and ReadAll.
  struct Entry {
    std::string key;
    uint32_t recno;
  };
  // Fills the empty tag `tag` with `entries` (in any order; keys of the tag's
  // key length) in one pass from the leaves up, each page as full as it
  // goes: the bulk form of inserting every entry. A UNIQUE tag keeps the
  // lowest record number of each key; a CANDIDATE tag with a repeated key
  // fails with kErrDuplicateKey and changes nothing, as does a tag that is
  // not empty (kErrBadArgument).
  Status BuildTag(int tag, std::vector<Entry> entries);

  // Empties every tag (remove all records): each tag keeps its header and
  // gets one empty root leaf; the freed pages go to the file's free list.
  Status Zap();

  // A new cursor on tag `tag`, not positioned (Valid() false).
  // REQUIRES: 0 <= tag < TagCount().
  std::unique_ptr<Cursor> NewCursor(int tag);

  // Writes every pending change to the file and makes it durable.
  // Changes are also written on destruction (errors then are lost: call Flush
  // first where they matter).
  Status Flush();

  // Verifies the structure of every tag: node attributes and counts, key
  // decompression, free-space counts, sibling chains both ways, interior
  // keys equal to the last key of their child, keys in order (unique tags:
  // no repeated key), no page reached twice, page offsets inside the file,
  // the free list. On failure returns kErrCorrupt naming the tag and page.
  Status Check();

  // Every entry of tag `tag` in walk order (descending tags from the highest
  // key), for listings and checks.
  Status ReadAll(int tag, std::vector<Entry>* entries);

  class Impl;

 private:
  explicit CdxFile(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace kx::cdx
