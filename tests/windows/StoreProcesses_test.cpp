// velum.cfg shared by processes on Windows: the lock and the replace of the Windows halves.
#include <gtest/gtest.h>

#include "common/IoFailure.h"
#include "store/CollectionStore.h"
#include "support/TestSupport.h"

#include <windows.h>

using namespace velum;
using namespace velum::test;

namespace {

constexpr char kSaverVariable[] = "VELUM_TEST_SAVER";
constexpr int kSaves = 60;

// This test program again, running only the saver test as `role`.
HANDLE StartSaver(const std::string& role) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string commandLine = std::string("\"") + self + "\" --gtest_filter=WinStore.SaverChild";
    SetEnvironmentVariableA(kSaverVariable, role.c_str());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    BOOL started = CreateProcessA(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &process);
    SetEnvironmentVariableA(kSaverVariable, nullptr);
    if (!started)
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

DWORD Finish(HANDLE process) {
    DWORD code = 99;
    WaitForSingleObject(process, 60000);
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code;
}

} // namespace

// The child's part: saves one collection over and over ("Cats", "Dogs"), or without end
// ("Endless") until it is killed.
TEST(WinStore, SaverChild) {
    char role[32] = "";
    if (!GetEnvironmentVariableA(kSaverVariable, role, sizeof role))
        GTEST_SKIP() << "runs only as a child of the tests below";
    const std::string name = role;
    try {
        if (name == "Endless") {
            for (int i = 0;; ++i)
                SaveCollectionFile("A", TestPictures(i % 2 ? "a" : "b", i % 2 ? 1500 : 2500));
        }
        for (int i = 0; i < kSaves; ++i)
            SaveCollectionFile(name, TestPictures(name + std::to_string(i), 1 + i % 5));
    } catch (const IoFailure&) {
        ExitProcess(1);
    }
    ExitProcess(0);
}

TEST(WinStore, TwoProcessesSavingAtOnceLoseNoRecord) {
    TempStore store;
    HANDLE cats = StartSaver("Cats"), dogs = StartSaver("Dogs");
    ASSERT_TRUE(cats && dogs);
    EXPECT_EQ(Finish(cats), 0u);
    EXPECT_EQ(Finish(dogs), 0u);
    const int last = kSaves - 1;
    for (const std::string name : {"Cats", "Dogs"})
        EXPECT_EQ(StoredBitmapsOf(name),
                  TestPictures(name + std::to_string(last), 1 + last % 5).bitmaps);
    EXPECT_EQ(ReadCrlfLines(ConfigFilePath()).size(), 2u * (1 + last % 5) + 12u);
}

TEST(WinStore, AProcessKilledDuringSavesAlwaysLeavesAWholeFile) {
    TempStore store;
    const auto a = TestPictures("a", 1500), b = TestPictures("b", 2500);
    SaveCollectionFile("Other", TestPictures("other", 50));
    SaveCollectionFile("A", a);
    for (int round = 0; round < 8; ++round) {
        HANDLE child = StartSaver("Endless");
        ASSERT_TRUE(child);
        Sleep(300 + round * 7919 % 400);
        TerminateProcess(child, 9);
        Finish(child);
        const auto mine = StoredBitmapsOf("A");
        EXPECT_TRUE(mine == a.bitmaps || mine == b.bitmaps) << mine.size() << " in round " << round;
        EXPECT_EQ(StoredBitmapsOf("Other").size(), 50u) << "round " << round;
    }
}
