// Files and folders behind one narrow interface, so that the table engine, the
// updater and the panel tool never call the operating system directly. Tests
// substitute a FileSystemWrapper that overrides the calls they want to break.
//
// Paths are Windows-1252 bytes. On Windows they are passed to the ANSI API as
// they are. On POSIX a path may use backslashes, each component resolves
// case-insensitively when the exact name is missing, and a drive letter "X:"
// maps to the folder named by the environment variable UPDATER_DRIVE_X.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/status.h"

namespace kx::platform {

// A point in time as a Windows FILETIME: 100-ns intervals since 1601-01-01 UTC.
using FileTime = int64_t;

enum class Access { Read, ReadWrite };

// Who else may open the file while we hold it. Neither lets anybody else
// delete or rename the file while it is open (kErrSharingViolation).
// On POSIX the share modes are kept by locks that only programs using this
// file system honour; see the POSIX implementation.
enum class Share {
  Exclusive,  // nobody (an open by anyone else fails with kErrSharingViolation)
  Shared,     // anyone, for reading and writing
};

enum class Disposition {
  OpenExisting,   // fails with kErrFileNotFound when missing
  CreateAlways,   // creates, or truncates an existing file
  CreateNew,      // fails with kErrFileExists when present
  OpenAlways,     // opens, creating an empty file when missing
};

// An open file. Not thread-safe. Destroying it closes the handle and releases
// its locks.
class File {
 public:
  virtual ~File() = default;

  // Reads up to n bytes at offset into buf and stores in *got the number read:
  // less than n only at end of file (0 at or past it, which is not an error).
  // On failure *got holds the bytes read before it.
  virtual Status ReadAt(uint64_t offset, void* buf, size_t n, size_t* got) = 0;
  // Writes n bytes at offset, extending the file when needed (a gap between
  // the old end and offset reads as zeros). On failure an unknown prefix of
  // the bytes may have reached the file. Fails with kErrAccessDenied on a file
  // opened with Access::Read.
  virtual Status WriteAt(uint64_t offset, const void* buf, size_t n) = 0;
  // Stores the file's current size in *size.
  virtual Status Size(uint64_t* size) = 0;
  // Sets the file's size, cutting or zero-extending it. Fails with
  // kErrAccessDenied on a file opened with Access::Read.
  virtual Status Truncate(uint64_t size) = 0;
  // Makes every write so far durable; waits until the system has done so.
  virtual Status Flush() = 0;
  // Locks the byte range for this handle, excluding every other handle, in this
  // process or another. Does not wait: a range held elsewhere fails at once
  // with kErrLockViolation. The range may lie beyond the end of the file. A
  // range that overlaps one this handle already holds fails too (locks do not
  // nest). A zero length does nothing and succeeds.
  // On Windows a region locked by another handle can be neither read nor
  // written through this one (the call fails with kErrLockViolation); on POSIX
  // locks are advisory. Callers lock bytes beyond the data, as the FoxPro
  // convention does, so that reads never meet a lock.
  virtual Status Lock(uint64_t offset, uint64_t length) = 0;
  // Releases a range locked by Lock with exactly this offset and length;
  // anything else fails with kErrNotLocked.
  virtual Status Unlock(uint64_t offset, uint64_t length) = 0;
};

struct FileInfo {
  std::string name;  // the name in its folder, as stored
  bool is_folder = false;
  bool read_only = false;
  uint64_t size = 0;
  FileTime creation = 0;
  FileTime last_write = 0;
};

// Paths name files as the Windows API does; failures carry the Windows error
// code. The codes callers test: kErrFileNotFound (2) when the last component
// is missing, kErrPathNotFound (3) when a folder on the way is missing,
// kErrAccessDenied (5) for a read-only file or a folder where a file is
// expected, kErrSharingViolation (32) for a file held by an incompatible open.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens or creates a file. On success stores a new file in *result. On
  // failure *result is left empty and the status carries the Windows error
  // code (2, 3, 4, 5, 32, 80 ...). Does not wait for other openers.
  // Share::Exclusive fails with kErrSharingViolation while anybody else holds
  // the file open, and makes every later open by anybody else fail so.
  // A disposition that may create or truncate needs write permission even
  // with Access::Read; opening for writing a file marked read-only fails with
  // kErrAccessDenied, as opening a folder does.
  virtual Status Open(const std::string& path, Access access, Share share, Disposition disposition,
                      std::unique_ptr<File>* result) = 0;
  // Renames (moves) a file or folder; fails with kErrAlreadyExists when `to`
  // exists (a change of case only of the same name is allowed), and with 2 or
  // 3 for a missing source or a missing target folder. Nothing changes on
  // failure.
  virtual Status Rename(const std::string& from, const std::string& to) = 0;
  // Copies contents (and on Windows attributes) over `to`, creating or
  // replacing it; the copy keeps the source's last-write time and read-only
  // mark. Fails, leaving `to` as it was, for a missing source (2), a missing
  // target folder (3), a read-only target (5), a target held open by anyone
  // (32) and a source held open exclusively (32). A failure while copying
  // (e.g. kErrDiskFull) may leave a partial target.
  virtual Status CopyOver(const std::string& from, const std::string& to) = 0;
  // Deletes a file. Fails with kErrAccessDenied for a read-only file or a
  // folder; 2 or 3 when it is missing.
  virtual Status Remove(const std::string& path) = 0;
  // True when the file or folder exists.
  virtual bool Exists(const std::string& path) = 0;
  // Stores information on one file or folder in *info; `name` is its stored
  // name (on POSIX, the case found on disk). On failure *info is unchanged.
  virtual Status Stat(const std::string& path, FileInfo* info) = 0;
  // Sets or clears the read-only mark of a file.
  virtual Status SetReadOnly(const std::string& path, bool read_only) = 0;
  // Sets creation and last-write times (0 leaves one as it is; POSIX keeps
  // only the last-write time and reports it as the creation time too, as
  // Wine does). Works on read-only files. Fails with 2 or 3 when missing.
  virtual Status SetTimes(const std::string& path, FileTime creation, FileTime last_write) = 0;
  // Stores in *entries every entry of the folder except "." and "..", in the
  // order the system lists them. Fails with kErrPathNotFound for a missing
  // folder; *entries is then empty.
  virtual Status ListFolder(const std::string& path, std::vector<FileInfo>* entries) = 0;
  // Creates one folder; its parent must exist (3 otherwise). Fails with
  // kErrAlreadyExists when the name exists.
  virtual Status MakeFolder(const std::string& path) = 0;
  // Removes an empty folder; kErrDirNotEmpty when it holds entries.
  virtual Status RemoveFolder(const std::string& path) = 0;
};

// The operating system's file system. Never destroyed.
FileSystem* DefaultFileSystem();

// Forwards every call to another file system; derive from it and override what
// a test wants to change.
class FileSystemWrapper : public FileSystem {
 public:
  explicit FileSystemWrapper(FileSystem* target) : target_(target) {}
  FileSystem* target() const { return target_; }

  Status Open(const std::string& path, Access access, Share share, Disposition disposition,
              std::unique_ptr<File>* result) override {
    return target_->Open(path, access, share, disposition, result);
  }
  Status Rename(const std::string& from, const std::string& to) override { return target_->Rename(from, to); }
  Status CopyOver(const std::string& from, const std::string& to) override { return target_->CopyOver(from, to); }
  Status Remove(const std::string& path) override { return target_->Remove(path); }
  bool Exists(const std::string& path) override { return target_->Exists(path); }
  Status Stat(const std::string& path, FileInfo* info) override { return target_->Stat(path, info); }
  Status SetReadOnly(const std::string& path, bool read_only) override { return target_->SetReadOnly(path, read_only); }
  Status SetTimes(const std::string& path, FileTime creation, FileTime last_write) override {
    return target_->SetTimes(path, creation, last_write);
  }
  Status ListFolder(const std::string& path, std::vector<FileInfo>* entries) override {
    return target_->ListFolder(path, entries);
  }
  Status MakeFolder(const std::string& path) override { return target_->MakeFolder(path); }
  Status RemoveFolder(const std::string& path) override { return target_->RemoveFolder(path); }

 private:
  FileSystem* target_;
};

// Reads a whole file into *contents.
Status ReadWholeFile(FileSystem* fs, const std::string& path, std::string* contents);
// Creates or replaces a file with the given contents.
Status WriteWholeFile(FileSystem* fs, const std::string& path, const std::string& contents);

}  // namespace kx::platform
