#include "base/cp1252.h"

#include <cstdint>

namespace kx {
namespace {

// Unicode code points of 0x80..0x9F.
constexpr uint16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

int FromCodePoint(uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] == cp) return 0x80 + i;
  return -1;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size() + s.size() / 8);
  for (unsigned char c : s) {
    if (c < 0x80) out += static_cast<char>(c);
    else if (c < 0xA0) AppendUtf8(out, kHigh[c - 0x80]);
    else AppendUtf8(out, c);
  }
  return out;
}

std::string Utf8ToCp1252(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    int len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    bool valid = len > 0 && i + len <= s.size();
    uint32_t cp = len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (int k = 1; valid && k < len; ++k) {
      unsigned char d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) valid = false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if (!valid) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    int b = FromCodePoint(cp);
    out += b < 0 ? '?' : static_cast<char>(b);
    i += len;
  }
  return out;
}

}  // namespace kx

namespace kx {
namespace {

// The two rows of letters, in collation order (Windows-1252 bytes).
constexpr unsigned char kUpperRow[] = {'A', 0xC1, 'B', 'C', 'D', 'E', 0xC9, 'F', 'G', 'H', 'I',
                                       0xCD, 'J', 'K', 'L', 'M', 'N', 0xD1, 'O', 0xD3, 'P', 'Q',
                                       'R', 'S', 'T', 'U', 0xDA, 0xDC, 'V', 'W', 'X', 'Y', 'Z'};
constexpr unsigned char kLowerRow[] = {'a', 0xE1, 'b', 'c', 'd', 'e', 0xE9, 'f', 'g', 'h', 'i',
                                       0xED, 'j', 'k', 'l', 'm', 'n', 0xF1, 'o', 0xF3, 'p', 'q',
                                       'r', 's', 't', 'u', 0xFA, 0xFC, 'v', 'w', 'x', 'y', 'z'};
constexpr int kRowLength = sizeof kUpperRow;
static_assert(sizeof kLowerRow == kRowLength);

struct Tables {
  unsigned char weight[256];
  unsigned char upper[256];
  unsigned char lower[256];

  Tables() {
    int row_of[256];
    for (int c = 0; c < 256; ++c) {
      row_of[c] = -1;
      upper[c] = lower[c] = static_cast<unsigned char>(c);
    }
    for (int i = 0; i < kRowLength; ++i) {
      row_of[kUpperRow[i]] = i;
      row_of[kLowerRow[i]] = i;
      upper[kLowerRow[i]] = kUpperRow[i];
      lower[kUpperRow[i]] = kLowerRow[i];
    }
    int next = 0;
    auto put = [&](int c) { weight[c] = static_cast<unsigned char>(next++); };
    for (int c = 0; c < 'A'; ++c) put(c);
    for (unsigned char c : kUpperRow) put(c);
    for (int c = 'Z' + 1; c < 'a'; ++c) put(c);
    for (unsigned char c : kLowerRow) put(c);
    for (int c = 'z' + 1; c < 256; ++c)
      if (row_of[c] < 0) put(c);
  }
};

const Tables& T() {
  static const Tables tables;
  return tables;
}

}  // namespace

int SpanishWeight(unsigned char c) { return T().weight[c]; }

int SpanishCompare(std::string_view a, std::string_view b) {
  const Tables& t = T();
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    int d = t.weight[static_cast<unsigned char>(a[i])] - t.weight[static_cast<unsigned char>(b[i])];
    if (d != 0) return d;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

unsigned char SpanishUpper(unsigned char c) { return T().upper[c]; }
unsigned char SpanishLower(unsigned char c) { return T().lower[c]; }

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(SpanishUpper(static_cast<unsigned char>(c)));
  return out;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(SpanishLower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view TrimRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
}

std::string_view TrimLeft(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  return s.substr(i);
}

std::string_view Trim(std::string_view s) { return TrimLeft(TrimRight(s)); }

bool IsBlank(std::string_view s) {
  for (char c : s)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  return true;
}

}  // namespace kx
