#include <gtest/gtest.h>

#include "about/SystemInfo.h"
#include "common/Files.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;

namespace {

const char kKey[] = "Software\\Velumor\\Probe";

struct SystemInfo : ::testing::Test {
    MemoryRegistry reg;
    FakeDialogs dialogs;
    std::vector<std::string> started;
    bool startResult = true;

    void Put(const char* key, const char* name, const std::string& bytes) {
        PutValue(reg, key, name, reg::kSz, bytes, reg::kLocalMachine);
    }
    // The result, after "false:" when GetKeyValue failed.
    std::string Read(std::uint32_t type, const std::string& bytes, const char* name = "v",
                     const char* key = kKey) {
        PutValue(reg, kKey, "V", type, bytes, reg::kLocalMachine);
        std::string result = "before";
        const bool ok = GetKeyValue(reg, reg::kLocalMachine, key, name, result);
        EXPECT_EQ(reg.openHandles(), 0);
        return ok ? result : "false:" + result;
    }
    // Starts, and tells whether the person was told the program is unavailable.
    bool Unavailable() {
        dialogs.messages.clear();
        StartSysInfo(reg, dialogs,
                     [this](auto& path) { return started.push_back(path), startResult; });
        return dialogs.messages.size() == 1 &&
               dialogs.messages[0].text + "|" + dialogs.messages[0].caption ==
                   "System Information Is Unavailable At This Time|Velum";
    }
};

} // namespace

TEST_F(SystemInfo, DwordIsTheByteDigitsLastByteFirstTextLosesANulAndFailuresEmptyTheResult) {
    // One digit for a byte below 0x10 ("4321"); a last zero byte goes first ("00105").
    EXPECT_EQ(Read(reg::kDword, "\x01\x02\x03\x04"), "17185");
    EXPECT_EQ(Read(reg::kDword, std::string("\x05\x10\0\0", 4)), "261");
    EXPECT_EQ(Read(reg::kSz, std::string("ab\0\0", 4)), std::string("ab\0", 3));
    EXPECT_EQ(Read(reg::kSz, std::string(1024, 'y')), std::string(1024, 'y'));
    EXPECT_EQ(Read(reg::kBinary, "raw"), "before"); // read, but not a type it converts
    EXPECT_EQ(Read(reg::kSz, std::string(1025, 'z')), "false:");
    EXPECT_EQ(Read(reg::kSz, "x", "missing"), "false:");
    EXPECT_EQ(Read(reg::kSz, "x", "v", "Software\\Missing"), "false:");
}

TEST_F(SystemInfo, StartsTheNamedProgramOrTheOneInTheNamedFolderElseSaysSo) {
    EXPECT_TRUE(Unavailable());
    TempFolder temp;
    Put("SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", temp.root());
    EXPECT_TRUE(Unavailable());
    const std::string program = temp.file("MSINFO32.EXE");
    WriteWholeFile(program, "");
    EXPECT_FALSE(Unavailable());
    // The named program wins, is not looked for, and is not replaced when it fails to start.
    Put("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH",
        std::string("/nowhere/msinfo32\0", 18));
    EXPECT_FALSE(Unavailable());
    startResult = false;
    EXPECT_TRUE(Unavailable());
    EXPECT_EQ(started,
              (std::vector<std::string>{program, "/nowhere/msinfo32", "/nowhere/msinfo32"}));
}
