#include "common/DateTime.h"

#include <gtest/gtest.h>

namespace velum {
namespace {

DateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return DateTime{year, month, day, hour, minute, second};
}

TEST(DateTimeValidity, CalendarDaysAndLeapYears) {
    EXPECT_TRUE(IsValidDateTime(At(2024, 2, 29)));
    EXPECT_TRUE(IsValidDateTime(At(2000, 2, 29)));
    EXPECT_FALSE(IsValidDateTime(At(1900, 2, 29)));
    EXPECT_FALSE(IsValidDateTime(At(2023, 2, 29)));
    EXPECT_TRUE(IsValidDateTime(At(2023, 12, 31)));
    EXPECT_FALSE(IsValidDateTime(At(2023, 4, 31)));
    EXPECT_FALSE(IsValidDateTime(At(2023, 1, 0)));
    EXPECT_FALSE(IsValidDateTime(At(2023, 0, 1)));
    EXPECT_FALSE(IsValidDateTime(At(2023, 13, 1)));
    EXPECT_TRUE(IsValidDateTime(ZeroDate()));
}

TEST(DateTimeValidity, YearAndClockRanges) {
    EXPECT_TRUE(IsValidDateTime(At(100, 1, 1)));
    EXPECT_FALSE(IsValidDateTime(At(99, 12, 31)));
    EXPECT_TRUE(IsValidDateTime(At(9999, 12, 31, 23, 59, 59)));
    EXPECT_FALSE(IsValidDateTime(At(10000, 1, 1)));
    EXPECT_FALSE(IsValidDateTime(At(2023, 1, 1, 24)));
    EXPECT_FALSE(IsValidDateTime(At(2023, 1, 1, 0, 60)));
    EXPECT_FALSE(IsValidDateTime(At(2023, 1, 1, 0, 0, 60)));
    EXPECT_FALSE(IsValidDateTime(At(2023, 1, 1, -1)));
}

TEST(IsoDateTime, ParsesEveryAcceptedShape) {
    EXPECT_EQ(ParseIsoDateTime("2026-12-06 19:04:05"), At(2026, 12, 6, 19, 4, 5));
    EXPECT_EQ(ParseIsoDateTime("2026-12-06T19:04:05"), At(2026, 12, 6, 19, 4, 5));
    EXPECT_EQ(ParseIsoDateTime("2026-12-06 19:04"), At(2026, 12, 6, 19, 4, 0));
    EXPECT_EQ(ParseIsoDateTime("2026-12-06"), At(2026, 12, 6));
    EXPECT_EQ(ParseIsoDateTime("  2026-12-06 19:04:05\t\r\n"), At(2026, 12, 6, 19, 4, 5));
    EXPECT_EQ(ParseIsoDateTime("0100-01-01"), At(100, 1, 1));
}

TEST(IsoDateTime, RejectsGarbageAndImpossibleMoments) {
    for (const char* text :
         {"", "   ", "2026-12-06 19:04:05x", "2026-12-06 19:04:05 PM", "2026-12-06x", "2026-12",
          "26-12-06", "20261-12-06", "2026-123-06", "2026-02-30", "2026-12-06 24:00:00",
          "2026-12-06 19:60", "2026-12-06 19:04:5", "2026-12-06 19", "2026-12-06T",
          "2026-12-06 19:04:05:01", "0099-12-31", "2026/12/06", "-2026-12-06"})
        EXPECT_EQ(ParseIsoDateTime(text), std::nullopt) << '"' << text << '"';
}

TEST(IsoDateTime, FormatsZeroPaddedAndRoundTrips) {
    EXPECT_EQ(FormatIsoDateTime(At(2026, 1, 6, 9, 4, 5)), "2026-01-06 09:04:05");
    EXPECT_EQ(FormatIsoDateTime(At(100, 2, 3)), "0100-02-03 00:00:00");
    EXPECT_EQ(FormatIsoDateTime(ZeroDate()), "1899-12-30 00:00:00");
    for (DateTime dt : {At(2024, 2, 29, 23, 59, 59), At(9999, 12, 31), At(1899, 12, 30)})
        EXPECT_EQ(ParseIsoDateTime(FormatIsoDateTime(dt)), dt);
}

TEST(UsDateTime, TwelveHourClock) {
    EXPECT_EQ(ParseUsDateTime("6/12/98 4:37:38 PM"), At(1998, 6, 12, 16, 37, 38));
    EXPECT_EQ(ParseUsDateTime("6/12/98 4:37:38 am"), At(1998, 6, 12, 4, 37, 38));
    EXPECT_EQ(ParseUsDateTime("6/12/98 12:00:00 AM"), At(1998, 6, 12, 0, 0, 0));
    EXPECT_EQ(ParseUsDateTime("6/12/98 12:30 PM"), At(1998, 6, 12, 12, 30, 0));
    EXPECT_EQ(ParseUsDateTime("6/12/98 11:59:59 pM"), At(1998, 6, 12, 23, 59, 59));
    EXPECT_EQ(ParseUsDateTime("6/12/98 4:37PM"), At(1998, 6, 12, 16, 37, 0));
}

TEST(UsDateTime, TwentyFourHourClockAndDateAlone) {
    EXPECT_EQ(ParseUsDateTime("6/12/98 16:37:38"), At(1998, 6, 12, 16, 37, 38));
    EXPECT_EQ(ParseUsDateTime("06/12/1998 0:05"), At(1998, 6, 12, 0, 5, 0));
    EXPECT_EQ(ParseUsDateTime("12/31/2026"), At(2026, 12, 31));
    EXPECT_EQ(ParseUsDateTime(" 2/29/2024 \t"), At(2024, 2, 29));
}

TEST(UsDateTime, TwoDigitYearsPivotAtThirty) {
    EXPECT_EQ(ParseUsDateTime("1/1/0")->year, 2000);
    EXPECT_EQ(ParseUsDateTime("1/1/29")->year, 2029);
    EXPECT_EQ(ParseUsDateTime("1/1/30")->year, 1930);
    EXPECT_EQ(ParseUsDateTime("1/1/99")->year, 1999);
    EXPECT_EQ(ParseUsDateTime("1/1/05")->year, 2005);
    EXPECT_EQ(ParseUsDateTime("1/1/0100")->year, 100);
}

TEST(UsDateTime, RejectsGarbageAndImpossibleMoments) {
    for (const char* text : {"",
                             "6/12",
                             "6/12/",
                             "6/12/98 x",
                             "6/12/98 4:37:38 PMx",
                             "6/12/98 4:37:38 P",
                             "6/12/98 13:00 PM",
                             "6/12/98 0:30 AM",
                             "6/12/98 24:00",
                             "6/12/98 4",
                             "6/12/98 4:7",
                             "6/12/198",
                             "6/12/12345",
                             "13/12/98",
                             "2/30/2024",
                             "2/29/2023",
                             "6/12/98PM",
                             "6/12/98 PM",
                             "6-12-98",
                             "123/1/98",
                             "1/1/0099",
                             "6/12/984:37"})
        EXPECT_EQ(ParseUsDateTime(text), std::nullopt) << '"' << text << '"';
}

} // namespace
} // namespace velum
