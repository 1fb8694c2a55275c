// The in-memory INI engine.
//
// The file is held as a list of sections, each with its header line and its
// body lines; lines before the first header form a nameless preamble. Every
// line keeps its bytes and its own line end ("\r\n", "\n" or nothing for a
// last line without one), so serialising the lists gives the file back byte
// for byte. Sections are indexed by folded name (every occurrence, in file
// order) and each section indexes its key lines by folded name, so lookups,
// in-place replacements and appends cost O(1) on average.
#include "paneltool/ini/ini_file.h"

#include <cstdint>
#include <iterator>
#include <list>
#include <unordered_map>
#include <unordered_set>

#include "paneltool/ini/ini_text.h"

namespace kx::ini {
namespace {

using platform::Status;

struct Line {
  std::string text;  // without the line end
  std::string eol;   // "\r\n", "\n" or "" (last line of a file without a final line end)
};
using Lines = std::list<Line>;

struct KeyRef {
  Lines::iterator line;
};

struct Section {
  Line header;
  std::string name;  // as spelled between the brackets
  Lines body;
  // Folded key name -> its lines in order. Only lines that parse as keys.
  std::unordered_map<std::string, std::vector<Lines::iterator>> keys;
  size_t key_count = 0;  // number of key lines in body
};
using Sections = std::list<Section>;

class MemoryIniFile : public IniFile {
 public:
  MemoryIniFile(platform::FileSystem* fs, std::string path) : fs_(fs), path_(std::move(path)) {}

  void Parse(const std::string& bytes) {
    size_t headers = 0;
    for (size_t i = bytes.find('['); i != std::string::npos; i = bytes.find('[', i + 1)) ++headers;
    section_index_.reserve(headers + 16);
    size_t pos = 0;
    Section* current = nullptr;
    bool eol_seen = false;
    while (pos < bytes.size()) {
      size_t nl = bytes.find('\n', pos);
      Line line;
      if (nl == std::string::npos) {
        line.text = bytes.substr(pos);
        pos = bytes.size();
      } else {
        size_t end = nl;
        if (end > pos && bytes[end - 1] == '\r') {
          --end;
          line.eol = "\r\n";
        } else {
          line.eol = "\n";
        }
        line.text = bytes.substr(pos, end - pos);
        pos = nl + 1;
        if (!eol_seen) {
          default_eol_ = line.eol;
          eol_seen = true;
        }
      }
      ParsedLine parsed = ParseLine(line.text);
      if (parsed.kind == LineKind::Header) {
        sections_.emplace_back();
        Section& s = sections_.back();
        s.header = std::move(line);
        s.name = parsed.name;
        current = &s;
        if (!parsed.name.empty()) section_index_[FoldName(parsed.name)].push_back(std::prev(sections_.end()));
        continue;
      }
      Lines& target = current ? current->body : preamble_;
      target.push_back(std::move(line));
      if (current && parsed.kind == LineKind::Key) {
        current->keys[FoldName(parsed.name)].push_back(std::prev(target.end()));
        ++current->key_count;
      }
    }
  }

  const std::string& path() const override { return path_; }

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& default_value) override {
    std::string k = TrimBlanks(key);
    if (k.empty()) return std::string();
    const Lines::iterator* line = FindKey(section, k);
    if (!line) return ReadableValue(TrimTrailingSpaces(default_value));
    return ReadableValue(ParseLine((*line)->text).value);
  }

  bool HasSection(const std::string& section) override {
    Section* s = FindSection(section);
    return s && s->key_count > 0;
  }

  bool HasKey(const std::string& section, const std::string& key) override {
    std::string k = TrimBlanks(key);
    return !k.empty() && FindKey(section, k) != nullptr;
  }

  std::vector<std::string> ReadSectionKeys(const std::string& section) override {
    std::vector<std::string> out;
    for (IniPair& p : Pairs(section)) out.push_back(std::move(p.key));
    return out;
  }

  std::vector<IniPair> ReadSectionPairs(const std::string& section) override { return Pairs(section); }

  std::vector<std::string> ReadSectionNames() override {
    std::vector<std::string> out;
    std::unordered_set<std::string> seen;
    for (const Section& s : sections_) {
      if (s.name.empty()) continue;
      if (seen.insert(FoldName(s.name)).second) out.push_back(s.name);
    }
    return out;
  }

  Status WriteString(const std::string& section, const std::string& key, const std::string& value) override {
    std::string sec = TrimBlanks(section), k = TrimBlanks(key);
    Status s = CheckNames(sec, k, value);
    if (!s.ok()) return s;
    Section* target = FindSection(sec);
    if (target) {
      auto it = target->keys.find(FoldName(k));
      if (it != target->keys.end()) {
        Line& line = *it->second.front();
        if (ParseLine(line.text).value == value) return Status::Ok();  // no change needed
        line.text = ReplaceValue(line.text, value);
        dirty_ = true;
        return Status::Ok();
      }
    } else {
      target = AppendSection(sec);
    }
    AppendKey(target, k, value);
    dirty_ = true;
    return Status::Ok();
  }

  Status EraseKey(const std::string& section, const std::string& key) override {
    std::string k = TrimBlanks(key);
    Section* s = FindSection(section);
    if (!s || k.empty()) return Status::Ok();
    auto it = s->keys.find(FoldName(k));
    if (it == s->keys.end()) return Status::Ok();
    for (Lines::iterator line : it->second) RemoveBodyLine(s, line);
    s->key_count -= it->second.size();
    s->keys.erase(it);
    dirty_ = true;
    return Status::Ok();
  }

  Status EraseSection(const std::string& section) override {
    std::string folded = FoldName(TrimBlanks(section));
    auto it = section_index_.find(folded);
    if (folded.empty() || it == section_index_.end()) return Status::Ok();
    for (Sections::iterator s : it->second) sections_.erase(s);
    section_index_.erase(it);
    dirty_ = true;
    return Status::Ok();
  }

  Status WriteSection(const std::string& section, const std::vector<IniPair>& pairs) override {
    std::string sec = TrimBlanks(section);
    Status st = CheckNames(sec, "x", "");
    if (!st.ok()) return st;
    std::vector<IniPair> clean;
    std::unordered_set<std::string> seen;
    for (const IniPair& p : pairs) {
      std::string k = TrimBlanks(p.key);
      st = CheckNames(sec, k, p.value);
      if (!st.ok()) return st;
      if (seen.insert(FoldName(k)).second) clean.push_back({k, p.value});
    }
    auto idx = section_index_.find(FoldName(sec));
    if (idx == section_index_.end()) {
      if (clean.empty()) return Status::Ok();
      Section* s = AppendSection(sec);
      for (const IniPair& p : clean) AppendKey(s, p.key, p.value);
      dirty_ = true;
      return Status::Ok();
    }
    for (Sections::iterator s : idx->second) {
      for (auto& [name, lines] : s->keys) {
        for (Lines::iterator line : lines) RemoveBodyLine(&*s, line);
      }
      if (s->key_count) dirty_ = true;
      s->keys.clear();
      s->key_count = 0;
    }
    Section* first = &*idx->second.front();
    if (first->header.eol.empty() && !clean.empty()) first->header.eol = default_eol_;
    Lines::iterator at = first->body.begin();
    for (const IniPair& p : clean) {
      Lines::iterator line = first->body.insert(at, Line{p.key + "=" + p.value, default_eol_});
      first->keys[FoldName(p.key)].push_back(line);
      ++first->key_count;
      dirty_ = true;
    }
    return Status::Ok();
  }

  Status Flush() override {
    if (!dirty_) return Status::Ok();
    std::string bytes = Serialise();
    Status s = ReplaceFileAtomically(fs_, path_, bytes);
    if (!s.ok()) {
      uint32_t code = s.code() ? s.code() : static_cast<uint32_t>(platform::kErrWriteFault);
      return Status::Error(code, "Unable to write to " + path_);
    }
    dirty_ = false;
    return Status::Ok();
  }

  std::string Serialise() const {
    std::string out;
    size_t n = 0;
    for (const Line& l : preamble_) n += l.text.size() + l.eol.size();
    for (const Section& s : sections_) {
      n += s.header.text.size() + s.header.eol.size();
      for (const Line& l : s.body) n += l.text.size() + l.eol.size();
    }
    out.reserve(n);
    for (const Line& l : preamble_) out.append(l.text).append(l.eol);
    for (const Section& s : sections_) {
      out.append(s.header.text).append(s.header.eol);
      for (const Line& l : s.body) out.append(l.text).append(l.eol);
    }
    return out;
  }

  void MarkDirty() { dirty_ = true; }

 private:
  Section* FindSection(const std::string& section) {
    std::string folded = FoldName(TrimBlanks(section));
    if (folded.empty()) return nullptr;
    auto it = section_index_.find(folded);
    if (it == section_index_.end()) return nullptr;
    return &*it->second.front();
  }

  // REQUIRES: key trimmed and not empty.
  const Lines::iterator* FindKey(const std::string& section, const std::string& key) {
    Section* s = FindSection(section);
    if (!s) return nullptr;
    auto it = s->keys.find(FoldName(key));
    if (it == s->keys.end()) return nullptr;
    return &it->second.front();
  }

  std::vector<IniPair> Pairs(const std::string& section) {
    std::vector<IniPair> out;
    Section* s = FindSection(section);
    if (!s) return out;
    std::unordered_set<std::string> seen;
    for (const Line& l : s->body) {
      ParsedLine p = ParseLine(l.text);
      if (p.kind != LineKind::Key) continue;
      if (seen.insert(FoldName(p.name)).second) out.push_back({std::move(p.name), std::move(p.value)});
    }
    return out;
  }

  Status CheckNames(const std::string& section, const std::string& key, const std::string& value) const {
    auto bad = [](const std::string& s) { return s.find_first_of(std::string("\r\n\0", 3)) != std::string::npos; };
    if (section.empty() || key.empty())
      return Status::Error(platform::kErrInvalidName, "Unable to write to " + path_ + ": empty name");
    if (bad(section) || bad(key) || bad(value) || section.find(']') != std::string::npos ||
        key.find('=') != std::string::npos || key[0] == ';' || key[0] == '[')
      return Status::Error(platform::kErrInvalidName, "Unable to write to " + path_ + ": invalid name or value");
    return Status::Ok();
  }

  // The last line of the whole file.
  Line* LastLine() {
    if (!sections_.empty()) {
      Section& s = sections_.back();
      return s.body.empty() ? &s.header : &s.body.back();
    }
    return preamble_.empty() ? nullptr : &preamble_.back();
  }

  Section* AppendSection(const std::string& name) {
    if (Line* last = LastLine(); last && last->eol.empty()) last->eol = default_eol_;
    sections_.emplace_back();
    Section& s = sections_.back();
    s.header = Line{"[" + name + "]", default_eol_};
    s.name = name;
    section_index_[FoldName(name)].push_back(std::prev(sections_.end()));
    return &s;
  }

  // Appends a key line after the last non-blank line of the section.
  void AppendKey(Section* s, const std::string& key, const std::string& value) {
    Lines::iterator at = s->body.end();
    while (at != s->body.begin() && IsBlankLine(std::prev(at)->text)) --at;
    Line* before = at == s->body.begin() ? &s->header : &*std::prev(at);
    if (before->eol.empty()) before->eol = default_eol_;
    Lines::iterator line = s->body.insert(at, Line{key + "=" + value, default_eol_});
    s->keys[FoldName(key)].push_back(line);
    ++s->key_count;
  }

  // Only the file's last line can lack a line end, and removing lines never
  // makes another line last without one: untouched lines keep their bytes.
  static void RemoveBodyLine(Section* s, Lines::iterator line) { s->body.erase(line); }

  platform::FileSystem* fs_;
  std::string path_;
  std::string default_eol_ = "\r\n";
  Lines preamble_;
  Sections sections_;
  std::unordered_map<std::string, std::vector<Sections::iterator>> section_index_;
  bool dirty_ = false;
};

}  // namespace

std::string ReadableValue(const std::string& stored) {
  std::string v = UnquoteValue(stored);
  if (v.size() > kMaxRead) v.resize(kMaxRead);
  return v;
}

Status OpenIniFile(platform::FileSystem* fs, const std::string& path, std::unique_ptr<IniFile>* result) {
  result->reset();
  std::string bytes;
  bool from_backup = false;
  Status s = platform::ReadWholeFile(fs, path, &bytes);
  if (!s.ok()) {
    if (!IsMissingFile(s)) return s;
    bytes.clear();
    std::string backup = path + kBackupSuffix;
    if (fs->Exists(backup)) {
      s = platform::ReadWholeFile(fs, backup, &bytes);
      if (!s.ok()) return s;
      from_backup = true;
    }
  }
  auto file = std::make_unique<MemoryIniFile>(fs, path);
  file->Parse(bytes);
  if (from_backup) file->MarkDirty();
  *result = std::move(file);
  return Status::Ok();
}

}  // namespace kx::ini
