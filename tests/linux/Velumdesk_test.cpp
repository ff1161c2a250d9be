// The real velumdesk as a desktop session runs it.
#include <gtest/gtest.h>

#include <algorithm>
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
    // Runs velumdesk on `screen` in `folder`; a session bus that leads nowhere keeps libdbus from
    // starting one.
    void Start(const std::string& screen, const std::string& folder = ".") {
        if ((pid = fork()) != 0)
            return;
        if (chdir(folder.c_str()) != 0)
            _exit(126);
        dup2(open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600), 2);
        execl("/usr/bin/env", "env", "-i", screen.c_str(), ("XDG_CONFIG_HOME=" + dir).c_str(),
              ("DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir + "/no-bus").c_str(),
              VELUM_BIN_DIR "/velumdesk", nullptr);
        _exit(127);
    }
    // The exit status; -1 when it did not exit normally within 15 s (it is killed then).
    int WaitExit() {
        int status = 0;
        if (!Eventually([&] { return waitpid(pid, &status, WNOHANG) != 0; }, 15s)) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
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
    // Runs xdotool on `display`: `args` act on the window once it is shown.
    static int Xdo(const std::string& display, const std::string& args) {
        const std::string command =
            "DISPLAY=" + display +
            " timeout 20 xdotool search --sync --onlyvisible --name ^Velum " + args;
        return std::system(command.c_str());
    }
};

// How many pixels of the screen have `colour`, and the rectangle they cover.
struct Patch {
    int count = 0, left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    bool operator==(const Patch&) const = default;
    friend void PrintTo(const Patch& p, std::ostream* out) {
        *out << p.count << " pixels in " << p.left << "," << p.top << " to " << p.right << ","
             << p.bottom;
    }
};

Patch Find(const Picture& screen, std::uint32_t colour) {
    Patch p;
    for (int y = 0; y < screen.height; ++y)
        for (int x = 0; x < screen.width; ++x)
            if (screen.at(x, y) == colour) {
                ++p.count;
                p.left = std::min(p.left, x), p.right = std::max(p.right, x);
                p.top = std::min(p.top, y), p.bottom = std::max(p.bottom, y);
            }
    return p;
}

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

// A click in the selector, the caret moved after "Sk", then two letters: they stay where typed.
TEST_F(Velumdesk, LettersTypedIntoTheMiddleOfTheNameStayWhereTheCaretIs) {
    WriteWholeFile(store.file("user.reg"), // Sky is the chosen entry of the selector's list
                   "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\n"
                   "\"Collections\"=\"Sky,Sea\"\n\"Current\"=\"Sky\"\n");
    Xvfb x(800, 600);
    Start("DISPLAY=" + x.display());
    // The selector lies 8 pixels below the menu bar, from 112 pixels in.
    ASSERT_EQ(Xdo(x.display(),
                  "mousemove --window %1 180 38 click 1 sleep 0.3 key Home Right Right "
                  "type --delay 120 XY"),
              0);
    usleep(300000);
    kill(pid, SIGTERM);
    ASSERT_EQ(WaitExit(), 0) << ReadWholeFile(log);
    EXPECT_NE(ReadWholeFile(store.file("user.reg")).find(R"("Current"="SkXYy")"), std::string::npos)
        << ReadWholeFile(store.file("user.reg"));
}

// The preview of a bitmap cut short leaves the picture before it on the screen, pixel for pixel.
TEST_F(Velumdesk, ATruncatedBitmapPreviewedAfterAGoodOneLeavesTheGoodOnesPixels) {
    WriteWholeFile(store.file("user.reg"),
                   "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\n"
                   "\"ViewBmp\"=\"YES\"\n\"Current\"=\"Sky\"\n");
    WriteBmp24(dir + "/zz-cut.bmp", 60, 40, std::vector<std::uint32_t>(2400, 0xd04080));
    const std::string whole = ReadWholeFile(dir + "/zz-cut.bmp");
    WriteWholeFile(dir + "/zz-cut.bmp", whole.substr(0, 54 + 3000));
    Xvfb x(800, 600);
    Start("DISPLAY=" + x.display(), dir);
    // Into the empty part of the file list, to its last entry and its first, one.bmp, then down
    // to zz-cut.bmp.
    ASSERT_EQ(Xdo(x.display(), "mousemove --window %1 80 160 click 1 sleep 0.3 key End Home"), 0);
    Patch good;
    ASSERT_TRUE(Eventually(
        [&] { return (good = Find(ReadRootPixels(x.display()).value(), 0x2a6b3c)).count > 5000; },
        10s))
        << ReadWholeFile(log);
    EXPECT_EQ(good.count, (good.right - good.left + 1) * (good.bottom - good.top + 1)); // the box
    ASSERT_EQ(Xdo(x.display(), "key Down"), 0);
    usleep(800000);
    const Picture after = ReadRootPixels(x.display()).value();
    EXPECT_EQ(Find(after, 0x2a6b3c), good);
    EXPECT_EQ(Find(after, 0xd04080).count, 0);
    kill(pid, SIGTERM);
    EXPECT_EQ(WaitExit(), 0) << ReadWholeFile(log);
}
