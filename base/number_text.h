// Numbers as text and back. Rounding is half away from zero on the number's
// decimal form at 15 significant digits, so 1.005 rounds to 1.01 and 2.675 to
// 2.68, as a user reading the figures expects (not as the nearest binary
// double would round).
#pragma once

#include <string>
#include <string_view>

namespace kx {

// The xBase STR(n, len, dec): the number rounded to `dec` decimals,
// right-aligned in `len` characters; `len` asterisks when it does not fit.
// A rounded zero has no minus sign. `len` below 1 counts as 10, `dec` below 0
// as 0. A number that is not finite gives asterisks.
std::string StrText(double n, int len = 10, int dec = 0);

// Decimal text without surrounding blanks: with `decimals` > 0 exactly that
// many places ("1.50"); with 0 a whole number has none ("5", "-3") and a
// number with a fraction keeps the places it needs, up to 15 significant
// digits ("2.5", "0.1"), rather than being rounded to a whole number.
std::string DecimalText(double n, int decimals = 0);

// The xBase VAL(): leading blanks are skipped, then an optional sign, digits
// and at most one decimal point; reading stops at the first other character.
// No number gives 0. *decimals (when given) receives the number of digits
// after the point.
double TextToNumber(std::string_view s, int* decimals = nullptr);

}  // namespace kx
