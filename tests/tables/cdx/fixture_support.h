// Test helpers for the index tests: a minimal DBF reader (fields and record
// values, as the table layer hands them to the index) and a parser of the
// reference tables' manifest (the expected walk order of every tag).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/paths.h"
#include "updater/tables/cdx/cdx.h"
#include "updater/tables/cdx/expr.h"

namespace kx::cdx::test {

inline std::string ReadFile(const std::string& path) {
  std::string s;
  kx::platform::Status st = kx::platform::ReadWholeFile(kx::platform::DefaultFileSystem(), path, &s);
  EXPECT_TRUE(st.ok()) << path << ": " << st.message();
  return s;
}

inline int32_t JdnOf(int y, int m, int d) {
  int a = (14 - m) / 12;
  int yy = y + 4800 - a;
  int mm = m + 12 * a - 3;
  return d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
}

// A table held in memory, readable as a catalog and, per record, as the
// record context of the index.
class MemTable : public RecordContext {
 public:
  std::vector<FieldInfo> fields;
  std::vector<int> offsets;
  std::vector<int> null_bit;  // bit in _NullFlags, -1 when not nullable
  int null_field = -1;        // index in raw layout of _NullFlags
  int null_offset = -1;
  std::vector<std::string> records;  // raw bytes, deletion mark first
  uint32_t current = 1;

  bool Load(const std::string& path) {
    std::string d = ReadFile(path);
    if (d.size() < 32) return false;
    auto le = [&](size_t o, int n) {
      uint32_t v = 0;
      for (int i = 0; i < n; ++i) v |= uint32_t(uint8_t(d[o + i])) << (8 * i);
      return v;
    };
    uint32_t count = le(4, 4), hlen = le(8, 2), rlen = le(10, 2);
    int nbit = 0;
    for (size_t o = 32; o + 32 <= hlen && d[o] != 0x0D; o += 32) {
      FieldInfo f;
      f.name = std::string(d.data() + o, strnlen(d.data() + o, 11));
      f.type = d[o + 11];
      int off = int(le(o + 12, 4));
      f.width = uint8_t(d[o + 16]);
      f.decimals = uint8_t(d[o + 17]);
      uint8_t flags = uint8_t(d[o + 18]);
      if (f.name == "_NullFlags") {
        null_offset = off;
        continue;
      }
      f.nullable = flags & 0x02;
      null_bit.push_back(f.nullable ? nbit++ : -1);
      fields.push_back(f);
      offsets.push_back(off);
    }
    for (uint32_t i = 0; i < count; ++i) records.push_back(d.substr(hlen + size_t(i) * rlen, rlen));
    return true;
  }

  int FieldCount() const override { return int(fields.size()); }
  int FieldIndex(std::string_view name) const override {
    for (size_t i = 0; i < fields.size(); ++i) {
      const std::string& n = fields[i].name;
      if (n.size() != name.size()) continue;
      bool eq = true;
      for (size_t j = 0; j < n.size() && eq; ++j) eq = toupper(uint8_t(n[j])) == toupper(uint8_t(name[j]));
      if (eq) return int(i);
    }
    return -1;
  }
  const FieldInfo& Field(int i) const override { return fields[size_t(i)]; }
  uint32_t RecNo() const override { return current; }
  bool Deleted() const override { return records[current - 1][0] == '*'; }

  kx::Value FieldValue(int i) const override {
    const std::string& r = records[current - 1];
    const FieldInfo& f = fields[size_t(i)];
    if (f.nullable && null_offset >= 0) {
      int b = null_bit[size_t(i)];
      if ((uint8_t(r[size_t(null_offset) + size_t(b / 8)]) >> (b % 8)) & 1) return kx::Value();
    }
    std::string raw = r.substr(size_t(offsets[size_t(i)]), size_t(f.width));
    auto le64 = [&](size_t o) {
      uint64_t v = 0;
      for (int k = 0; k < 8; ++k) v |= uint64_t(uint8_t(raw[o + k])) << (8 * k);
      return v;
    };
    switch (f.type) {
      case 'C': return kx::Value::Text(raw);
      case 'N':
      case 'F': {
        std::string t = raw;
        t.erase(0, t.find_first_not_of(' '));
        return kx::Value::Number(t.empty() ? 0 : strtod(t.c_str(), nullptr), f.decimals);
      }
      case 'D': {
        if (raw.find_first_not_of(' ') == std::string::npos) return kx::Value::FromDate(kx::Date{});
        int y = atoi(raw.substr(0, 4).c_str()), m = atoi(raw.substr(4, 2).c_str()), dd = atoi(raw.substr(6, 2).c_str());
        return kx::Value::FromDate(kx::Date{JdnOf(y, m, dd)});
      }
      case 'L': return kx::Value::Logical(raw[0] == 'T' || raw[0] == 't' || raw[0] == 'Y' || raw[0] == 'y');
      case 'I': {
        int32_t v;
        memcpy(&v, raw.data(), 4);
        return kx::Value::Number(v);
      }
      case 'B': {
        uint64_t b = le64(0);
        double v;
        memcpy(&v, &b, 8);
        return kx::Value::Number(v, f.decimals);
      }
      case 'Y': {
        int64_t v = int64_t(le64(0));
        return kx::Value::Number(double(v) / 10000.0, 4);
      }
      case 'T': {
        uint32_t day = 0, ms = 0;
        memcpy(&day, raw.data(), 4);
        memcpy(&ms, raw.data() + 4, 4);
        return kx::Value::Number(day + ms / 86400000.0);
      }
      default: return kx::Value::Text("");
    }
  }
};

// Expected walk orders of every tag of every table in MANIFEST.md.
struct ManifestTag {
  std::string name;
  int creation = 0, name_order = 0;
  std::vector<uint32_t> order;       // complete, or empty when only ends are given
  std::vector<uint32_t> first, last;  // first/last 20 for the big table
  size_t entries = 0;
};

inline std::map<std::string, std::vector<ManifestTag>> ParseManifest() {
  std::map<std::string, std::vector<ManifestTag>> out;
  std::istringstream in(ReadFile(kx::test::FixturePath("reference-tables/MANIFEST.md")));
  std::string line, table;
  bool in_orders = false, in_tag_table = false;
  auto numbers = [](const std::string& s) {
    std::vector<uint32_t> v;
    std::stringstream ss(s);
    std::string item;
    while (std::getline(ss, item, ','))
      if (item.find_first_of("0123456789") != std::string::npos) v.push_back(uint32_t(std::stoul(item)));
    return v;
  };
  auto find = [&](const std::string& tag) -> ManifestTag& {
    for (auto& t : out[table])
      if (t.name == tag) return t;
    out[table].push_back({});
    out[table].back().name = tag;
    return out[table].back();
  };
  while (std::getline(in, line)) {
    if (line.rfind("## ", 0) == 0) {
      table = line.substr(3);
      in_orders = false;
      in_tag_table = false;
      continue;
    }
    if (line.rfind("### Tag orders of ", 0) == 0) {
      in_orders = true;
      continue;
    }
    if (line.rfind("| creation #", 0) == 0) {
      in_tag_table = true;
      continue;
    }
    if (in_tag_table) {
      if (line.rfind("|---", 0) == 0) continue;
      if (line.rfind("| ", 0) != 0) {
        in_tag_table = false;
        continue;
      }
      std::vector<std::string> cells;
      std::stringstream ss(line);
      std::string c;
      while (std::getline(ss, c, '|')) cells.push_back(c);
      // cells[0] empty, 1 creation, 2 name order, 3 `tag`
      std::string tag = cells[3];
      tag.erase(std::remove(tag.begin(), tag.end(), '`'), tag.end());
      tag.erase(std::remove(tag.begin(), tag.end(), ' '), tag.end());
      ManifestTag& t = find(tag);
      t.creation = std::stoi(cells[1]);
      t.name_order = std::stoi(cells[2]);
      continue;
    }
    if (!in_orders || line.empty() || line[0] != '`') continue;
    std::string tag = line.substr(1, line.find('`', 1) - 1);
    ManifestTag& t = find(tag);
    if (line.find("no entries") != std::string::npos) continue;
    size_t first = line.find("first 20: ");
    if (first != std::string::npos) {
      size_t last = line.find("; last 20: ");
      t.first = numbers(line.substr(first + 10, last - first - 10));
      t.last = numbers(line.substr(last + 11));
      t.entries = std::stoul(line.substr(line.find('(') + 1));
      continue;
    }
    t.entries = std::stoul(line.substr(line.find('(') + 1));
    std::getline(in, line);  // ```
    std::string body;
    while (std::getline(in, line) && line.rfind("```", 0) != 0) body += line;
    t.order = numbers(body);
  }
  return out;
}

inline std::vector<uint32_t> Recnos(const std::vector<CdxFile::Entry>& e) {
  std::vector<uint32_t> r;
  for (auto& x : e) r.push_back(x.recno);
  return r;
}

// Copies a fixture into a scratch folder (tests never write the originals).
inline std::string CopyFixture(const std::string& relative, const std::string& folder) {
  std::string data = ReadFile(kx::test::FixturePath(relative));
  std::string name = relative.substr(relative.find_last_of('/') + 1);
  std::string path = folder + "/" + name;
  EXPECT_TRUE(kx::platform::WriteWholeFile(kx::platform::DefaultFileSystem(), path, data).ok());
  return path;
}

// A table of values built by a test.
class ValueTable : public RecordContext {
 public:
  std::vector<FieldInfo> fields;
  std::vector<std::vector<kx::Value>> rows;
  std::vector<bool> deleted;
  uint32_t current = 1;

  void AddField(const std::string& name, char type, int width, int decimals = 0, bool nullable = false) {
    FieldInfo f;
    f.name = name;
    f.type = type;
    f.width = width;
    f.decimals = decimals;
    f.nullable = nullable;
    fields.push_back(f);
  }
  uint32_t Append(std::vector<kx::Value> row, bool del = false) {
    rows.push_back(std::move(row));
    deleted.push_back(del);
    return uint32_t(rows.size());
  }
  int FieldCount() const override { return int(fields.size()); }
  int FieldIndex(std::string_view name) const override {
    for (size_t i = 0; i < fields.size(); ++i) {
      const std::string& n = fields[i].name;
      if (n.size() != name.size()) continue;
      bool eq = true;
      for (size_t j = 0; j < n.size() && eq; ++j) eq = toupper(uint8_t(n[j])) == toupper(uint8_t(name[j]));
      if (eq) return int(i);
    }
    return -1;
  }
  const FieldInfo& Field(int i) const override { return fields[size_t(i)]; }
  kx::Value FieldValue(int i) const override { return rows[current - 1][size_t(i)]; }
  uint32_t RecNo() const override { return current; }
  bool Deleted() const override { return deleted[current - 1]; }
};

}  // namespace kx::cdx::test
