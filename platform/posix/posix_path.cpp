#include "platform/posix/posix_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <vector>

#include "base/cp1252.h"

namespace kx::platform {
namespace {

unsigned char FoldByte(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
  if (c == 0x9A || c == 0x9C || c == 0x9E) return static_cast<unsigned char>(c - 16);
  if (c == 0xFF) return 0x9F;
  return c;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldByte(static_cast<unsigned char>(a[i])) != FoldByte(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

bool HostExists(const std::string& p) {
  struct stat st;
  return ::lstat(p.c_str(), &st) == 0;
}

}  // namespace

std::string HostToName(const std::string& host_name) { return Utf8ToCp1252(host_name); }

Status ResolvePath(const std::string& path, std::string* host) {
  if (path.empty()) return Status::Error(kErrPathNotFound, "empty path");
  std::string p = path;
  for (char& c : p)
    if (c == '\\') c = '/';
  std::string base;
  if (p.size() >= 2 && p[1] == ':' && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'))) {
    char letter = static_cast<char>(p[0] & ~0x20);
    std::string var = std::string("UPDATER_DRIVE_") + letter;
    const char* mapped = std::getenv(var.c_str());
    if (!mapped || !*mapped)
      return Status::Error(3, "drive " + std::string(1, letter) + ": is not mapped; set " + var + " to its folder");
    base = mapped;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    p = p.substr(2);
    if (p.empty() || p[0] != '/') p = "/" + p;
  } else if (!p.empty() && p[0] == '/') {
    base = "";
  } else {
    base = ".";
    p = "/" + p;
  }
  // Split into components, keeping a trailing separator.
  std::vector<std::string> parts;
  size_t i = 0;
  while (i < p.size()) {
    size_t j = p.find('/', i);
    if (j == std::string::npos) j = p.size();
    if (j > i) parts.push_back(p.substr(i, j - i));
    i = j + 1;
  }
  bool trailing = !p.empty() && p.back() == '/';
  std::string out = base;
  for (const std::string& part : parts) {
    std::string utf = Cp1252ToUtf8(part);
    std::string candidate = out + "/" + utf;
    if (part != "." && part != ".." && !HostExists(candidate)) {
      std::string dir = out.empty() ? "/" : out;
      if (DIR* d = ::opendir(dir.c_str())) {
        while (struct dirent* e = ::readdir(d)) {
          if (SameNameIgnoringCase(Utf8ToCp1252(e->d_name), part)) {
            candidate = out + "/" + e->d_name;
            break;
          }
        }
        ::closedir(d);
      }
    }
    out = candidate;
  }
  if (out.empty()) out = "/";
  if (trailing && out.back() != '/') out += '/';
  *host = out;
  return Status::Ok();
}

}  // namespace kx::platform
