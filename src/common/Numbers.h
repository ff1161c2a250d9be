#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velum {

// The lenient text-to-number reading: blanks ignored, reading stops at the first character that
// cannot continue a number, no number gives 0. The decimal point is always '.'.
double LenientVal(std::string_view text);

// Rounds to the nearest 16-bit integer, halves to even. False when out of range.
bool RoundToInt16(double value, std::int16_t& out);

// Decimal text with a blank reserved for the sign: " 3", "-1".
std::string SignedNumberText(long value);

// A short stable name for a text (16 hex digits of its FNV-1a hash), for names the system keeps
// per store: a lock, a socket, a mutex.
std::string TextKey(std::string_view text);

} // namespace velum
