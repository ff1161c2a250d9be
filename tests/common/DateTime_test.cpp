#include "common/DateTime.h"

#include <gtest/gtest.h>

namespace velum {
namespace {

DateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return DateTime{year, month, day, hour, minute, second};
}

std::string Iso(const std::optional<DateTime>& dt) {
    return dt ? FormatIsoDateTime(*dt) : "rejected";
}

template <class Parse> void ExpectRejected(Parse parse, std::initializer_list<const char*> texts) {
    for (const char* text : texts)
        EXPECT_EQ(Iso(parse(text)), "rejected") << '"' << text << '"';
}

TEST(DateTimeValidity, CalendarDaysLeapYearsAndRanges) {
    for (DateTime dt : {At(2024, 2, 29), At(2000, 2, 29), At(100, 1, 1),
                        At(9999, 12, 31, 23, 59, 59), ZeroDate()})
        EXPECT_TRUE(IsValidDateTime(dt)) << Iso(dt);
    for (DateTime dt :
         {At(1900, 2, 29), At(2023, 4, 31), At(2023, 1, 0), At(2023, 13, 1), At(99, 12, 31),
          At(10000, 1, 1), At(2023, 1, 1, 24), At(2023, 1, 1, 0, 60), At(2023, 1, 1, 0, 0, 60)})
        EXPECT_FALSE(IsValidDateTime(dt)) << Iso(dt);
}

TEST(IsoDateTime, ParsesFormatsAndRejects) {
    EXPECT_EQ(Iso(ParseIsoDateTime("2026-12-06T19:04:05")), "2026-12-06 19:04:05");
    EXPECT_EQ(Iso(ParseIsoDateTime("  2026-12-06 19:04\t\r\n")), "2026-12-06 19:04:00");
    EXPECT_EQ(FormatIsoDateTime(At(2026, 1, 6, 9, 4, 5)), "2026-01-06 09:04:05");
    ExpectRejected(ParseIsoDateTime,
                   {"", "2026-12-06 19:04:05x", "2026-12-06 19:04:05 PM", "2026-12-06x", "2026-12",
                    "26-12-06", "20261-12-06", "2026-02-30", "2026-12-06 19:04:5", "2026-12-06 19",
                    "2026-12-06T", "2026/12/06"});
}

TEST(UsDateTime, ParsesBothClocksPivotsTwoDigitYearsAtThirtyAndRejects) {
    EXPECT_EQ(Iso(ParseUsDateTime("6/12/98 4:37:38 PM")), "1998-06-12 16:37:38");
    EXPECT_EQ(Iso(ParseUsDateTime("6/12/98 12:00:00 AM")), "1998-06-12 00:00:00");
    EXPECT_EQ(Iso(ParseUsDateTime("6/12/98 12:30 pM")), "1998-06-12 12:30:00");
    EXPECT_EQ(Iso(ParseUsDateTime("6/12/98 4:37PM")), "1998-06-12 16:37:00");
    EXPECT_EQ(Iso(ParseUsDateTime("06/12/1998 16:05")), "1998-06-12 16:05:00");
    EXPECT_EQ(Iso(ParseUsDateTime("1/1/29")), "2029-01-01 00:00:00");
    EXPECT_EQ(Iso(ParseUsDateTime("1/1/30")), "1930-01-01 00:00:00");
    EXPECT_EQ(Iso(ParseUsDateTime("1/1/0100")), "0100-01-01 00:00:00");
    ExpectRejected(ParseUsDateTime,
                   {"6/12", "6/12/98 x", "6/12/98 4:37:38 PMx", "6/12/98 4:37:38 P", "6/12/98 4",
                    "6/12/98 4:7", "6/12/198", "6/12/12345", "6/12/98PM", "6-12-98", "123/1/98",
                    "6/12/98 13:00 PM", "6/12/98 0:30 AM", "6/12/98 24:00", "2/29/2023",
                    "1/1/0099"});
}

} // namespace
} // namespace velum
