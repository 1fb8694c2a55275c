// Whole-file copy, and the file system the framework's services use.
#pragma once

#include <string>

#include "platform/file_system.h"

namespace kx::framework {

// The file system of the framework's services: platform::DefaultFileSystem()
// unless a program or test has set another (a fault-injecting
// platform::FileSystemWrapper, for one).
platform::FileSystem* FrameworkFileSystem();
// Makes `fs` the framework's file system (null: back to the default) and
// returns the previous one. `fs` must outlive its use.
platform::FileSystem* SetFrameworkFileSystem(platform::FileSystem* fs);

// Sets the framework's file system for one scope.
class ScopedFrameworkFileSystem {
 public:
  explicit ScopedFrameworkFileSystem(platform::FileSystem* fs) : previous_(SetFrameworkFileSystem(fs)) {}
  ~ScopedFrameworkFileSystem() { SetFrameworkFileSystem(previous_); }
  ScopedFrameworkFileSystem(const ScopedFrameworkFileSystem&) = delete;
  ScopedFrameworkFileSystem& operator=(const ScopedFrameworkFileSystem&) = delete;

 private:
  platform::FileSystem* previous_;
};

// Copies the file cSource over cTarget in one system call (CopyFileA with
// overwrite on Windows): an existing target is replaced; the target gets the
// source's contents and last-write time (and on Windows its attributes). True
// exactly when the copy succeeded. A missing source or target folder, a
// read-only, locked or open target make it false; nothing is shown or raised.
// Blocks until the copy is done.
bool KXCOPYFILE(const std::string& cSource, const std::string& cTarget);

}  // namespace kx::framework
