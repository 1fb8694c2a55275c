#include "paneltool/ini/ini_text.h"

#include <memory>

namespace kx::ini {

using platform::Status;

bool IsIniBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1a;
}

std::string TrimBlanks(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsIniBlank(s[b])) ++b;
  while (e > b && IsIniBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string TrimTrailingSpaces(const std::string& s) {
  size_t e = s.size();
  while (e > 0 && s[e - 1] == ' ') --e;
  return s.substr(0, e);
}

bool IsBlankLine(const std::string& text) {
  for (char c : text)
    if (!IsIniBlank(c)) return false;
  return true;
}

LineParts ParseLineParts(std::string_view text) {
  LineParts out;
  size_t b = 0, e = text.size();
  while (b < e && IsIniBlank(text[b])) ++b;
  while (e > b && IsIniBlank(text[e - 1])) --e;
  if (b == e) return out;
  if (text[b] == '[') {
    size_t close = text.rfind(']', e - 1);
    if (close != std::string_view::npos && close > b) {
      out.kind = LineKind::Header;
      out.name_off = static_cast<uint32_t>(b + 1);
      out.name_len = static_cast<uint32_t>(close - b - 1);
      return out;
    }
  }
  out.kind = LineKind::Other;
  if (text[b] == ';') return out;
  size_t eq = text.find('=', b);
  if (eq == std::string_view::npos || eq >= e) return out;
  size_t ne = eq;
  while (ne > b && IsIniBlank(text[ne - 1])) --ne;
  if (ne == b) return out;
  size_t vb = eq + 1;
  while (vb < e && IsIniBlank(text[vb])) ++vb;
  out.kind = LineKind::Key;
  out.name_off = static_cast<uint32_t>(b);
  out.name_len = static_cast<uint32_t>(ne - b);
  out.value_off = static_cast<uint32_t>(vb);
  out.value_len = static_cast<uint32_t>(e - vb);
  return out;
}

ParsedLine ParseLine(const std::string& text) {
  LineParts p = ParseLineParts(text);
  ParsedLine out;
  out.kind = p.kind;
  if (p.kind == LineKind::Header || p.kind == LineKind::Key) out.name = text.substr(p.name_off, p.name_len);
  if (p.kind == LineKind::Key) out.value = text.substr(p.value_off, p.value_len);
  return out;
}

std::string FoldName(const std::string& name) {
  std::string out = name;
  for (char& ch : out) ch = static_cast<char>(FoldChar(static_cast<unsigned char>(ch)));
  return out;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && FoldChar(static_cast<unsigned char>(a[i])) != FoldChar(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string_view TrimBlanksView(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsIniBlank(s[b])) ++b;
  while (e > b && IsIniBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string UnquoteValue(const std::string& stored) {
  if (stored.size() >= 2 && (stored[0] == '"' || stored[0] == '\'') && stored.back() == stored[0])
    return stored.substr(1, stored.size() - 2);
  return stored;
}

size_t ValueStart(std::string_view text) {
  size_t eq = text.find('=');
  if (eq == std::string_view::npos) return text.size();
  size_t vb = eq + 1;
  while (vb < text.size() && IsIniBlank(text[vb]) && text[vb] != '\r' && text[vb] != '\n') ++vb;
  return vb;
}

std::string ReplaceValue(const std::string& text, const std::string& value) {
  if (text.find('=') == std::string::npos) return text;
  return text.substr(0, ValueStart(text)) + value;
}

bool IsMissingFile(const Status& s) {
  return s.code() == platform::kErrFileNotFound || s.code() == platform::kErrPathNotFound;
}

Status ReplaceFileAtomically(platform::FileSystem* fs, const std::string& path, const std::string& bytes) {
  platform::FileInfo info;
  Status s = fs->Stat(path, &info);
  bool exists = s.ok();
  if (!s.ok() && !IsMissingFile(s)) return s;
  if (exists && (info.read_only || info.is_folder)) return Status::Error(platform::kErrAccessDenied, path + ": read-only");

  const std::string temp = path + kTempSuffix;
  const std::string backup = path + kBackupSuffix;
  {
    std::unique_ptr<platform::File> f;
    s = fs->Open(temp, platform::Access::ReadWrite, platform::Share::Exclusive, platform::Disposition::CreateAlways,
                 &f);
    if (!s.ok()) return s;
    s = f->WriteAt(0, bytes.data(), bytes.size());
    if (s.ok()) s = f->Flush();
    if (!s.ok()) {
      f.reset();
      fs->Remove(temp);
      return s;
    }
  }
  if (!exists) {
    s = fs->Rename(temp, path);
    if (!s.ok()) {
      fs->Remove(temp);
      return s;
    }
    // A copy kept by an interrupted flush is older than what is now in place.
    if (fs->Exists(backup)) fs->Remove(backup);
    return Status::Ok();
  }
  // A backup left by an interrupted flush is older than the file in place.
  if (fs->Exists(backup)) {
    s = fs->Remove(backup);
    if (!s.ok()) {
      fs->Remove(temp);
      return s;
    }
  }
  s = fs->Rename(path, backup);
  if (!s.ok()) {
    fs->Remove(temp);
    return s;
  }
  s = fs->Rename(temp, path);
  if (!s.ok()) {
    fs->Rename(backup, path);
    fs->Remove(temp);
    return s;
  }
  fs->Remove(backup);
  return Status::Ok();
}

}  // namespace kx::ini
