#include "common/DateTime.h"

#include <cstdio>

namespace velum {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Reads a text from left to right; every step fails without moving.
class Scanner {
  public:
    explicit Scanner(const std::string& text) : s_(text), end_(text.size()) {
        while (pos_ < end_ && IsBlank(s_[pos_]))
            ++pos_;
        while (end_ > pos_ && IsBlank(s_[end_ - 1]))
            --end_;
    }

    bool AtEnd() const { return pos_ == end_; }

    // An unsigned number of minDigits..maxDigits digits; `digits` receives how many there were.
    bool Number(int minDigits, int maxDigits, int& value, int* digits = nullptr) {
        std::size_t p = pos_;
        int v = 0;
        while (p < end_ && p - pos_ < static_cast<std::size_t>(maxDigits) && IsDigit(s_[p]))
            v = v * 10 + (s_[p++] - '0');
        int n = static_cast<int>(p - pos_);
        if (n < minDigits || (p < end_ && IsDigit(s_[p])))
            return false;
        pos_ = p;
        value = v;
        if (digits)
            *digits = n;
        return true;
    }

    bool Char(char c) {
        if (pos_ < end_ && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    // Case-insensitive.
    bool Letter(char upper) {
        return pos_ < end_ && (s_[pos_] == upper || s_[pos_] == upper - 'A' + 'a') && ++pos_;
    }

    std::size_t Blanks() {
        std::size_t start = pos_;
        while (pos_ < end_ && IsBlank(s_[pos_]))
            ++pos_;
        return pos_ - start;
    }

    std::size_t pos() const { return pos_; }
    void Reset(std::size_t pos) { pos_ = pos; }

  private:
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

    const std::string& s_;
    std::size_t pos_ = 0;
    std::size_t end_;
};

// "HH:MM" or "HH:MM:SS".
bool ReadClock(Scanner& in, DateTime& dt) {
    if (!in.Number(1, 2, dt.hour) || !in.Char(':') || !in.Number(2, 2, dt.minute))
        return false;
    dt.second = 0;
    return !in.Char(':') || in.Number(2, 2, dt.second);
}

std::optional<DateTime> Checked(const Scanner& in, const DateTime& dt) {
    if (!in.AtEnd() || !IsValidDateTime(dt))
        return std::nullopt;
    return dt;
}

} // namespace

bool IsValidDateTime(const DateTime& dt) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (dt.year < 100 || dt.year > 9999 || dt.month < 1 || dt.month > 12)
        return false;
    int days = kDays[dt.month - 1] + (dt.month == 2 && IsLeapYear(dt.year) ? 1 : 0);
    return dt.day >= 1 && dt.day <= days && dt.hour >= 0 && dt.hour <= 23 && dt.minute >= 0 &&
           dt.minute <= 59 && dt.second >= 0 && dt.second <= 59;
}

std::optional<DateTime> ParseIsoDateTime(const std::string& text) {
    Scanner in(text);
    DateTime dt;
    if (!in.Number(4, 4, dt.year) || !in.Char('-') || !in.Number(1, 2, dt.month) || !in.Char('-') ||
        !in.Number(1, 2, dt.day))
        return std::nullopt;
    dt.hour = dt.minute = dt.second = 0;
    if (!in.AtEnd()) {
        if (!in.Letter('T') && in.Blanks() == 0)
            return std::nullopt;
        if (!ReadClock(in, dt))
            return std::nullopt;
    }
    return Checked(in, dt);
}

std::string FormatIsoDateTime(const DateTime& dt) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", dt.year, dt.month, dt.day,
                  dt.hour, dt.minute, dt.second);
    return text;
}

std::optional<DateTime> ParseUsDateTime(const std::string& text) {
    Scanner in(text);
    DateTime dt;
    int yearDigits = 0;
    if (!in.Number(1, 2, dt.month) || !in.Char('/') || !in.Number(1, 2, dt.day) || !in.Char('/') ||
        !in.Number(1, 4, dt.year, &yearDigits) || yearDigits == 3)
        return std::nullopt;
    if (yearDigits <= 2)
        dt.year += dt.year < 30 ? 2000 : 1900;
    dt.hour = dt.minute = dt.second = 0;
    if (!in.AtEnd()) {
        if (in.Blanks() == 0 || !ReadClock(in, dt))
            return std::nullopt;
        std::size_t beforeMarker = in.pos();
        in.Blanks();
        bool am = in.Letter('A');
        bool pm = !am && in.Letter('P');
        if (am || pm) {
            if (!in.Letter('M') || dt.hour < 1 || dt.hour > 12)
                return std::nullopt;
            dt.hour = dt.hour % 12 + (pm ? 12 : 0);
        } else {
            in.Reset(beforeMarker);
        }
    }
    return Checked(in, dt);
}

} // namespace velum
