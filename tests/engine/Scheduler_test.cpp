#include <gtest/gtest.h>

#include "engine/Scheduler.h"
#include "support/TestSupport.h"

using namespace velum;

static DateTime At(int year, int month, int day, int hour, int minute) {
    return {year, month, day, hour, minute, 0};
}

TEST(ChangeDue, ComparesFieldByFieldWithBorrowsAndAnyNewMonthIsDue) {
    // Last change, now, days, hours, minutes, due.
    const std::tuple<DateTime, DateTime, double, double, double, bool> cases[] = {
        {At(2026, 1, 31, 10, 0), At(2026, 2, 1, 10, 0), 1, 0, 0, true},
        {At(2024, 2, 28, 10, 0), At(2024, 3, 1, 10, 0), 2, 0, 0, false},  // February has 28
        {At(2026, 3, 1, 10, 0), At(2026, 3, 1, 12, 10), 0, 1, 30, false}, // minutes fall short
        {At(2026, 3, 1, 10, 0), At(2026, 3, 1, 12, 30), 0, 1, 30, true},
        {At(2026, 3, 1, 10, 0), At(2026, 5, 1, 9, 0), 40, 0, 0, true}, // a month passed
        {At(2026, 3, 1, 10, 0), At(2026, 3, 1, 10, 0), 0, 0, 0, true}, // zero: every tick
        {DateTime{}, At(2026, 5, 1, 9, 0), 40, 0, 0, true},            // never changed
    };
    for (const auto& [last, now, days, hours, minutes, due] : cases)
        EXPECT_EQ(ChangeDue(last, now, days, hours, minutes), due)
            << FormatIsoDateTime(last) << " to " << FormatIsoDateTime(now);
}

TEST(RepairIndex, KeepsAPositionInsideTheListAndRestartsOutsideByOrder) {
    const std::tuple<int, int, std::int16_t, int> cases[] = {
        {1, 3, order::kAscending, 1},   {3, 3, order::kAscending, 0},
        {-1, 3, order::kAscending, 0},  {-1, 3, order::kDescending, 2},
        {7, 3, order::kDescending, 2},  {5, 3, order::kRandom, 1},
        {2, 1, order::kRandom, 0},      {0, 0, order::kAscending, 0},
        {0, 0, order::kDescending, -1},
    };
    for (const auto& [next, count, cycleOrder, want] : cases)
        EXPECT_EQ(RepairIndex(next, count, cycleOrder), want)
            << next << " of " << count << " in order " << cycleOrder;
}

TEST(AdvanceIndex, StepsUpOrDownAndDrawsAFreshRandomPosition) {
    test::FakeRandom random;
    EXPECT_EQ(AdvanceIndex(1, 3, order::kAscending, random), 2);
    EXPECT_EQ(AdvanceIndex(32767, 3, order::kAscending, random), 32767);
    EXPECT_EQ(AdvanceIndex(0, 3, order::kDescending, random), -1);
    random.draws = {0.99, 0.0};
    EXPECT_EQ(AdvanceIndex(0, 3, order::kRandom, random), 2);
    EXPECT_EQ(AdvanceIndex(2, 3, order::kRandom, random), 0);
    EXPECT_EQ(random.randomized, 2); // re-seeded before every draw
}
