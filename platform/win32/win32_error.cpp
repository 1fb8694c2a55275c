#include "platform/win32/win32_error.h"

#include <windows.h>

namespace kx::platform {

Status LastErrorStatus(uint32_t code, const std::string& what) {
  char buf[512];
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buf,
                             sizeof buf, nullptr);
  while (n > 0 && (buf[n - 1] == '\r' || buf[n - 1] == '\n' || buf[n - 1] == ' ' || buf[n - 1] == '.')) --n;
  std::string text = n ? std::string(buf, n) : "error " + std::to_string(code);
  return Status::Error(code ? code : 1, what + ": " + text);
}

}  // namespace kx::platform
