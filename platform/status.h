// Result of an operating-system call.
#pragma once

#include <cstdint>
#include <string>

namespace kx::platform {

// Windows error codes, used on every platform so that callers see one numbering.
enum : uint32_t {
  kErrFileNotFound = 2,
  kErrPathNotFound = 3,
  kErrTooManyOpenFiles = 4,
  kErrAccessDenied = 5,
  kErrInvalidHandle = 6,
  kErrNotEnoughMemory = 8,
  kErrNotSameDevice = 17,
  kErrWriteProtect = 19,
  kErrWriteFault = 29,
  kErrReadFault = 30,
  kErrSharingViolation = 32,
  kErrLockViolation = 33,
  kErrHandleEof = 38,
  kErrFileExists = 80,
  kErrInvalidParameter = 87,
  kErrDiskFull = 112,
  kErrInvalidName = 123,
  kErrDirNotEmpty = 145,
  kErrNotLocked = 158,
  kErrAlreadyExists = 183,
  kErrDirectory = 267,  // a file where a folder is expected
};

class Status {
 public:
  Status() = default;  // success
  static Status Ok() { return Status(); }
  static Status Error(uint32_t code, std::string message) { return Status(code, std::move(message)); }

  bool ok() const { return code_ == 0; }
  // The Windows error code; 0 on success.
  uint32_t code() const { return code_; }
  const std::string& message() const { return message_; }

 private:
  Status(uint32_t code, std::string message) : code_(code ? code : 1), message_(std::move(message)) {}
  uint32_t code_ = 0;
  std::string message_;
};

}  // namespace kx::platform
