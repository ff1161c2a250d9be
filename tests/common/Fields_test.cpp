#include <gtest/gtest.h>

#include "common/Fields.h"

using velum::GetField;
using velum::TrimField;

TEST(GetField, SplitsAtEveryCommaEvenInsideQuotesAndTrimsTheQuotes) {
    const char* fields[] = {"Bmp", "Default", R"(C:\WINDOWS\Clouds.bmp)", ""};
    for (int n = 1; n <= 4; ++n)
        EXPECT_EQ(GetField(n, R"("Bmp","Default","C:\WINDOWS\Clouds.bmp")", ","), fields[n - 1]);
    EXPECT_EQ(GetField(3, R"("Bmp","","C:\My, Pictures\a.bmp")", ","), R"(C:\My)");
    const std::tuple<int, const char*, const char*> cases[] = {
        {1, "abc", "abc"}, {2, "abc", ""}, {3, "a,b", ""},     {2, "a,b", "b"},
        {2, "a,,c", ""},   {1, "", ""},    {-3, "x,y", "x,y"}, {0, R"("a","b")", R"(a","b)"}};
    for (auto [n, text, field] : cases)
        EXPECT_EQ(GetField(n, text, ","), field) << n << " of " << text;
    // Only the first character of a longer delimiter is dropped with the field before it.
    EXPECT_EQ(GetField(2, "a;;b", ";;"), ";b");
    EXPECT_EQ(GetField(1, "a;;b", ";;"), "a");
}

TEST(TrimField, RemovesAnyNumberOfQuotesAtBothEnds) {
    const std::pair<const char*, const char*> cases[] = {{R"(""abc"")", "abc"},
                                                         {R"(  "abc"  )", R"(  "abc"  )"},
                                                         {"\"", ""},
                                                         {"\"\"\"\"", ""},
                                                         {"a\"b", "a\"b"},
                                                         {"", ""},
                                                         {"\"a", "a"}};
    for (auto [text, trimmed] : cases)
        EXPECT_EQ(TrimField(text), trimmed) << text;
}
