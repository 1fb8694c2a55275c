#include <windows.h>

#include "platform/local_time.h"

namespace kx::platform {
namespace {

FILETIME ToFiletime(FileTime t) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(t) & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(t) >> 32);
  return ft;
}

FileTime FromFiletime(const FILETIME& ft) {
  return static_cast<FileTime>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

LocalTime FromSystemTime(const SYSTEMTIME& st) {
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day_of_week = st.wDayOfWeek;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.millisecond = st.wMilliseconds;
  return t;
}

}  // namespace

bool ToLocalTime(FileTime time, LocalTime* local) {
  if (time < 0) return false;
  FILETIME utc = ToFiletime(time), loc;
  SYSTEMTIME st;
  if (!::FileTimeToLocalFileTime(&utc, &loc) || !::FileTimeToSystemTime(&loc, &st)) return false;
  *local = FromSystemTime(st);
  return true;
}

bool FromLocalTime(const LocalTime& t, FileTime* time) {
  if (t.year < 1601 || t.year > 30827 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour < 0 ||
      t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59 || t.millisecond < 0 ||
      t.millisecond > 999)
    return false;
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(t.year);
  st.wMonth = static_cast<WORD>(t.month);
  st.wDay = static_cast<WORD>(t.day);
  st.wHour = static_cast<WORD>(t.hour);
  st.wMinute = static_cast<WORD>(t.minute);
  st.wSecond = static_cast<WORD>(t.second);
  st.wMilliseconds = static_cast<WORD>(t.millisecond);
  FILETIME loc, utc;
  if (!::SystemTimeToFileTime(&st, &loc) || !::LocalFileTimeToFileTime(&loc, &utc)) return false;
  *time = FromFiletime(utc);
  return true;
}

FileTime CurrentFileTime() {
  FILETIME ft;
  ::GetSystemTimeAsFileTime(&ft);
  return FromFiletime(ft);
}

LocalTime CurrentLocalTime() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  return FromSystemTime(st);
}

}  // namespace kx::platform
