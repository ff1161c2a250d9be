#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/IoFailure.h"
#include "store/CollectionStore.h"
#include "store/ConfigRecord.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;

namespace {

CollectionContent Pictures(const std::string& tag, int count) {
    CollectionContent c;
    for (int i = 0; i < count; ++i)
        c.bitmaps.push_back("/home/ann/Pictures/" + tag + "/" + std::to_string(i) + ".bmp");
    c.minutes = "0";
    c.hours = "1";
    c.days = "0";
    c.cycleOptions = "0";
    c.tileWallpaper = "1";
    return c;
}

// Runs `body` in a child process and returns its exit status (-1 when it did not exit).
template <typename Body> int InChild(Body body) {
    pid_t pid = fork();
    if (pid == 0) {
        int code = 3;
        try {
            code = body();
        } catch (...) {
        }
        _exit(code);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The bitmaps of one collection as the file holds them, in order.
std::vector<std::string> BitmapsOf(const std::string& file, const std::string& name) {
    std::vector<std::string> out;
    for (const auto& line : ReadCrlfLines(file)) {
        ConfigRecord r = ParseConfigRecord(line);
        if (r.key == "Bmp" && r.name == name)
            out.emplace_back(r.value);
    }
    return out;
}

} // namespace

TEST(StoreFaults, AWriteThatFailsPartWayLeavesTheOldFileIntact) {
    TempStore store;
    SaveCollectionFile("Old", Pictures("old", 300));
    const std::string before = ReadWholeFile(ConfigFilePath());
    const std::size_t lineBytes =
        std::string(R"("Bmp","New","/home/ann/Pictures/new/10.bmp")").size() + 2;
    for (int lines : {0, 1, 7, 120}) {
        int status = InChild([&] {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{static_cast<rlim_t>(lines * lineBytes),
                         static_cast<rlim_t>(lines * lineBytes)};
            setrlimit(RLIMIT_FSIZE, &limit);
            try {
                SaveCollectionFile("New", Pictures("new", 200));
            } catch (const IoFailure&) {
                return 0;
            }
            return 1;
        });
        EXPECT_EQ(status, 0) << "the failed save was not reported, after " << lines << " lines";
        EXPECT_EQ(ReadWholeFile(ConfigFilePath()), before) << lines;
    }
}

TEST(StoreFaults, AnUnreadableOldFileIsNeverReplaced) {
    TempStore store;
    WriteWholeFile(ConfigFilePath() + "/inside", "keep");
    EXPECT_THROW(SaveCollectionFile("A", Pictures("a", 3)), IoFailure);
    EXPECT_THROW(SaveRotationFile(RotationSnapshot{}), IoFailure);
    EXPECT_EQ(ReadWholeFile(ConfigFilePath() + "/inside"), "keep");
}

TEST(StoreFaults, AProcessKilledDuringSavesAlwaysLeavesAWholeFile) {
    TempStore store;
    const auto a = Pictures("a", 1500);
    const auto b = Pictures("b", 2500);
    SaveCollectionFile("Other", Pictures("other", 50));
    SaveCollectionFile("A", a);
    std::mt19937 random(12345);
    for (int round = 0; round < 20; ++round) {
        pid_t pid = fork();
        if (pid == 0) {
            for (int i = 0;; ++i)
                SaveCollectionFile("A", i % 2 ? a : b);
        }
        usleep(2000 + random() % 40000);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        auto mine = BitmapsOf(ConfigFilePath(), "A");
        EXPECT_TRUE(mine == a.bitmaps || mine == b.bitmaps)
            << "round " << round << ": " << mine.size() << " bitmaps";
        EXPECT_EQ(BitmapsOf(ConfigFilePath(), "Other").size(), 50u) << "round " << round;
        std::string all = ReadWholeFile(ConfigFilePath());
        ASSERT_TRUE(all.size() >= 2 && all.substr(all.size() - 2) == "\r\n");
    }
}

TEST(StoreFaults, TwoProcessesSavingAtOnceLoseNoRecord) {
    TempStore store;
    const int kSaves = 200;
    auto saver = [&](const std::string& name) {
        return InChild([&] {
            for (int i = 0; i < kSaves; ++i)
                SaveCollectionFile(name, Pictures(name + std::to_string(i), 1 + i % 5));
            return 0;
        });
    };
    pid_t first = fork();
    if (first == 0)
        _exit(saver("Cats"));
    int dogs = saver("Dogs");
    int status = 0;
    waitpid(first, &status, 0);
    ASSERT_EQ(dogs, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const int last = kSaves - 1;
    EXPECT_EQ(BitmapsOf(ConfigFilePath(), "Cats"),
              Pictures("Cats" + std::to_string(last), 1 + last % 5).bitmaps);
    EXPECT_EQ(BitmapsOf(ConfigFilePath(), "Dogs"),
              Pictures("Dogs" + std::to_string(last), 1 + last % 5).bitmaps);
    EXPECT_EQ(ReadCrlfLines(ConfigFilePath()).size(), 2u * (1 + last % 5) + 12u);
}
