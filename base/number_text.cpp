#include "base/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kx {
namespace {

constexpr int kSignificant = 15;

// The 15 significant digits of |x| (x finite, not zero) and the decimal
// exponent of the first one: |x| = d.dddd... x 10^exponent.
void SignificantDigits(double x, std::string* digits, int* exponent) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.*e", kSignificant - 1, std::fabs(x));
  digits->clear();
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') *digits += *p;
  *exponent = *p == 'e' ? std::atoi(p + 1) : 0;
}

// Adds one to a string of decimal digits.
void Increment(std::string* n) {
  int i = static_cast<int>(n->size()) - 1;
  while (i >= 0 && (*n)[i] == '9') (*n)[i--] = '0';
  if (i < 0) n->insert(n->begin(), '1');
  else ++(*n)[i];
}

// |x| rounded to `dec` places, as the digits of |x| x 10^dec (at least one).
std::string ScaledDigits(double x, int dec) {
  if (x == 0) return "0";
  std::string d;
  int e = 0;
  SignificantDigits(x, &d, &e);
  int keep = e + 1 + dec;  // digits of the rounded, scaled number
  if (keep < 0) return "0";
  if (keep == 0) return d[0] >= '5' ? "1" : "0";
  if (keep >= kSignificant) return d + std::string(keep - kSignificant, '0');
  std::string n = d.substr(0, keep);
  if (d[keep] >= '5') Increment(&n);
  return n;
}

std::string Fixed(double x, int dec) {
  std::string n = ScaledDigits(x, dec);
  if (static_cast<int>(n.size()) < dec + 1) n.insert(0, dec + 1 - n.size(), '0');
  bool zero = n.find_first_not_of('0') == std::string::npos;
  std::string out = (x < 0 && !zero) ? "-" : "";
  out.append(n, 0, n.size() - dec);
  if (dec > 0) {
    out += '.';
    out.append(n, n.size() - dec, dec);
  }
  return out;
}

}  // namespace

std::string StrText(double n, int len, int dec) {
  if (len < 1) len = 10;
  if (dec < 0) dec = 0;
  if (!std::isfinite(n)) return std::string(len, '*');
  std::string s = Fixed(n, dec);
  if (static_cast<int>(s.size()) > len) return std::string(len, '*');
  return std::string(len - s.size(), ' ') + s;
}

std::string DecimalText(double n, int decimals) {
  if (!std::isfinite(n)) return "*";
  if (decimals > 0) return Fixed(n, decimals);
  if (n == 0) return "0";
  std::string d;
  int e = 0;
  SignificantDigits(n, &d, &e);
  size_t last = d.find_last_not_of('0');
  int places = static_cast<int>(last) - e;  // digits after the point that are not trailing zeros
  return Fixed(n, places > 0 ? places : 0);
}

double TextToNumber(std::string_view s, int* decimals) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  std::string num;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
    if (s[i] == '-') num += '-';
    ++i;
  }
  bool point = false, any = false;
  int places = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c >= '0' && c <= '9') {
      num += c;
      any = true;
      if (point) ++places;
    } else if (c == '.' && !point) {
      num += c;
      point = true;
    } else {
      break;
    }
  }
  if (decimals) *decimals = places;
  if (!any) return 0;
  if (num.back() == '.') num.pop_back();
  double v = 0;
  const char* b = num.data();
  if (*b == '-' && num.size() > 1 && num[1] == '.') {
    num.insert(1, "0");
    b = num.data();
  } else if (*b == '.') {
    num.insert(0, "0");
    b = num.data();
  }
  std::from_chars(b, num.data() + num.size(), v);
  return v;
}

}  // namespace kx
