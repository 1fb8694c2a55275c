// Report facts of the Linux build: the nearest equivalents of the Windows
// queries (see GatherSystemFacts in error_report.h).
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "base/date.h"
#include "errors/error_report.h"
#include "platform/system.h"

namespace kx {

SystemFacts GatherSystemFacts() {
  SystemFacts f;
  f.exe_path = platform::ModulePath();
  char link[4096];
  ssize_t n = readlink("/proc/self/exe", link, sizeof link - 1);
  struct stat st {};
  if (n > 0) {
    link[n] = 0;
    if (stat(link, &st) == 0) {
      f.exe_size = uint64_t(st.st_size);
      std::tm tm {};
      time_t t = st.st_mtime;
      if (localtime_r(&t, &tm)) f.exe_date = DateFromYmd(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    }
  }
  f.handle_count = platform::RequestFileHandles(0);
  std::time_t now = std::time(nullptr);
  std::tm tm {};
  localtime_r(&now, &tm);
  f.today = DateFromYmd(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
  f.time_text = buf;
  long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGESIZE);
  if (pages > 0 && page > 0) f.total_physical = uint64_t(pages) * uint64_t(page);
  struct utsname u {};
  if (uname(&u) == 0) {
    f.cpu_name = u.machine;
    unsigned a = 0, b = 0, c = 0;
    std::sscanf(u.release, "%u.%u.%u", &a, &b, &c);
    f.os_major = a, f.os_minor = b, f.os_build = c;
  }
  f.os_platform = 0;
  return f;
}

}  // namespace kx
