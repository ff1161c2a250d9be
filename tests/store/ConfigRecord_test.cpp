#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/IoFailure.h"
#include "store/ConfigRecord.h"

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
        {"", "||"},
        {"\"", "||"},
        {R"("a","b)", "a|b|"}};
    for (auto [line, fields] : cases) {
        auto r = velum::ParseConfigRecord(line);
        EXPECT_EQ(std::string(r.key) + "|" + std::string(r.name) + "|" + std::string(r.value),
                  fields)
            << line;
    }
}

TEST(ConfigLines, ReadTakesCrLfAndLfAndWriteQuotesEveryFieldAndEndsWithCrLf) {
    std::istringstream in("one\r\ntwo\nthree");
    std::string line, got;
    while (velum::ReadConfigLine(in, line))
        got += line + "|";
    EXPECT_EQ(got, "one|two|three|");
    std::ostringstream out;
    velum::WriteConfigRecord(out, "Bmp", "", "C:\\a.bmp");
    velum::WriteConfigRecordNumber(out, "Max", "Nature", 3);
    EXPECT_EQ(out.str(), "\"Bmp\",\"\",\"C:\\a.bmp\"\r\n\"Max\",\"Nature\",3\r\n");
}

TEST(ConfigLines, AFieldWithALineBreakOrANulIsRefusedAndNothingIsWritten) {
    using namespace std::string_literals;
    for (const std::string& bad : {"a\nb"s, "a\rb"s, "a\0b"s}) {
        for (int field = 0; field < 3; ++field) {
            std::ostringstream out;
            const std::string f[3] = {field == 0 ? bad : "Bmp", field == 1 ? bad : "N",
                                      field == 2 ? bad : "v"};
            EXPECT_THROW(velum::WriteConfigRecord(out, f[0], f[1], f[2]), velum::IoFailure)
                << field;
            EXPECT_EQ(out.str(), "") << field;
        }
        std::ostringstream out;
        EXPECT_THROW(velum::WriteConfigRecordNumber(out, "Max", bad, 3), velum::IoFailure);
    }
}

TEST(ConfigLines, LinesUpToTheLimitAreReadWholeAtEveryPieceBoundary) {
    for (std::size_t n : {std::size_t{4094}, std::size_t{4095}, std::size_t{4096},
                          std::size_t{8190}, velum::kMaxConfigLine}) {
        const std::string body(n, 'a');
        std::istringstream in(body + "\r\n" + body + "\nlast");
        std::string line;
        std::vector<std::size_t> sizes;
        while (velum::ReadConfigLine(in, line))
            sizes.push_back(line.size());
        EXPECT_EQ(sizes, (std::vector<std::size_t>{n, n, 4})) << n;
    }
}

TEST(ConfigLines, ALongerLineReadsAsEmptyAndTheNextLineIsReadAsUsual) {
    // NULs with no line break, as a sparse file gives, among records.
    const std::string nuls(velum::kMaxConfigLine + 1, '\0');
    std::istringstream in("\"Bmp\",\"A\",\"/a.bmp\"\r\n" + nuls + "\r\n\"Max\",\"A\",1\r\n" + nuls);
    std::string line;
    std::vector<std::string> lines;
    while (velum::ReadConfigLine(in, line))
        lines.push_back(line);
    EXPECT_EQ(lines,
              (std::vector<std::string>{"\"Bmp\",\"A\",\"/a.bmp\"", "", "\"Max\",\"A\",1", ""}));
}
