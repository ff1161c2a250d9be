#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/IoFailure.h"
#include "store/CollectionStore.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;

namespace {

// Runs `body` in a child process, which exits 0 when it returns and 1 when it throws IoFailure.
template <typename Body> pid_t Start(Body body) {
    const pid_t pid = fork();
    if (pid == 0) {
        try {
            body();
        } catch (const IoFailure&) {
            _exit(1);
        } catch (...) {
            _exit(2);
        }
        _exit(0);
    }
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(StoreFaults, AWriteThatFailsPartWayOrAnUnreadableOldFileLeavesTheOldFileIntact) {
    TempStore store;
    SaveCollectionFile("Old", TestPictures("old", 300));
    const std::string before = ReadWholeFile(ConfigFilePath());
    const rlim_t lineBytes = sizeof R"("Bmp","New","/home/ann/Pictures/new/10.bmp")" + 1; // CRLF
    for (rlim_t lines : {0, 1, 7, 120}) {
        const rlimit limit{lines * lineBytes, lines * lineBytes};
        const pid_t child = Start([&] {
            std::signal(SIGXFSZ, SIG_IGN);
            setrlimit(RLIMIT_FSIZE, &limit);
            SaveCollectionFile("New", TestPictures("new", 200));
        });
        EXPECT_EQ(Wait(child), 1) << "no failure reported after " << lines << " lines";
        EXPECT_EQ(ReadWholeFile(ConfigFilePath()), before) << lines;
    }
    unlink(ConfigFilePath().c_str());
    WriteWholeFile(ConfigFilePath() + "/inside", "keep");
    EXPECT_THROW(SaveCollectionFile("A", TestPictures("a", 3)), IoFailure);
    EXPECT_EQ(ReadWholeFile(ConfigFilePath() + "/inside"), "keep");
}

TEST(StoreFaults, AProcessKilledDuringSavesAlwaysLeavesAWholeFile) {
    TempStore store;
    const auto a = TestPictures("a", 1500), b = TestPictures("b", 2500);
    SaveCollectionFile("Other", TestPictures("other", 50));
    SaveCollectionFile("A", a);
    for (int round = 0; round < 20; ++round) {
        const pid_t child = Start([&] {
            for (int i = 0;; ++i)
                SaveCollectionFile("A", i % 2 ? a : b);
        });
        ASSERT_GT(child, 0);
        usleep(2000 + round * 7919 % 40000);
        kill(child, SIGKILL);
        Wait(child);
        const auto mine = StoredBitmapsOf("A");
        EXPECT_TRUE(mine == a.bitmaps || mine == b.bitmaps) << mine.size() << " in round " << round;
        EXPECT_EQ(StoredBitmapsOf("Other").size(), 50u) << "round " << round;
        ASSERT_TRUE(ReadWholeFile(ConfigFilePath()).ends_with("\r\n")) << "round " << round;
    }
}

TEST(StoreFaults, TwoProcessesSavingAtOnceLoseNoRecord) {
    TempStore store;
    const int kSaves = 200, last = kSaves - 1;
    auto saver = [&](const std::string& name) {
        return Start([&, name] {
            for (int i = 0; i < kSaves; ++i)
                SaveCollectionFile(name, TestPictures(name + std::to_string(i), 1 + i % 5));
        });
    };
    const pid_t cats = saver("Cats"), dogs = saver("Dogs");
    ASSERT_EQ(std::pair(Wait(cats), Wait(dogs)), std::pair(0, 0));
    for (const std::string name : {"Cats", "Dogs"})
        EXPECT_EQ(StoredBitmapsOf(name),
                  TestPictures(name + std::to_string(last), 1 + last % 5).bitmaps);
    EXPECT_EQ(ReadCrlfLines(ConfigFilePath()).size(), 2u * (1 + last % 5) + 12u);
}
