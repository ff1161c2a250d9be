#include <gtest/gtest.h>

#include <sstream>

#include "cycler/ConsoleDialogs.h"

using namespace velum;

TEST(ConsoleDialogs, AMessageOfSeveralLinesIsOneLineNamingTheProgram) {
    std::ostringstream out;
    ConsoleDialogs dialogs(out, "velumspin");
    dialogs.ShowMessage("The rotation position was not saved.\n\nCould not save /x/velum.cfg: "
                        "No space left on device\r\n",
                        "Velum");
    EXPECT_EQ(out.str(), "velumspin: The rotation position was not saved. Could not save "
                         "/x/velum.cfg: No space left on device\n");
}

