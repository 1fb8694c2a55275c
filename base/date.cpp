#include "base/date.h"

#include <cstdio>
#include <ctime>

#include "base/run_settings.h"

namespace kx {

bool IsValidYmd(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  int last = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  return day <= last;
}

Date DateFromYmd(int year, int month, int day) {
  if (!IsValidYmd(year, month, day)) return Date{};
  // Fliegel and Van Flandern's formula, Gregorian calendar.
  int a = (14 - month) / 12;
  int y = year + 4800 - a;
  int m = month + 12 * a - 3;
  int jdn = day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
  return Date{jdn};
}

Ymd YmdFromDate(Date d) {
  if (d.empty()) return Ymd{};
  int a = d.jdn + 32044;
  int b = (4 * a + 3) / 146097;
  int c = a - 146097 * b / 4;
  int e = (4 * c + 3) / 1461;
  int f = c - 1461 * e / 4;
  int m = (5 * f + 2) / 153;
  Ymd r;
  r.day = f - (153 * m + 2) / 5 + 1;
  r.month = m + 3 - 12 * (m / 10);
  r.year = 100 * b + e - 4800 + m / 10;
  return r;
}

Date Today() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return DateFromYmd(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

std::string DTOS(Date d) {
  Ymd r = YmdFromDate(d);
  if (r.year <= 0) return std::string(8, ' ');
  char buf[40];  // room for any int, so -Wformat-truncation holds at -O2
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", r.year, r.month, r.day);
  return buf;
}

Date STOD(std::string_view s) {
  if (s.size() != 8) return Date{};
  int v[3] = {0, 0, 0};
  const int widths[3] = {4, 2, 2};
  size_t pos = 0;
  for (int k = 0; k < 3; ++k) {
    for (int i = 0; i < widths[k]; ++i, ++pos) {
      char c = s[pos];
      if (c < '0' || c > '9') return Date{};
      v[k] = v[k] * 10 + (c - '0');
    }
  }
  return DateFromYmd(v[0], v[1], v[2]);
}

std::string DateFormat() { return FourDigitYears() ? "dd-mm-yyyy" : "dd-mm-yy"; }

std::string DTOC(Date d) {
  bool four = FourDigitYears();
  Ymd r = YmdFromDate(d);
  if (r.year <= 0) return four ? "  -  -    " : "  -  -  ";
  char buf[32];
  if (four) std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", r.day, r.month, r.year);
  else std::snprintf(buf, sizeof buf, "%02d-%02d-%02d", r.day, r.month, r.year % 100);
  return buf;
}

int WindowYear(int two_digit_year, int epoch) {
  int year = epoch / 100 * 100 + two_digit_year;
  if (year < epoch) year += 100;
  return year;
}

Date CTOD(std::string_view s) {
  int v[3] = {0, 0, 0};
  int digits[3] = {0, 0, 0};
  size_t i = 0;
  for (int k = 0; k < 3; ++k) {
    while (i < s.size() && (s[i] < '0' || s[i] > '9')) ++i;
    if (i == s.size()) return Date{};
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      if (digits[k] < 9) v[k] = v[k] * 10 + (s[i] - '0');
      ++digits[k];
      ++i;
    }
  }
  int year = v[2];
  if (digits[2] <= 2) year = WindowYear(year, EpochYear());
  else if (digits[2] > 4) return Date{};
  return DateFromYmd(year, v[1], v[0]);
}

}  // namespace kx
