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

constexpr char kRole[] = "VELUM_TEST_SAVER", kFolder[] = "VELUM_TEST_SAVER_STORE";
constexpr int kSaves = 60;

// A child started by the test below saves into the folder kFolder names, then ends before any
// test runs: "Endless" saves collection A until it is killed, any other role saves its own
// collection kSaves times.
const bool kIsChild = [] {
    const char *role = std::getenv(kRole), *folder = std::getenv(kFolder);
    if (!role || !folder)
        return false;
    try {
        for (int i = 0; role == std::string("Endless"); ++i)
            SaveCollectionFile(folder, "A", TestPictures(i % 2 ? "a" : "b", i % 2 ? 1500 : 2500));
        for (int i = 0; i < kSaves; ++i)
            SaveCollectionFile(folder, role, TestPictures(role + std::to_string(i), 1 + i % 5));
    } catch (...) {
        std::_Exit(1);
    }
    std::_Exit(0);
}();

struct Child {
    Child(const char* role, const std::string& folder) {
        SetEnv(kRole, role);
        SetEnv(kFolder, folder.c_str());
#ifdef _WIN32
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        STARTUPINFOA startup{sizeof startup};
        PROCESS_INFORMATION p{};
        CreateProcessA(self, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &p);
        CloseHandle(p.hThread);
        handle = p.hProcess;
#else
        char self[] = "/proc/self/exe", *argv[] = {self, nullptr};
        posix_spawn(&pid, self, nullptr, nullptr, argv, environ);
#endif
        SetEnv(kRole, nullptr);
        SetEnv(kFolder, nullptr);
    }
#ifdef _WIN32
    static constexpr int kStartUpMs = 300; // Wine starts a process slowly
    static void SetEnv(const char* name, const char* value) {
        SetEnvironmentVariableA(name, value);
    }
    void Kill() {
        TerminateProcess(handle, 9);
    }
    int Wait() {
        DWORD code = 99;
        WaitForSingleObject(handle, 60000);
        GetExitCodeProcess(handle, &code);
        return CloseHandle(handle), static_cast<int>(code);
    }
    HANDLE handle = nullptr;
#else
    static constexpr int kStartUpMs = 5;
    static void SetEnv(const char* name, const char* value) {
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    void Kill() {
        kill(pid, SIGKILL);
    }
    int Wait() {
        int status = 0;
        return waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    pid_t pid = -1;
#endif
};

} // namespace

// The killed saver may hold the lock or have the file half written when it dies.
TEST(StoreProcesses, SaversAtOnceLoseNoRecordAndOneKilledMidSaveAlwaysLeavesAWholeFile) {
    TempFolder store;
    const auto a = TestPictures("a", 1500), b = TestPictures("b", 2500);
    SaveCollectionFile(store.root(), "Other", TestPictures("other", 50));
    SaveCollectionFile(store.root(), "A", a);
    Child cats("Cats", store.root()), dogs("Dogs", store.root());
    for (int round = 0; round < 10; ++round) {
        Child saver("Endless", store.root());
        std::this_thread::sleep_for(
            std::chrono::milliseconds(Child::kStartUpMs + round * 7919 % 40));
        saver.Kill();
        saver.Wait();
        const auto mine = StoredBitmapsOf(store.root(), "A");
        EXPECT_TRUE(mine == a.bitmaps || mine == b.bitmaps) << mine.size() << " in round " << round;
        EXPECT_EQ(StoredBitmapsOf(store.root(), "Other").size(), 50u) << "round " << round;
    }
    EXPECT_EQ(cats.Wait(), 0);
    EXPECT_EQ(dogs.Wait(), 0);
    for (const std::string name : {"Cats", "Dogs"})
        EXPECT_EQ(StoredBitmapsOf(store.root(), name),
                  TestPictures(name + std::to_string(kSaves - 1), 1 + (kSaves - 1) % 5).bitmaps);
}
