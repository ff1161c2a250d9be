#include <gtest/gtest.h>

#include "common/Numbers.h"

using velum::LenientVal;
using velum::RoundToInt16;
using velum::SignedNumberText;

TEST(LenientVal, ReadsTheLeadingNumberAndIgnoresBlanks) {
    EXPECT_EQ(LenientVal(" 2"), 2);
    EXPECT_EQ(LenientVal("-1"), -1);
    EXPECT_EQ(LenientVal("2.0"), 2);
    EXPECT_EQ(LenientVal("2.5"), 2.5);
    EXPECT_EQ(LenientVal(".5"), 0.5);
    EXPECT_EQ(LenientVal("1 2 3"), 123);
    EXPECT_EQ(LenientVal("\t+7"), 7);
    EXPECT_EQ(LenientVal("12abc"), 12);
    EXPECT_EQ(LenientVal("1e3"), 1000);
    EXPECT_EQ(LenientVal("1D2"), 100);
    EXPECT_EQ(LenientVal("3e"), 3);
    EXPECT_EQ(LenientVal("&H1F"), 31);
    EXPECT_EQ(LenientVal("&o17"), 15);
}

TEST(LenientVal, TextWithoutANumberIsZero) {
    EXPECT_EQ(LenientVal(""), 0);
    EXPECT_EQ(LenientVal("abc"), 0);
    EXPECT_EQ(LenientVal("-"), 0);
    EXPECT_EQ(LenientVal("."), 0);
    EXPECT_EQ(LenientVal("\"1\""), 0);
}

TEST(LenientVal, DoesNotDependOnTheLocale) {
    // A comma is never a decimal point here.
    EXPECT_EQ(LenientVal("2,5"), 2);
}

TEST(RoundToInt16, RoundsHalvesToEvenAndRefusesOutOfRange) {
    std::int16_t v = 99;
    ASSERT_TRUE(RoundToInt16(2.5, v));
    EXPECT_EQ(v, 2);
    ASSERT_TRUE(RoundToInt16(3.5, v));
    EXPECT_EQ(v, 4);
    ASSERT_TRUE(RoundToInt16(-2.5, v));
    EXPECT_EQ(v, -2);
    ASSERT_TRUE(RoundToInt16(2.4999, v));
    EXPECT_EQ(v, 2);
    ASSERT_TRUE(RoundToInt16(32767.4, v));
    EXPECT_EQ(v, 32767);
    ASSERT_TRUE(RoundToInt16(-32768, v));
    EXPECT_EQ(v, -32768);
    v = 5;
    EXPECT_FALSE(RoundToInt16(32767.5, v)); // rounds to 32768
    EXPECT_FALSE(RoundToInt16(-40000, v));
    EXPECT_FALSE(RoundToInt16(1e300 * 1e300, v));
    EXPECT_EQ(v, 5);
}

TEST(SignedNumberText, ReservesABlankForThePlusSign) {
    EXPECT_EQ(SignedNumberText(3), " 3");
    EXPECT_EQ(SignedNumberText(0), " 0");
    EXPECT_EQ(SignedNumberText(-1), "-1");
    EXPECT_EQ(SignedNumberText(-32768), "-32768");
}
