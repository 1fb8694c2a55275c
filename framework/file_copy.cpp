#include "framework/file_copy.h"

namespace kx::framework {
namespace {
platform::FileSystem*& Current() {
  static platform::FileSystem* fs = nullptr;
  return fs;
}
}  // namespace

platform::FileSystem* FrameworkFileSystem() {
  platform::FileSystem* fs = Current();
  return fs ? fs : platform::DefaultFileSystem();
}

platform::FileSystem* SetFrameworkFileSystem(platform::FileSystem* fs) {
  platform::FileSystem* previous = FrameworkFileSystem();
  Current() = fs;
  return previous;
}

bool KXCOPYFILE(const std::string& cSource, const std::string& cTarget) {
  return FrameworkFileSystem()->CopyOver(cSource, cTarget).ok();
}

}  // namespace kx::framework
