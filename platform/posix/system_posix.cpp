#include <limits.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include "base/cp1252.h"
#include "platform/posix/posix_path.h"
#include "platform/system.h"

namespace kx::platform {

uint32_t TickCount() {
  struct timespec ts;
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

std::string CurrentFolder() {
  char buf[PATH_MAX];
  if (!::getcwd(buf, sizeof buf)) return std::string();
  return Utf8ToCp1252(buf);
}

bool SetCurrentFolder(const std::string& path) {
  std::string host;
  if (path.empty() || !ResolvePath(path, &host).ok()) return false;
  return ::chdir(host.c_str()) == 0;
}

std::string ModulePath() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::string();
  buf[n] = 0;
  return Utf8ToCp1252(buf);
}

uint32_t RequestFileHandles(uint32_t n) {
  struct rlimit rl;
  if (::getrlimit(RLIMIT_NOFILE, &rl) != 0) return 0;
  if (rl.rlim_cur != RLIM_INFINITY && rl.rlim_cur < n) {
    rlim_t want = n;
    if (rl.rlim_max != RLIM_INFINITY && want > rl.rlim_max) want = rl.rlim_max;
    rl.rlim_cur = want;
    ::setrlimit(RLIMIT_NOFILE, &rl);
    ::getrlimit(RLIMIT_NOFILE, &rl);
  }
  if (rl.rlim_cur == RLIM_INFINITY || rl.rlim_cur >= n) return n;
  return static_cast<uint32_t>(rl.rlim_cur);
}

}  // namespace kx::platform
