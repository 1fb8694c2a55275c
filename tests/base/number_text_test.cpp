#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/number_text.h"

namespace kx {
namespace {

TEST(NumberText, StrRightAlignsRoundsAndFillsWithAsterisks) {
  struct Case {
    double n;
    int len, dec;
    const char* want;
  } cases[] = {
      {5, 10, 0, "         5"},
      {-5, 4, 0, "  -5"},
      {123, 3, 0, "123"},
      {1234, 3, 0, "***"},
      {-123, 3, 0, "***"},  // the sign needs a place too
      {3, 4, 0, "   3"},
      {1.5, 6, 2, "  1.50"},
      {2.5, 3, 0, "  3"},     // half away from zero
      {-2.5, 3, 0, " -3"},
      {1.005, 5, 2, " 1.01"},  // decimal rounding, not binary
      {2.675, 5, 2, " 2.68"},
      {0.125, 5, 2, " 0.13"},
      {9.996, 5, 2, "10.00"},
      {99.996, 5, 2, "*****"},  // rounding carries into a sixth place
      {-0.001, 5, 2, " 0.00"},  // no minus sign on a rounded zero
      {0.004, 4, 2, "0.00"},
      {0.006, 4, 2, "0.01"},
      {0, 1, 0, "0"},
      {0.5, 1, 0, "1"},
      {9999999, 9, 0, "  9999999"},
      {1e15, 16, 0, "1000000000000000"},
      {12345678901234567.0, 20, 0, "   12345678901234600"},  // 15 significant digits
      {7, 0, 0, "         7"},  // no width: ten places
      {7, 3, -1, "  7"},
  };
  for (const Case& c : cases) EXPECT_EQ(StrText(c.n, c.len, c.dec), c.want) << c.n << " " << c.len << " " << c.dec;
  EXPECT_EQ(StrText(std::numeric_limits<double>::infinity(), 4), "****");
  EXPECT_EQ(StrText(std::nan(""), 3), "***");
}

TEST(NumberText, DecimalTextHasNoBlanksAndKeepsNeededPlaces) {
  struct Case {
    double n;
    int dec;
    const char* want;
  } cases[] = {
      {5, 0, "5"},          {-3, 0, "-3"},        {0, 0, "0"},       {1.5, 2, "1.50"},
      {2.5, 0, "2.5"},      {0.1, 0, "0.1"},      {-0.25, 0, "-0.25"}, {1e20, 0, "100000000000000000000"},
      {1234.5678, 2, "1234.57"}, {0.1 + 0.2, 0, "0.3"}, {-0.0, 0, "0"},  {1e-7, 0, "0.0000001"},
  };
  for (const Case& c : cases) EXPECT_EQ(DecimalText(c.n, c.dec), c.want) << c.n;
}

TEST(NumberText, TextToNumberReadsLikeVal) {
  struct Case {
    const char* text;
    double n;
    int dec;
  } cases[] = {
      {"5", 5, 0},        {"  5", 5, 0},      {"-12.50", -12.5, 2}, {"+3", 3, 0},  {"3abc", 3, 0},
      {"abc", 0, 0},      {"", 0, 0},         {".5", 0.5, 1},       {"-.5", -0.5, 1}, {"7.", 7, 0},
      {"1.2.3", 1.2, 1},  {"- 5", 0, 0},      {"1e5", 1, 0},        {"\t42", 42, 0},
  };
  for (const Case& c : cases) {
    int dec = -1;
    EXPECT_DOUBLE_EQ(TextToNumber(c.text, &dec), c.n) << c.text;
    EXPECT_EQ(dec, c.dec) << c.text;
  }
}

}  // namespace
}  // namespace kx
