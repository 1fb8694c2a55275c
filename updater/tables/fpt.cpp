#include "updater/tables/fpt.h"

#include <algorithm>

#include "updater/tables/workareas.h"

namespace kx::tables {
namespace {

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

}  // namespace

Fault MemoFile::Parse(const std::string& path, const std::string& header, uint64_t file_size, MemoFile* out) {
  out->path_ = path;
  if (header.size() < 512 || file_size < 512)
    return Corrupt(path, "memo file of " + std::to_string(file_size) + " bytes is too short for its header");
  const auto* h = reinterpret_cast<const unsigned char*>(header.data());
  out->next_free_ = GetBe32(h);
  out->block_size_ = GetBe16(h + 6);
  out->size_ = file_size;
  if (out->block_size_ == 0) return Corrupt(path, "memo block size is 0");
  if (out->next_free_ < out->FirstBlock())
    return Corrupt(path, "next free memo block " + std::to_string(out->next_free_) + " lies inside the header");
  return Fault::Ok();
}

Fault MemoFile::Open(platform::FileSystem* fs, const std::string& path, bool read_only, platform::Share share,
                     std::unique_ptr<MemoFile>* out) {
  std::unique_ptr<platform::File> file;
  platform::Status s = fs->Open(path, read_only ? platform::Access::Read : platform::Access::ReadWrite, share,
                                platform::Disposition::OpenExisting, &file);
  if (!s.ok()) {
    Fault f;
    f.os_code = s.code();
    f.engine = EngineNumberForOpen(s.code());
    f.file = path;
    f.what = "cannot open the memo file";
    return f;
  }
  uint64_t size = 0;
  s = file->Size(&size);
  if (!s.ok()) return IoFault(path, s, "cannot read the memo file size");
  std::string header(512, '\0');
  size_t got = 0;
  s = file->ReadAt(0, header.data(), header.size(), &got);
  if (!s.ok()) return IoFault(path, s, "cannot read the memo header");
  header.resize(got);
  auto memo = std::make_unique<MemoFile>();
  Fault f = Parse(path, header, size, memo.get());
  if (!f.ok()) return f;
  memo->file_ = std::move(file);
  *out = std::move(memo);
  return Fault::Ok();
}

Fault MemoFile::Create(platform::FileSystem* fs, const std::string& path, uint32_t block_size) {
  if (block_size == 0 || block_size > 65535) block_size = 64;
  std::string header(512, '\0');
  auto* h = reinterpret_cast<unsigned char*>(header.data());
  PutBe32(h, (512 + block_size - 1) / block_size);
  PutBe16(h + 6, uint16_t(block_size));
  header.resize(size_t((512 + block_size - 1) / block_size) * block_size, '\0');
  std::unique_ptr<platform::File> file;
  platform::Status s = fs->Open(path, platform::Access::ReadWrite, platform::Share::Exclusive,
                                platform::Disposition::CreateAlways, &file);
  if (!s.ok()) {
    Fault f;
    f.os_code = s.code();
    f.engine = EngineNumberForOpen(s.code());
    f.file = path;
    f.what = "cannot create the memo file";
    return f;
  }
  s = file->WriteAt(0, header.data(), header.size());
  if (s.ok()) s = file->Flush();
  if (!s.ok()) return IoFault(path, s, "cannot write the memo file");
  return Fault::Ok();
}

Fault MemoFile::Read(uint32_t block, std::string* text, uint32_t* type) {
  text->clear();
  if (block == 0) return Fault::Ok();
  std::string where = "memo block " + std::to_string(block);
  if (block < FirstBlock()) return Corrupt(path_, where + " lies inside the memo header");
  uint64_t off = uint64_t(block) * block_size_;
  if (off + 8 > size_) return Corrupt(path_, where + " is beyond the end of the memo file");
  unsigned char head[8];
  size_t got = 0;
  platform::Status s = file_->ReadAt(off, head, 8, &got);
  if (!s.ok()) return IoFault(path_, s, "cannot read a memo");
  if (got < 8) return Corrupt(path_, where + " is beyond the end of the memo file");
  uint32_t len = GetBe32(head + 4);
  if (type) *type = GetBe32(head);
  if (uint64_t(len) > size_ - off - 8)
    return Corrupt(path_, where + " has length " + std::to_string(len) + ", beyond the end of the memo file");
  text->resize(len);
  s = file_->ReadAt(off + 8, text->data(), len, &got);
  if (!s.ok() || got < len) {
    text->clear();
    return s.ok() ? Corrupt(path_, where + " is truncated") : IoFault(path_, s, "cannot read a memo");
  }
  return Fault::Ok();
}

Fault MemoFile::Write(uint32_t old_block, const std::string& text, uint32_t type, uint32_t* block) {
  if (text.size() > 0x7FFFFFF0u) return Corrupt(path_, "memo is too long");
  uint64_t need = 8 + uint64_t(text.size());
  std::string data(size_t((need + block_size_ - 1) / block_size_) * block_size_, '\0');
  auto* d = reinterpret_cast<unsigned char*>(data.data());
  PutBe32(d, type);
  PutBe32(d + 4, uint32_t(text.size()));
  std::copy(text.begin(), text.end(), data.begin() + 8);

  // In place, when the old memo's blocks are large enough.
  if (old_block >= FirstBlock() && uint64_t(old_block) * block_size_ + 8 <= size_) {
    unsigned char head[8];
    size_t got = 0;
    uint64_t off = uint64_t(old_block) * block_size_;
    if (file_->ReadAt(off, head, 8, &got).ok() && got == 8) {
      uint64_t old_len = GetBe32(head + 4);
      uint64_t capacity = (8 + old_len + block_size_ - 1) / block_size_ * block_size_;
      if (off + 8 + old_len <= size_ && data.size() <= capacity) {
        // Only the memo's own bytes: the padding of the old blocks stays.
        platform::Status s = file_->WriteAt(off, data.data(), size_t(need));
        if (!s.ok()) return IoFault(path_, s, "cannot write a memo");
        *block = old_block;
        return Fault::Ok();
      }
    }
  }
  // At the end: never below the file's end, whatever the header says.
  uint64_t end_block = (size_ + block_size_ - 1) / block_size_;
  uint64_t at = std::max<uint64_t>(next_free_, end_block);
  uint64_t new_next = at + data.size() / block_size_;
  if (new_next > 0xFFFFFFFFull) return Corrupt(path_, "memo file is full");
  platform::Status s = file_->WriteAt(at * block_size_, data.data(), data.size());
  if (!s.ok()) return IoFault(path_, s, "cannot write a memo");
  size_ = std::max<uint64_t>(size_, at * block_size_ + data.size());
  unsigned char nf[4];
  PutBe32(nf, uint32_t(new_next));
  s = file_->WriteAt(0, nf, 4);
  if (!s.ok()) return IoFault(path_, s, "cannot write the memo header");
  next_free_ = uint32_t(new_next);
  *block = uint32_t(at);
  return Fault::Ok();
}

Fault MemoFile::Zap() {
  unsigned char nf[4];
  PutBe32(nf, FirstBlock());
  platform::Status s = file_->WriteAt(0, nf, 4);
  if (!s.ok()) return IoFault(path_, s, "cannot write the memo header");
  next_free_ = FirstBlock();
  uint64_t keep = std::max<uint64_t>(512, uint64_t(FirstBlock()) * block_size_);
  s = file_->Truncate(keep);
  if (!s.ok()) return IoFault(path_, s, "cannot empty the memo file");
  size_ = keep;
  return Fault::Ok();
}

}  // namespace kx::tables
