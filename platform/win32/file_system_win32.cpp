// Win32 file system: the ANSI API with the path as given, share modes of
// CreateFile, byte-range locks of LockFileEx.
#include <windows.h>

#include <utility>

#include "platform/file_system.h"
#include "platform/win32/win32_error.h"

namespace kx::platform {
namespace {

FileTime FromFiletime(const FILETIME& ft) {
  return static_cast<FileTime>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

FILETIME ToFiletime(FileTime t) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(t) & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(t) >> 32);
  return ft;
}

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED ov = {};
  ov.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return ov;
}

// The path without trailing separators (FindFirstFile refuses them).
std::string WithoutTrailingSeparators(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && (p.back() == '\\' || p.back() == '/') && !(p.size() == 3 && p[1] == ':')) p.pop_back();
  return p;
}

std::string LastComponent(const std::string& path) {
  std::string p = WithoutTrailingSeparators(path);
  size_t cut = p.find_last_of("\\/:");
  return cut == std::string::npos ? p : p.substr(cut + 1);
}

class Win32File : public File {
 public:
  Win32File(HANDLE h, std::string path, bool writable) : h_(h), path_(std::move(path)), writable_(writable) {}
  ~Win32File() override { ::CloseHandle(h_); }

  Status ReadAt(uint64_t offset, void* buf, size_t n, size_t* got) override {
    size_t done = 0;
    char* p = static_cast<char*>(buf);
    while (done < n) {
      DWORD chunk = static_cast<DWORD>(n - done > 0x40000000u ? 0x40000000u : n - done);
      OVERLAPPED ov = At(offset + done);
      DWORD read = 0;
      if (!::ReadFile(h_, p + done, chunk, &read, &ov)) {
        DWORD e = ::GetLastError();
        if (e == ERROR_HANDLE_EOF) break;
        *got = done;
        return LastErrorStatus(e, path_);
      }
      if (read == 0) break;
      done += read;
    }
    *got = done;
    return Status::Ok();
  }

  Status WriteAt(uint64_t offset, const void* buf, size_t n) override {
    if (!writable_) return Status::Error(kErrAccessDenied, path_ + ": opened for reading only");
    size_t done = 0;
    const char* p = static_cast<const char*>(buf);
    while (done < n) {
      DWORD chunk = static_cast<DWORD>(n - done > 0x40000000u ? 0x40000000u : n - done);
      OVERLAPPED ov = At(offset + done);
      DWORD written = 0;
      if (!::WriteFile(h_, p + done, chunk, &written, &ov)) return LastErrorStatus(::GetLastError(), path_);
      if (written == 0) return Status::Error(kErrWriteFault, path_ + ": nothing was written");
      done += written;
    }
    return Status::Ok();
  }

  Status Size(uint64_t* size) override {
    LARGE_INTEGER li;
    if (!::GetFileSizeEx(h_, &li)) return LastErrorStatus(::GetLastError(), path_);
    *size = static_cast<uint64_t>(li.QuadPart);
    return Status::Ok();
  }

  Status Truncate(uint64_t size) override {
    if (!writable_) return Status::Error(kErrAccessDenied, path_ + ": opened for reading only");
    LARGE_INTEGER li;
    li.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFilePointerEx(h_, li, nullptr, FILE_BEGIN) || !::SetEndOfFile(h_))
      return LastErrorStatus(::GetLastError(), path_);
    return Status::Ok();
  }

  Status Flush() override {
    // A handle without write access has nothing to flush.
    if (!writable_) return Status::Ok();
    if (!::FlushFileBuffers(h_)) return LastErrorStatus(::GetLastError(), path_);
    return Status::Ok();
  }

  Status Lock(uint64_t offset, uint64_t length) override {
    if (length == 0) return Status::Ok();
    OVERLAPPED ov = At(offset);
    if (!::LockFileEx(h_, LOCKFILE_FAIL_IMMEDIATELY | LOCKFILE_EXCLUSIVE_LOCK, 0,
                      static_cast<DWORD>(length & 0xFFFFFFFFu), static_cast<DWORD>(length >> 32), &ov)) {
      DWORD e = ::GetLastError();
      // The range is held: report it as a lock violation whatever the
      // system's word for it (ERROR_IO_PENDING never applies here).
      if (e == ERROR_LOCK_VIOLATION || e == ERROR_IO_PENDING || e == ERROR_LOCK_FAILED)
        return Status::Error(kErrLockViolation, path_ + ": region is locked");
      return LastErrorStatus(e, path_);
    }
    return Status::Ok();
  }

  Status Unlock(uint64_t offset, uint64_t length) override {
    if (length == 0) return Status::Ok();
    OVERLAPPED ov = At(offset);
    if (!::UnlockFileEx(h_, 0, static_cast<DWORD>(length & 0xFFFFFFFFu), static_cast<DWORD>(length >> 32), &ov)) {
      DWORD e = ::GetLastError();
      // Windows says ERROR_NOT_LOCKED, Wine ERROR_LOCK_VIOLATION.
      if (e == ERROR_NOT_LOCKED || e == ERROR_LOCK_VIOLATION)
        return Status::Error(kErrNotLocked, path_ + ": region is not locked");
      return LastErrorStatus(e, path_);
    }
    return Status::Ok();
  }

 private:
  HANDLE h_;
  std::string path_;
  bool writable_;
};

void FillInfo(const std::string& name, DWORD attributes, const FILETIME& creation, const FILETIME& last_write,
              DWORD size_high, DWORD size_low, FileInfo* info) {
  info->name = name;
  info->is_folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info->read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  info->size = info->is_folder ? 0 : (static_cast<uint64_t>(size_high) << 32) | size_low;
  info->creation = FromFiletime(creation);
  info->last_write = FromFiletime(last_write);
}

bool IsReadOnlyFile(const std::string& path) {
  DWORD a = ::GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY) && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

class Win32FileSystem : public FileSystem {
 public:
  Status Open(const std::string& path, Access access, Share share, Disposition disposition,
              std::unique_ptr<File>* result) override {
    result->reset();
    DWORD creation = OPEN_EXISTING;
    switch (disposition) {
      case Disposition::OpenExisting: creation = OPEN_EXISTING; break;
      case Disposition::CreateAlways: creation = CREATE_ALWAYS; break;
      case Disposition::CreateNew: creation = CREATE_NEW; break;
      case Disposition::OpenAlways: creation = OPEN_ALWAYS; break;
    }
    // Creating or truncating needs write access, whatever the caller reads.
    DWORD desired = GENERIC_READ;
    if (access == Access::ReadWrite || disposition != Disposition::OpenExisting) desired |= GENERIC_WRITE;
    DWORD share_mode = share == Share::Shared ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
    // Windows refuses to write a read-only file; Wine, run by root, would not.
    if ((desired & GENERIC_WRITE) && disposition != Disposition::CreateNew && IsReadOnlyFile(path))
      return Status::Error(kErrAccessDenied, path + ": the file is read-only");
    HANDLE h = ::CreateFileA(path.c_str(), desired, share_mode, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastErrorStatus(::GetLastError(), path);
    *result = std::make_unique<Win32File>(h, path, access == Access::ReadWrite);
    return Status::Ok();
  }

  Status Rename(const std::string& from, const std::string& to) override {
    if (!::MoveFileA(from.c_str(), to.c_str())) return LastErrorStatus(::GetLastError(), from + " -> " + to);
    return Status::Ok();
  }

  Status CopyOver(const std::string& from, const std::string& to) override {
    // A read-only target, or one that anybody holds open, is refused before
    // the copy starts: Windows does so itself, Wine (run by root, or with the
    // target shared) would write over it.
    if (IsReadOnlyFile(to)) return Status::Error(kErrAccessDenied, to + ": the file is read-only");
    HANDLE probe = ::CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
      ::CloseHandle(probe);
    } else if (::GetLastError() == ERROR_SHARING_VIOLATION) {
      return Status::Error(kErrSharingViolation, to + ": the file is in use by another process");
    }
    if (!::CopyFileA(from.c_str(), to.c_str(), FALSE)) return LastErrorStatus(::GetLastError(), from + " -> " + to);
    return Status::Ok();
  }

  Status Remove(const std::string& path) override {
    if (!::DeleteFileA(path.c_str())) return LastErrorStatus(::GetLastError(), path);
    return Status::Ok();
  }

  bool Exists(const std::string& path) override { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

  Status Stat(const std::string& path, FileInfo* info) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
      return LastErrorStatus(::GetLastError(), path);
    // The stored spelling of the name comes from a search for it.
    std::string name = LastComponent(path);
    std::string pattern = WithoutTrailingSeparators(path);
    if (pattern.find_first_of("*?") == std::string::npos) {
      WIN32_FIND_DATAA fd;
      HANDLE h = ::FindFirstFileA(pattern.c_str(), &fd);
      if (h != INVALID_HANDLE_VALUE) {
        name = fd.cFileName;
        ::FindClose(h);
      }
    }
    FillInfo(name, data.dwFileAttributes, data.ftCreationTime, data.ftLastWriteTime, data.nFileSizeHigh,
             data.nFileSizeLow, info);
    return Status::Ok();
  }

  Status SetReadOnly(const std::string& path, bool read_only) override {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastErrorStatus(::GetLastError(), path);
    attributes = read_only ? (attributes | FILE_ATTRIBUTE_READONLY) : (attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
    attributes &= ~DWORD(FILE_ATTRIBUTE_DIRECTORY);
    if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
    if (!::SetFileAttributesA(path.c_str(), attributes)) return LastErrorStatus(::GetLastError(), path);
    return Status::Ok();
  }

  Status SetTimes(const std::string& path, FileTime creation, FileTime last_write) override {
    HANDLE h = ::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastErrorStatus(::GetLastError(), path);
    FILETIME c = ToFiletime(creation), w = ToFiletime(last_write);
    BOOL ok = ::SetFileTime(h, creation ? &c : nullptr, nullptr, last_write ? &w : nullptr);
    DWORD e = ::GetLastError();
    ::CloseHandle(h);
    if (!ok) return LastErrorStatus(e, path);
    return Status::Ok();
  }

  Status ListFolder(const std::string& path, std::vector<FileInfo>* entries) override {
    entries->clear();
    std::string pattern = path;
    if (pattern.empty()) pattern = ".";
    if (pattern.back() != '\\' && pattern.back() != '/' && pattern.back() != ':') pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) {
      DWORD e = ::GetLastError();
      if (e == ERROR_FILE_NOT_FOUND || e == ERROR_NO_MORE_FILES) {
        // Only an empty drive root lists nothing at all; a missing folder
        // must not pass for an empty one.
        DWORD a = ::GetFileAttributesA(path.c_str());
        if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) return Status::Ok();
        return Status::Error(kErrPathNotFound, path + ": path not found");
      }
      // A file named as the folder: Windows says 267 or 3, Wine 123.
      DWORD a = ::GetFileAttributesA(path.c_str());
      if (e == ERROR_DIRECTORY || (a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY)))
        return Status::Error(kErrPathNotFound, path + ": not a folder");
      return LastErrorStatus(e, path);
    }
    do {
      std::string n = fd.cFileName;
      if (n == "." || n == "..") continue;
      FileInfo info;
      FillInfo(n, fd.dwFileAttributes, fd.ftCreationTime, fd.ftLastWriteTime, fd.nFileSizeHigh, fd.nFileSizeLow,
               &info);
      entries->push_back(std::move(info));
    } while (::FindNextFileA(h, &fd));
    DWORD e = ::GetLastError();
    ::FindClose(h);
    if (e != ERROR_NO_MORE_FILES) {
      entries->clear();
      return LastErrorStatus(e, path);
    }
    return Status::Ok();
  }

  Status MakeFolder(const std::string& path) override {
    if (!::CreateDirectoryA(path.c_str(), nullptr)) return LastErrorStatus(::GetLastError(), path);
    return Status::Ok();
  }

  Status RemoveFolder(const std::string& path) override {
    if (!::RemoveDirectoryA(path.c_str())) return LastErrorStatus(::GetLastError(), path);
    return Status::Ok();
  }
};

}  // namespace

FileSystem* DefaultFileSystem() {
  static Win32FileSystem* fs = new Win32FileSystem;
  return fs;
}

}  // namespace kx::platform
