#include "common/DateTime.h"

#include <ctime>

#include <langinfo.h>

namespace velum {

namespace {

// Weekday (0 = Sunday) and day of the year, for locales whose formats name them.
std::tm ToTm(const DateTime& dt) {
    static const int kBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    std::tm tm{};
    tm.tm_year = dt.year - 1900;
    tm.tm_mon = dt.month - 1;
    tm.tm_mday = dt.day;
    tm.tm_hour = dt.hour;
    tm.tm_min = dt.minute;
    tm.tm_sec = dt.second;
    tm.tm_isdst = -1;
    if (IsValidDateTime(dt)) {
        tm.tm_yday =
            kBefore[dt.month - 1] + dt.day - 1 + (IsLeapYear(dt.year) && dt.month > 2 ? 1 : 0);
        int y = dt.year - (dt.month < 3 ? 1 : 0);
        static const int kShift[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
        tm.tm_wday = (y + y / 4 - y / 100 + y / 400 + kShift[dt.month - 1] + dt.day) % 7;
    }
    return tm;
}

bool IsBlankText(const char* p) {
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
        ++p;
    return *p == '\0';
}

// The text in the form of the process's LC_TIME: date and time, or the date alone.
std::optional<DateTime> ParseLocaleDateTime(const std::string& text) {
    const char* formats[] = {nl_langinfo(D_T_FMT), "%x %X", "%x"};
    for (const char* format : formats) {
        if (!format || !*format)
            continue;
        std::tm tm{};
        const char* rest = strptime(text.c_str(), format, &tm);
        if (!rest || !IsBlankText(rest))
            continue;
        DateTime dt{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
        if (IsValidDateTime(dt))
            return dt;
    }
    return std::nullopt;
}

} // namespace

std::string DateTimeToStoredText(const DateTime& dt) {
    return FormatIsoDateTime(dt);
}

std::optional<DateTime> DateTimeFromText(const std::string& text) {
    if (auto dt = ParseIsoDateTime(text))
        return dt;
    if (auto dt = ParseUsDateTime(text))
        return dt;
    return ParseLocaleDateTime(text);
}

std::string DateTimeToDisplayText(const DateTime& dt) {
    std::tm tm = ToTm(dt);
    char text[256];
    std::size_t n = std::strftime(text, sizeof text, "%x %X", &tm);
    return n > 0 ? std::string(text, n) : FormatIsoDateTime(dt);
}

} // namespace velum
