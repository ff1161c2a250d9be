// velum.cfg shared by processes: the lock and the replace of the platform's safe rewrite.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "common/IoFailure.h"
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

constexpr char kRole[] = "VELUM_TEST_SAVER";
constexpr char kFolder[] = "VELUM_TEST_SAVER_STORE"; // the store's folder the child saves into
constexpr int kSaves = 60;

// A child started by the tests below saves, then ends before any test runs: "Endless" saves
// collection A until it is killed, any other role saves its own collection kSaves times.
const bool kIsChild = [] {
    const char* role = std::getenv(kRole);
    const char* folder = std::getenv(kFolder);
    if (!role || !folder)
        return false;
    const std::string name = role;
    try {
        for (int i = 0; name == "Endless"; ++i)
            SaveCollectionFile(folder, "A", TestPictures(i % 2 ? "a" : "b", i % 2 ? 1500 : 2500));
        for (int i = 0; i < kSaves; ++i)
            SaveCollectionFile(folder, name, TestPictures(name + std::to_string(i), 1 + i % 5));
    } catch (const IoFailure&) {
        std::_Exit(1);
    }
    std::_Exit(0);
}();

// This test program again, as a child in the role `role`, saving into `folder`.
class Child {
  public:
#ifdef _WIN32
    Child(const std::string& role, const std::string& folder) {
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        SetEnvironmentVariableA(kRole, role.c_str());
        SetEnvironmentVariableA(kFolder, folder.c_str());
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (CreateProcessA(self, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process)) {
            CloseHandle(process.hThread);
            handle_ = process.hProcess;
        }
        SetEnvironmentVariableA(kRole, nullptr);
        SetEnvironmentVariableA(kFolder, nullptr);
    }
    void Kill() {
        TerminateProcess(handle_, 9);
    }
    int Wait() {
        DWORD code = 99;
        WaitForSingleObject(handle_, 60000);
        GetExitCodeProcess(handle_, &code);
        CloseHandle(handle_);
        return static_cast<int>(code);
    }

  private:
    HANDLE handle_ = nullptr;
#else
    Child(const std::string& role, const std::string& folder) {
        setenv(kRole, role.c_str(), 1);
        setenv(kFolder, folder.c_str(), 1);
        char self[] = "/proc/self/exe";
        char* argv[] = {self, nullptr};
        posix_spawn(&pid_, self, nullptr, nullptr, argv, environ);
        unsetenv(kRole);
        unsetenv(kFolder);
    }
    void Kill() {
        kill(pid_, SIGKILL);
    }
    int Wait() {
        int status = 0;
        return waitpid(pid_, &status, 0) == pid_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
#endif
};

} // namespace

TEST(StoreProcesses, TwoProcessesSavingAtOnceLoseNoRecord) {
    TempFolder store;
    Child cats("Cats", store.root()), dogs("Dogs", store.root());
    EXPECT_EQ(cats.Wait(), 0);
    EXPECT_EQ(dogs.Wait(), 0);
    const int last = kSaves - 1;
    for (const std::string name : {"Cats", "Dogs"})
        EXPECT_EQ(StoredBitmapsOf(store.root(), name),
                  TestPictures(name + std::to_string(last), 1 + last % 5).bitmaps);
    EXPECT_EQ(ReadCrlfLines(ConfigFilePath(store.root())).size(), 2u * (1 + last % 5) + 12u);
}

TEST(StoreProcesses, AProcessKilledDuringSavesAlwaysLeavesAWholeFile) {
    TempFolder store;
    const auto a = TestPictures("a", 1500), b = TestPictures("b", 2500);
    SaveCollectionFile(store.root(), "Other", TestPictures("other", 50));
    SaveCollectionFile(store.root(), "A", a);
#ifdef _WIN32
    const int startUpMs = 300; // Wine starts a process slowly
#else
    const int startUpMs = 5;
#endif
    for (int round = 0; round < 10; ++round) {
        Child saver("Endless", store.root());
        std::this_thread::sleep_for(std::chrono::milliseconds(startUpMs + round * 7919 % 40));
        saver.Kill();
        saver.Wait();
        const auto mine = StoredBitmapsOf(store.root(), "A");
        EXPECT_TRUE(mine == a.bitmaps || mine == b.bitmaps) << mine.size() << " in round " << round;
        EXPECT_EQ(StoredBitmapsOf(store.root(), "Other").size(), 50u) << "round " << round;
    }
}
