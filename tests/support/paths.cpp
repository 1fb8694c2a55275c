#include "tests/support/paths.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kx::test {
namespace {

std::string Join(const char* base, const std::string& relative) {
  std::string p = std::string(base) + "/" + relative;
#ifdef _WIN32
  for (char& c : p)
    if (c == '/') c = '\\';
#endif
  return p;
}

}  // namespace

std::string SourcePath(const std::string& relative) { return Join(KX_SOURCE_DIR, relative); }
std::string FixturePath(const std::string& relative) { return Join(KX_SHARED_DIR "/fixtures", relative); }
std::string BinaryPath(const std::string& relative) { return Join(KX_BINARY_DIR, relative); }

std::string ScratchFolder(const std::string& name) {
  std::string p = BinaryPath("scratch/" + name);
  std::error_code ec;
  std::filesystem::remove_all(p, ec);
  std::filesystem::create_directories(p, ec);
  return p;
}

}  // namespace kx::test
