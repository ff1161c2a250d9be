// The real velumdesk as a desktop session runs it.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "store/ConfigRecord.h"
#include "support/TestSupport.h"
#include "support/Xvfb.h"

using namespace velum;
using namespace velum::test;
using namespace std::chrono_literals;

namespace {

template <class Done> bool Eventually(Done done, std::chrono::milliseconds limit) { // polls
    for (int i = 0; i < limit / 50ms && !done(); ++i)
        usleep(50000);
    return done();
}

struct Velumdesk : ::testing::Test {
    TempStore store;
    std::string dir = store.root(), log = dir + "/log";
    pid_t pid = -1;

    void SetUp() override {
        WriteBmp24(dir + "/one.bmp", 8, 6, std::vector<std::uint32_t>(48, 0x2a6b3c));
        WriteWholeFile(store.file("user.reg"), // "no" is written back as "NO" at exit
                       "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\n"
                       "\"ViewBmp\"=\"no\"\n\"Current\"=\"Sky\"\n");
        const std::string sky = R"("Bmp","Sky",")" + dir;
        WriteWholeFile(
            store.file("velum.cfg"), // two.bmp is never read
            CrlfJoin({R"("Bmp","","/history/kept.bmp")", sky + "/one.bmp\"", sky + "/two.bmp\""}));
    }
    // Runs velumdesk on `screen`; a session bus that leads nowhere keeps libdbus from starting one.
    void Start(const std::string& screen) {
        if ((pid = fork()) != 0)
            return;
        dup2(open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600), 2);
        execl("/usr/bin/env", "env", "-i", screen.c_str(), ("XDG_CONFIG_HOME=" + dir).c_str(),
              ("DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir + "/no-bus").c_str(),
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
    // What every exit writes: the options, then the history and Sky's state, its time as "T".
    void ExpectSaved(const std::string& want) {
        EXPECT_NE(ReadWholeFile(store.file("user.reg")).find(R"("ViewBmp"="NO")"), want.npos);
        std::string saved;
        for (const auto& line : ReadCrlfLines(store.file("velum.cfg")))
            if (ConfigRecord r = ParseConfigRecord(line); r.key != "Bmp" || r.name.empty())
                saved += "|" + (r.key == "Time" ? "T" : std::string(r.value));
        EXPECT_EQ(saved, want);
    }
};

} // namespace

TEST_F(Velumdesk, FirstTickShowsTheFirstBitmapAndSigtermSavesWithoutAsking) {
    Xvfb x(200, 150);
    Start("DISPLAY=" + x.display());
    const auto start = std::chrono::steady_clock::now();
    const std::string move = "DISPLAY=" + x.display() +
                             " timeout 20 xdotool search --sync "
                             "--onlyvisible --name ^Velum windowmove 120 100"; // off the centre
    ASSERT_EQ(std::system(move.c_str()), 0);
    auto shown = [&] { return ReadRootPixels(x.display()).value().at(100, 75) == 0x2a6b3c; };
    ASSERT_TRUE(Eventually(shown, 40s)) << ReadWholeFile(log); // the first bitmap, centred
    EXPECT_GE(std::chrono::steady_clock::now() - start, 25s);  // on the tick, not at start
    kill(pid, SIGTERM);
    ASSERT_EQ(WaitExit(), 0) << ReadWholeFile(log);
    ExpectSaved("|" + dir + "/one.bmp|/history/kept.bmp| 1|T| 0");
}
