// Calendar dates: Julian day numbers (Date{jdn}, 0 the empty date) and their
// texts. Gregorian calendar, years 1 to 9999.
#pragma once

#include <string>
#include <string_view>

#include "base/value.h"

namespace kx {

struct Ymd {
  int year = 0;  // 0 for the empty date
  int month = 0;
  int day = 0;
};

bool IsValidYmd(int year, int month, int day);
// The day number of a calendar date; the empty date when the date is invalid.
Date DateFromYmd(int year, int month, int day);
// Year, month and day of a date; 0, 0, 0 for the empty date.
Ymd YmdFromDate(Date d);

// Today's date on the local clock.
Date Today();

// "YYYYMMDD"; eight blanks for the empty date.
std::string DTOS(Date d);
// The inverse of DTOS: eight digits of a valid date; anything else (blanks
// included) gives the empty date.
Date STOD(std::string_view s);

// The date format of the run: "dd-mm-yyyy" when four-digit years are on
// (base/run_settings.h FourDigitYears), else "dd-mm-yy".
std::string DateFormat();
// A date in the date format of the run; the empty date keeps only the
// separators ("  -  -  ").
std::string DTOC(Date d);
// Reads a date written day, month, year, in that order, the three numbers
// separated by any character that is not a digit. A year of one or two digits
// is read in the hundred years from EpochYear() (20 is 1920, 19 is 2019 with
// the window from 1920); a year of three or four digits is taken as written.
// Text that is blank, lacks one of the three numbers or names no valid date
// gives the empty date.
Date CTOD(std::string_view s);
// The year a two-digit year stands for in the window from `epoch`.
int WindowYear(int two_digit_year, int epoch);

}  // namespace kx
