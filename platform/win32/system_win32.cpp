#include <windows.h>

#include "platform/system.h"

namespace kx::platform {

uint32_t TickCount() { return static_cast<uint32_t>(::GetTickCount()); }

std::string CurrentFolder() {
  DWORD n = ::GetCurrentDirectoryA(0, nullptr);
  if (n == 0) return std::string();
  std::string s(n, '\0');
  DWORD got = ::GetCurrentDirectoryA(n, s.data());
  if (got == 0 || got >= n) return std::string();
  s.resize(got);
  return s;
}

bool SetCurrentFolder(const std::string& path) { return !path.empty() && ::SetCurrentDirectoryA(path.c_str()) != 0; }

std::string ModulePath() {
  std::string s(MAX_PATH, '\0');
  while (true) {
    DWORD n = ::GetModuleFileNameA(nullptr, s.data(), static_cast<DWORD>(s.size()));
    if (n == 0) return std::string();
    if (n < s.size()) {
      s.resize(n);
      return s;
    }
    s.resize(s.size() * 2);
  }
}

uint32_t RequestFileHandles(uint32_t n) { return ::SetHandleCount(n); }

}  // namespace kx::platform
