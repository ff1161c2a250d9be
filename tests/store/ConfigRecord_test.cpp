#include <gtest/gtest.h>

#include <sstream>

#include "store/ConfigRecord.h"

using velum::ParseConfigRecord;

namespace {
std::vector<std::string> Fields(std::string_view line) {
    auto r = ParseConfigRecord(line);
    return {std::string(r.key), std::string(r.name), std::string(r.value)};
}
using V = std::vector<std::string>;
} // namespace

TEST(ParseConfigRecord, QuotedRecordsKeepCommasAndQuotesInsideTheValue) {
    EXPECT_EQ(Fields(R"("Bmp","Default","C:\WINDOWS\Clouds.bmp")"),
              (V{"Bmp", "Default", R"(C:\WINDOWS\Clouds.bmp)"}));
    EXPECT_EQ(Fields(R"("Bmp","","C:\My, Pictures\a.bmp")"),
              (V{"Bmp", "", R"(C:\My, Pictures\a.bmp)"}));
    EXPECT_EQ(Fields(R"("Bmp","N","/pics/say "hi".bmp")"),
              (V{"Bmp", "N", R"(/pics/say "hi".bmp)"}));
    EXPECT_EQ(Fields(R"("Bmp","N","a","b")"), (V{"Bmp", "N", R"(a","b)"}));
    EXPECT_EQ(Fields(R"("Bmp","","")"), (V{"Bmp", "", ""}));
    EXPECT_EQ(Fields(R"("Index","Nature"," 2")"), (V{"Index", "Nature", " 2"}));
}

TEST(ParseConfigRecord, OtherLinesAreSplitAtEveryComma) {
    EXPECT_EQ(Fields(R"("Max","Nature",3)"), (V{"Max", "Nature", "3"}));
    EXPECT_EQ(Fields("no commas here"), (V{"no commas here", "", ""}));
    EXPECT_EQ(Fields("a,b"), (V{"a", "b", ""}));
    EXPECT_EQ(Fields(R"(Bmp,Nature,C:\a,b.bmp)"), (V{"Bmp", "Nature", R"(C:\a)"}));
    EXPECT_EQ(Fields(""), (V{"", "", ""}));
    EXPECT_EQ(Fields("\""), (V{"", "", ""}));
    EXPECT_EQ(Fields(R"("a","b)"), (V{"a", "b", ""}));
}

TEST(ReadConfigLine, TakesCrLfAndLfLineEnds) {
    std::istringstream in("one\r\ntwo\nthree");
    std::string line;
    std::vector<std::string> got;
    while (velum::ReadConfigLine(in, line))
        got.push_back(line);
    EXPECT_EQ(got, (V{"one", "two", "three"}));
}

TEST(WriteConfigRecord, QuotesEveryFieldAndEndsWithCrLf) {
    std::ostringstream out;
    velum::WriteConfigRecord(out, "Bmp", "", "C:\\a.bmp");
    velum::WriteConfigRecordNumber(out, "Max", "Nature", 3);
    EXPECT_EQ(out.str(), "\"Bmp\",\"\",\"C:\\a.bmp\"\r\n\"Max\",\"Nature\",3\r\n");
}
