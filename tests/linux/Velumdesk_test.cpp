// The real velumdesk as a desktop session runs it, used through the mouse and keyboard.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
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

const std::string kFind = "search --sync --onlyvisible --name ^Velum ";
const std::string kOptions = "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\n";

struct Velumdesk : ::testing::Test {
    TempStore store;
    std::string dir = store.root(), log = dir + "/log", display;
    pid_t pid = -1;

    ~Velumdesk() override {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    // Sky holds one.bmp, and two.bmp that is never read.
    void Sky(const std::string& options) {
        WriteBmp24(dir + "/one.bmp", 8, 6, std::vector<std::uint32_t>(48, 0x2a6b3c));
        WriteWholeFile(store.file("user.reg"), kOptions + options);
        const std::string sky = R"("Bmp","Sky",")" + dir;
        WriteWholeFile(store.file("velum.cfg"), CrlfJoin({R"("Bmp","","/history/kept.bmp")",
                                                          sky + "/one.bmp\"", sky + "/two.bmp\""}));
    }
    // Runs velumdesk in `folder`; a session bus that leads nowhere keeps libdbus from starting one.
    void Start(const Xvfb& x, const std::string& folder) {
        display = x.display();
        if ((pid = fork()) != 0)
            return;
        if (chdir(folder.c_str()) != 0)
            _exit(126);
        dup2(open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600), 2);
        execl("/usr/bin/env", "env", "-i", ("DISPLAY=" + display).c_str(),
              ("XDG_CONFIG_HOME=" + dir).c_str(),
              ("DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir + "/no-bus").c_str(),
              VELUM_BIN_DIR "/velumdesk", nullptr);
        _exit(127);
    }
    // The exit status after `signal`; -1 when it did not exit normally within 15 s.
    int Stop(int signal) {
        kill(pid, signal);
        int status = 0;
        if (!Eventually([&] { return waitpid(pid, &status, WNOHANG) != 0; }, 15s)) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Runs xdotool; after kFind, `args` act on the window, %1, once it is shown.
    void Xdo(const std::string& args) {
        const std::string command = "DISPLAY=" + display + " timeout 20 xdotool " + args;
        ASSERT_EQ(std::system(command.c_str()), 0) << args;
    }
    std::string Records(const std::string& name) {
        std::string out;
        for (const auto& line : ReadCrlfLines(store.file("velum.cfg")))
            if (ConfigRecord r = ParseConfigRecord(line); r.name == name)
                out += std::string(r.key) + "=" + std::string(r.value) + "|";
        return out;
    }
    bool Has(const std::string& file, const std::string& text) {
        return ReadWholeFile(store.file(file)).find(text) != std::string::npos;
    }
};

// How many pixels of the screen have `colour`, and the rectangle they cover.
struct Patch {
    int count = 0, left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    bool operator==(const Patch&) const = default;
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
    Sky("\"ViewBmp\"=\"no\"\n\"Current\"=\"Sky\"\n"); // "no" is written back as "NO"
    Xvfb x(200, 150);
    Start(x, ".");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_NO_FATAL_FAILURE(Xdo(kFind + "windowmove 120 100")); // off the centre
    auto shown = [&] { return ReadRootPixels(x.display()).value().at(100, 75) == 0x2a6b3c; };
    ASSERT_TRUE(Eventually(shown, 40s)) << ReadWholeFile(log); // the first bitmap, centred
    EXPECT_GE(std::chrono::steady_clock::now() - start, 25s);  // on the tick, not at start
    ASSERT_EQ(Stop(SIGTERM), 0) << ReadWholeFile(log);
    EXPECT_TRUE(Has("user.reg", R"("ViewBmp"="NO")"));
    // The history and Sky's state, its time as "T".
    std::string saved;
    for (const auto& line : ReadCrlfLines(store.file("velum.cfg")))
        if (ConfigRecord r = ParseConfigRecord(line); r.key != "Bmp" || r.name.empty())
            saved += "|" + (r.key == "Time" ? "T" : std::string(r.value));
    EXPECT_EQ(saved, "|" + dir + "/one.bmp|/history/kept.bmp| 1|T| 0");
}

// A click in the selector, the caret moved after "Sk", then two letters: they stay where typed.
// The new name would be asked about at Exit; SIGHUP ends the session and saves without asking.
TEST_F(Velumdesk, LettersTypedIntoTheMiddleOfTheNameStayAndSighupSavesThem) {
    Sky("\"Collections\"=\"Sky,Sea\"\n\"Current\"=\"Sky\"\n");
    Xvfb x(800, 600);
    Start(x, ".");
    // The selector lies 8 pixels below the menu bar, from 112 pixels in.
    ASSERT_NO_FATAL_FAILURE(Xdo(kFind +
                                "mousemove --window %1 180 38 click 1 sleep 0.3 key Home Right "
                                "Right type --delay 120 XY"));
    usleep(300000);
    ASSERT_EQ(Stop(SIGHUP), 0) << ReadWholeFile(log);
    EXPECT_TRUE(Has("user.reg", R"("Current"="SkXYy")")) << ReadWholeFile(store.file("user.reg"));
    EXPECT_TRUE(Has("user.reg", R"("ViewBmp"="NO")"));
}

// The preview of a bitmap cut short leaves the picture before it on the screen, pixel for pixel.
TEST_F(Velumdesk, ATruncatedBitmapPreviewedAfterAGoodOneLeavesTheGoodOnesPixels) {
    Sky("\"ViewBmp\"=\"YES\"\n\"Current\"=\"Sky\"\n");
    WriteBmp24(dir + "/zz-cut.bmp", 60, 40, std::vector<std::uint32_t>(2400, 0xd04080));
    WriteWholeFile(dir + "/zz-cut.bmp", ReadWholeFile(dir + "/zz-cut.bmp").substr(0, 54 + 3000));
    Xvfb x(800, 600);
    Start(x, dir);
    // Into the empty part of the file list, to its first entry, one.bmp, then to zz-cut.bmp.
    ASSERT_NO_FATAL_FAILURE(
        Xdo(kFind + "mousemove --window %1 80 160 click 1 sleep 0.3 key End Home"));
    Patch good;
    ASSERT_TRUE(Eventually(
        [&] { return (good = Find(ReadRootPixels(display).value(), 0x2a6b3c)).count > 5000; }, 10s))
        << ReadWholeFile(log);
    EXPECT_EQ(good.count, (good.right - good.left + 1) * (good.bottom - good.top + 1)); // the box
    ASSERT_NO_FATAL_FAILURE(Xdo(kFind + "key Down"));
    usleep(800000);
    const Picture after = ReadRootPixels(display).value();
    EXPECT_TRUE(Find(after, 0x2a6b3c) == good);
    EXPECT_EQ(Find(after, 0xd04080).count, 0);
    EXPECT_EQ(Stop(SIGTERM), 0) << ReadWholeFile(log);
}

TEST_F(Velumdesk, AFifoPreviewedOrAppliedByNextNeitherHoldsTheWindowNorIsRecorded) {
    Sky("\"ViewBmp\"=\"YES\"\n\"Current\"=\"Sky\"\n");
    std::remove((dir + "/one.bmp").c_str());
    ASSERT_EQ(::mkfifo((dir + "/one.bmp").c_str(), 0600), 0);
    Xvfb x(800, 600);
    Start(x, dir);
    // Onto the file list's only entry, the FIFO, with the preview on; then Next applies it.
    ASSERT_NO_FATAL_FAILURE(
        Xdo(kFind + "mousemove --window %1 80 160 click 1 sleep 0.3 key End Home sleep 0.3 "
                    "key alt+n sleep 0.5"));
    ASSERT_EQ(Stop(SIGTERM), 0) << ReadWholeFile(log); // answered at once
    EXPECT_NE(Records("Sky").find("Index= 1|"), std::string::npos) << Records("Sky");
    EXPECT_FALSE(Has("user.reg", "\"Wallpaper\"="));
    EXPECT_FALSE(Has("velum.cfg", R"("Bmp","",")" + dir + "/one.bmp"));
}

// A first run, nothing stored: Next, the step a first run's tick always takes, leaves the file
// being picked selected, and a name with a comma is refused. Pressed, not waited for, so that
// only the test above waits for the real tick.
TEST_F(Velumdesk, FirstRunNextLeavesTheFilesBeingPickedAndACommaNameIsNeverSaved) {
    const std::string pics = dir + "/pics";
    for (const char* name : {"/b.bmp", "/a.bmp"})
        WriteBmp24(pics + name, 4, 4, std::vector<std::uint32_t>(16, 0x336699));
    Xvfb x(800, 600);
    Start(x, pics);
    // Points of the client area, 415 pixels high at 96 dots per inch, below the menu bar.
    Xdo(kFind + "getwindowgeometry --shell %1 >" + dir + "/geometry");
    const std::string geometry = ReadWholeFile(dir + "/geometry");
    const int menu = std::stoi(geometry.substr(geometry.find("HEIGHT=") + 7)) - 415;
    const std::string window = geometry.substr(7, geometry.find('\n') - 7); // not a message box
    const auto at = [&](int x, int y) {
        return "mousemove --window " + window + " " + std::to_string(x) + " " +
               std::to_string(y + menu) + " click 1 sleep 0.3 ";
    };
    Xdo(at(200, 18) + "key ctrl+a type --delay 80 A,B"); // the collection's name
    Xdo("key --delay 80 ctrl+s Return");                 // refused, and the message box closed
    Xdo(at(40, 42));                                     // a.bmp, first in the file list
    Xdo("key --delay 80 alt+n");                         // Next, on the empty collection
    Xdo("key --delay 80 alt+d ctrl+s");                  // the file picked before Next: Add, Save
    ASSERT_EQ(Stop(SIGTERM), 0) << ReadWholeFile(log);

    // The exit's state records first, with no change time; then the collection Ctrl+S saved.
    EXPECT_EQ(Records("Default"), "Index= 0|Time=|CurrentIndex= 0|Bmp=" + pics +
                                      "/a.bmp|Max=1|Minutes=|Hours=|Days=|CycleOptions=0|"
                                      "TileWallpaper=0|");
    EXPECT_TRUE(Has("user.reg", R"("Collections"="Default")"));
    EXPECT_TRUE(Has("user.reg", R"("Current"="Default")"));
    EXPECT_FALSE(Has("velum.cfg", "A,B"));
    EXPECT_EQ(ReadWholeFile(log).find("Last Changed"), std::string::npos);
}
