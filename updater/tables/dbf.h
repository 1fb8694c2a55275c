// DBF table files: dBase III, FoxPro 2 and Visual FoxPro.
//
// Layout, as read and written here (all integers little-endian):
//   header (32 bytes): 0 version byte; 1-3 date of the last update (year
//     modulo 100, month, day); 4-7 record count; 8-9 header length;
//     10-11 record length; 28 flags (0x01 structural CDX, 0x02 memo file,
//     0x04 database container); 29 code page mark (0x03 Windows-1252).
//   field descriptors (32 bytes each) from offset 32 up to a 0x0D byte: 0-10
//     name (NUL-padded), 11 type, 12-15 offset in the record (Visual FoxPro),
//     16 length, 17 decimals, 18 flags (0x01 system, 0x02 nullable, 0x04
//     binary).
//   Visual FoxPro: 263 bytes of database backlink after the 0x0D.
//   records from the header length on: a deleted mark (' ' or '*') and the
//     fields in order; then, usually, a 0x1A end-of-file byte.
//
// Visual FoxPro keeps a hidden system field "_NullFlags" (type '0') with one
// bit per nullable field (and one per variable-length V or Q field, before
// its null bit), least significant bit first; it is not one of the fields
// that callers see.
//
// Consistency on disk: an appended record is written (data and end byte)
// before the header's count is raised, so the count never covers a record
// that is not all there.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "updater/tables/fault.h"
#include "updater/tables/workareas.h"

namespace kx::tables {

struct DbfField {
  FieldInfo info;
  uint32_t offset = 0;  // of its first byte in the record (the mark is byte 0)
  uint8_t flags = 0;
  int null_bit = -1;    // bit of the null flag in _NullFlags, -1 when none
  int varlen_bit = -1;  // bit of the "shorter than its width" flag (V, Q)
};

// Memo pointer width: 4 binary bytes (Visual FoxPro) or 10 digits (older).
bool IsMemoType(char type);

class DbfFile {
 public:
  // Opens `path` (the full file name) and checks the header against the
  // file: lengths, field descriptors, record count within the file size.
  // A failure of the system's open is a fault with its Windows code; a
  // header that does not hold together is kEngineCorrupt naming the defect.
  static Fault Open(platform::FileSystem* fs, const std::string& path, bool read_only,
                    platform::Share share, std::unique_ptr<DbfFile>* out);
  // Checks a header image (as the first bytes of a file of `file_size`
  // bytes) and fills `out`; the reader of Open and of the fuzz target.
  static Fault Parse(const std::string& path, const std::string& image, uint64_t file_size,
                     DbfFile* out);
  // Writes a new, empty table file with the given fields, replacing an
  // existing file. Visual FoxPro layout when a field needs it (I B Y T,
  // nullable fields) or `vfp`; otherwise FoxPro 2 (0xF5) with a memo, dBase
  // III (0x03) without. `with_cdx` sets the structural-index flag.
  static Fault Create(platform::FileSystem* fs, const std::string& path,
                      const std::vector<FieldInfo>& fields, bool vfp, bool with_cdx);
  // The header image Create writes (for tests and tools).
  static Fault MakeHeader(const std::vector<FieldInfo>& fields, bool vfp, bool with_cdx,
                          std::string* image);

  const std::string& path() const { return path_; }
  const std::vector<DbfField>& fields() const { return fields_; }
  const DbfField* null_flags() const { return has_null_flags_ ? &null_flags_ : nullptr; }
  uint8_t version() const { return version_; }
  bool is_vfp() const { return version_ == 0x30 || version_ == 0x31 || version_ == 0x32; }
  bool cdx_flag() const { return (flags_ & 0x01) != 0; }
  bool has_memo_fields() const;
  uint32_t record_count() const { return count_; }
  uint32_t record_length() const { return record_length_; }
  uint32_t header_length() const { return header_length_; }
  uint8_t code_page() const { return code_page_; }
  platform::File* file() const { return file_.get(); }
  bool read_only() const { return read_only_; }

  // Reads record `recno` (1..record_count()) into *rec.
  Fault Read(uint32_t recno, std::string* rec);
  // Overwrites record `recno` (1..record_count()) with `rec`.
  Fault Write(uint32_t recno, const std::string& rec);
  // Adds `rec` as record record_count() + 1: the data and the end byte
  // first, then the header's count and date.
  Fault Append(const std::string& rec);
  // Cuts the file to its header (count 0, end byte).
  Fault Zap();
  // Reads the record count of the header again (shared opens, where other
  // programs append). A count beyond the file is a fault.
  Fault RefreshCount();
  // The record of blanks of this structure.
  std::string BlankRecord() const;
  // Stops using the read cache (shared opens, where others write).
  void DisableCache() { no_cache_ = true; cache_records_ = 1; cache_.clear(); cache_count_ = 0; }

 private:
  Fault WriteHeaderCount();

  std::string path_;
  std::unique_ptr<platform::File> file_;
  bool read_only_ = true;
  uint8_t version_ = 0;
  uint8_t flags_ = 0;
  uint8_t code_page_ = 0;
  uint32_t count_ = 0;
  uint32_t header_length_ = 0;
  uint32_t record_length_ = 0;
  std::vector<DbfField> fields_;
  DbfField null_flags_;
  bool has_null_flags_ = false;
  bool date_written_ = false;
  // Read cache: records [cache_first_, cache_first_ + cache_count_).
  std::string cache_;
  uint32_t cache_first_ = 0;
  uint32_t cache_count_ = 0;
  uint32_t cache_records_ = 0;
  bool no_cache_ = false;
  uint32_t last_read_ = 0;
};

}  // namespace kx::tables
