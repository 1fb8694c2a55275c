// Local calendar time and its conversion to and from file times.
#pragma once

#include <cstdint>

#include "platform/file_system.h"

namespace kx::platform {

// The fields of a Windows SYSTEMTIME.
struct LocalTime {
  int year = 0;          // 1601 ...
  int month = 0;         // 1 to 12
  int day_of_week = 0;   // 0 Sunday to 6 Saturday
  int day = 0;           // 1 to 31
  int hour = 0;          // 0 to 23
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// The file time (UTC) as local calendar time. The offset from UTC is the one
// in force now, as Windows' FileTimeToLocalFileTime takes it, so a time of
// the other half of the year shows one hour off daylight-saving time: this
// is what programs that derive identifiers from file times have always
// computed. Stores the fields in *local and returns true; false (and *local
// unchanged) for a time before 1601 or past 30827.
bool ToLocalTime(FileTime time, LocalTime* local);

// The inverse of ToLocalTime: local calendar fields (day_of_week ignored) to
// a file time. False, *time unchanged, for fields out of range.
bool FromLocalTime(const LocalTime& local, FileTime* time);

// The current time, as a file time (UTC) and as local calendar time.
FileTime CurrentFileTime();
LocalTime CurrentLocalTime();

}  // namespace kx::platform
