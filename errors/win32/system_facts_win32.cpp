// Report facts of the Windows build.
#include <windows.h>

#include <cstdio>

#include "base/date.h"
#include "errors/error_report.h"
#include "platform/local_time.h"
#include "platform/system.h"

namespace kx {

SystemFacts GatherSystemFacts() {
  SystemFacts f;
  f.exe_path = platform::ModulePath();
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!f.exe_path.empty() && GetFileAttributesExA(f.exe_path.c_str(), GetFileExInfoStandard, &data)) {
    f.exe_size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    platform::FileTime ft = (uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    platform::LocalTime lt;
    if (platform::ToLocalTime(ft, &lt)) f.exe_date = DateFromYmd(lt.year, lt.month, lt.day);
  }
  f.handle_count = platform::RequestFileHandles(0);
  SYSTEMTIME now;
  GetLocalTime(&now);
  f.today = DateFromYmd(now.wYear, now.wMonth, now.wDay);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", unsigned(now.wHour), unsigned(now.wMinute), unsigned(now.wSecond));
  f.time_text = buf;
  MEMORYSTATUS ms;
  ms.dwLength = sizeof ms;
  GlobalMemoryStatus(&ms);
  f.total_physical = ms.dwTotalPhys;
  OSVERSIONINFOA vi;
  vi.dwOSVersionInfoSize = sizeof vi;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (GetVersionExA(&vi)) {
#pragma GCC diagnostic pop
    f.os_major = vi.dwMajorVersion, f.os_minor = vi.dwMinorVersion;
    f.os_build = vi.dwBuildNumber & 0xFFFF, f.os_platform = vi.dwPlatformId;
  }
  SYSTEM_INFO si;
  GetNativeSystemInfo(&si);
  switch (si.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_INTEL: f.cpu_name = "Intel x86"; break;
    case PROCESSOR_ARCHITECTURE_AMD64: f.cpu_name = "x86-64"; break;
    default: f.cpu_name = "Desconocido"; break;
  }
  if (GetActiveWindow() != nullptr) {
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
      char title[512];
      int n = GetWindowTextA(w, title, sizeof title);
      f.window_titles.emplace_back(title, n > 0 ? size_t(n) : 0);
    }
  }
  return f;
}

}  // namespace kx
