#include "platform/memory_registry.h"

#include <cstdio>

#include "base/cp1252.h"

namespace kx::platform {
namespace {

// Unicode code points of the Windows-1252 bytes 0x80-0x9F.
constexpr uint16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The lower-case code point of a Windows-1252 byte, as Wine's registry
// compares names (checked against it by the registry tests; Windows itself
// compares upper-cased names, which orders '[', '\\', ']', '^', '_' and '`'
// after the letters instead of before them).
uint32_t FoldedCodePoint(unsigned char c) {
  uint32_t u = (c >= 0x80 && c <= 0x9F) ? kHigh[c - 0x80] : c;
  if (u >= 'A' && u <= 'Z') return u + 32;
  if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return u + 32;
  switch (u) {
    case 0x0178: return 0xFF;
    case 0x0160: return 0x0161;
    case 0x0152: return 0x0153;
    case 0x017D: return 0x017E;
    default: return u;
  }
}

int CompareNames(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    uint32_t x = FoldedCodePoint(static_cast<unsigned char>(a[i]));
    uint32_t y = FoldedCodePoint(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

struct NameLess {
  bool operator()(const std::string& a, const std::string& b) const { return CompareNames(a, b) < 0; }
};

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : path) {
    if (c == '\\') {
      if (!cur.empty()) parts.push_back(std::move(cur));
      cur.clear();
    } else {
      cur.push_back(c);
    }
  }
  if (!cur.empty()) parts.push_back(std::move(cur));
  return parts;
}

Status Missing(const std::string& what) { return Status::Error(kErrFileNotFound, what + ": not found"); }

std::string DwordBytes(uint32_t v) {
  std::string b(4, '\0');
  for (int i = 0; i < 4; ++i) b[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return b;
}

// --- text encodings of .reg files ---

void AppendUtf8(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string Utf16LeToUtf8(const std::string& bytes, size_t from) {
  std::string out;
  for (size_t i = from; i + 1 < bytes.size(); i += 2) {
    uint32_t u = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
    if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
      uint32_t lo = static_cast<unsigned char>(bytes[i + 2]) | (static_cast<unsigned char>(bytes[i + 3]) << 8);
      if (lo >= 0xDC00 && lo < 0xE000) {
        u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
        i += 2;
      }
    }
    AppendUtf8(u, &out);
  }
  return out;
}

std::string Cp1252ToUtf16Le(const std::string& s) {
  std::string out;
  out.reserve(s.size() * 2);
  for (unsigned char c : s) {
    uint32_t u = (c >= 0x80 && c <= 0x9F) ? kHigh[c - 0x80] : c;
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  }
  return out;
}

std::string Utf16LeToCp1252(const std::string& bytes) { return Utf8ToCp1252(Utf16LeToUtf8(bytes, 0)); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

// Reads a quoted .reg string starting at s[*pos] == '"'; advances past the
// closing quote.
bool ParseQuoted(const std::string& s, size_t* pos, std::string* out) {
  if (*pos >= s.size() || s[*pos] != '"') return false;
  out->clear();
  for (size_t i = *pos + 1; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\\' && i + 1 < s.size()) {
      char n = s[++i];
      switch (n) {
        case 'n': out->push_back('\n'); break;
        case 'r': out->push_back('\r'); break;
        case '0': out->push_back('\0'); break;
        default: out->push_back(n); break;  // \\ and \" and anything else taken literally
      }
    } else if (c == '"') {
      *pos = i + 1;
      return true;
    } else {
      out->push_back(c);
    }
  }
  return false;
}

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\0': out += "\\0"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

}  // namespace

bool RegistryNameLess(const std::string& a, const std::string& b) { return CompareNames(a, b) < 0; }
bool RegistryNameEqual(const std::string& a, const std::string& b) { return CompareNames(a, b) == 0; }

struct MemoryRegistry::Node {
  struct Value {
    std::string name;
    RegType type;
    std::string bytes;
  };
  std::string name;
  std::vector<Value> values;  // in creation order
  std::map<std::string, std::unique_ptr<Node>, NameLess> children;

  Value* FindValue(const std::string& n) {
    for (Value& v : values)
      if (CompareNames(v.name, n) == 0) return &v;
    return nullptr;
  }
};

MemoryRegistry::MemoryRegistry() : root_(std::make_unique<Node>()) {}
MemoryRegistry::~MemoryRegistry() = default;

MemoryRegistry::Node* MemoryRegistry::Find(const std::string& path) {
  Node* n = root_.get();
  for (const std::string& part : SplitPath(path)) {
    auto it = n->children.find(part);
    if (it == n->children.end()) return nullptr;
    n = it->second.get();
  }
  return n;
}

Status MemoryRegistry::OpenKey(const std::string& path) { return Find(path) ? Status::Ok() : Missing(path); }

Status MemoryRegistry::ListSubkeys(const std::string& path, std::vector<std::string>* names) {
  names->clear();
  Node* n = Find(path);
  if (!n) return Missing(path);
  for (auto& [name, child] : n->children) names->push_back(child->name);
  return Status::Ok();
}

Status MemoryRegistry::ReadString(const std::string& path, const std::string& name, std::string* value) {
  value->clear();
  Node* n = Find(path);
  if (!n) return Missing(path);
  Node::Value* v = n->FindValue(name);
  if (!v) return Missing(path + "\\" + name);
  if (v->type != RegType::String && v->type != RegType::ExpandString)
    return Status::Error(kErrUnsupportedType, path + "\\" + name + ": not a text value");
  size_t z = v->bytes.find('\0');
  *value = v->bytes.substr(0, z);
  return Status::Ok();
}

Status MemoryRegistry::ReadDword(const std::string& path, const std::string& name, uint32_t* value) {
  *value = 0;
  Node* n = Find(path);
  if (!n) return Missing(path);
  Node::Value* v = n->FindValue(name);
  if (!v) return Missing(path + "\\" + name);
  if (v->type != RegType::Dword || v->bytes.size() != 4)
    return Status::Error(kErrUnsupportedType, path + "\\" + name + ": not a 32-bit value");
  for (int i = 3; i >= 0; --i) *value = (*value << 8) | static_cast<unsigned char>(v->bytes[i]);
  return Status::Ok();
}

Status MemoryRegistry::WriteString(const std::string& path, const std::string& name, const std::string& value) {
  if (!Find(path)) return Missing(path);
  SetRawValue(path, name, RegType::String, value + std::string(1, '\0'));
  return Status::Ok();
}

Status MemoryRegistry::WriteDword(const std::string& path, const std::string& name, uint32_t value) {
  if (!Find(path)) return Missing(path);
  SetRawValue(path, name, RegType::Dword, DwordBytes(value));
  return Status::Ok();
}

Status MemoryRegistry::DeleteTree(const std::string& path) {
  std::vector<std::string> parts = SplitPath(path);
  if (parts.empty()) return Status::Error(kErrAccessDenied, "the root key can't be deleted");
  Node* n = root_.get();
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    auto it = n->children.find(parts[i]);
    if (it == n->children.end()) return Missing(path);
    n = it->second.get();
  }
  auto it = n->children.find(parts.back());
  if (it == n->children.end()) return Missing(path);
  n->children.erase(it);
  return Status::Ok();
}

Status MemoryRegistry::ListValues(const std::string& path, std::vector<ValueInfo>* values) {
  values->clear();
  Node* n = Find(path);
  if (!n) return Missing(path);
  for (const Node::Value& v : n->values) values->push_back({v.name, v.type});
  return Status::Ok();
}

void MemoryRegistry::CreateKey(const std::string& path) {
  Node* n = root_.get();
  for (const std::string& part : SplitPath(path)) {
    auto it = n->children.find(part);
    if (it == n->children.end()) {
      auto child = std::make_unique<Node>();
      child->name = part;
      it = n->children.emplace(part, std::move(child)).first;
    }
    n = it->second.get();
  }
}

void MemoryRegistry::SetRawValue(const std::string& path, const std::string& name, RegType type,
                                 const std::string& bytes) {
  CreateKey(path);
  Node* n = Find(path);
  if (Node::Value* v = n->FindValue(name)) {
    v->type = type;
    v->bytes = bytes;
  } else {
    n->values.push_back({name, type, bytes});
  }
}

Status MemoryRegistry::GetRawValue(const std::string& path, const std::string& name, RegType* type,
                                   std::string* bytes) {
  Node* n = Find(path);
  if (!n) return Missing(path);
  Node::Value* v = n->FindValue(name);
  if (!v) return Missing(path + "\\" + name);
  *type = v->type;
  *bytes = v->bytes;
  return Status::Ok();
}

Status MemoryRegistry::LoadRegFile(FileSystem* fs, const std::string& path) {
  std::string bytes;
  Status s = ReadWholeFile(fs, path, &bytes);
  if (!s.ok()) return s;
  s = LoadRegText(bytes);
  if (!s.ok()) return Status::Error(s.code(), path + ": " + s.message());
  return Status::Ok();
}

Status MemoryRegistry::LoadRegText(const std::string& raw) {
  std::string text;
  bool unicode_file = false;
  if (raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF && static_cast<unsigned char>(raw[1]) == 0xFE) {
    text = Utf8ToCp1252(Utf16LeToUtf8(raw, 2));
    unicode_file = true;
  } else if (raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    text = Utf8ToCp1252(raw.substr(3));
  } else {
    text = raw;
  }

  // Logical lines: physical lines joined where a line ends in a backslash
  // (continuation of hex data).
  std::vector<std::pair<int, std::string>> lines;
  {
    size_t pos = 0;
    int number = 0;
    std::string pending;
    int pending_line = 0;
    while (pos <= text.size()) {
      size_t nl = text.find('\n', pos);
      std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
      pos = nl == std::string::npos ? text.size() + 1 : nl + 1;
      ++number;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!pending.empty()) {
        line = pending + Trim(line);
        pending.clear();
      } else {
        pending_line = number;
      }
      std::string t = Trim(line);
      if (!t.empty() && t.back() == '\\' && t.find('=') != std::string::npos && t.find("=hex") != std::string::npos) {
        pending = t.substr(0, t.size() - 1);
        continue;
      }
      lines.emplace_back(pending_line, line);
    }
    if (!pending.empty()) lines.emplace_back(pending_line, pending);
  }

  auto error = [](int line, const std::string& what) {
    return Status::Error(kErrInvalidName, "line " + std::to_string(line) + ": " + what);
  };

  bool header_seen = false;
  bool version4 = false;
  std::string current;  // path of the current key; empty means none
  bool in_key = false;
  for (auto& [number, line] : lines) {
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') continue;
    if (!header_seen) {
      if (t == "REGEDIT4") {
        version4 = true;
      } else if (t != "Windows Registry Editor Version 5.00") {
        return error(number, "not a registry file");
      }
      header_seen = true;
      continue;
    }
    if (t[0] == '[') {
      if (t.back() != ']') return error(number, "key line without ']'");
      bool remove = t.size() > 1 && t[1] == '-';
      std::string full = t.substr(remove ? 2 : 1, t.size() - (remove ? 3 : 2));
      size_t slash = full.find('\\');
      std::string root = full.substr(0, slash);
      if (root != "HKEY_LOCAL_MACHINE" && root != "HKLM") return error(number, "only HKEY_LOCAL_MACHINE keys are accepted");
      std::string path = slash == std::string::npos ? std::string() : full.substr(slash + 1);
      if (remove) {
        if (!path.empty()) DeleteTree(path);
        in_key = false;
      } else {
        CreateKey(path);
        current = path;
        in_key = true;
      }
      continue;
    }
    if (!in_key) return error(number, "value outside a key");
    // Value line: "name"=data or @=data.
    size_t pos = 0;
    std::string name;
    if (t[0] == '@') {
      pos = 1;
    } else if (!ParseQuoted(t, &pos, &name)) {
      return error(number, "bad value name");
    }
    while (pos < t.size() && (t[pos] == ' ' || t[pos] == '\t')) ++pos;
    if (pos >= t.size() || t[pos] != '=') return error(number, "'=' expected");
    ++pos;
    while (pos < t.size() && (t[pos] == ' ' || t[pos] == '\t')) ++pos;
    std::string data = t.substr(pos);
    if (data == "-") {
      Node* n = Find(current);
      for (auto it = n->values.begin(); it != n->values.end(); ++it) {
        if (CompareNames(it->name, name) == 0) {
          n->values.erase(it);
          break;
        }
      }
      continue;
    }
    if (!data.empty() && data[0] == '"') {
      size_t p = 0;
      std::string value;
      if (!ParseQuoted(data, &p, &value)) return error(number, "unterminated text");
      SetRawValue(current, name, RegType::String, value + std::string(1, '\0'));
      continue;
    }
    if (data.compare(0, 6, "dword:") == 0) {
      std::string hex = Trim(data.substr(6));
      if (hex.empty() || hex.size() > 8) return error(number, "bad dword");
      uint32_t v = 0;
      for (char c : hex) {
        int d = HexDigit(c);
        if (d < 0) return error(number, "bad dword");
        v = (v << 4) | static_cast<uint32_t>(d);
      }
      SetRawValue(current, name, RegType::Dword, DwordBytes(v));
      continue;
    }
    if (data.compare(0, 3, "hex") == 0) {
      size_t colon = data.find(':');
      if (colon == std::string::npos) return error(number, "bad hex value");
      uint32_t type = static_cast<uint32_t>(RegType::Binary);
      if (colon > 3) {
        std::string spec = data.substr(3, colon - 3);  // "(N)"
        if (spec.size() < 3 || spec.front() != '(' || spec.back() != ')') return error(number, "bad hex type");
        type = 0;
        for (char c : spec.substr(1, spec.size() - 2)) {
          int d = HexDigit(c);
          if (d < 0) return error(number, "bad hex type");
          type = type * 16 + static_cast<uint32_t>(d);
        }
      }
      std::string bytes;
      std::string digits = data.substr(colon + 1);
      size_t i = 0;
      while (i < digits.size()) {
        while (i < digits.size() && (digits[i] == ' ' || digits[i] == ',' || digits[i] == '\t')) ++i;
        if (i >= digits.size()) break;
        if (i + 1 >= digits.size() || HexDigit(digits[i]) < 0 || HexDigit(digits[i + 1]) < 0)
          return error(number, "bad hex byte");
        bytes.push_back(static_cast<char>(HexDigit(digits[i]) * 16 + HexDigit(digits[i + 1])));
        i += 2;
      }
      RegType rt = static_cast<RegType>(type);
      // Text types of a Unicode file hold UTF-16; inside they are code-page bytes.
      if (!version4 && (rt == RegType::ExpandString || rt == RegType::MultiString || rt == RegType::String))
        bytes = Utf16LeToCp1252(bytes);
      (void)unicode_file;
      SetRawValue(current, name, rt, bytes);
      continue;
    }
    return error(number, "unknown value type");
  }
  if (!header_seen) return error(1, "not a registry file");
  return Status::Ok();
}

std::string MemoryRegistry::ExportRegText(const std::string& path, bool utf16) {
  Node* start = Find(path);
  if (!start) return std::string();
  std::string text = "Windows Registry Editor Version 5.00\r\n";
  std::string prefix = "HKEY_LOCAL_MACHINE";
  std::vector<std::string> parts = SplitPath(path);
  // Spell the start path as stored.
  {
    Node* n = root_.get();
    for (const std::string& p : parts) {
      n = n->children.find(p)->second.get();
      prefix += "\\" + n->name;
    }
  }
  struct Walker {
    std::string* out;
    void Walk(Node* n, const std::string& full) {
      *out += "\r\n[" + full + "]\r\n";
      for (const Node::Value& v : n->values) {
        std::string line = v.name.empty() ? "@=" : "\"" + Escape(v.name) + "\"=";
        if (v.type == RegType::String) {
          line += "\"" + Escape(v.bytes.substr(0, v.bytes.find('\0'))) + "\"";
        } else if (v.type == RegType::Dword && v.bytes.size() == 4) {
          uint32_t x = 0;
          for (int i = 3; i >= 0; --i) x = (x << 8) | static_cast<unsigned char>(v.bytes[i]);
          char buf[16];
          std::snprintf(buf, sizeof buf, "dword:%08x", x);
          line += buf;
        } else {
          std::string bytes = v.bytes;
          if (v.type == RegType::ExpandString || v.type == RegType::MultiString) bytes = Cp1252ToUtf16Le(bytes);
          if (v.type == RegType::Binary) {
            line += "hex:";
          } else {
            char buf[16];
            std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
            line += buf;
          }
          size_t width = line.size();
          for (size_t i = 0; i < bytes.size(); ++i) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(bytes[i]));
            line += buf;
            width += 2;
            if (i + 1 < bytes.size()) {
              line += ",";
              ++width;
              if (width >= 76) {
                line += "\\\r\n  ";
                width = 2;
              }
            }
          }
        }
        *out += line + "\r\n";
      }
      for (auto& [name, child] : n->children) Walk(child.get(), full + "\\" + child->name);
    }
  };
  Walker{&text}.Walk(start, prefix);
  text += "\r\n";
  if (!utf16) return text;
  return std::string("\xFF\xFE", 2) + Cp1252ToUtf16Le(text);
}

}  // namespace kx::platform
