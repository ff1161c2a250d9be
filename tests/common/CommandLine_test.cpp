#include <gtest/gtest.h>

#include <sstream>

#include "common/CommandLine.h"

using namespace velum;

namespace {

struct Answer {
    std::optional<int> status;
    std::string out, err;
};

Answer Ask(const std::vector<std::string>& args, bool refuse = true) {
    const ProgramInfo info{"velumspin", "1.2.3", "Shows the next bitmap.\n", refuse};
    std::ostringstream out, err;
    Answer a;
    a.status = AnswerOptions(args, info, out, err);
    a.out = out.str();
    a.err = err.str();
    return a;
}

} // namespace

TEST(AnswerOptions, HelpAndVersionAnswerAndEndWithStatusZero) {
    Answer help = Ask({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, "Usage: velumspin [--help | --version]\nShows the next bitmap.\n");
    Answer version = Ask({"extra", "--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "velumspin 1.2.3\n");
}

TEST(AnswerOptions, AnyOtherOptionIsRefusedWithOneLineOnTheErrorStream) {
    for (const char* option : {"-h", "--now", "-"}) {
        Answer a = Ask({option});
        if (std::string(option) == "-") { // a lone dash is no option
            EXPECT_FALSE(a.status.has_value());
            continue;
        }
        EXPECT_EQ(a.status, 2) << option;
        EXPECT_EQ(a.out, "");
        EXPECT_EQ(a.err, "velumspin: unknown option " + std::string(option) +
                             "; Usage: velumspin [--help | --version]\n");
    }
}

TEST(AnswerOptions, NoArgumentsOrOptionsPassedOnLetTheProgramGoOn) {
    EXPECT_FALSE(Ask({}).status.has_value());
    EXPECT_FALSE(Ask({"picture.bmp"}).status.has_value());
    EXPECT_FALSE(Ask({"-platform", "offscreen"}, false).status.has_value());
}
