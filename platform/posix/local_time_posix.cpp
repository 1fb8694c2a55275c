#include <time.h>

#include "platform/local_time.h"

namespace kx::platform {
namespace {

constexpr int64_t kTicksPerSecond = 10000000;            // 100-ns intervals
constexpr int64_t kUnixEpochSeconds = 11644473600;       // 1601-01-01 to 1970-01-01
constexpr int64_t kMaxFileTime = 0x7FFFFFFFFFFFFFFFLL;

// Offset of local time from UTC, in seconds, as it is now.
int64_t CurrentOffsetSeconds() {
  time_t now = ::time(nullptr);
  struct tm tm;
  if (!::localtime_r(&now, &tm)) return 0;
  return tm.tm_gmtoff;
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's
// algorithms).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = FloorDiv(y, 400);
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, int* m, int* d) {
  z += 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = yoe + era * 400 + (*m <= 2);
}

bool BreakDown(int64_t ticks_since_1601, LocalTime* out) {
  if (ticks_since_1601 < 0) return false;
  const int64_t secs = ticks_since_1601 / kTicksPerSecond - kUnixEpochSeconds;
  const int64_t days = FloorDiv(secs, 86400);
  const int64_t rem = secs - days * 86400;
  int64_t y;
  int m, d;
  CivilFromDays(days, &y, &m, &d);
  if (y > 30827) return false;
  LocalTime t;
  t.year = static_cast<int>(y);
  t.month = m;
  t.day = d;
  t.day_of_week = static_cast<int>(((days % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
  t.hour = static_cast<int>(rem / 3600);
  t.minute = static_cast<int>(rem / 60 % 60);
  t.second = static_cast<int>(rem % 60);
  t.millisecond = static_cast<int>(ticks_since_1601 % kTicksPerSecond / 10000);
  *out = t;
  return true;
}

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[m - 1];
}

}  // namespace

bool ToLocalTime(FileTime time, LocalTime* local) {
  if (time < 0) return false;
  const int64_t offset = CurrentOffsetSeconds() * kTicksPerSecond;
  if (offset > 0 && time > kMaxFileTime - offset) return false;
  return BreakDown(time + offset, local);
}

bool FromLocalTime(const LocalTime& t, FileTime* time) {
  if (t.year < 1601 || t.year > 30827 || t.month < 1 || t.month > 12 || t.day < 1 ||
      t.day > DaysInMonth(t.year, t.month) || t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 ||
      t.second < 0 || t.second > 59 || t.millisecond < 0 || t.millisecond > 999)
    return false;
  const int64_t days = DaysFromCivil(t.year, t.month, t.day);
  const int64_t secs = days * 86400 + t.hour * 3600 + t.minute * 60 + t.second + kUnixEpochSeconds;
  const int64_t local = secs * kTicksPerSecond + int64_t(t.millisecond) * 10000;
  const int64_t utc = local - CurrentOffsetSeconds() * kTicksPerSecond;
  if (utc < 0) return false;
  *time = utc;
  return true;
}

FileTime CurrentFileTime() {
  struct timespec ts;
  ::clock_gettime(CLOCK_REALTIME, &ts);
  return (static_cast<int64_t>(ts.tv_sec) + kUnixEpochSeconds) * kTicksPerSecond + ts.tv_nsec / 100;
}

LocalTime CurrentLocalTime() {
  LocalTime t;
  ToLocalTime(CurrentFileTime(), &t);
  return t;
}

}  // namespace kx::platform
