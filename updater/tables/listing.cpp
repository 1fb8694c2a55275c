#include "updater/tables/listing.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "base/cp1252.h"
#include "base/date.h"
#include "updater/tables/codec.h"

namespace kx::tables {
namespace {

std::string Hex(const std::string& bytes) {
  static const char* d = "0123456789abcdef";
  std::string s = "#";
  for (unsigned char c : bytes) {
    s.push_back(d[c >> 4]);
    s.push_back(d[c & 15]);
  }
  return s;
}

std::string TrimBoth(std::string s) {
  size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return {};
  size_t b = s.find_last_not_of(' ');
  return s.substr(a, b - a + 1);
}

}  // namespace

std::string EscapeListing(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string ListingHeader(const Area& a) {
  std::string s = "#recno\tdeleted";
  for (const DbfField& f : a.dbf->fields()) s += "\t" + Cp1252ToUtf8(f.info.name);
  return s;
}

std::string ListingValue(Area& a, const DbfField& f, Fault* fault) {
  const std::string& rec = a.rec;
  const DbfFile& dbf = *a.dbf;
  if (IsNullField(dbf, f, rec)) return ".NULL.";
  bool binary = (f.flags & 0x04) != 0;
  const auto* p = reinterpret_cast<const unsigned char*>(rec.data()) + f.offset;
  switch (f.info.type) {
    case 'C': {
      std::string s = rec.substr(f.offset, size_t(f.info.length));
      if (binary) {
        while (!s.empty() && (s.back() == '\0' || s.back() == ' ')) s.pop_back();
        return Hex(s);
      }
      while (!s.empty() && s.back() == ' ') s.pop_back();
      return Cp1252ToUtf8(s);
    }
    case 'V':
      return Cp1252ToUtf8(StoredBytes(dbf, f, rec));
    case 'Q':
      return Hex(StoredBytes(dbf, f, rec));
    case 'N': case 'F':
      return Cp1252ToUtf8(TrimBoth(rec.substr(f.offset, size_t(f.info.length))));
    case 'D': {
      std::string s = rec.substr(f.offset, 8);
      return TrimBoth(s).empty() ? std::string() : Cp1252ToUtf8(s);
    }
    case 'L': {
      char c = rec[f.offset];
      if (c == 'T' || c == 't' || c == 'Y' || c == 'y') return "T";
      if (c == 'F' || c == 'f' || c == 'N' || c == 'n') return "F";
      return "?";
    }
    case 'I':
      return std::to_string(static_cast<int32_t>(GetLe32(p)));
    case 'B': {
      Value v = DecodeField(dbf, f, rec, nullptr, nullptr);
      char buf[64];
      auto r = std::to_chars(buf, buf + sizeof buf, v.number());
      return std::string(buf, r.ptr);
    }
    case 'Y': {
      uint64_t u = 0;
      for (int i = 7; i >= 0; --i) u = u << 8 | p[i];
      int64_t v = static_cast<int64_t>(u);
      bool neg = v < 0;
      uint64_t mag = neg ? uint64_t(0) - u : u;
      char buf[40];
      std::snprintf(buf, sizeof buf, "%s%llu.%04llu", neg ? "-" : "", static_cast<unsigned long long>(mag / 10000),
                    static_cast<unsigned long long>(mag % 10000));
      return buf;
    }
    case 'T': {
      int32_t jdn = static_cast<int32_t>(GetLe32(p));
      uint32_t ms = GetLe32(p + 4);
      if (jdn <= 0) return {};
      Ymd ymd = YmdFromDate(Date{jdn});
      uint32_t secs = ms / 1000;
      char buf[32];
      std::snprintf(buf, sizeof buf, "%04d%02d%02d%02u%02u%02u", ymd.year, ymd.month, ymd.day, secs / 3600 % 100,
                    secs / 60 % 60, secs % 60);
      return buf;
    }
    case 'M': case 'G': case 'P': case 'W': {
      Fault mf;
      Value v = DecodeField(dbf, f, rec, a.memo.get(), &mf);
      if (!mf.ok() && fault && fault->ok()) *fault = mf;
      if (binary || f.info.type != 'M') return v.text().empty() ? std::string() : Hex(v.text());
      return Cp1252ToUtf8(v.text());
    }
    default:
      return {};
  }
}

std::string ListingLine(Area& a, Fault* fault) {
  std::string s = std::to_string(a.recno) + "\t" + (a.rec.empty() || a.rec[0] != '*' ? "" : "*");
  for (const DbfField& f : a.dbf->fields()) s += "\t" + EscapeListing(ListingValue(a, f, fault));
  return s;
}

}  // namespace kx::tables
