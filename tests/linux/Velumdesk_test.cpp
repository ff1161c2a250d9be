// The real velumdesk as a desktop session runs it.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/DateTime.h"
#include "store/ConfigRecord.h"
#include "support/TestSupport.h"
#include "support/Xvfb.h"

using namespace velum;
using namespace velum::test;
using namespace std::chrono_literals;

namespace {

// Polls until `done` holds or `limit` has passed; its last answer.
template <class Done> bool Eventually(Done done, std::chrono::milliseconds limit) {
    for (auto end = std::chrono::steady_clock::now() + limit; !done();)
        if (std::this_thread::sleep_for(50ms); std::chrono::steady_clock::now() > end)
            return done();
    return true;
}

struct Velumdesk : ::testing::Test {
    TempStore store;
    std::string dir = store.root(), log = dir + "/log";
    pid_t pid = -1;

    void SetUp() override {
        WriteBmp24(dir + "/one.bmp", 8, 6, std::vector<std::uint32_t>(48, 0x2a6b3c));
        WriteBmp24(dir + "/two.bmp", 8, 6, std::vector<std::uint32_t>(48, 0x800080));
        // Written back differently at exit: "no" as "NO", the empty name dropped.
        WriteWholeFile(store.file("user.reg"),
                       "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\n\"ViewBmp\"="
                       "\"no\"\n\"Collections\"=\"Sky,,Old\"\n\"Current\"=\"Sky\"\n[HKEY_CURRENT_"
                       "USER\\Control Panel\\Colors]\n\"Background\"=\"10 20 30\"\n");
        const std::string sky = R"("Bmp","Sky",")" + dir;
        WriteWholeFile(store.file("velum.cfg"), CrlfJoin({R"("Bmp","","/history/kept.bmp")",
                                                          sky + "/one.bmp\"", sky + "/two.bmp\""}));
    }
    void Start(const std::string& screen) {
        // A session bus that leads nowhere: without one, libdbus would try to start a bus.
        const std::string config = "XDG_CONFIG_HOME=" + dir,
                          bus = "DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir + "/no-bus";
        if ((pid = fork()) != 0)
            return;
        dup2(open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600), 2);
        execl("/usr/bin/env", "env", "-i", screen.c_str(), config.c_str(), bus.c_str(),
              VELUM_BIN_DIR "/velumdesk", nullptr);
        _exit(127);
    }
    // The exit status; -1 when it did not exit normally within 15 s (it is killed then).
    int WaitExit() {
        int status = 0;
        if (!Eventually([&] { return waitpid(pid, &status, WNOHANG) != 0; }, 15s))
            kill(pid, SIGKILL), waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Each value of the records of `key` for `name`, after a '|'.
    std::string Records(const std::string& key, const std::string& name = "Sky") {
        std::string values;
        for (const auto& line : ReadCrlfLines(store.file("velum.cfg")))
            if (ConfigRecord r = ParseConfigRecord(line); r.key == key && r.name == name)
                values += "|" + std::string(r.value);
        return values;
    }
    // What every exit writes: the options, the history, the rotation position and one time.
    void ExpectSaved(const std::string& historyIndexAndCurrent) {
        const std::string options = "\"ViewBmp\"=\"NO\"\r\n\"Collections\"=\"Sky,Old\"";
        EXPECT_NE(ReadWholeFile(store.file("user.reg")).find(options), std::string::npos);
        EXPECT_EQ(Records("Bmp", "") + Records("Index") + Records("CurrentIndex"),
                  historyIndexAndCurrent);
        EXPECT_EQ(Records("Time").rfind('|'), 0u);
    }
};

} // namespace

TEST_F(Velumdesk, SigtermSavesWhatExitSavesAndEndsWithoutAsking) {
    Start("QT_QPA_PLATFORM=offscreen");
    auto ready = [&] { // its SIGTERM handler is in place: bit 14 of the hexadecimal mask
        const std::string text = ReadWholeFile("/proc/" + std::to_string(pid) + "/status");
        return std::stoull((text + "SigCgt:0").substr(text.find("SigCgt:") + 7), nullptr, 16) >>
                   14 &
               1;
    };
    ASSERT_TRUE(Eventually(ready, 10s)) << ReadWholeFile(log);
    kill(pid, SIGTERM);
    ASSERT_EQ(WaitExit(), 0) << ReadWholeFile(log);
    ExpectSaved("|/history/kept.bmp| 0| 0");
}

TEST_F(Velumdesk, FirstTickShowsTheFirstBitmapAndFileExitByKeyboardSaves) {
    Xvfb x(200, 150);
    Start("DISPLAY=" + x.display());
    const auto start = std::chrono::steady_clock::now();
    const std::string window = "export DISPLAY=" + x.display() +
                               "; timeout 20 xdotool search --sync --onlyvisible --name ^Velum ";
    ASSERT_EQ(std::system((window + "windowmove 120 100").c_str()), 0); // off the centre bitmap
    auto shown = [&] {
        auto root = ReadRootPixels(x.display());
        return root && root->at(100, 75) == 0x2a6b3c && root->at(0, 0) == 0x0a141e;
    };
    ASSERT_TRUE(Eventually(shown, 40s)) << ReadWholeFile(log);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 25s); // on the tick, not at start
    // Keys through XTEST to the focused window, which may be gone before the last release.
    ASSERT_EQ(std::system((window + "windowfocus --sync && xdotool key alt+f x").c_str()), 0);
    ASSERT_EQ(WaitExit(), 0) << ReadWholeFile(log);
    ExpectSaved("|" + dir + "/one.bmp|/history/kept.bmp| 1| 0");
    EXPECT_TRUE(DateTimeFromText(Records("Time").substr(1))) << Records("Time");
}
