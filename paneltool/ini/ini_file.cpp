// The in-memory INI engine.
//
// The file is held as a list of sections, each with its header line and a
// vector of body lines; lines before the first header form a nameless
// preamble. A line is a piece of one text store (the file's bytes as read,
// followed by the text of every line written since) plus its line end
// ("\r\n", "\n" or none for a last line without one), with the positions of
// its name and value worked out once. Serialising the lists gives the file
// back byte for byte. Sections are indexed by folded name (every occurrence,
// in file order). Keys are found by a scan of their section's lines, which is
// the fastest way for the few keys an icon file's sections hold; a section of
// many lines gets an index of its keys, kept up to date by appends and rebuilt
// after removals. Lookups fold names as they compare and hash them, so no call
// copies a name; in-place replacements and appends cost O(1) on average.
#include "paneltool/ini/ini_file.h"

#include <cstdint>
#include <cstring>
#include <iterator>
#include <list>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "paneltool/ini/ini_text.h"

namespace kx::ini {
namespace {

using platform::Status;

// Line ends.
enum : uint8_t { kEolNone = 0, kEolLf = 1, kEolCrLf = 2 };

constexpr std::string_view EolText(uint8_t eol) {
  return eol == kEolCrLf ? std::string_view("\r\n", 2) : eol == kEolLf ? std::string_view("\n", 1) : std::string_view();
}

struct Line {
  size_t off = 0;    // first byte of the text in the store
  uint32_t len = 0;  // length of the text, without the line end
  uint8_t eol = kEolNone;
  LineKind kind = LineKind::Blank;
  // Header: the name between the brackets; key: the trimmed name and the
  // trimmed value (quotes kept). Offsets into the line's text.
  uint32_t name_off = 0, name_len = 0, value_off = 0, value_len = 0;
};

// Hash and equality of names without regard to case, for the indexes (their
// keys are folded names, the names looked up are taken as given). The hash is
// not declared noexcept so that the tables keep each node's hash: a lookup
// then compares hashes before names and never hashes a stored name again.
struct FoldHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const {
    uint64_t h = 1469598103934665603ull;
    for (char c : s) h = (h ^ FoldChar(static_cast<unsigned char>(c))) * 1099511628211ull;
    return static_cast<size_t>(h ^ (h >> 29));
  }
};
struct FoldEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept { return SameName(a, b); }
};

// Folded key name -> position of its first line in the body.
using KeyIndex = std::unordered_map<std::string, uint32_t, FoldHash, FoldEqual>;

// Sections from this many body lines on keep an index of their keys.
constexpr size_t kIndexedSection = 24;

struct Section {
  Line header;
  std::vector<Line> body;
  uint32_t key_count = 0;  // number of key lines in body
  std::unique_ptr<KeyIndex> keys;  // only for large sections; null when stale
};
using Sections = std::list<Section>;

struct SectionSlot {
  Sections::iterator first;               // first occurrence in the file
  std::vector<Sections::iterator> later;  // further occurrences, in file order
};
using SectionIndex = std::unordered_map<std::string, SectionSlot, FoldHash, FoldEqual>;

bool HoldsBadByte(std::string_view s) {
  for (char c : s)
    if (c == '\r' || c == '\n' || c == '\0') return true;
  return false;
}

class MemoryIniFile : public IniFile {
 public:
  MemoryIniFile(platform::FileSystem* fs, std::string path) : fs_(fs), path_(std::move(path)) {}

  void Parse(std::string bytes) {
    store_ = std::move(bytes);
    const std::string& b = store_;
    size_t headers = 0;
    for (size_t i = b.find('['); i != std::string::npos; i = b.find('[', i + 1)) ++headers;
    section_index_.reserve(headers + 16);
    size_t pos = 0;
    Section* current = nullptr;
    bool eol_seen = false;
    while (pos < b.size()) {
      size_t nl = b.find('\n', pos);
      Line line;
      line.off = pos;
      if (nl == std::string::npos) {
        line.len = static_cast<uint32_t>(b.size() - pos);
        pos = b.size();
      } else {
        size_t end = nl;
        if (end > pos && b[end - 1] == '\r') {
          --end;
          line.eol = kEolCrLf;
        } else {
          line.eol = kEolLf;
        }
        line.len = static_cast<uint32_t>(end - pos);
        pos = nl + 1;
        if (!eol_seen) {
          default_eol_ = line.eol;
          eol_seen = true;
        }
      }
      Classify(&line);
      if (line.kind == LineKind::Header) {
        sections_.emplace_back();
        Section& s = sections_.back();
        s.header = line;
        current = &s;
        if (line.name_len) Index(Name(s.header), std::prev(sections_.end()));
        continue;
      }
      if (!current) {
        preamble_.push_back(line);
        continue;
      }
      if (line.kind == LineKind::Key) ++current->key_count;
      current->body.push_back(line);
    }
  }

  const std::string& path() const override { return path_; }

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& default_value) override {
    std::string_view k = TrimBlanksView(key);
    if (k.empty()) return std::string();
    const Line* line = FindKeyLine(section, k);
    if (!line) return ReadableValue(TrimTrailingSpaces(default_value));
    return ReadableView(Value(*line));
  }

  bool HasSection(const std::string& section) override {
    Section* s = FindSection(section);
    return s && s->key_count > 0;
  }

  bool HasKey(const std::string& section, const std::string& key) override {
    std::string_view k = TrimBlanksView(key);
    return !k.empty() && FindKeyLine(section, k) != nullptr;
  }

  std::vector<std::string> ReadSectionKeys(const std::string& section) override {
    std::vector<std::string> out;
    for (IniPair& p : Pairs(section)) out.push_back(std::move(p.key));
    return out;
  }

  std::vector<IniPair> ReadSectionPairs(const std::string& section) override { return Pairs(section); }

  std::vector<std::string> ReadSectionNames() override {
    std::vector<std::string> out;
    for (auto it = sections_.begin(); it != sections_.end(); ++it) {
      if (!it->header.name_len) continue;
      std::string_view name = Name(it->header);
      auto slot = section_index_.find(name);
      if (slot != section_index_.end() && slot->second.first == it) out.emplace_back(name);
    }
    return out;
  }

  Status WriteString(const std::string& section, const std::string& key, const std::string& value) override {
    std::string_view sec = TrimBlanksView(section), k = TrimBlanksView(key);
    Status s = CheckNames(sec, k, value);
    if (!s.ok()) return s;
    Section* target = FindSectionTrimmed(sec);
    if (target) {
      if (Line* line = FindKeyIn(target, k)) {
        if (Value(*line) == value) return Status::Ok();  // no change needed
        std::string_view text = Text(*line);
        size_t keep = ValueStart(text);
        std::string replaced;
        replaced.reserve(keep + value.size());
        replaced.append(text.substr(0, keep)).append(value);
        SetText(line, replaced);
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
    std::string_view k = TrimBlanksView(key);
    Section* s = FindSection(section);
    if (!s || k.empty() || !FindKeyIn(s, k)) return Status::Ok();
    size_t kept = 0;
    for (size_t i = 0; i < s->body.size(); ++i) {
      const Line& l = s->body[i];
      if (l.kind == LineKind::Key && SameName(KeyName(l), k)) {
        --s->key_count;
        continue;
      }
      s->body[kept++] = l;
    }
    s->body.resize(kept);
    s->keys.reset();
    dirty_ = true;
    return Status::Ok();
  }

  Status EraseSection(const std::string& section) override {
    std::string_view name = TrimBlanksView(section);
    if (name.empty()) return Status::Ok();
    auto it = Lookup(name);
    if (it == section_index_.end()) return Status::Ok();
    sections_.erase(it->second.first);
    for (Sections::iterator s : it->second.later) sections_.erase(s);
    section_index_.erase(it);
    Forget();
    dirty_ = true;
    return Status::Ok();
  }

  Status WriteSection(const std::string& section, const std::vector<IniPair>& pairs) override {
    std::string_view sec = TrimBlanksView(section);
    Status st = CheckNames(sec, "x", "");
    if (!st.ok()) return st;
    // The pairs to write: names trimmed, each name once (its first value).
    std::vector<std::pair<std::string_view, std::string_view>> clean;
    clean.reserve(pairs.size());
    std::unordered_set<std::string_view, FoldHash, FoldEqual> seen;
    for (const IniPair& p : pairs) {
      std::string_view k = TrimBlanksView(p.key);
      st = CheckNames(sec, k, p.value);
      if (!st.ok()) return st;
      bool repeated = false;
      if (pairs.size() > kIndexedSection) {
        repeated = !seen.insert(k).second;
      } else {
        for (const auto& c : clean) repeated = repeated || SameName(c.first, k);
      }
      if (!repeated) clean.emplace_back(k, p.value);
    }
    auto idx = Lookup(sec);
    if (idx == section_index_.end()) {
      if (clean.empty()) return Status::Ok();
      Section* s = AppendSection(sec);
      s->body.reserve(clean.size());
      for (const auto& [k, v] : clean) AppendKey(s, k, v);
      dirty_ = true;
      return Status::Ok();
    }
    auto drop_keys = [this](Section& s) {
      if (!s.key_count) return;
      size_t kept = 0;
      for (size_t i = 0; i < s.body.size(); ++i)
        if (s.body[i].kind != LineKind::Key) s.body[kept++] = s.body[i];
      s.body.resize(kept);
      s.key_count = 0;
      s.keys.reset();
      dirty_ = true;
    };
    drop_keys(*idx->second.first);
    for (Sections::iterator s : idx->second.later) drop_keys(*s);
    if (clean.empty()) return Status::Ok();
    Section& first = *idx->second.first;
    if (first.header.eol == kEolNone) first.header.eol = default_eol_;
    std::vector<Line> body;
    body.reserve(clean.size() + first.body.size());
    for (const auto& [k, v] : clean) body.push_back(KeyLine(k, v));
    body.insert(body.end(), first.body.begin(), first.body.end());
    first.body = std::move(body);
    first.key_count = static_cast<uint32_t>(clean.size());
    first.keys.reset();
    dirty_ = true;
    return Status::Ok();
  }

  Status Flush() override {
    if (!dirty_) return Status::Ok();
    std::string bytes = std::move(spare_);
    SerialiseInto(&bytes);
    Status s = ReplaceFileAtomically(fs_, path_, bytes);
    if (!s.ok()) {
      uint32_t code = s.code() ? s.code() : static_cast<uint32_t>(platform::kErrWriteFault);
      return Status::Error(code, "Unable to write to " + path_);
    }
    dirty_ = false;
    // Texts replaced since the file was read stay in the store; once they
    // outweigh the file, the store becomes the bytes just written.
    if (store_.size() > 2 * bytes.size() + 65536) Rebase(&bytes);
    spare_ = std::move(bytes);
    return Status::Ok();
  }

  void SerialiseInto(std::string* buffer) const {
    size_t n = 0;
    auto size_of = [](const Line& l) { return l.len + EolText(l.eol).size(); };
    for (const Line& l : preamble_) n += size_of(l);
    for (const Section& s : sections_) {
      n += size_of(s.header);
      for (const Line& l : s.body) n += size_of(l);
    }
    std::string& out = *buffer;
    out.resize(n);
    char* at = out.data();
    auto put = [&](const Line& l) {
      std::memcpy(at, store_.data() + l.off, l.len);
      at += l.len;
      if (l.eol == kEolCrLf) {
        *at++ = '\r';
        *at++ = '\n';
      } else if (l.eol == kEolLf) {
        *at++ = '\n';
      }
    };
    for (const Line& l : preamble_) put(l);
    for (const Section& s : sections_) {
      put(s.header);
      for (const Line& l : s.body) put(l);
    }
  }

  void MarkDirty() { dirty_ = true; }

 private:
  std::string_view Text(const Line& l) const { return std::string_view(store_.data() + l.off, l.len); }
  std::string_view Name(const Line& l) const { return Text(l).substr(l.name_off, l.name_len); }
  std::string_view KeyName(const Line& l) const { return Name(l); }
  std::string_view Value(const Line& l) const { return Text(l).substr(l.value_off, l.value_len); }

  static std::string ReadableView(std::string_view stored) {
    if (stored.size() >= 2 && (stored[0] == '"' || stored[0] == '\'') && stored.back() == stored[0])
      stored = stored.substr(1, stored.size() - 2);
    return std::string(stored.substr(0, kMaxRead));
  }

  void Classify(Line* line) const {
    LineParts p = ParseLineParts(Text(*line));
    line->kind = p.kind;
    line->name_off = p.name_off;
    line->name_len = p.name_len;
    line->value_off = p.value_off;
    line->value_len = p.value_len;
  }

  // Points the line at new text added to the store.
  void SetText(Line* line, std::string_view text) {
    line->off = store_.size();
    line->len = static_cast<uint32_t>(text.size());
    store_.append(text);
    Classify(line);
  }

  Line KeyLine(std::string_view key, std::string_view value) {
    Line line;
    line.off = store_.size();
    line.len = static_cast<uint32_t>(key.size() + 1 + value.size());
    line.eol = default_eol_;
    store_.append(key).append(1, '=').append(value);
    Classify(&line);
    return line;
  }

  // After a flush: the store becomes `bytes` (the file as written) and every
  // line points into it, in file order; `bytes` gets the old store.
  void Rebase(std::string* bytes) {
    size_t at = 0;
    auto move = [&](Line& l) {
      l.off = at;
      at += l.len + EolText(l.eol).size();
    };
    for (Line& l : preamble_) move(l);
    for (Section& s : sections_) {
      move(s.header);
      for (Line& l : s.body) move(l);
    }
    store_.swap(*bytes);
  }

  // The index entry of a section name (trimmed, not empty). The last answer
  // is kept: a repair asks for the same name several times in a row (test,
  // read, erase), and the entry stays valid until the index changes.
  SectionIndex::iterator Lookup(std::string_view name) {
    if (cache_valid_ && name == cache_name_) return cache_it_;
    cache_name_.assign(name);
    cache_it_ = section_index_.find(name);
    cache_valid_ = true;
    return cache_it_;
  }
  void Forget() { cache_valid_ = false; }

  void Index(std::string_view name, Sections::iterator s) {
    Forget();
    auto [it, added] = section_index_.try_emplace(FoldName(std::string(name)));
    if (added) {
      it->second.first = s;
    } else {
      it->second.later.push_back(s);
    }
  }

  Section* FindSectionTrimmed(std::string_view name) {
    if (name.empty()) return nullptr;
    auto it = Lookup(name);
    if (it == section_index_.end()) return nullptr;
    return &*it->second.first;
  }
  Section* FindSection(const std::string& section) { return FindSectionTrimmed(TrimBlanksView(section)); }

  // REQUIRES: key trimmed and not empty.
  Line* FindKeyIn(Section* s, std::string_view key) {
    if (!s->key_count) return nullptr;
    if (s->body.size() >= kIndexedSection) {
      if (!s->keys) {
        s->keys = std::make_unique<KeyIndex>();
        s->keys->reserve(s->key_count);
        for (size_t i = 0; i < s->body.size(); ++i) {
          const Line& l = s->body[i];
          if (l.kind == LineKind::Key) s->keys->try_emplace(FoldName(std::string(KeyName(l))), static_cast<uint32_t>(i));
        }
      }
      auto it = s->keys->find(key);
      return it == s->keys->end() ? nullptr : &s->body[it->second];
    }
    for (Line& l : s->body)
      if (l.kind == LineKind::Key && SameName(KeyName(l), key)) return &l;
    return nullptr;
  }

  const Line* FindKeyLine(const std::string& section, std::string_view key) {
    Section* s = FindSection(section);
    return s ? FindKeyIn(s, key) : nullptr;
  }

  std::vector<IniPair> Pairs(const std::string& section) {
    std::vector<IniPair> out;
    Section* s = FindSection(section);
    if (!s || !s->key_count) return out;
    out.reserve(s->key_count);
    bool large = s->key_count > kIndexedSection;
    std::unordered_set<std::string_view, FoldHash, FoldEqual> seen;
    for (const Line& l : s->body) {
      if (l.kind != LineKind::Key) continue;
      std::string_view name = KeyName(l);
      bool repeated = false;
      if (large) {
        repeated = !seen.insert(name).second;
      } else {
        for (const IniPair& p : out) repeated = repeated || SameName(p.key, name);
      }
      if (!repeated) out.push_back({std::string(name), std::string(Value(l))});
    }
    return out;
  }

  Status CheckNames(std::string_view section, std::string_view key, std::string_view value) const {
    if (section.empty() || key.empty())
      return Status::Error(platform::kErrInvalidName, "Unable to write to " + path_ + ": empty name");
    if (HoldsBadByte(section) || HoldsBadByte(key) || HoldsBadByte(value) ||
        section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos || key[0] == ';' ||
        key[0] == '[')
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

  Section* AppendSection(std::string_view name) {
    if (Line* last = LastLine(); last && last->eol == kEolNone) last->eol = default_eol_;
    sections_.emplace_back();
    Section& s = sections_.back();
    s.header.off = store_.size();
    s.header.len = static_cast<uint32_t>(name.size() + 2);
    s.header.eol = default_eol_;
    s.header.kind = LineKind::Header;
    s.header.name_off = 1;
    s.header.name_len = static_cast<uint32_t>(name.size());
    store_.append(1, '[').append(name).append(1, ']');
    Index(name, std::prev(sections_.end()));
    return &s;
  }

  // Appends a key line after the last non-blank line of the section. The
  // lines after it are blank, so the positions of the key lines stay.
  void AppendKey(Section* s, std::string_view key, std::string_view value) {
    size_t at = s->body.size();
    while (at > 0 && s->body[at - 1].kind == LineKind::Blank) --at;
    Line* before = at == 0 ? &s->header : &s->body[at - 1];
    if (before->eol == kEolNone) before->eol = default_eol_;
    Line line = KeyLine(key, value);
    s->body.insert(s->body.begin() + static_cast<std::ptrdiff_t>(at), line);
    ++s->key_count;
    if (s->keys) s->keys->try_emplace(FoldName(std::string(key)), static_cast<uint32_t>(at));
  }

  platform::FileSystem* fs_;
  std::string path_;
  std::string store_;
  uint8_t default_eol_ = kEolCrLf;
  std::vector<Line> preamble_;
  Sections sections_;
  SectionIndex section_index_;
  std::string cache_name_;
  SectionIndex::iterator cache_it_;
  bool cache_valid_ = false;
  // The buffer the last flush wrote, kept for the next one.
  std::string spare_;
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
  file->Parse(std::move(bytes));
  if (from_backup) file->MarkDirty();
  *result = std::move(file);
  return Status::Ok();
}

}  // namespace kx::ini
