// HKEY_LOCAL_MACHINE through the 32-bit view, with the ANSI registry API.
#include <windows.h>

#include "platform/registry.h"

namespace kx::platform {
namespace {

constexpr REGSAM kView = KEY_WOW64_32KEY;

// "\\Software\\X\\" -> "Software\\X".
std::string Clean(const std::string& path) {
  size_t b = 0, e = path.size();
  while (b < e && path[b] == '\\') ++b;
  while (e > b && path[e - 1] == '\\') --e;
  return path.substr(b, e - b);
}

Status FromCode(LONG code, const std::string& what) {
  if (code == ERROR_SUCCESS) return Status::Ok();
  std::string text;
  switch (code) {
    case ERROR_FILE_NOT_FOUND: text = "not found"; break;
    case ERROR_ACCESS_DENIED: text = "access denied"; break;
    case ERROR_KEY_DELETED: text = "key deleted"; break;
    default: text = "registry error " + std::to_string(code);
  }
  return Status::Error(static_cast<uint32_t>(code), what + ": " + text);
}

// Owns an open key.
class Key {
 public:
  ~Key() {
    if (h_) RegCloseKey(h_);
  }
  LONG Open(const std::string& path, REGSAM access) {
    std::string p = Clean(path);
    if (p.empty()) {
      // RegOpenKeyEx with an empty subkey returns the root handle itself.
      return RegOpenKeyExA(HKEY_LOCAL_MACHINE, nullptr, 0, access | kView, &h_);
    }
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, p.c_str(), 0, access | kView, &h_);
  }
  HKEY get() const { return h_; }

 private:
  HKEY h_ = nullptr;
};

LONG EnumSubkeys(HKEY h, std::vector<std::string>* names) {
  names->clear();
  DWORD count = 0, max_len = 0;
  LONG r = RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, &count, &max_len, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr);
  if (r != ERROR_SUCCESS) return r;
  std::vector<char> buf(max_len + 2);
  for (DWORD i = 0;; ++i) {
    DWORD len = static_cast<DWORD>(buf.size());
    r = RegEnumKeyExA(h, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (r == ERROR_MORE_DATA) {
      buf.resize(buf.size() * 2 + 256);
      --i;
      continue;
    }
    if (r != ERROR_SUCCESS) return r;
    names->emplace_back(buf.data(), len);
  }
}

LONG QueryValue(HKEY h, const std::string& name, DWORD* type, std::string* bytes) {
  DWORD size = 0;
  LONG r = RegQueryValueExA(h, name.c_str(), nullptr, type, nullptr, &size);
  if (r != ERROR_SUCCESS) return r;
  for (;;) {
    bytes->assign(size, '\0');
    DWORD got = size;
    r = RegQueryValueExA(h, name.c_str(), nullptr, type, reinterpret_cast<BYTE*>(bytes->data()), &got);
    if (r == ERROR_MORE_DATA) {
      size = got > size ? got : size * 2 + 16;
      continue;
    }
    if (r == ERROR_SUCCESS) bytes->resize(got);
    return r;
  }
}

class Win32Registry : public Registry {
 public:
  Status OpenKey(const std::string& path) override {
    Key k;
    return FromCode(k.Open(path, KEY_READ | KEY_WRITE), path);
  }

  Status ListSubkeys(const std::string& path, std::vector<std::string>* names) override {
    names->clear();
    Key k;
    LONG r = k.Open(path, KEY_READ);
    if (r == ERROR_SUCCESS) r = EnumSubkeys(k.get(), names);
    if (r != ERROR_SUCCESS) names->clear();
    return FromCode(r, path);
  }

  Status ReadString(const std::string& path, const std::string& name, std::string* value) override {
    value->clear();
    Key k;
    LONG r = k.Open(path, KEY_READ);
    if (r != ERROR_SUCCESS) return FromCode(r, path);
    DWORD type = 0;
    std::string bytes;
    r = QueryValue(k.get(), name, &type, &bytes);
    if (r != ERROR_SUCCESS) return FromCode(r, path + "\\" + name);
    if (type != REG_SZ && type != REG_EXPAND_SZ)
      return Status::Error(kErrUnsupportedType, path + "\\" + name + ": not a text value");
    *value = bytes.substr(0, bytes.find('\0'));
    return Status::Ok();
  }

  Status ReadDword(const std::string& path, const std::string& name, uint32_t* value) override {
    *value = 0;
    Key k;
    LONG r = k.Open(path, KEY_READ);
    if (r != ERROR_SUCCESS) return FromCode(r, path);
    DWORD type = 0;
    std::string bytes;
    r = QueryValue(k.get(), name, &type, &bytes);
    if (r != ERROR_SUCCESS) return FromCode(r, path + "\\" + name);
    if (type != REG_DWORD || bytes.size() != 4)
      return Status::Error(kErrUnsupportedType, path + "\\" + name + ": not a 32-bit value");
    for (int i = 3; i >= 0; --i) *value = (*value << 8) | static_cast<unsigned char>(bytes[i]);
    return Status::Ok();
  }

  Status WriteString(const std::string& path, const std::string& name, const std::string& value) override {
    Key k;
    LONG r = k.Open(path, KEY_SET_VALUE);
    if (r == ERROR_SUCCESS)
      r = RegSetValueExA(k.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>(value.size() + 1));
    return FromCode(r, path + "\\" + name);
  }

  Status WriteDword(const std::string& path, const std::string& name, uint32_t value) override {
    Key k;
    LONG r = k.Open(path, KEY_SET_VALUE);
    DWORD v = value;
    if (r == ERROR_SUCCESS)
      r = RegSetValueExA(k.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
    return FromCode(r, path + "\\" + name);
  }

  Status DeleteTree(const std::string& path) override {
    std::string p = Clean(path);
    if (p.empty()) return Status::Error(kErrAccessDenied, "the root key can't be deleted");
    return FromCode(DeleteRecursive(p), path);
  }

  Status ListValues(const std::string& path, std::vector<ValueInfo>* values) override {
    values->clear();
    Key k;
    LONG r = k.Open(path, KEY_READ);
    if (r != ERROR_SUCCESS) return FromCode(r, path);
    DWORD max_len = 0;
    r = RegQueryInfoKeyA(k.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &max_len, nullptr,
                         nullptr, nullptr);
    if (r != ERROR_SUCCESS) return FromCode(r, path);
    std::vector<char> buf(max_len + 2);
    for (DWORD i = 0;; ++i) {
      DWORD len = static_cast<DWORD>(buf.size()), type = 0;
      r = RegEnumValueA(k.get(), i, buf.data(), &len, nullptr, &type, nullptr, nullptr);
      if (r == ERROR_NO_MORE_ITEMS) break;
      if (r == ERROR_MORE_DATA) {
        buf.resize(buf.size() * 2 + 256);
        --i;
        continue;
      }
      if (r != ERROR_SUCCESS) {
        values->clear();
        return FromCode(r, path);
      }
      values->push_back({std::string(buf.data(), len), static_cast<RegType>(type)});
    }
    return Status::Ok();
  }

 private:
  // Subkeys depth first, then the key itself.
  LONG DeleteRecursive(const std::string& p) {
    std::vector<std::string> names;
    {
      Key k;
      LONG r = k.Open(p, KEY_READ);
      if (r != ERROR_SUCCESS) return r;
      r = EnumSubkeys(k.get(), &names);
      if (r != ERROR_SUCCESS) return r;
    }
    for (const std::string& n : names) {
      LONG r = DeleteRecursive(p + "\\" + n);
      if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) return r;
    }
    return RegDeleteKeyExA(HKEY_LOCAL_MACHINE, p.c_str(), kView, 0);
  }
};

}  // namespace

Registry* SystemRegistry() {
  static Win32Registry* registry = new Win32Registry;
  return registry;
}

}  // namespace kx::platform
