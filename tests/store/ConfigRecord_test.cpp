#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/IoFailure.h"
#include "store/ConfigRecord.h"

using namespace velum;
using namespace std::string_literals;

namespace {

std::vector<std::string> ReadLines(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string line; ReadConfigLine(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

TEST(ParseConfigRecord, QuotedRecordsKeepCommasAndQuotesInTheValueOthersSplitAtEveryComma) {
    // Each line with its key, name and value joined by "|".
    const std::pair<const char*, const char*> cases[] = {
        {R"("Bmp","Default","C:\WINDOWS\Clouds.bmp")", R"(Bmp|Default|C:\WINDOWS\Clouds.bmp)"},
        {R"("Bmp","","C:\My, Pictures\a.bmp")", R"(Bmp||C:\My, Pictures\a.bmp)"},
        {R"("Bmp","N","/pics/say "hi".bmp")", R"(Bmp|N|/pics/say "hi".bmp)"},
        {R"("Bmp","N","a","b")", R"(Bmp|N|a","b)"},
        {R"("Index","Nature"," 2")", "Index|Nature| 2"},
        {R"("Max","Nature",3)", "Max|Nature|3"},
        {"no commas here", "no commas here||"},
        {"a,b", "a|b|"},
        {R"(Bmp,Nature,C:\a,b.bmp)", R"(Bmp|Nature|C:\a)"},
        {R"(  "Bmp"  ,""N"",""""")", R"(  "Bmp"  |N|)"},
        {"a,,c", "a||c"},
        {"", "||"},
        {"\"", "||"},
        {R"("a","b)", "a|b|"}};
    for (auto [line, fields] : cases) {
        auto r = ParseConfigRecord(line);
        EXPECT_EQ(std::string(r.key) + "|" + std::string(r.name) + "|" + std::string(r.value),
                  fields)
            << line;
    }
}

TEST(ConfigLines, ReadTakesCrLfAndLfAndWriteQuotesEveryFieldAndEndsWithCrLf) {
    EXPECT_EQ(ReadLines("one\r\ntwo\nthree"), (std::vector<std::string>{"one", "two", "three"}));
    std::ostringstream out;
    WriteConfigRecord(out, "Bmp", "", "C:\\a.bmp");
    WriteConfigRecordNumber(out, "Max", "Nature", 3);
    EXPECT_EQ(out.str(), "\"Bmp\",\"\",\"C:\\a.bmp\"\r\n\"Max\",\"Nature\",3\r\n");
}

TEST(ConfigLines, AFieldWithALineBreakOrANulIsRefusedAndNothingIsWritten) {
    for (const std::string& bad : {"a\nb"s, "a\rb"s, "a\0b"s}) {
        for (int field = 0; field < 3; ++field) {
            std::ostringstream out;
            std::string f[3] = {"Bmp", "N", "v"};
            f[field] = bad;
            EXPECT_THROW(WriteConfigRecord(out, f[0], f[1], f[2]), IoFailure) << field;
            EXPECT_EQ(out.str(), "") << field;
        }
        std::ostringstream out;
        EXPECT_THROW(WriteConfigRecordNumber(out, "Max", bad, 3), IoFailure);
    }
}

TEST(ConfigLines, LinesUpToTheLimitAreReadWholeALongerOneReadsAsEmptyAndTheNextAsUsual) {
    for (std::size_t n : {std::size_t{4094}, std::size_t{4095}, std::size_t{4096},
                          std::size_t{8190}, kMaxConfigLine}) {
        const std::string body(n, 'a');
        EXPECT_EQ(ReadLines(body + "\r\n" + body + "\nlast"),
                  (std::vector<std::string>{body, body, "last"}))
            << n;
    }
    // NULs with no line break, as a sparse file gives, among records.
    const std::string nuls(kMaxConfigLine + 1, '\0');
    EXPECT_EQ(ReadLines("\"Bmp\",\"A\",\"/a.bmp\"\r\n" + nuls + "\r\n\"Max\",\"A\",1\r\n" + nuls),
              (std::vector<std::string>{"\"Bmp\",\"A\",\"/a.bmp\"", "", "\"Max\",\"A\",1", ""}));
}
