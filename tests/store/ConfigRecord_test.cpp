#include <gtest/gtest.h>

#include <sstream>

#include "common/IoFailure.h"
#include "store/ConfigRecord.h"

using namespace velum;
using namespace std::string_literals;
using Lines = std::vector<std::string>;

static Lines ReadLines(const std::string& text) {
    std::istringstream in(text);
    Lines lines;
    for (std::string line; ReadConfigLine(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(ParseConfigRecord, QuotedRecordsKeepCommasAndQuotesInTheValueOthersSplitAtEveryComma) {
    // Each line with its key, name and value joined by "|".
    const std::pair<const char*, const char*> cases[] = {
        {R"("Bmp","Default","C:\WINDOWS\Clouds.bmp")", R"(Bmp|Default|C:\WINDOWS\Clouds.bmp)"},
        {R"("Bmp","","C:\My, Pictures\a.bmp")", R"(Bmp||C:\My, Pictures\a.bmp)"},
        {R"("Bmp","N","/pics/say "hi".bmp")", R"(Bmp|N|/pics/say "hi".bmp)"},
        {R"("Bmp","N","a","b")", R"(Bmp|N|a","b)"},
        {R"("Max","Nature",3)", "Max|Nature|3"},
        {"no commas here", "no commas here||"},
        {R"(Bmp,Nature,C:\a,b.bmp)", R"(Bmp|Nature|C:\a)"},
        {R"(  "Bmp"  ,""N"",""""")", R"(  "Bmp"  |N|)"},
        {"a,,c", "a||c"},
        {"\"", "||"},
        {R"("a","b)", "a|b|"}};
    for (auto [line, fields] : cases) {
        auto [k, n, v] = ParseConfigRecord(line);
        EXPECT_EQ(std::string(k) + "|" + std::string(n) + "|" + std::string(v), fields) << line;
    }
}

TEST(ConfigLines, ReadTakesCrLfAndLfAndWriteQuotesEveryFieldAndEndsWithCrLf) {
    EXPECT_EQ(ReadLines("one\r\ntwo\nthree"), (Lines{"one", "two", "three"}));
    std::ostringstream out;
    WriteConfigRecord(out, "Bmp", "", "C:\\a.bmp");
    WriteConfigRecordNumber(out, "Max", "Nature", 3);
    EXPECT_EQ(out.str(), "\"Bmp\",\"\",\"C:\\a.bmp\"\r\n\"Max\",\"Nature\",3\r\n");
}

TEST(ConfigLines, AFieldWithALineBreakOrANulIsRefusedAndNothingIsWritten) {
    for (const std::string& bad : {"a\nb"s, "a\rb"s, "a\0b"s}) {
        std::ostringstream out;
        for (int field = 0; field < 3; ++field) {
            std::string f[3] = {"Bmp", "N", "v"};
            f[field] = bad;
            EXPECT_THROW(WriteConfigRecord(out, f[0], f[1], f[2]), IoFailure) << field;
        }
        EXPECT_THROW(WriteConfigRecordNumber(out, "Max", bad, 3), IoFailure);
        EXPECT_EQ(out.str(), "");
    }
}

TEST(ConfigLines, LinesUpToTheLimitAreReadWholeALongerOneReadsAsEmptyAndTheNextAsUsual) {
    for (int n : {4094, 4095, 4096, 8190, int(kMaxConfigLine)}) {
        const std::string body(n, 'a');
        EXPECT_EQ(ReadLines(body + "\r\n" + body + "\nlast"), (Lines{body, body, "last"})) << n;
    }
    // NULs with no line break, as a sparse file gives, among records.
    const std::string nuls(kMaxConfigLine + 1, '\0');
    EXPECT_EQ(ReadLines("\"Bmp\",\"A\",\"/a.bmp\"\r\n" + nuls + "\r\n\"Max\",\"A\",1\r\n" + nuls),
              (Lines{"\"Bmp\",\"A\",\"/a.bmp\"", "", "\"Max\",\"A\",1", ""}));
}
