#include <gtest/gtest.h>

#include "base/date.h"
#include "base/run_settings.h"

namespace kx {
namespace {

class DateTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetRunSettings(); }
  void TearDown() override { ResetRunSettings(); }
};

TEST_F(DateTest, DayNumbersRoundTrip) {
  EXPECT_EQ(DateFromYmd(2000, 1, 1).jdn, 2451545);
  EXPECT_EQ(DateFromYmd(1970, 1, 1).jdn, 2440588);
  EXPECT_EQ(DateFromYmd(1, 1, 1).jdn, 1721426);
  // Every day from 1899 to 2101 converts back to itself, one after another.
  Date prev = DateFromYmd(1898, 12, 31);
  for (int y = 1899; y <= 2101; ++y)
    for (int m = 1; m <= 12; ++m)
      for (int d = 1; d <= 31; ++d) {
        Date x = DateFromYmd(y, m, d);
        if (!IsValidYmd(y, m, d)) {
          EXPECT_TRUE(x.empty());
          continue;
        }
        ASSERT_EQ(x.jdn, prev.jdn + 1) << y << "-" << m << "-" << d;
        Ymd back = YmdFromDate(x);
        ASSERT_EQ(back.year, y);
        ASSERT_EQ(back.month, m);
        ASSERT_EQ(back.day, d);
        prev = x;
      }
}

TEST_F(DateTest, LeapYearsAndInvalidDates) {
  EXPECT_TRUE(IsValidYmd(2000, 2, 29));
  EXPECT_TRUE(IsValidYmd(2024, 2, 29));
  EXPECT_FALSE(IsValidYmd(1900, 2, 29));
  EXPECT_FALSE(IsValidYmd(2023, 2, 29));
  EXPECT_FALSE(IsValidYmd(2023, 4, 31));
  EXPECT_FALSE(IsValidYmd(2023, 13, 1));
  EXPECT_FALSE(IsValidYmd(2023, 0, 1));
  EXPECT_FALSE(IsValidYmd(0, 1, 1));
  EXPECT_FALSE(IsValidYmd(10000, 1, 1));
  Ymd e = YmdFromDate(Date{});
  EXPECT_EQ(e.year, 0);
}

TEST_F(DateTest, DtosAndBack) {
  EXPECT_EQ(DTOS(DateFromYmd(2024, 3, 7)), "20240307");
  EXPECT_EQ(DTOS(DateFromYmd(999, 12, 31)), "09991231");
  EXPECT_EQ(DTOS(Date{}), "        ");
  EXPECT_EQ(STOD("20240307"), DateFromYmd(2024, 3, 7));
  EXPECT_TRUE(STOD("        ").empty());
  EXPECT_TRUE(STOD("20230229").empty());
  EXPECT_TRUE(STOD("2024037").empty());
  EXPECT_TRUE(STOD("2024-3-7").empty());
}

TEST_F(DateTest, DtocFollowsTheFourDigitSwitch) {
  Date d = DateFromYmd(2005, 3, 7);
  EXPECT_EQ(DateFormat(), "dd-mm-yy");
  EXPECT_EQ(DTOC(d), "07-03-05");
  EXPECT_EQ(DTOC(Date{}), "  -  -  ");
  FourDigitYears(true);
  EXPECT_EQ(DateFormat(), "dd-mm-yyyy");
  EXPECT_EQ(DTOC(d), "07-03-2005");
  EXPECT_EQ(DTOC(Date{}), "  -  -    ");
}

TEST_F(DateTest, CtodReadsTwoDigitYearsInTheWindowFrom1920) {
  struct Case {
    const char* text;
    int year, month, day;  // year 0: the empty date
  } cases[] = {
      {"07-03-20", 1920, 3, 7},   {"07-03-99", 1999, 3, 7},   {"07-03-00", 2000, 3, 7},
      {"07-03-19", 2019, 3, 7},   {"7-3-5", 2005, 3, 7},      {"07/03/2005", 2005, 3, 7},
      {"07-03-1919", 1919, 3, 7}, {"29-02-24", 1924, 2, 29},  {"29-02-23", 0, 0, 0},
      {"31-04-24", 0, 0, 0},      {"  -  -  ", 0, 0, 0},      {"", 0, 0, 0},
      {"07-03", 0, 0, 0},         {"00-03-24", 0, 0, 0},      {"07-13-24", 0, 0, 0},
      {"07-03-12345", 0, 0, 0},   {"99999999999-1-1", 0, 0, 0},
  };
  for (const Case& c : cases) {
    Date got = CTOD(c.text);
    if (c.year == 0) {
      EXPECT_TRUE(got.empty()) << c.text;
    } else {
      EXPECT_EQ(got, DateFromYmd(c.year, c.month, c.day)) << c.text;
    }
  }
  // The same text, both switch positions: a two-digit year is always windowed.
  FourDigitYears(true);
  EXPECT_EQ(CTOD("07-03-05"), DateFromYmd(2005, 3, 7));
  EXPECT_EQ(CTOD(DTOC(DateFromYmd(1950, 1, 31))), DateFromYmd(1950, 1, 31));
  // Another window.
  EpochYear(1950);
  EXPECT_EQ(CTOD("01-01-49"), DateFromYmd(2049, 1, 1));
  EXPECT_EQ(CTOD("01-01-50"), DateFromYmd(1950, 1, 1));
}

TEST_F(DateTest, DtocAndCtodRoundTripInBothFormats) {
  for (bool four : {false, true}) {
    FourDigitYears(four);
    for (int y : {1920, 1955, 1999, 2000, 2019})
      for (int m : {1, 2, 12}) {
        Date d = DateFromYmd(y, m, m == 2 ? 28 : 31);
        EXPECT_EQ(CTOD(DTOC(d)), d) << DTOC(d);
      }
  }
}

TEST_F(DateTest, TodayIsAPlausibleDate) {
  Ymd t = YmdFromDate(Today());
  EXPECT_GE(t.year, 2020);
  EXPECT_LE(t.year, 2200);
}

}  // namespace
}  // namespace kx
