#include "updater/tables/dbf.h"

#include <algorithm>
#include <cstring>
#include <ctime>

namespace kx::tables {
namespace {

constexpr uint32_t kMaxHeader = 65535;
constexpr uint32_t kCacheBytes = 64 * 1024;

Fault Corrupt(const std::string& path, std::string what) {
  Fault f;
  f.engine = kEngineCorrupt;
  f.file = path;
  f.what = std::move(what);
  return f;
}

Fault IoFault(const std::string& path, const platform::Status& s, const char* what) {
  Fault f;
  f.engine = kEngineReadWrite;
  f.os_code = s.code();
  f.file = path;
  f.what = std::string(what) + (s.message().empty() ? "" : " (" + s.message() + ")");
  return f;
}

bool KnownType(char t) { return std::strchr("CNFDLMGPIBYTVQW0", t) != nullptr && t != 0; }

// The valid widths of each type; an empty answer is fine.
std::string CheckWidth(const FieldInfo& f) {
  auto bad = [&] {
    return "field " + f.name + " of type " + f.type + " has width " + std::to_string(f.length);
  };
  switch (f.type) {
    case 'C': case 'V': case 'Q':
      if (f.length < 1 || f.length > 254 + (f.type == 'C')) return bad();
      break;
    case 'N': case 'F':
      if (f.length < 1 || f.length > 20) return bad();
      if (f.decimals < 0 || (f.decimals > 0 && f.decimals > f.length - 2)) {
        return "field " + f.name + " has " + std::to_string(f.decimals) + " decimals in width " +
               std::to_string(f.length);
      }
      break;
    case 'D':
      if (f.length != 8) return bad();
      break;
    case 'L':
      if (f.length != 1) return bad();
      break;
    case 'M': case 'G': case 'P': case 'W':
      if (f.length != 4 && f.length != 10) return bad();
      break;
    case 'I':
      if (f.length != 4) return bad();
      break;
    case 'B': case 'Y': case 'T':
      if (f.length != 8) return bad();
      break;
    case '0':
      if (f.length < 1 || f.length > 32) return bad();
      break;
    default:
      break;
  }
  return {};
}

void TodayParts(int* y, int* m, int* d) {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &now);
#else
  localtime_r(&now, &tm);
#endif
  *y = tm.tm_year + 1900;
  *m = tm.tm_mon + 1;
  *d = tm.tm_mday;
}

}  // namespace

bool IsMemoType(char type) { return type == 'M' || type == 'G' || type == 'P' || type == 'W'; }

bool DbfFile::has_memo_fields() const {
  for (const DbfField& f : fields_)
    if (IsMemoType(f.info.type)) return true;
  return false;
}

Fault DbfFile::Parse(const std::string& path, const std::string& image, uint64_t file_size,
                     DbfFile* out) {
  if (file_size < 32 || image.size() < 32)
    return Corrupt(path, "file of " + std::to_string(file_size) + " bytes is too short for a table header");
  const auto* h = reinterpret_cast<const unsigned char*>(image.data());
  out->path_ = path;
  out->version_ = h[0];
  out->count_ = GetLe32(h + 4);
  out->header_length_ = GetLe16(h + 8);
  out->record_length_ = GetLe16(h + 10);
  out->flags_ = h[28];
  out->code_page_ = h[29];
  out->fields_.clear();
  out->has_null_flags_ = false;
  uint32_t hl = out->header_length_;
  if (hl < 33) return Corrupt(path, "header length " + std::to_string(hl) + " is too small");
  if (hl > file_size)
    return Corrupt(path, "header length " + std::to_string(hl) + " is beyond the file (" +
                             std::to_string(file_size) + " bytes)");
  if (image.size() < hl) return Corrupt(path, "header is truncated");
  if (out->record_length_ < 1) return Corrupt(path, "record length is 0");

  uint32_t pos = 32;
  uint32_t running = 1;
  bool terminated = false;
  while (pos < hl) {
    if (h[pos] == 0x0D) {
      terminated = true;
      break;
    }
    if (pos + 32 > hl) break;
    const unsigned char* d = h + pos;
    FieldInfo fi;
    size_t nlen = 0;
    while (nlen < 11 && d[nlen] != 0) ++nlen;
    fi.name.assign(reinterpret_cast<const char*>(d), nlen);
    while (!fi.name.empty() && fi.name.back() == ' ') fi.name.pop_back();
    fi.type = static_cast<char>(d[11]);
    if (fi.type >= 'a' && fi.type <= 'z') fi.type = static_cast<char>(fi.type - 'a' + 'A');
    fi.length = d[16];
    fi.decimals = d[17];
    uint8_t flags = d[18];
    std::string field_no = std::to_string(out->fields_.size() + 1);
    if (fi.name.empty()) return Corrupt(path, "field " + field_no + " has no name");
    if (!KnownType(fi.type)) {
      return Corrupt(path, "field " + fi.name + " has an unknown type (byte " +
                               std::to_string(int(d[11])) + ")");
    }
    if (fi.type != 'N' && fi.type != 'F' && fi.type != 'B' && fi.type != 'Y') fi.decimals = 0;
    std::string width = CheckWidth(fi);
    if (!width.empty()) return Corrupt(path, width);
    DbfField df;
    df.info = fi;
    df.flags = flags;
    df.offset = running;
    df.info.nullable = (flags & 0x02) != 0 && fi.type != '0';
    running += fi.length;
    if (fi.type == '0') {
      if (out->has_null_flags_) return Corrupt(path, "two null-flag fields");
      out->null_flags_ = df;
      out->has_null_flags_ = true;
    } else {
      out->fields_.push_back(df);
    }
    pos += 32;
    if (out->fields_.size() > 2048) return Corrupt(path, "too many field descriptors");
  }
  if (!terminated) return Corrupt(path, "field descriptors are not terminated within the header");
  if (out->fields_.empty()) return Corrupt(path, "table has no fields");
  if (running > out->record_length_) {
    return Corrupt(path, "fields need " + std::to_string(running) + " bytes, record length is " +
                             std::to_string(out->record_length_));
  }
  // Null and variable-length flags.
  int bit = 0;
  for (DbfField& f : out->fields_) {
    if (!out->is_vfp()) {
      f.info.nullable = false;
      continue;
    }
    if (f.info.type == 'V' || f.info.type == 'Q') f.varlen_bit = bit++;
    if (f.info.nullable) f.null_bit = bit++;
  }
  if (bit > 0) {
    if (!out->has_null_flags_) return Corrupt(path, "nullable fields without a null-flag field");
    if (bit > out->null_flags_.info.length * 8) return Corrupt(path, "null-flag field is too short");
  }
  uint64_t need = uint64_t(hl) + uint64_t(out->count_) * out->record_length_;
  if (need > file_size) {
    return Corrupt(path, "record count " + std::to_string(out->count_) + " needs " + std::to_string(need) +
                             " bytes, the file has " + std::to_string(file_size));
  }
  return Fault::Ok();
}

Fault DbfFile::Open(platform::FileSystem* fs, const std::string& path, bool read_only, platform::Share share,
                    std::unique_ptr<DbfFile>* out) {
  std::unique_ptr<platform::File> file;
  platform::Status s = fs->Open(path, read_only ? platform::Access::Read : platform::Access::ReadWrite, share,
                                platform::Disposition::OpenExisting, &file);
  if (!s.ok()) {
    Fault f;
    f.os_code = s.code();
    f.engine = EngineNumberForOpen(s.code());
    f.file = path;
    f.what = "cannot open the table";
    return f;
  }
  uint64_t size = 0;
  s = file->Size(&size);
  if (!s.ok()) return IoFault(path, s, "cannot read the file size");
  std::string image(32, '\0');
  size_t got = 0;
  s = file->ReadAt(0, image.data(), 32, &got);
  if (!s.ok()) return IoFault(path, s, "cannot read the header");
  image.resize(got);
  if (got == 32) {
    uint32_t hl = GetLe16(reinterpret_cast<const unsigned char*>(image.data()) + 8);
    if (hl > 32 && hl <= kMaxHeader && hl <= size) {
      image.resize(hl);
      s = file->ReadAt(0, image.data(), hl, &got);
      if (!s.ok()) return IoFault(path, s, "cannot read the header");
      image.resize(got);
    }
  }
  auto dbf = std::make_unique<DbfFile>();
  Fault f = Parse(path, image, size, dbf.get());
  if (!f.ok()) return f;
  dbf->file_ = std::move(file);
  dbf->read_only_ = read_only;
  dbf->cache_records_ = std::max<uint32_t>(1, kCacheBytes / dbf->record_length_);
  *out = std::move(dbf);
  return Fault::Ok();
}

Fault DbfFile::MakeHeader(const std::vector<FieldInfo>& in, bool vfp, bool with_cdx, std::string* image) {
  std::vector<FieldInfo> fields = in;
  bool memo = false;
  int null_bits = 0;
  for (FieldInfo& f : fields) {
    if (f.type >= 'a' && f.type <= 'z') f.type = static_cast<char>(f.type - 'a' + 'A');
    if (std::strchr("IBYTVQW", f.type) || f.nullable) vfp = true;
    if (IsMemoType(f.type)) memo = true;
    if (f.name.empty() || f.name.size() > 10) return Corrupt("", "field name \"" + f.name + "\" is not 1 to 10 characters");
    if (!KnownType(f.type) || f.type == '0') return Corrupt("", "field " + f.name + " has an unknown type");
  }
  for (FieldInfo& f : fields) {
    switch (f.type) {
      case 'D': case 'T': case 'B': case 'Y': f.length = 8; break;
      case 'L': f.length = 1; break;
      case 'I': f.length = 4; break;
      case 'M': case 'G': case 'P': case 'W': f.length = vfp ? 4 : 10; break;
      default: break;
    }
    if (f.type != 'N' && f.type != 'F' && f.type != 'B' && f.type != 'Y') f.decimals = 0;
    if (f.type == 'Y') f.decimals = 4;
    std::string width = CheckWidth(f);
    if (!width.empty()) return Corrupt("", width);
    if (!vfp) f.nullable = false;
    if (f.type == 'V' || f.type == 'Q') ++null_bits;
    if (f.nullable) ++null_bits;
  }
  if (null_bits > 0) {
    FieldInfo nf;
    nf.name = "_NullFlags";
    nf.type = '0';
    nf.length = (null_bits + 7) / 8;
    fields.push_back(nf);
  }
  size_t nfields = fields.size();
  uint32_t hl = uint32_t(32 + 32 * nfields + 1 + (vfp ? 263 : 0));
  uint32_t rl = 1;
  for (const FieldInfo& f : fields) rl += uint32_t(f.length);
  if (hl > kMaxHeader || rl > 65535) return Corrupt("", "structure is too large");
  image->assign(hl, '\0');
  auto* h = reinterpret_cast<unsigned char*>(image->data());
  h[0] = vfp ? 0x30 : memo ? 0xF5 : 0x03;
  int y, m, d;
  TodayParts(&y, &m, &d);
  h[1] = uint8_t(y % 100);
  h[2] = uint8_t(m);
  h[3] = uint8_t(d);
  PutLe32(h + 4, 0);
  PutLe16(h + 8, uint16_t(hl));
  PutLe16(h + 10, uint16_t(rl));
  h[28] = uint8_t((with_cdx ? 0x01 : 0) | (vfp && memo ? 0x02 : 0));
  h[29] = 0x03;
  uint32_t off = 1;
  for (size_t i = 0; i < nfields; ++i) {
    const FieldInfo& f = fields[i];
    unsigned char* dsc = h + 32 + 32 * i;
    for (size_t k = 0; k < f.name.size(); ++k) {
      char c = f.name[k];
      if (f.type != '0' && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      dsc[k] = static_cast<unsigned char>(c);
    }
    dsc[11] = static_cast<unsigned char>(f.type);
    if (vfp) PutLe32(dsc + 12, off);
    dsc[16] = uint8_t(f.length);
    dsc[17] = uint8_t(f.decimals);
    uint8_t flags = 0;
    if (f.type == '0') flags = 0x05;
    if (f.nullable) flags |= 0x02;
    if (vfp && std::strchr("IBYTQ", f.type)) flags |= 0x04;
    dsc[18] = flags;
    off += uint32_t(f.length);
  }
  h[32 + 32 * nfields] = 0x0D;
  return Fault::Ok();
}

Fault DbfFile::Create(platform::FileSystem* fs, const std::string& path, const std::vector<FieldInfo>& fields,
                      bool vfp, bool with_cdx) {
  std::string image;
  Fault f = MakeHeader(fields, vfp, with_cdx, &image);
  if (!f.ok()) {
    f.file = path;
    return f;
  }
  image.push_back('\x1A');
  std::unique_ptr<platform::File> file;
  platform::Status s = fs->Open(path, platform::Access::ReadWrite, platform::Share::Exclusive,
                                platform::Disposition::CreateAlways, &file);
  if (!s.ok()) {
    Fault e;
    e.os_code = s.code();
    e.engine = EngineNumberForOpen(s.code());
    e.file = path;
    e.what = "cannot create the table";
    return e;
  }
  s = file->WriteAt(0, image.data(), image.size());
  if (s.ok()) s = file->Flush();
  if (!s.ok()) return IoFault(path, s, "cannot write the new table");
  return Fault::Ok();
}

std::string DbfFile::BlankRecord() const {
  std::string rec(record_length_, ' ');
  for (const DbfField& f : fields_) {
    char fill = ' ';
    switch (f.info.type) {
      case 'I': case 'B': case 'Y': case 'T': case 'Q': fill = '\0'; break;
      case 'M': case 'G': case 'P': case 'W': fill = f.info.length == 4 ? '\0' : ' '; break;
      case 'C': fill = (f.flags & 0x04) ? '\0' : ' '; break;
      default: break;
    }
    std::fill_n(rec.begin() + f.offset, f.info.length, fill);
  }
  if (has_null_flags_) std::fill_n(rec.begin() + null_flags_.offset, null_flags_.info.length, '\0');
  return rec;
}

Fault DbfFile::Read(uint32_t recno, std::string* rec) {
  if (recno < 1 || recno > count_) return Corrupt(path_, "record " + std::to_string(recno) + " is out of range");
  if (!no_cache_ && recno >= cache_first_ && recno < cache_first_ + cache_count_) {
    rec->assign(cache_, size_t(recno - cache_first_) * record_length_, record_length_);
    last_read_ = recno;
    return Fault::Ok();
  }
  // Read ahead only on a walk in record order; a jump reads one record.
  bool sequential = recno == 1 || recno == last_read_ + 1;
  last_read_ = recno;
  uint32_t ahead = sequential && !no_cache_ ? std::max<uint32_t>(cache_records_, 1) : 1;
  uint32_t n = std::min<uint32_t>(ahead, count_ - recno + 1);
  cache_.resize(size_t(n) * record_length_);
  size_t got = 0;
  uint64_t off = uint64_t(header_length_) + uint64_t(recno - 1) * record_length_;
  platform::Status s = file_->ReadAt(off, cache_.data(), cache_.size(), &got);
  if (!s.ok()) {
    cache_count_ = 0;
    return IoFault(path_, s, "cannot read a record");
  }
  if (got < record_length_) {
    cache_count_ = 0;
    return Corrupt(path_, "record " + std::to_string(recno) + " is beyond the end of the file");
  }
  cache_first_ = recno;
  cache_count_ = uint32_t(got / record_length_);
  rec->assign(cache_, 0, record_length_);
  return Fault::Ok();
}

Fault DbfFile::Write(uint32_t recno, const std::string& rec) {
  if (recno < 1 || recno > count_ || rec.size() != record_length_)
    return Corrupt(path_, "write of record " + std::to_string(recno) + " out of range");
  uint64_t off = uint64_t(header_length_) + uint64_t(recno - 1) * record_length_;
  platform::Status s = file_->WriteAt(off, rec.data(), rec.size());
  if (recno >= cache_first_ && recno < cache_first_ + cache_count_) {
    if (s.ok()) cache_.replace(size_t(recno - cache_first_) * record_length_, record_length_, rec);
    else cache_count_ = 0;
  }
  if (!s.ok()) return IoFault(path_, s, "cannot write a record");
  if (!date_written_) return WriteHeaderCount();
  return Fault::Ok();
}

Fault DbfFile::WriteHeaderCount() {
  unsigned char h[7];
  int y, m, d;
  TodayParts(&y, &m, &d);
  h[0] = uint8_t(y % 100);
  h[1] = uint8_t(m);
  h[2] = uint8_t(d);
  PutLe32(h + 3, count_);
  platform::Status s = file_->WriteAt(1, h, sizeof h);
  if (!s.ok()) return IoFault(path_, s, "cannot write the table header");
  date_written_ = true;
  return Fault::Ok();
}

Fault DbfFile::Append(const std::string& rec) {
  if (rec.size() != record_length_) return Corrupt(path_, "appended record has the wrong length");
  if (count_ == UINT32_MAX) return Corrupt(path_, "table is full");
  uint64_t off = uint64_t(header_length_) + uint64_t(count_) * record_length_;
  std::string data = rec;
  data.push_back('\x1A');
  platform::Status s = file_->WriteAt(off, data.data(), data.size());
  if (!s.ok()) return IoFault(path_, s, "cannot append a record");
  ++count_;
  Fault f = WriteHeaderCount();
  if (!f.ok()) {
    --count_;
    return f;
  }
  if (cache_count_ > 0 && cache_first_ + cache_count_ == count_ && cache_count_ < cache_records_) {
    cache_.append(rec);
    ++cache_count_;
  }
  return Fault::Ok();
}

Fault DbfFile::Zap() {
  uint32_t old = count_;
  count_ = 0;
  Fault f = WriteHeaderCount();
  if (!f.ok()) {
    count_ = old;
    return f;
  }
  cache_count_ = 0;
  char eof = '\x1A';
  platform::Status s = file_->WriteAt(header_length_, &eof, 1);
  if (s.ok()) s = file_->Truncate(uint64_t(header_length_) + 1);
  if (!s.ok()) return IoFault(path_, s, "cannot empty the table");
  return Fault::Ok();
}

Fault DbfFile::RefreshCount() {
  unsigned char h[4];
  size_t got = 0;
  platform::Status s = file_->ReadAt(4, h, 4, &got);
  if (!s.ok() || got != 4) return IoFault(path_, s, "cannot read the table header");
  uint32_t count = GetLe32(h);
  uint64_t size = 0;
  s = file_->Size(&size);
  if (!s.ok()) return IoFault(path_, s, "cannot read the file size");
  if (uint64_t(header_length_) + uint64_t(count) * record_length_ > size)
    return Corrupt(path_, "record count " + std::to_string(count) + " is beyond the end of the file");
  if (count != count_) cache_count_ = 0;
  count_ = count;
  return Fault::Ok();
}

int EngineNumberForOpen(uint32_t os) {
  switch (os) {
    case platform::kErrFileNotFound:
    case platform::kErrPathNotFound:
      return kEngineFileNotFound;
    case platform::kErrTooManyOpenFiles:
      return kEngineTooManyFiles;
    default:
      return kEngineAccessDenied;
  }
}

}  // namespace kx::tables
