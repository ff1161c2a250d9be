// The real velumdesk as a desktop session runs it, and the program launcher of About.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/DateTime.h"
#include "common/Launch.h"
#include "store/ConfigRecord.h"
#include "support/TestSupport.h"
#include "support/Xvfb.h"

using namespace velum;
using namespace velum::test;
using namespace std::chrono_literals;

namespace {

constexpr std::uint32_t kFirst = 0x2a6b3c;

// Polls until `done` holds or `limit` has passed; its last answer.
template <class Done> bool Eventually(Done done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(50ms);
    return done();
}

// The exit status; -1 when it did not exit normally in time (it is killed then).
int WaitExit(pid_t pid, std::chrono::seconds limit) {
    int status = 0;
    if (Eventually([&] { return waitpid(pid, &status, WNOHANG) != 0; }, limit))
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

struct Velumdesk : ::testing::Test {
    TempStore store;
    std::string dir = store.root(), log = dir + "/log";

    void SetUp() override {
        WriteBmp24(dir + "/one.bmp", 8, 6, std::vector<std::uint32_t>(48, kFirst));
        WriteBmp24(dir + "/two.bmp", 8, 6, std::vector<std::uint32_t>(48, 0x800080));
        // Written back differently at exit: "no" as "NO", the empty name dropped.
        WriteWholeFile(store.file("user.reg"),
                       "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\r\n"
                       "\"ViewBmp\"=\"no\"\r\n\"Collections\"=\"Sky,,Old\"\r\n\"Current\"=\"Sky\""
                       "\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Colors]\r\n"
                       "\"Background\"=\"10 20 30\"\r\n");
        WriteWholeFile(
            store.file("velum.cfg"),
            CrlfJoin({R"("Bmp","","/history/kept.bmp")", R"("Bmp","Sky",")" + dir + "/one.bmp\"",
                      R"("Bmp","Sky",")" + dir + "/two.bmp\"", R"("Minutes","Sky","0")",
                      R"("Hours","Sky","0")", R"("Days","Sky","0")",
                      R"("TileWallpaper","Sky","0")"}));
    }
    pid_t Start(const std::string& screen) {
        // A session bus that leads nowhere: without one, libdbus would try to start a bus.
        const std::string config = "XDG_CONFIG_HOME=" + dir,
                          bus = "DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir + "/no-bus";
        if (const pid_t pid = fork(); pid != 0)
            return pid;
        dup2(open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600), 2);
        execl("/usr/bin/env", "env", "-i", screen.c_str(), config.c_str(), bus.c_str(),
              VELUM_BIN_DIR "/velumdesk", nullptr);
        _exit(127);
    }
    // Each value of the records of `key` for `name`, after a '|'.
    std::string Records(const std::string& key, const std::string& name = "Sky") {
        std::string values;
        for (const auto& line : ReadCrlfLines(store.file("velum.cfg")))
            if (ConfigRecord r = ParseConfigRecord(line); r.key == key && r.name == name)
                values += "|" + std::string(r.value);
        return values;
    }
    // What every exit writes: the options, the history and the rotation position.
    void ExpectSaved(const std::string& historyIndexAndCurrent) {
        const std::string options = "\"ViewBmp\"=\"NO\"\r\n\"Collections\"=\"Sky,Old\"";
        EXPECT_NE(ReadWholeFile(store.file("user.reg")).find(options), std::string::npos);
        EXPECT_EQ(Records("Bmp", "") + Records("Index") + Records("CurrentIndex"),
                  historyIndexAndCurrent);
        EXPECT_EQ(Records("Time").rfind('|'), 0u); // one record
    }
};

} // namespace

TEST_F(Velumdesk, SigtermSavesWhatExitSavesAndEndsWithoutAsking) {
    const pid_t pid = Start("QT_QPA_PLATFORM=offscreen");
    auto ready = [&] { // its SIGTERM handler is in place; the mask is hexadecimal
        const std::string text = ReadWholeFile("/proc/" + std::to_string(pid) + "/status");
        const std::string caught = text.substr(std::min(text.find("SigCgt:") + 7, text.size()));
        return !caught.empty() && std::stoull(caught, nullptr, 16) >> 14 & 1;
    };
    ASSERT_TRUE(Eventually(ready, 10s)) << ReadWholeFile(log);
    kill(pid, SIGTERM);
    ASSERT_EQ(WaitExit(pid, 15s), 0) << ReadWholeFile(log);
    ExpectSaved("|/history/kept.bmp| 0| 0");
}

TEST_F(Velumdesk, FirstTickShowsTheFirstBitmapAndFileExitByKeyboardSaves) {
    Xvfb x(200, 150);
    const pid_t pid = Start("DISPLAY=" + x.display());
    const auto start = std::chrono::steady_clock::now();
    const std::string window = "export DISPLAY=" + x.display() +
                               "; timeout 20 xdotool search --sync --onlyvisible --name ^Velum ";
    ASSERT_EQ(std::system((window + "windowmove 120 100").c_str()), 0); // off the centre bitmap
    auto shown = [&] {
        auto root = ReadRootPixels(x.display());
        return root && root->at(100, 75) == kFirst && root->at(0, 0) == 0x0a141e;
    };
    ASSERT_TRUE(Eventually(shown, 40s)) << ReadWholeFile(log);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 25s); // on the tick, not at start

    // Keys through XTEST to the focused window, which may be gone before the last release.
    ASSERT_EQ(std::system((window + "windowfocus --sync && xdotool key alt+f x").c_str()), 0);
    ASSERT_EQ(WaitExit(pid, 15s), 0) << ReadWholeFile(log);
    ExpectSaved("|" + dir + "/one.bmp|/history/kept.bmp| 1| 0");
    EXPECT_TRUE(DateTimeFromText(Records("Time").substr(1))) << Records("Time");
}

TEST(VelumdeskStartProgram, StartsInItsOwnSessionWithoutArgumentsAndIsReaped) {
    TempStore temp;
    const std::string script = temp.root() + "/probe.sh", out = script + ".out";
    WriteWholeFile(script,
                   "#!/bin/sh\nread -r pid comm state ppid pgrp sid rest </proc/$$/stat\n"
                   "[ $sid = $pid ] && [ $# = 0 ] && echo $pid >$0.tmp && mv $0.tmp $0.out\n");
    chmod(script.c_str(), 0700);
    ASSERT_TRUE(StartProgram(script));
    ASSERT_TRUE(Eventually([&] { return !ReadWholeFile(out).empty(); }, 10s)); // as its own
    const std::string proc = "/proc/" + std::to_string(std::stoi(ReadWholeFile(out)));
    EXPECT_TRUE(Eventually([&] { return access(proc.c_str(), F_OK) != 0; }, 10s)); // no zombie
    EXPECT_FALSE(StartProgram(out));                                               // not executable
}
