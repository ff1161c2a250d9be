#pragma once

#include <optional>
#include <string>

namespace velum {

// A moment as the calendar shows it, without a time zone.
struct DateTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;

    friend bool operator==(const DateTime&, const DateTime&) = default;
};

// The moment a never-set date counts as: 30 December 1899 00:00.
inline DateTime ZeroDate() {
    return DateTime{};
}

// True for the leap years of the Gregorian calendar.
inline bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// True when the fields name a real calendar moment.
bool IsValidDateTime(const DateTime& dt);

// "2026-12-06 19:04:05"; also accepts "2026-12-06 19:04" and "2026-12-06".
std::optional<DateTime> ParseIsoDateTime(const std::string& text);
std::string FormatIsoDateTime(const DateTime& dt);

// The United States form "6/12/98 4:37:38 PM" (month/day/year, two- or four-digit year,
// 12-hour clock with AM/PM or 24-hour clock without).
std::optional<DateTime> ParseUsDateTime(const std::string& text);

// Platform half: the text that the store writes for a moment.
std::string DateTimeToStoredText(const DateTime& dt);
// Platform half: reads a stored or typed date-time text; nullopt when it is not one.
std::optional<DateTime> DateTimeFromText(const std::string& text);
// Platform half: the text a person reads in the window, in their locale.
std::string DateTimeToDisplayText(const DateTime& dt);

} // namespace velum
