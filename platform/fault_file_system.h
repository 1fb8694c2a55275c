// A file system for tests that fails, or loses power, at the Nth mutating
// operation.
//
// Mutating operations, counted from 1 in the order the program makes them:
// File::WriteAt, File::Truncate, File::Flush, an Open whose disposition may
// create or truncate (CreateAlways, CreateNew, OpenAlways), Rename, CopyOver,
// Remove, SetReadOnly, SetTimes, MakeFolder and RemoveFolder. Reads, Size,
// locks, Exists, Stat, ListFolder and plain opens are never counted and never
// fail here.
//
// A crash test first counts a clean run, then cuts the power at every point:
//
//   uint64_t total;
//   { FaultFileSystem fs(DefaultFileSystem()); RunJob(&fs); total = fs.mutations(); }
//   for (uint64_t n = 1; n <= total; ++n) {
//     MakeFixture();
//     FaultFileSystem fs(DefaultFileSystem());
//     fs.PowerCutAt(n);
//     RunJob(&fs);                     // runs on as if nothing had happened
//     CheckRecovery(DefaultFileSystem());  // sees the disk as the cut left it
//   }
//
// Files opened through it are wrapped: their writes, truncates and flushes
// count. They may outlive the file system. Not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_system.h"

namespace kx::platform {

class FaultFileSystem : public FileSystemWrapper {
 public:
  enum class AfterFailure {
    Recover,      // operations after the failing one work again
    KeepFailing,  // every later mutating operation fails the same way
  };

  explicit FaultFileSystem(FileSystem* target);
  ~FaultFileSystem() override;

  // Makes the nth mutating operation fail with `code` (kErrWriteFault,
  // kErrDiskFull, ...). When it is a WriteAt, the first torn_bytes bytes of it
  // reach the file before it fails (0: none). Replaces any fault armed before.
  // REQUIRES: n >= 1, code != 0.
  void FailAt(uint64_t n, uint32_t code = kErrWriteFault, AfterFailure after = AfterFailure::Recover,
              size_t torn_bytes = 0);

  // What a power cut does to data written before it but never flushed.
  enum class Unflushed {
    Kept,  // it is on the disk (the operating system wrote its cache in time)
    Lost,  // it is lost: every file written, truncated or copied over since
           // its last File::Flush gets back the contents it had then (or at
           // its creation, empty). Names, folders and times stay as they were
           // made: the system's journal keeps them.
  };

  // Cuts the power at the nth mutating operation: it and every mutating
  // operation after it never reach the disk, yet all of them report success
  // so that the program runs on as if nothing had happened. When the nth is a
  // WriteAt, its first torn_bytes bytes do reach the file (a torn write).
  // After the cut, reads see the disk as the cut left it; an open that would
  // have created a file gives a file that reads as empty, an open that would
  // have truncated one gives the old contents. Replaces any fault armed
  // before. With Unflushed::Lost the file system remembers, from now on, the
  // flushed contents of every file it changes (reading each such file once,
  // which costs time on big files).
  // REQUIRES: n >= 1.
  void PowerCutAt(uint64_t n, size_t torn_bytes = 0, Unflushed unflushed = Unflushed::Kept);

  // Disarms the fault. The count goes on.
  void Disarm();
  // Sets the count of mutating operations back to 0 (n of FailAt and
  // PowerCutAt counts from here).
  void ResetCount();

  // Mutating operations so far, the failed or dropped ones included.
  uint64_t mutations() const;
  // True once the armed fault has struck.
  bool fault_struck() const;
  // True once the power is cut.
  bool power_cut() const;
  // The operation the fault struck, e.g. "WriteAt C:\DATA\X.DBF at 512, 32
  // bytes"; empty before it struck. For test failure messages.
  std::string struck_operation() const;

  // State shared with the files opened through this file system.
  struct State;

  Status Open(const std::string& path, Access access, Share share, Disposition disposition,
              std::unique_ptr<File>* result) override;
  Status Rename(const std::string& from, const std::string& to) override;
  Status CopyOver(const std::string& from, const std::string& to) override;
  Status Remove(const std::string& path) override;
  Status SetReadOnly(const std::string& path, bool read_only) override;
  Status SetTimes(const std::string& path, FileTime creation, FileTime last_write) override;
  Status MakeFolder(const std::string& path) override;
  Status RemoveFolder(const std::string& path) override;

 private:
  Status RenameNow(const std::string& from, const std::string& to);
  Status CopyOverNow(const std::string& from, const std::string& to);
  Status RemoveNow(const std::string& path);

  std::shared_ptr<State> state_;
};

}  // namespace kx::platform
