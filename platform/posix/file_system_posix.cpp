// POSIX file system: Windows-style paths resolved onto the local tree, share
// modes and byte-range locks emulated with open-file-description locks.
//
// Share modes: every handle holds a lock on one "share byte" far beyond any
// byte the tables lock; a shared handle holds a read lock on it, an exclusive
// one a write lock, so an exclusive open and any other open exclude each
// other. Open-file-description locks belong to the open, not the process, so
// two opens in one process exclude each other as two processes do. Deleting
// or renaming a file that somebody holds open fails with a sharing violation,
// as on Windows.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "base/cp1252.h"
#include "platform/file_system.h"
#include "platform/posix/posix_path.h"

namespace kx::platform {
namespace {

constexpr off_t kShareByte = off_t(1) << 62;

uint32_t FromErrno(int e) {
  switch (e) {
    case ENOENT: return kErrFileNotFound;
    case ENOTDIR: return kErrPathNotFound;
    case EMFILE:
    case ENFILE: return kErrTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR: return kErrAccessDenied;
    case EROFS: return kErrWriteProtect;
    case EEXIST: return kErrFileExists;
    case ENOSPC:
    case EDQUOT: return kErrDiskFull;
    case ENAMETOOLONG:
    case ELOOP: return kErrInvalidName;
    case ENOMEM: return kErrNotEnoughMemory;
    case ENOTEMPTY: return kErrDirNotEmpty;
    case EXDEV: return kErrNotSameDevice;
    case EINVAL: return kErrInvalidParameter;
    case EBUSY:
    case ETXTBSY: return kErrSharingViolation;
    case EIO: return kErrWriteFault;
    default: return kErrAccessDenied;
  }
}

Status ErrnoStatus(int e, const std::string& what) {
  return Status::Error(FromErrno(e), what + ": " + std::strerror(e));
}

std::string HostFolderOf(const std::string& host_path) {
  size_t slash = host_path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : host_path.substr(0, slash + 1);
}

// A missing file whose folder is missing too is "path not found".
Status MissingStatus(int e, const std::string& host_path, const std::string& what) {
  if (e == ENOENT) {
    struct stat st;
    if (::stat(HostFolderOf(host_path).c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
      return Status::Error(kErrPathNotFound, what + ": path not found");
    return Status::Error(kErrFileNotFound, what + ": file not found");
  }
  if (e == ENOTDIR) return Status::Error(kErrPathNotFound, what + ": path not found");
  return ErrnoStatus(e, what);
}

Status SharingStatus(const std::string& what) {
  return Status::Error(kErrSharingViolation, what + ": the file is in use by another process");
}

bool OfdLock(int fd, short type, off_t start, off_t len) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = len;
  return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

// True when an open file description other than fd's holds a lock that
// conflicts with `type` on the range.
bool OthersHoldLock(int fd, short type, off_t start, off_t len) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = len;
  if (::fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

// True when the regular file at host is held open through this file system
// (by this process or another).
bool HeldOpen(const std::string& host) {
  int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
  if (fd < 0) return false;
  struct stat st;
  bool held = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && OthersHoldLock(fd, F_WRLCK, kShareByte, 1);
  ::close(fd);
  return held;
}

FileTime FromTimespec(const struct timespec& ts) {
  // 1601-01-01 to 1970-01-01 is 11644473600 seconds.
  return (static_cast<int64_t>(ts.tv_sec) + 11644473600LL) * 10000000LL + ts.tv_nsec / 100;
}

struct timespec ToTimespec(FileTime t) {
  int64_t unix100 = t - 11644473600LL * 10000000LL;
  struct timespec ts;
  ts.tv_sec = static_cast<time_t>(unix100 / 10000000LL);
  ts.tv_nsec = static_cast<long>((unix100 % 10000000LL) * 100);
  if (ts.tv_nsec < 0) {
    ts.tv_nsec += 1000000000L;
    ts.tv_sec -= 1;
  }
  return ts;
}

bool IsReadOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

void FillInfo(const std::string& name, const struct stat& st, FileInfo* info) {
  info->name = name;
  info->is_folder = S_ISDIR(st.st_mode);
  info->read_only = IsReadOnly(st);
  info->size = info->is_folder ? 0 : static_cast<uint64_t>(st.st_size);
  info->last_write = FromTimespec(st.st_mtim);
  // POSIX keeps no creation time that survives a copy; like Wine, report the
  // last-write time.
  info->creation = info->last_write;
}

// Byte ranges beyond the share byte are not lockable; cut them there so that
// a huge range never touches the share lock.
bool ClampRange(uint64_t offset, uint64_t* length) {
  const uint64_t limit = static_cast<uint64_t>(kShareByte);
  if (offset >= limit) return false;
  if (*length > limit - offset) *length = limit - offset;
  return true;
}

class PosixFile : public File {
 public:
  PosixFile(int fd, std::string path, bool writable) : fd_(fd), path_(std::move(path)), writable_(writable) {}
  ~PosixFile() override { ::close(fd_); }

  Status ReadAt(uint64_t offset, void* buf, size_t n, size_t* got) override {
    size_t done = 0;
    char* p = static_cast<char*>(buf);
    while (done < n) {
      ssize_t r = ::pread(fd_, p + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        *got = done;
        return Status::Error(kErrReadFault, path_ + ": " + std::strerror(errno));
      }
      if (r == 0) break;
      done += static_cast<size_t>(r);
    }
    *got = done;
    return Status::Ok();
  }

  Status WriteAt(uint64_t offset, const void* buf, size_t n) override {
    if (!writable_) return Status::Error(kErrAccessDenied, path_ + ": opened for reading only");
    size_t done = 0;
    const char* p = static_cast<const char*>(buf);
    while (done < n) {
      ssize_t r = ::pwrite(fd_, p + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        if (errno == ENOSPC || errno == EDQUOT) return Status::Error(kErrDiskFull, path_ + ": disk full");
        return Status::Error(kErrWriteFault, path_ + ": " + std::strerror(errno));
      }
      done += static_cast<size_t>(r);
    }
    return Status::Ok();
  }

  Status Size(uint64_t* size) override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return ErrnoStatus(errno, path_);
    *size = static_cast<uint64_t>(st.st_size);
    return Status::Ok();
  }

  Status Truncate(uint64_t size) override {
    if (!writable_) return Status::Error(kErrAccessDenied, path_ + ": opened for reading only");
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) return ErrnoStatus(errno, path_);
    return Status::Ok();
  }

  Status Flush() override {
    if (::fdatasync(fd_) != 0 && errno != EINVAL) return ErrnoStatus(errno, path_);
    return Status::Ok();
  }

  Status Lock(uint64_t offset, uint64_t length) override {
    if (length == 0) return Status::Ok();
    if (!ClampRange(offset, &length)) return Status::Error(kErrInvalidParameter, path_ + ": lock offset out of range");
    for (const auto& r : locks_)
      if (offset < r.first + r.second && r.first < offset + length)
        return Status::Error(kErrLockViolation, path_ + ": region is locked");
    // A read-only descriptor can only take read locks; they still exclude
    // every write lock, which is what every other handle takes.
    short type = can_write_lock_ ? F_WRLCK : F_RDLCK;
    if (!OfdLock(fd_, type, static_cast<off_t>(offset), static_cast<off_t>(length)))
      return Status::Error(kErrLockViolation, path_ + ": region is locked");
    if (!can_write_lock_ && OthersHoldLock(fd_, F_WRLCK, static_cast<off_t>(offset), static_cast<off_t>(length))) {
      OfdLock(fd_, F_UNLCK, static_cast<off_t>(offset), static_cast<off_t>(length));
      return Status::Error(kErrLockViolation, path_ + ": region is locked");
    }
    locks_.emplace_back(offset, length);
    return Status::Ok();
  }

  Status Unlock(uint64_t offset, uint64_t length) override {
    if (length == 0) return Status::Ok();
    if (!ClampRange(offset, &length)) return Status::Error(kErrNotLocked, path_ + ": region is not locked");
    for (size_t i = 0; i < locks_.size(); ++i) {
      if (locks_[i].first == offset && locks_[i].second == length) {
        if (!OfdLock(fd_, F_UNLCK, static_cast<off_t>(offset), static_cast<off_t>(length)))
          return ErrnoStatus(errno, path_);
        locks_.erase(locks_.begin() + static_cast<std::ptrdiff_t>(i));
        return Status::Ok();
      }
    }
    return Status::Error(kErrNotLocked, path_ + ": region is not locked");
  }

  void set_can_write_lock(bool v) { can_write_lock_ = v; }

 private:
  int fd_;
  std::string path_;
  bool writable_;
  bool can_write_lock_ = true;
  std::vector<std::pair<uint64_t, uint64_t>> locks_;  // offset, length
};

class PosixFileSystem : public FileSystem {
 public:
  Status Open(const std::string& path, Access access, Share share, Disposition disposition,
              std::unique_ptr<File>* result) override {
    result->reset();
    std::string host;
    Status s = ResolvePath(path, &host);
    if (!s.ok()) return s;
    const bool creates = disposition != Disposition::OpenExisting;
    const bool wants_write = access == Access::ReadWrite || creates;
    int flags = O_CLOEXEC | O_RDWR;
    if (disposition == Disposition::CreateNew) flags |= O_CREAT | O_EXCL;
    else if (creates) flags |= O_CREAT;
    int fd = ::open(host.c_str(), flags, 0666);
    bool read_only_fd = false;
    if (fd < 0 && !wants_write && (errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY)) {
      // A file we may only read: a read-only descriptor still gives share
      // and byte locks, with the limits noted at Lock.
      fd = ::open(host.c_str(), O_CLOEXEC | O_RDONLY);
      read_only_fd = true;
    }
    if (fd < 0) {
      if (errno == EEXIST) return Status::Error(kErrFileExists, path + ": already exists");
      return MissingStatus(errno, host, path);
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
      ::close(fd);
      return Status::Error(kErrAccessDenied, path + ": is a folder");
    }
    // Whoever runs the program (root too) cannot write a file marked read-only.
    if (wants_write && IsReadOnly(st)) {
      ::close(fd);
      return Status::Error(kErrAccessDenied, path + ": the file is read-only");
    }
    bool shared_ok;
    if (share == Share::Shared) {
      shared_ok = OfdLock(fd, F_RDLCK, kShareByte, 1);
    } else if (!read_only_fd) {
      shared_ok = OfdLock(fd, F_WRLCK, kShareByte, 1);
    } else {
      // Exclusive on a read-only descriptor: refuse while anybody holds the
      // file; later openers are not kept out.
      shared_ok = OfdLock(fd, F_RDLCK, kShareByte, 1) && !OthersHoldLock(fd, F_WRLCK, kShareByte, 1);
    }
    if (!shared_ok) {
      ::close(fd);
      return SharingStatus(path);
    }
    if (disposition == Disposition::CreateAlways && st.st_size != 0 && ::ftruncate(fd, 0) != 0) {
      Status t = ErrnoStatus(errno, path);
      ::close(fd);
      return t;
    }
    auto file = std::make_unique<PosixFile>(fd, path, access == Access::ReadWrite);
    file->set_can_write_lock(!read_only_fd);
    *result = std::move(file);
    return Status::Ok();
  }

  Status Rename(const std::string& from, const std::string& to) override {
    std::string hf, ht;
    Status s = ResolvePath(from, &hf);
    if (!s.ok()) return s;
    s = ResolvePath(to, &ht);
    if (!s.ok()) return s;
    struct stat st;
    if (::lstat(hf.c_str(), &st) != 0) return MissingStatus(errno, hf, from);
    if (ht == hf) {
      // The target names the source itself, perhaps in another case: take
      // the target's spelling of the last component.
      std::string last = to;
      for (char& c : last)
        if (c == '\\') c = '/';
      while (!last.empty() && last.back() == '/') last.pop_back();
      last = last.substr(last.find_last_of("/:") == std::string::npos ? 0 : last.find_last_of("/:") + 1);
      ht = HostFolderOf(hf) + Cp1252ToUtf8(last);
      if (ht == hf) return Status::Ok();
      if (::rename(hf.c_str(), ht.c_str()) != 0) return ErrnoStatus(errno, from);
      return Status::Ok();
    }
    if (S_ISREG(st.st_mode) && HeldOpen(hf)) return SharingStatus(from);
    if (::renameat2(AT_FDCWD, hf.c_str(), AT_FDCWD, ht.c_str(), RENAME_NOREPLACE) == 0) return Status::Ok();
    int e = errno;
    if (e == EINVAL || e == ENOSYS || e == EOPNOTSUPP) {
      // A file system without RENAME_NOREPLACE.
      struct stat tst;
      if (::lstat(ht.c_str(), &tst) == 0) return Status::Error(kErrAlreadyExists, to + ": already exists");
      if (::rename(hf.c_str(), ht.c_str()) == 0) return Status::Ok();
      e = errno;
    }
    if (e == EEXIST || e == ENOTEMPTY) return Status::Error(kErrAlreadyExists, to + ": already exists");
    if (e == ENOENT || e == ENOTDIR) {
      if (::lstat(hf.c_str(), &st) != 0) return MissingStatus(errno, hf, from);
      return Status::Error(kErrPathNotFound, to + ": path not found");
    }
    return ErrnoStatus(e, from);
  }

  Status CopyOver(const std::string& from, const std::string& to) override {
    std::string hf, ht;
    Status s = ResolvePath(from, &hf);
    if (!s.ok()) return s;
    s = ResolvePath(to, &ht);
    if (!s.ok()) return s;
    int in = ::open(hf.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return MissingStatus(errno, hf, from);
    struct stat st;
    if (::fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
      ::close(in);
      return Status::Error(kErrAccessDenied, from + ": cannot be copied");
    }
    // Reading the source needs a share compatible with its other openers.
    if (!OfdLock(in, F_RDLCK, kShareByte, 1)) {
      ::close(in);
      return SharingStatus(from);
    }
    struct stat tst;
    if (::stat(ht.c_str(), &tst) == 0) {
      if (S_ISDIR(tst.st_mode) || IsReadOnly(tst)) {
        ::close(in);
        return Status::Error(kErrAccessDenied, to + (S_ISDIR(tst.st_mode) ? ": is a folder" : ": the file is read-only"));
      }
      if (tst.st_dev == st.st_dev && tst.st_ino == st.st_ino) {
        ::close(in);
        return SharingStatus(to);
      }
    }
    int out = ::open(ht.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (out < 0) {
      ::close(in);
      return MissingStatus(errno, ht, to);
    }
    // Like the Windows copy: a target held open by anybody is refused.
    if (!OfdLock(out, F_WRLCK, kShareByte, 1)) {
      ::close(in);
      ::close(out);
      return SharingStatus(to);
    }
    Status result;
    if (::ftruncate(out, 0) != 0) result = ErrnoStatus(errno, to);
    std::vector<char> buf(1 << 16);
    while (result.ok()) {
      ssize_t r = ::read(in, buf.data(), buf.size());
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) {
        result = Status::Error(kErrReadFault, from + ": " + std::strerror(errno));
        break;
      }
      if (r == 0) break;
      ssize_t off = 0;
      while (off < r) {
        ssize_t w = ::write(out, buf.data() + off, static_cast<size_t>(r - off));
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) {
          result = errno == ENOSPC || errno == EDQUOT ? Status::Error(kErrDiskFull, to + ": disk full")
                                                      : Status::Error(kErrWriteFault, to + ": " + std::strerror(errno));
          break;
        }
        off += w;
      }
    }
    if (result.ok()) {
      struct timespec times[2] = {st.st_atim, st.st_mtim};
      if (::futimens(out, times) != 0) result = ErrnoStatus(errno, to);
    }
    if (result.ok() && ::fchmod(out, st.st_mode & 0777) != 0) result = ErrnoStatus(errno, to);
    ::close(in);
    if (::close(out) != 0 && result.ok()) result = Status::Error(kErrWriteFault, to + ": " + std::strerror(errno));
    return result;
  }

  Status Remove(const std::string& path) override {
    std::string host;
    Status s = ResolvePath(path, &host);
    if (!s.ok()) return s;
    struct stat st;
    if (::lstat(host.c_str(), &st) != 0) return MissingStatus(errno, host, path);
    if (S_ISDIR(st.st_mode)) return Status::Error(kErrAccessDenied, path + ": is a folder");
    if (S_ISREG(st.st_mode) && IsReadOnly(st)) return Status::Error(kErrAccessDenied, path + ": the file is read-only");
    if (HeldOpen(host)) return SharingStatus(path);
    if (::unlink(host.c_str()) != 0) return MissingStatus(errno, host, path);
    return Status::Ok();
  }

  bool Exists(const std::string& path) override {
    std::string host;
    if (!ResolvePath(path, &host).ok()) return false;
    struct stat st;
    return ::stat(host.c_str(), &st) == 0;
  }

  Status Stat(const std::string& path, FileInfo* info) override {
    std::string host;
    Status s = ResolvePath(path, &host);
    if (!s.ok()) return s;
    struct stat st;
    if (::stat(host.c_str(), &st) != 0) return MissingStatus(errno, host, path);
    std::string name = host;
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    FillInfo(HostToName(name.substr(name.find_last_of('/') + 1)), st, info);
    return Status::Ok();
  }

  Status SetReadOnly(const std::string& path, bool read_only) override {
    std::string host;
    Status s = ResolvePath(path, &host);
    if (!s.ok()) return s;
    struct stat st;
    if (::stat(host.c_str(), &st) != 0) return MissingStatus(errno, host, path);
    mode_t mode = st.st_mode & 07777;
    mode = read_only ? (mode & ~mode_t(0222)) : (mode | S_IWUSR);
    if (::chmod(host.c_str(), mode) != 0) return ErrnoStatus(errno, path);
    return Status::Ok();
  }

  Status SetTimes(const std::string& path, FileTime /*creation*/, FileTime last_write) override {
    std::string host;
    Status s = ResolvePath(path, &host);
    if (!s.ok()) return s;
    struct stat st;
    if (::stat(host.c_str(), &st) != 0) return MissingStatus(errno, host, path);
    if (last_write == 0) return Status::Ok();
    struct timespec times[2];
    times[0].tv_nsec = UTIME_OMIT;
    times[0].tv_sec = 0;
    times[1] = ToTimespec(last_write);
    if (::utimensat(AT_FDCWD, host.c_str(), times, 0) != 0) return MissingStatus(errno, host, path);
    return Status::Ok();
  }

  Status ListFolder(const std::string& path, std::vector<FileInfo>* entries) override {
    entries->clear();
    std::string host;
    Status s = ResolvePath(path, &host);
    if (!s.ok()) return s;
    DIR* d = ::opendir(host.c_str());
    if (!d) {
      if (errno == ENOENT || errno == ENOTDIR) return Status::Error(kErrPathNotFound, path + ": path not found");
      return ErrnoStatus(errno, path);
    }
    std::string prefix = host.back() == '/' ? host : host + "/";
    while (struct dirent* e = ::readdir(d)) {
      std::string n = e->d_name;
      if (n == "." || n == "..") continue;
      struct stat st;
      if (::stat((prefix + n).c_str(), &st) != 0) continue;
      FileInfo info;
      FillInfo(HostToName(n), st, &info);
      entries->push_back(std::move(info));
    }
    ::closedir(d);
    return Status::Ok();
  }

  Status MakeFolder(const std::string& path) override {
    std::string host;
    Status s = ResolvePath(path, &host);
    if (!s.ok()) return s;
    if (::mkdir(host.c_str(), 0777) != 0) {
      if (errno == EEXIST) return Status::Error(kErrAlreadyExists, path + ": already exists");
      return MissingStatus(errno, host, path);
    }
    return Status::Ok();
  }

  Status RemoveFolder(const std::string& path) override {
    std::string host;
    Status s = ResolvePath(path, &host);
    if (!s.ok()) return s;
    struct stat st;
    if (::lstat(host.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
      return Status::Error(kErrDirectory, path + ": not a folder");
    if (::rmdir(host.c_str()) != 0) {
      if (errno == ENOTEMPTY || errno == EEXIST) return Status::Error(kErrDirNotEmpty, path + ": the folder is not empty");
      return MissingStatus(errno, host, path);
    }
    return Status::Ok();
  }
};

}  // namespace

FileSystem* DefaultFileSystem() {
  static PosixFileSystem* fs = new PosixFileSystem;
  return fs;
}

}  // namespace kx::platform
