#include <gtest/gtest.h>

#include <cmath>

#include "common/Numbers.h"

using velum::LenientVal;
using velum::RoundToInt16;
using velum::SignedNumberText;

TEST(LenientVal, ReadsTheLeadingNumberIgnoringBlanksAndNeverTakesACommaForAPoint) {
    const std::pair<const char*, double> cases[] = {
        {" 2", 2},      {"-1", -1},   {"2.0", 2},    {"2.5", 2.5},  {".5", 0.5},
        {"1 2 3", 123}, {"\t+7", 7},  {"12abc", 12}, {"1e3", 1000}, {"1D2", 100},
        {"3e", 3},      {"&H1F", 31}, {"&o17", 15},  {"2,5", 2},    {"", 0},
        {"abc", 0},     {"-", 0},     {".", 0},      {"\"1\"", 0}};
    for (auto [text, value] : cases)
        EXPECT_EQ(LenientVal(text), value) << text;
}

TEST(RoundToInt16, RoundsHalvesToEvenAndRefusesOutOfRange) {
    const std::pair<double, int> fits[] = {{2.5, 2},    {3.5, 4},         {-2.5, -2},
                                           {2.4999, 2}, {32767.4, 32767}, {-32768, -32768}};
    for (auto [value, rounded] : fits) {
        std::int16_t v = 99;
        EXPECT_TRUE(RoundToInt16(value, v)) << value;
        EXPECT_EQ(v, rounded) << value;
    }
    std::int16_t v = 5;
    for (double outside : {32767.5, -40000.0, HUGE_VAL}) // 32767.5 rounds to 32768
        EXPECT_FALSE(RoundToInt16(outside, v)) << outside;
    EXPECT_EQ(v, 5);
}

TEST(SignedNumberText, ReservesABlankForThePlusSign) {
    for (auto [n, text] : {std::pair{3, " 3"}, {0, " 0"}, {-1, "-1"}, {-32768, "-32768"}})
        EXPECT_EQ(SignedNumberText(n), text);
}
