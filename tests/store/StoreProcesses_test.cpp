// velum.cfg shared by processes: the lock and the replace of the platform's safe rewrite.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "store/CollectionStore.h"
#include "support/TestSupport.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

using namespace velum;
using namespace velum::test;

namespace {

// A collection of `count` bitmaps in a folder named `tag`, changing every hour.
CollectionContent TestPictures(const std::string& tag, int count) {
    CollectionContent c{{}, "0", "1", "0", "0", "1"};
    for (int i = 0; i < count; ++i)
        c.bitmaps.push_back("/home/ann/Pictures/" + tag + "/" + std::to_string(i) + ".bmp");
    return c;
}

constexpr char kRole[] = "VELUM_TEST_SAVER", kFolder[] = "VELUM_TEST_SAVER_STORE";

// A child started below saves as its role (kRole) says into kFolder, then ends before any test.
const bool kIsChild = [] {
    const char *role = std::getenv(kRole), *folder = std::getenv(kFolder);
    if (!role || !folder)
        return false;
    for (int i = 0; role == std::string("Endless"); ++i)
        SaveCollectionFile(folder, "A", TestPictures(i % 2 ? "a" : "b", i % 2 ? 1500 : 2500));
    for (int i = 0; i < 60; ++i)
        SaveCollectionFile(folder, role, TestPictures(role + std::to_string(i), 1 + i % 5));
    std::_Exit(0); // a failed save ends it by the exception instead
}();

#ifdef _WIN32
constexpr int kStartUpMs = 300; // Wine starts a process slowly
struct Child {
    Child(const char* role, const std::string& folder) {
        SetEnvironmentVariableA(kRole, role);
        SetEnvironmentVariableA(kFolder, folder.c_str());
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        CreateProcessA(nullptr, GetCommandLineA(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &p);
        CloseHandle(p.hThread);
        SetEnvironmentVariableA(kRole, nullptr);
    }
    void Kill() { TerminateProcess(p.hProcess, 9); }
    int Wait() {
        DWORD code = 99;
        WaitForSingleObject(p.hProcess, 60000);
        GetExitCodeProcess(p.hProcess, &code);
        return CloseHandle(p.hProcess), static_cast<int>(code);
    }
    PROCESS_INFORMATION p{};
};
#else
constexpr int kStartUpMs = 5;
struct Child {
    Child(const char* role, const std::string& folder) {
        setenv(kRole, role, 1);
        setenv(kFolder, folder.c_str(), 1);
        char self[] = "/proc/self/exe", *argv[] = {self, nullptr};
        posix_spawn(&pid, self, nullptr, nullptr, argv, environ);
        unsetenv(kRole);
    }
    void Kill() { kill(pid, SIGKILL); }
    int Wait() {
        int status = 0;
        return waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    pid_t pid = -1;
};
#endif

} // namespace

TEST(StoreProcesses, TwoProcessesSavingAtOnceLoseNoRecord) {
    TempFolder store;
    Child cats("Cats", store.root()), dogs("Dogs", store.root());
    EXPECT_EQ(cats.Wait(), 0);
    EXPECT_EQ(dogs.Wait(), 0);
    for (const std::string name : {"Cats", "Dogs"})
        EXPECT_EQ(StoredBitmapsOf(store.root(), name), TestPictures(name + "59", 5).bitmaps);
}

// The killed saver may hold the lock or have the file half written when it dies.
TEST(StoreProcesses, AProcessKilledDuringSavesAlwaysLeavesAWholeFile) {
    TempFolder store;
    const auto a = TestPictures("a", 1500), b = TestPictures("b", 2500);
    SaveCollectionFile(store.root(), "Other", TestPictures("other", 50));
    SaveCollectionFile(store.root(), "A", a);
    for (int round = 0; round < 10; ++round) {
        Child saver("Endless", store.root());
        std::this_thread::sleep_for(std::chrono::milliseconds(kStartUpMs + round * 7919 % 40));
        saver.Kill();
        saver.Wait();
        const auto mine = StoredBitmapsOf(store.root(), "A");
        EXPECT_TRUE(mine == a.bitmaps || mine == b.bitmaps) << mine.size() << " in round " << round;
        EXPECT_EQ(StoredBitmapsOf(store.root(), "Other").size(), 50u) << "round " << round;
    }
}
