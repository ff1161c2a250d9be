#include <gtest/gtest.h>

#include <sstream>

#include "common/CommandLine.h"

using namespace velum;

TEST(AnswerOptions, HelpAndVersionAnswerOtherOptionsAreRefusedOrPassedOn) {
    struct Case {
        std::vector<std::string> args;
        bool refuse;
        std::optional<int> status;
        std::string out, err;
    };
    const std::string usage = "Usage: velumspin [--help | --version]";
    const Case cases[] = {
        {{"--help"}, true, 0, usage + "\nShows the next bitmap.\n", ""},
        {{"extra", "--version"}, true, 0, "velumspin 1.2.3\n", ""},
        {{"--now"}, true, 2, "", "velumspin: unknown option --now; " + usage + "\n"},
        {{"-"}, true, std::nullopt, "", ""}, // a lone dash is no option
        {{"picture.bmp"}, true, std::nullopt, "", ""},
        {{"-platform", "offscreen"}, false, std::nullopt, "", ""}, // the toolkit's
    };
    for (const auto& c : cases) {
        std::ostringstream out, err;
        const ProgramInfo info{"velumspin", "1.2.3", "Shows the next bitmap.\n", c.refuse};
        EXPECT_EQ(AnswerOptions(c.args, info, out, err), c.status) << c.args[0];
        EXPECT_EQ(out.str(), c.out) << c.args[0];
        EXPECT_EQ(err.str(), c.err) << c.args[0];
    }
}
