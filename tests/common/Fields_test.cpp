#include <gtest/gtest.h>

#include "common/Fields.h"

using velum::GetField;
using velum::TrimField;

TEST(GetField, SplitsAQuotedRecordAtCommas) {
    const std::string line = R"("Bmp","Default","C:\WINDOWS\Clouds.bmp")";
    EXPECT_EQ(GetField(1, line, ","), "Bmp");
    EXPECT_EQ(GetField(2, line, ","), "Default");
    EXPECT_EQ(GetField(3, line, ","), R"(C:\WINDOWS\Clouds.bmp)");
    EXPECT_EQ(GetField(4, line, ","), "");
}

TEST(GetField, MissingFieldsAreEmptyAndTheLastFieldRunsToTheEnd) {
    EXPECT_EQ(GetField(1, "abc", ","), "abc");
    EXPECT_EQ(GetField(2, "abc", ","), "");
    EXPECT_EQ(GetField(3, "a,b", ","), "");
    EXPECT_EQ(GetField(2, "a,b", ","), "b");
    EXPECT_EQ(GetField(2, "a,,c", ","), "");
    EXPECT_EQ(GetField(1, "", ","), "");
}

TEST(GetField, ACommaInsideQuotesEndsTheField) {
    EXPECT_EQ(GetField(3, R"("Bmp","","C:\My, Pictures\a.bmp")", ","), R"(C:\My)");
}

TEST(GetField, FieldNumberBelowOneReturnsTheWholeTrimmedText) {
    EXPECT_EQ(GetField(0, R"("a","b")", ","), R"(a","b)");
    EXPECT_EQ(GetField(-3, "x,y", ","), "x,y");
}

TEST(GetField, MultiCharacterDelimiterDropsOnlyItsFirstCharacter) {
    // The pass drops everything up to and including the delimiter's first character.
    EXPECT_EQ(GetField(2, "a;;b", ";;"), ";b");
    EXPECT_EQ(GetField(1, "a;;b", ";;"), "a");
}

TEST(TrimField, RemovesAnyNumberOfQuotesAtBothEnds) {
    EXPECT_EQ(TrimField(R"(""abc"")"), "abc");
    EXPECT_EQ(TrimField(R"(  "abc"  )"), R"(  "abc"  )");
    EXPECT_EQ(TrimField("\""), "");
    EXPECT_EQ(TrimField("\"\"\"\""), "");
    EXPECT_EQ(TrimField("a\"b"), "a\"b");
    EXPECT_EQ(TrimField(""), "");
    EXPECT_EQ(TrimField("\"a"), "a");
}
