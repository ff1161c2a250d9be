#include "engine/Scheduler.h"

#include <cmath>
#include <cstdlib>

namespace velum {

namespace {

// The number of days of a month as the elapsed-time rule counts them.
int MonthLength(int month) {
    switch (month) {
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    case 2:
        return 28;
    default:
        return 31;
    }
}

} // namespace

bool ChangeDue(const DateTime& l, const DateTime& t, double d, double h, double m) {
    int minutes = t.minute - l.minute;
    int hours = t.hour - l.hour;
    if (minutes < 0) {
        minutes += 60;
        --hours;
    }
    int days = t.day - l.day;
    if (hours < 0) {
        hours += 24;
        --days;
    }
    int months = t.month - l.month;
    if (days < 0) {
        days += MonthLength(l.month);
        --months;
    }
    if (months < 0)
        months += 12;
    return months > 0 || (days >= d && hours >= h && minutes >= m);
}

int RepairIndex(int next, int count, std::int16_t cycleOrder) {
    if (next >= 0 && next <= count - 1)
        return next;
    if (cycleOrder == order::kRandom)
        return count > 1 ? std::abs(next) % (count - 1) : 0; // one entry: the only position
    if (cycleOrder == order::kDescending)
        return count - 1;
    return 0;
}

std::int16_t AdvanceIndex(std::int16_t current, int count, std::int16_t cycleOrder,
                          RandomSource& random) {
    if (cycleOrder == order::kRandom) {
        random.Randomize();
        return static_cast<std::int16_t>(std::floor(count * random.Next()));
    }
    if (cycleOrder == order::kDescending)
        return static_cast<std::int16_t>(current - 1);
    if (current < 32767)
        return static_cast<std::int16_t>(current + 1);
    return current;
}

} // namespace velum
