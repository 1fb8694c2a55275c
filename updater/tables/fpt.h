// FPT memo files (FoxPro and Visual FoxPro).
//
// Layout (integers big-endian): a 512-byte header with the next free block
// at 0 (4 bytes) and the block size at 6 (2 bytes); the header fills the
// first 512 / block-size blocks. A memo starts at a block boundary: its type
// (4 bytes: 0 picture, 1 text, 2 object), its length (4 bytes) and its
// bytes, padded to the block size. A record's memo field holds the memo's
// block number, 0 for none.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_system.h"
#include "updater/tables/fault.h"

namespace kx::tables {

class MemoFile {
 public:
  // Opens and checks the header. An open the system refuses is a fault with
  // its Windows code; a header that does not hold together is kEngineCorrupt.
  static Fault Open(platform::FileSystem* fs, const std::string& path, bool read_only, platform::Share share,
                    std::unique_ptr<MemoFile>* out);
  // Checks a header image of a file of `file_size` bytes; fills `out`.
  static Fault Parse(const std::string& path, const std::string& header, uint64_t file_size, MemoFile* out);
  // Writes a new memo file with only its header, replacing an existing one.
  static Fault Create(platform::FileSystem* fs, const std::string& path, uint32_t block_size = 64);

  uint32_t block_size() const { return block_size_; }
  const std::string& path() const { return path_; }

  // Reads the memo starting at `block`. A block inside the header, a memo
  // that runs past the end of the file, or a length beyond it, is
  // kEngineCorrupt naming the block; *text is then empty.
  Fault Read(uint32_t block, std::string* text, uint32_t* type = nullptr);
  // Stores `text` as a memo of `type`. When `old_block` holds a memo whose
  // blocks have room for the new text it is overwritten in place; otherwise
  // the text goes to new blocks at the end (data first, then the header's
  // next-free pointer). *block receives the memo's block number.
  Fault Write(uint32_t old_block, const std::string& text, uint32_t type, uint32_t* block);
  // Cuts the file to its header.
  Fault Zap();

 private:
  uint32_t FirstBlock() const { return (512 + block_size_ - 1) / block_size_; }

  std::string path_;
  std::unique_ptr<platform::File> file_;
  uint32_t block_size_ = 64;
  uint32_t next_free_ = 0;
  uint64_t size_ = 0;
};

}  // namespace kx::tables
