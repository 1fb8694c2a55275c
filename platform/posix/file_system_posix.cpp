// POSIX file system: Windows-style paths resolved onto the local tree, share
// modes and byte-range locks emulated with open-file-description locks.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/file_system.h"
#include "platform/posix/posix_path.h"

namespace kx::platform {
namespace {

// Every handle holds a read lock on this byte; an exclusive open holds a write
// lock on it. It lies far beyond any byte-range lock the tables use.
constexpr off_t kShareByte = off_t(1) << 62;

uint32_t FromErrno(int e) {
  switch (e) {
    case ENOENT: return kErrFileNotFound;
    case ENOTDIR: return kErrPathNotFound;
    case EMFILE:
    case ENFILE: return kErrTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return kErrAccessDenied;
    case EEXIST: return kErrFileExists;
    case ENOSPC: return kErrDiskFull;
    case ENAMETOOLONG: return kErrInvalidName;
    case ENOMEM: return kErrNotEnoughMemory;
    default: return kErrAccessDenied;
  }
}

Status ErrnoStatus(int e, const std::string& what) {
  return Status::Error(FromErrno(e), what + ": " + std::strerror(e));
}

// A missing file whose folder is missing too is "path not found".
Status MissingStatus(int e, const std::string& host_path, const std::string& what) {
  if (e == ENOENT) {
    std::string dir = host_path.substr(0, host_path.find_last_of('/') + 1);
    struct stat st;
    if (!dir.empty() && ::stat(dir.c_str(), &st) != 0) return Status::Error(kErrPathNotFound, what + ": path not found");
    return Status::Error(kErrFileNotFound, what + ": file not found");
  }
  return ErrnoStatus(e, what);
}

bool OfdLock(int fd, short type, off_t start, off_t len, bool wait = false) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = len;
  return ::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) == 0;
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

void FillInfo(const std::string& name, const struct stat& st, FileInfo* info) {
  info->name = name;
  info->is_folder = S_ISDIR(st.st_mode);
  info->read_only = (st.st_mode & S_IWUSR) == 0;
  info->size = static_cast<uint64_t>(st.st_size);
  info->last_write = FromTimespec(st.st_mtim);
  // POSIX keeps no creation time; the last status change is the nearest.
  info->creation = info->last_write;
}

class PosixFile : public File {
 public:
  PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
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
    size_t done = 0;
    const char* p = static_cast<const char*>(buf);
    while (done < n) {
      ssize_t r = ::pwrite(fd_, p + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        if (errno == ENOSPC) return Status::Error(kErrDiskFull, path_ + ": disk full");
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
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) return ErrnoStatus(errno, path_);
    return Status::Ok();
  }

  Status Flush() override {
    if (::fdatasync(fd_) != 0) return ErrnoStatus(errno, path_);
    return Status::Ok();
  }

  Status Lock(uint64_t offset, uint64_t length) override {
    if (length == 0) return Status::Ok();
    if (!OfdLock(fd_, F_WRLCK, static_cast<off_t>(offset), static_cast<off_t>(length)))
      return Status::Error(kErrLockViolation, path_ + ": region is locked");
    return Status::Ok();
  }

  Status Unlock(uint64_t offset, uint64_t length) override {
    if (length == 0) return Status::Ok();
    if (!OfdLock(fd_, F_UNLCK, static_cast<off_t>(offset), static_cast<off_t>(length)))
      return ErrnoStatus(errno, path_);
    return Status::Ok();
  }

 private:
  int fd_;
  std::string path_;
};

class PosixFileSystem : public FileSystem {
 public:
  Status Open(const std::string& path, Access access, Share share, Disposition disposition,
              std::unique_ptr<File>* result) override {
    result->reset();
    std::string host;
    Status s = ResolvePath(path, &host);
    if (!s.ok()) return s;
    int flags = O_CLOEXEC | (access == Access::Read ? O_RDONLY : O_RDWR);
    switch (disposition) {
      case Disposition::OpenExisting: break;
      case Disposition::CreateAlways: flags |= O_CREAT; break;
      case Disposition::CreateNew: flags |= O_CREAT | O_EXCL; break;
      case Disposition::OpenAlways: flags |= O_CREAT; break;
    }
    if (access == Access::Read && disposition != Disposition::OpenExisting) flags = (flags & ~O_RDONLY) | O_RDWR;
    int fd = ::open(host.c_str(), flags, 0666);
    if (fd < 0) return MissingStatus(errno, host, path);
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      return Status::Error(kErrAccessDenied, path + ": is a folder");
    }
    short share_lock = share == Share::Exclusive ? F_WRLCK : F_RDLCK;
    if (!OfdLock(fd, share_lock, kShareByte, 1)) {
      ::close(fd);
      return Status::Error(kErrSharingViolation, path + ": the file is in use by another process");
    }
    if (disposition == Disposition::CreateAlways && ::ftruncate(fd, 0) != 0) {
      Status t = ErrnoStatus(errno, path);
      ::close(fd);
      return t;
    }
    *result = std::make_unique<PosixFile>(fd, path);
    return Status::Ok();
  }

  Status Rename(const std::string& from, const std::string& to) override {
    std::string hf, ht;
    Status s = ResolvePath(from, &hf);
    if (!s.ok()) return s;
    s = ResolvePath(to, &ht);
    if (!s.ok()) return s;
    struct stat st;
    if (::lstat(ht.c_str(), &st) == 0) return Status::Error(kErrAlreadyExists, to + ": already exists");
    if (::rename(hf.c_str(), ht.c_str()) != 0) return MissingStatus(errno, hf, from);
    return Status::Ok();
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
    struct stat tst;
    if (::stat(ht.c_str(), &tst) == 0 && (tst.st_mode & S_IWUSR) == 0) {
      ::close(in);
      return Status::Error(kErrAccessDenied, to + ": read-only");
    }
    int out = ::open(ht.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, st.st_mode & 0777);
    if (out < 0) {
      ::close(in);
      return MissingStatus(errno, ht, to);
    }
    // Like CopyFile: a target held open elsewhere (share byte locked) is refused.
    if (!OfdLock(out, F_WRLCK, kShareByte, 1)) {
      ::close(in);
      ::close(out);
      return Status::Error(kErrSharingViolation, to + ": the file is in use by another process");
    }
    Status result;
    if (::ftruncate(out, 0) != 0) result = ErrnoStatus(errno, to);
    char buf[1 << 16];
    while (result.ok()) {
      ssize_t r = ::read(in, buf, sizeof buf);
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) {
        result = ErrnoStatus(errno, from);
        break;
      }
      if (r == 0) break;
      ssize_t off = 0;
      while (off < r) {
        ssize_t w = ::write(out, buf + off, static_cast<size_t>(r - off));
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) {
          result = errno == ENOSPC ? Status::Error(kErrDiskFull, to + ": disk full") : ErrnoStatus(errno, to);
          break;
        }
        off += w;
      }
    }
    if (result.ok()) {
      struct timespec times[2] = {st.st_atim, st.st_mtim};
      ::futimens(out, times);
      ::fchmod(out, st.st_mode & 0777);
    }
    ::close(in);
    ::close(out);
    return result;
  }

  Status Remove(const std::string& path) override {
    std::string host;
    Status s = ResolvePath(path, &host);
    if (!s.ok()) return s;
    struct stat st;
    if (::lstat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      return Status::Error(kErrAccessDenied, path + ": is a folder");
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
    FillInfo(HostToName(host.substr(host.find_last_of('/') + 1)), st, info);
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
    if (!d) return errno == ENOENT ? Status::Error(kErrPathNotFound, path + ": path not found") : ErrnoStatus(errno, path);
    while (struct dirent* e = ::readdir(d)) {
      std::string n = e->d_name;
      if (n == "." || n == "..") continue;
      struct stat st;
      if (::stat((host + "/" + n).c_str(), &st) != 0) continue;
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
    if (::rmdir(host.c_str()) != 0) return MissingStatus(errno, host, path);
    return Status::Ok();
  }
};

}  // namespace

FileSystem* DefaultFileSystem() {
  static PosixFileSystem* fs = new PosixFileSystem;
  return fs;
}

}  // namespace kx::platform
