// Helpers of the table tests: fixture copies, golden listings, the tag
// orders of the reference tables' manifest, an error handler that records.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "errors/record/error_record.h"
#include "tests/support/paths.h"

namespace kx::test {

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string cur;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(c);
    }
  }
  if (!cur.empty()) lines.push_back(cur);
  return lines;
}

inline std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> out(1);
  for (char c : line) {
    if (c == '\t') out.emplace_back();
    else out.back().push_back(c);
  }
  return out;
}

// Paths from tests/support/paths.h are the program's own (Z: under Wine).
inline std::string HostPath(const std::string& p) { return p; }

// Copies `stem`.dbf/.cdx/.fpt (those that exist) into `folder` as `name`;
// returns the new table's path without extension. Copies are writable.
inline std::string CopyTable(const std::string& stem, const std::string& folder, const std::string& name) {
  namespace fs = std::filesystem;
  for (const char* ext : {".dbf", ".cdx", ".fpt"}) {
    fs::path from = HostPath(stem + ext);
    if (!fs::exists(from)) continue;
    fs::path to = HostPath(folder + "/" + name + ext);
    std::error_code ec;
    fs::remove(to, ec);  // MinGW's copy_file refuses to overwrite
    fs::copy_file(from, to);
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
  }
  return folder + "/" + name;
}

inline std::string Reference(const std::string& name) { return FixturePath("reference-tables/" + name); }

// Tag orders listed in the manifest: table -> tag -> record numbers (for Big
// only the first 20 and the last 20).
struct ManifestOrders {
  std::map<std::string, std::map<std::string, std::vector<uint32_t>>> full;
  std::map<std::string, std::map<std::string, std::pair<std::vector<uint32_t>, std::vector<uint32_t>>>> ends;
};

inline std::vector<uint32_t> Numbers(const std::string& s) {
  std::vector<uint32_t> out;
  uint32_t n = 0;
  bool in = false;
  for (char c : s) {
    if (c >= '0' && c <= '9') {
      n = n * 10 + uint32_t(c - '0');
      in = true;
    } else if (in) {
      out.push_back(n);
      n = 0;
      in = false;
    }
  }
  if (in) out.push_back(n);
  return out;
}

inline ManifestOrders ReadManifestOrders() {
  ManifestOrders m;
  std::vector<std::string> lines = SplitLines(ReadText(HostPath(Reference("MANIFEST.md"))));
  std::string table;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& l = lines[i];
    const std::string head = "### Tag orders of ";
    if (l.rfind(head, 0) == 0) {
      table = l.substr(head.size());
      continue;
    }
    if (table.empty() || l.size() < 3 || l[0] != '`') continue;
    size_t close = l.find('`', 1);
    if (close == std::string::npos) continue;
    std::string tag = l.substr(1, close - 1);
    std::string rest = l.substr(close + 1);
    if (rest.find("no entries") != std::string::npos) {
      m.full[table][tag] = {};
    } else if (rest.find("first 20:") != std::string::npos) {
      size_t a = rest.find("first 20:"), b = rest.find("last 20:");
      m.ends[table][tag] = {Numbers(rest.substr(a + 9, b - a - 9)), Numbers(rest.substr(b + 8))};
    } else if (i + 1 < lines.size() && lines[i + 1] == "```") {
      std::string body;
      for (size_t k = i + 2; k < lines.size() && lines[k] != "```"; ++k) body += lines[k] + "\n";
      m.full[table][tag] = Numbers(body);
    }
  }
  return m;
}

// Records every error record raised while it lives, answering `answer`.
class RecordingHandler {
 public:
  explicit RecordingHandler(ErrorAction answer = ErrorAction::Default) {
    previous_ = SetErrorHandler([this, answer](ErrorRecord& e) {
      errors.push_back(e);
      return ErrorAnswer{answer, Value()};
    });
  }
  ~RecordingHandler() { SetErrorHandler(std::move(previous_)); }
  std::vector<ErrorRecord> errors;

 private:
  ErrorHandler previous_;
};

}  // namespace kx::test
