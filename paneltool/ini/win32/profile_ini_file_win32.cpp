// An IniFile that hands every call to the Windows profile functions. Used as
// the reference in comparisons and benchmarks; the repairs use the engine.
#include <windows.h>

#include <unordered_set>

#include "paneltool/ini/ini_file.h"
#include "paneltool/ini/ini_text.h"

namespace kx::ini {
namespace {

using platform::Status;

// Splits a list of zero-terminated strings ending in an empty one.
std::vector<std::string> SplitList(const std::vector<char>& buf, DWORD n) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < n && buf[i]) {
    std::string s(&buf[i]);
    i += s.size() + 1;
    out.push_back(std::move(s));
  }
  return out;
}

class ProfileIniFile : public IniFile {
 public:
  explicit ProfileIniFile(std::string path) : path_(std::move(path)) {}
  ~ProfileIniFile() override { WritePrivateProfileStringA(nullptr, nullptr, nullptr, path_.c_str()); }

  const std::string& path() const override { return path_; }

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& default_value) override {
    char buf[kMaxRead + 1];
    DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), default_value.c_str(), buf, sizeof buf,
                                       path_.c_str());
    return std::string(buf, n);
  }

  bool HasSection(const std::string& section) override { return !KeyList(section).empty(); }

  bool HasKey(const std::string& section, const std::string& key) override {
    std::string folded = FoldName(TrimBlanks(key));
    for (const std::string& k : KeyList(section))
      if (FoldName(k) == folded) return true;
    return false;
  }

  std::vector<std::string> ReadSectionKeys(const std::string& section) override {
    std::vector<std::string> out;
    std::unordered_set<std::string> seen;
    for (std::string& k : KeyList(section))
      if (seen.insert(FoldName(k)).second) out.push_back(std::move(k));
    return out;
  }

  std::vector<IniPair> ReadSectionPairs(const std::string& section) override {
    std::vector<IniPair> out;
    std::unordered_set<std::string> seen;
    for (const std::string& line : Grow([&](char* b, DWORD size) {
           return GetPrivateProfileSectionA(section.c_str(), b, size, path_.c_str());
         })) {
      size_t eq = line.find('=');
      if (eq == std::string::npos) continue;  // a line without '=' is no key
      IniPair p{TrimBlanks(line.substr(0, eq)), line.substr(eq + 1)};
      if (p.key.empty() || p.key[0] == ';') continue;
      if (seen.insert(FoldName(p.key)).second) out.push_back(std::move(p));
    }
    return out;
  }

  std::vector<std::string> ReadSectionNames() override {
    std::vector<std::string> out;
    std::unordered_set<std::string> seen;
    for (std::string& s :
         Grow([&](char* b, DWORD size) { return GetPrivateProfileSectionNamesA(b, size, path_.c_str()); }))
      if (seen.insert(FoldName(s)).second) out.push_back(std::move(s));
    return out;
  }

  Status WriteString(const std::string& section, const std::string& key, const std::string& value) override {
    if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path_.c_str())) return Failed();
    return Status::Ok();
  }

  // The system removes one occurrence per call; repeat until none is left.
  Status EraseKey(const std::string& section, const std::string& key) override {
    for (int guard = 0; guard < 1000 && HasKey(section, key); ++guard)
      if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), nullptr, path_.c_str())) return Failed();
    return Status::Ok();
  }

  Status EraseSection(const std::string& section) override {
    for (int guard = 0; guard < 1000 && Listed(section); ++guard)
      if (!WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, path_.c_str())) return Failed();
    return Status::Ok();
  }

  Status WriteSection(const std::string& section, const std::vector<IniPair>& pairs) override {
    if (pairs.empty() && !Listed(section)) return Status::Ok();
    std::string list;
    std::unordered_set<std::string> seen;
    for (const IniPair& p : pairs) {
      if (!seen.insert(FoldName(TrimBlanks(p.key))).second) continue;
      list += p.key + "=" + p.value;
      list.push_back('\0');
    }
    list.push_back('\0');
    if (!WritePrivateProfileSectionA(section.c_str(), list.data(), path_.c_str())) return Failed();
    return Status::Ok();
  }

  Status Flush() override {
    // Asks the system to write its cached copy; the call reports nothing useful.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path_.c_str());
    return Status::Ok();
  }

 private:
  Status Failed() const {
    DWORD code = GetLastError();
    uint32_t c = code ? static_cast<uint32_t>(code) : static_cast<uint32_t>(platform::kErrWriteFault);
    return Status::Error(c, "Unable to write to " + path_);
  }

  bool Listed(const std::string& section) {
    std::string folded = FoldName(TrimBlanks(section));
    for (const std::string& s : ReadSectionNames())
      if (FoldName(s) == folded) return true;
    return false;
  }

  template <typename Call>
  std::vector<std::string> Grow(Call call) {
    std::vector<char> buf(1 << 16);
    for (;;) {
      DWORD n = call(buf.data(), static_cast<DWORD>(buf.size()));
      if (n + 2 < buf.size() || buf.size() >= (1u << 28)) return SplitList(buf, n);
      buf.resize(buf.size() * 4);
    }
  }

  std::vector<std::string> KeyList(const std::string& section) {
    return Grow([&](char* b, DWORD size) {
      return GetPrivateProfileStringA(section.c_str(), nullptr, "", b, size, path_.c_str());
    });
  }

  std::string path_;
};

}  // namespace

std::unique_ptr<IniFile> OpenProfileIniFile(const std::string& path) { return std::make_unique<ProfileIniFile>(path); }

}  // namespace kx::ini
