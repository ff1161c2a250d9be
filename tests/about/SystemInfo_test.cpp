#include <gtest/gtest.h>

#include "about/SystemInfo.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;

struct SystemInfo : ::testing::Test {
    MemoryRegistry reg;
    FakeDialogs dialogs;
    std::vector<std::string> started;
    bool startResult = true;

    // The result, after "false:" when GetKeyValue failed.
    std::string Read(std::uint32_t type, const std::string& bytes) {
        PutValue(reg, "Probe", "V", type, bytes, reg::kLocalMachine);
        std::string result = "before";
        const bool ok = GetKeyValue(reg, reg::kLocalMachine, "Probe", "v", result);
        EXPECT_EQ(reg.openHandles(), 0);
        return ok ? result : "false:" + result;
    }
    bool Unavailable() { // starts; whether the person was told the program is unavailable
        dialogs.messages.clear();
        StartSysInfo(reg, dialogs, [this](auto& p) { return started.push_back(p), startResult; });
        return dialogs.messages.size() == 1 &&
               dialogs.messages[0].text == "System Information Is Unavailable At This Time";
    }
};

TEST_F(SystemInfo, DwordIsTheByteDigitsLastByteFirstTextLosesANulAndFailuresEmptyTheResult) {
    // One digit for a byte below 0x10 ("4321"); a last zero byte goes first ("00105").
    EXPECT_EQ(Read(reg::kDword, "\x01\x02\x03\x04"), "17185");
    EXPECT_EQ(Read(reg::kDword, std::string("\x05\x10\0\0", 4)), "261");
    EXPECT_EQ(Read(reg::kSz, std::string("ab\0\0", 4)), std::string("ab\0", 3));
    EXPECT_EQ(Read(reg::kSz, std::string(1024, 'y')), std::string(1024, 'y'));
    EXPECT_EQ(Read(reg::kSz, std::string(1025, 'z')), "false:");
}

// The named program wins, is not looked for, and is not replaced when it fails to start.
TEST_F(SystemInfo, StartsTheNamedProgramOrTheOneInTheNamedFolderElseSaysSo) {
    EXPECT_TRUE(Unavailable());
    TempFolder temp;
    PutValue(reg, "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", reg::kSz, temp.root(),
             reg::kLocalMachine);
    EXPECT_TRUE(Unavailable());
    WriteWholeFile(temp.file("MSINFO32.EXE"), "");
    EXPECT_FALSE(Unavailable());
    PutValue(reg, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", reg::kSz,
             std::string("/nowhere/msinfo32\0", 18), reg::kLocalMachine);
    startResult = false;
    EXPECT_TRUE(Unavailable());
    EXPECT_EQ(started, (std::vector<std::string>{temp.file("MSINFO32.EXE"), "/nowhere/msinfo32"}));
}
