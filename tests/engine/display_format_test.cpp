// The display texts: grouped numbers, dates, times and ratios.
#include <gtest/gtest.h>

#include <climits>

#include "format/display_format.h"

namespace vantelo {
namespace {

TEST(DisplayFormat, ThousandsAreGroupedWithCommas) {
  EXPECT_EQ(FmtThousands(0), "0");
  EXPECT_EQ(FmtThousands(999), "999");
  EXPECT_EQ(FmtThousands(1000), "1,000");
  EXPECT_EQ(FmtThousands(1234567), "1,234,567");
  EXPECT_EQ(FmtThousands(35812345), "35,812,345");
  EXPECT_EQ(FmtThousands(INT_MAX), "2,147,483,647");
  EXPECT_EQ(FmtThousands(-1500), "-1,500");
  EXPECT_EQ(FmtThousands(INT_MIN), "-2,147,483,648");
}

TEST(DisplayFormat, DatesAreMonthDayYear) {
  EXPECT_EQ(FmtDate((18 << 9) | (2 << 5) | 5), "02/05/98");
  EXPECT_EQ(FmtDate((23 << 9) | (12 << 5) | 31), "12/31/03");
  EXPECT_EQ(FmtDate(0), "00/00/80");             // month 0 prints as it is
  EXPECT_EQ(FmtDate((1 << 9) | (13 << 5) | 1), "13/01/81");
}

TEST(DisplayFormat, TimesAreTwentyFourHour) {
  EXPECT_EQ(FmtTime((9 << 11) | (5 << 5) | 3), "09:05:06");
  EXPECT_EQ(FmtTime((23 << 11) | (59 << 5) | 29), "23:59:58");
  EXPECT_EQ(FmtTime(0), "00:00:00");
}

TEST(DisplayFormat, RatioRoundsHalfToEven) {
  EXPECT_EQ(FmtRatio(0, 0), "0");
  EXPECT_EQ(FmtRatio(5, 0), "0");
  EXPECT_EQ(FmtRatio(333, 1000), "33%");
  EXPECT_EQ(FmtRatio(1, 8), "12%");    // 12.5 -> 12
  EXPECT_EQ(FmtRatio(3, 8), "38%");    // 37.5 -> 38
  EXPECT_EQ(FmtRatio(32, 20), "160%");  // stored and encrypted: above 100
  // packed x 100 would overflow 32 bits here.
  EXPECT_EQ(FmtRatio(2000000000, 2100000000), "95%");
}

}  // namespace
}  // namespace vantelo
