#include "common/Numbers.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace velum {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

double ReadRadix(const std::string& digits, int radix) {
    double v = 0;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            break;
        if (d >= radix)
            break;
        v = v * radix + d;
    }
    return v;
}

} // namespace

double LenientVal(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (char c : text)
        if (!IsBlank(c))
            s.push_back(c);

    if (s.size() >= 2 && s[0] == '&') {
        char k = s[1];
        if (k == 'h' || k == 'H')
            return ReadRadix(s.substr(2), 16);
        if (k == 'o' || k == 'O')
            return ReadRadix(s.substr(2), 8);
    }

    // Longest prefix of the form [sign] digits [. digits] [E|D [sign] digits].
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    std::string number;
    bool digits = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        number.push_back(s[i++]);
        digits = true;
    }
    if (i < s.size() && s[i] == '.') {
        number.push_back(s[i++]);
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            number.push_back(s[i++]);
            digits = true;
        }
    }
    if (!digits)
        return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            exponent.push_back(s[j++]);
        bool expDigits = false;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
            exponent.push_back(s[j++]);
            expDigits = true;
        }
        if (expDigits)
            number += exponent;
    }
    if (number.front() == '.')
        number.insert(number.begin(), '0');
    double value = 0;
    auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        // Tiny magnitudes round to zero; huge ones stay out of every range.
        bool tiny = number.find("e-") != std::string::npos;
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

bool RoundToInt16(double value, std::int16_t& out) {
    if (std::isnan(value))
        return false;
    double r = std::nearbyint(value); // the default rounding mode sends halves to even
    if (r < -32768.0 || r > 32767.0)
        return false;
    out = static_cast<std::int16_t>(r);
    return true;
}

std::string SignedNumberText(long value) {
    return value < 0 ? std::to_string(value) : " " + std::to_string(value);
}

std::string TextKey(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char key[17];
    std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(hash));
    return key;
}

} // namespace velum
