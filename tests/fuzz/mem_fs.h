// An in-memory file system for the fuzz targets: files are byte strings in a
// map; every file opens, reads and writes there.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "platform/file_system.h"

namespace kx::fuzz {

class MemFile : public platform::File {
 public:
  explicit MemFile(std::string* data) : data_(data) {}
  platform::Status ReadAt(uint64_t offset, void* buf, size_t n, size_t* got) override {
    *got = 0;
    if (offset < data_->size()) {
      *got = std::min<size_t>(n, data_->size() - size_t(offset));
      std::memcpy(buf, data_->data() + offset, *got);
    }
    return {};
  }
  platform::Status WriteAt(uint64_t offset, const void* buf, size_t n) override {
    if (offset + n > (64u << 20)) return platform::Status::Error(platform::kErrDiskFull, "full");
    if (data_->size() < offset + n) data_->resize(size_t(offset + n), '\0');
    std::memcpy(data_->data() + offset, buf, n);
    return {};
  }
  platform::Status Size(uint64_t* size) override {
    *size = data_->size();
    return {};
  }
  platform::Status Truncate(uint64_t size) override {
    data_->resize(size_t(std::min<uint64_t>(size, 64u << 20)), '\0');
    return {};
  }
  platform::Status Flush() override { return {}; }
  platform::Status Lock(uint64_t, uint64_t) override { return {}; }
  platform::Status Unlock(uint64_t, uint64_t) override { return {}; }

 private:
  std::string* data_;
};

class MemFs : public platform::FileSystem {
 public:
  std::map<std::string, std::string> files;
  platform::Status Open(const std::string& path, platform::Access, platform::Share, platform::Disposition d,
                        std::unique_ptr<platform::File>* result) override {
    auto it = files.find(path);
    if (it == files.end()) {
      if (d == platform::Disposition::OpenExisting)
        return platform::Status::Error(platform::kErrFileNotFound, path);
      it = files.emplace(path, std::string()).first;
    }
    *result = std::make_unique<MemFile>(&it->second);
    return {};
  }
  platform::Status Rename(const std::string&, const std::string&) override { return {}; }
  platform::Status CopyOver(const std::string&, const std::string&) override { return {}; }
  platform::Status Remove(const std::string& p) override {
    files.erase(p);
    return {};
  }
  bool Exists(const std::string& p) override { return files.count(p) != 0; }
  platform::Status Stat(const std::string&, platform::FileInfo*) override { return {}; }
  platform::Status SetReadOnly(const std::string&, bool) override { return {}; }
  platform::Status SetTimes(const std::string&, platform::FileTime, platform::FileTime) override { return {}; }
  platform::Status ListFolder(const std::string&, std::vector<platform::FileInfo>*) override { return {}; }
  platform::Status MakeFolder(const std::string&) override { return {}; }
  platform::Status RemoveFolder(const std::string&) override { return {}; }
};

}  // namespace kx::fuzz
