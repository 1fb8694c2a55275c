// Records as text for people: the listing of `dbftool records` and the
// table tests. Text is UTF-8.
//
// One value per field:
//   C, V       the stored text without trailing blanks
//   N, F       the stored digits without surrounding blanks
//   D          YYYYMMDD, empty when empty
//   L          T, F, or ? (blank or anything else)
//   M          the memo text
//   I          the integer in decimal
//   B          the double, shortest form that reads back the same
//   Y          the currency amount with four decimals
//   T          YYYYMMDDhhmmss, empty when empty
//   G, Q, W, and C or M with the binary flag: "#" + the bytes in hex
//                (binary C without trailing NULs and blanks)
//   a null     .NULL.
// Backslash, tab, CR and LF inside values are written as \\, \t, \r, \n.
#pragma once

#include <string>

#include "updater/tables/area.h"

namespace kx::tables {

// "#recno<TAB>deleted<TAB>" + the field names.
std::string ListingHeader(const Area& a);
// The current record of `a`: its number, "*" or nothing, each value. A bad
// memo pointer is the fault; its value lists as empty.
std::string ListingLine(Area& a, Fault* fault);
// One field's text, unescaped (see above).
std::string ListingValue(Area& a, const DbfField& f, Fault* fault);
// Backslash, tab, CR, LF escaped.
std::string EscapeListing(const std::string& s);

}  // namespace kx::tables
