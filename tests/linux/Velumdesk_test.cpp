// The real velumdesk as a desktop session runs it, used through the mouse and keyboard.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include <X11/Xlib.h>
#include <fcntl.h>
#include <sys/file.h>
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
    void Start(const Xvfb& x, const std::string& folder) { pid = Launch(x, folder, log); }
    pid_t Launch(const Xvfb& x, const std::string& folder, const std::string& errors) {
        display = x.display();
        if (const pid_t child = fork(); child != 0)
            return child;
        if (chdir(folder.c_str()) != 0)
            _exit(126);
        dup2(open(errors.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600), 2);
        execl("/usr/bin/env", "env", "-i", ("DISPLAY=" + display).c_str(),
              ("XDG_CONFIG_HOME=" + dir).c_str(),
              ("DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir + "/no-bus").c_str(),
              VELUM_BIN_DIR "/velumdesk", nullptr);
        _exit(127);
    }
    // The exit status after `signal`; -1 when it did not exit normally within 15 s.
    int Stop(int signal) {
        kill(pid, signal);
        return Ended();
    }
    // The exit status once it ends of itself; -1 when it did not exit normally within 15 s.
    int Ended() {
        const int status = Wait(pid, 15s);
        pid = -1;
        return status;
    }
    static int Wait(pid_t child, std::chrono::milliseconds limit) {
        int status = 0;
        if (!Eventually([&] { return waitpid(child, &status, WNOHANG) != 0; }, limit)) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // The id of the window kFind finds.
    std::string WindowId() {
        Xdo(kFind + ">" + dir + "/window");
        const std::string id = ReadWholeFile(dir + "/window");
        return id.substr(0, id.find('\n'));
    }
    // xdotool's words for a click at a point of the window's client area, 415 pixels high at 96
    // dots per inch below the menu bar; the window itself, not a message box, once it is shown.
    std::function<std::string(int, int)> ClickInWindow() {
        Xdo(kFind + "getwindowgeometry --shell %1 >" + dir + "/geometry");
        const std::string geometry = ReadWholeFile(dir + "/geometry");
        const int menu = std::stoi(geometry.substr(geometry.find("HEIGHT=") + 7)) - 415;
        const std::string window = geometry.substr(7, geometry.find('\n') - 7);
        return [window, menu](int x, int y) {
            return "mousemove --window " + window + " " + std::to_string(x) + " " +
                   std::to_string(y + menu) + " click 1 sleep 0.3 ";
        };
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

// A window of the test's own over the whole screen, as another program's window would be.
class Cover {
  public:
    explicit Cover(const std::string& display) : dpy_(XOpenDisplay(display.c_str())) {
        if (!dpy_)
            return;
        window_ = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 0, 0, 800, 600, 0, 0, 0);
        XMapRaised(dpy_, window_);
        XSync(dpy_, False);
    }
    ~Cover() {
        if (dpy_)
            XCloseDisplay(dpy_);
    }
    Cover(const Cover&) = delete;
    Cover& operator=(const Cover&) = delete;

    // True when `other` (xdotool's decimal id) lies above this window.
    bool IsUnder(const std::string& other) {
        Window root = None, parent = None, *children = nullptr;
        unsigned count = 0;
        if (!dpy_ || !XQueryTree(dpy_, DefaultRootWindow(dpy_), &root, &parent, &children, &count))
            return false;
        int mine = -1, theirs = -1; // bottom to top
        for (unsigned i = 0; i < count; ++i) {
            if (children[i] == window_)
                mine = int(i);
            if (std::to_string(children[i]) == other)
                theirs = int(i);
        }
        XFree(children);
        return mine >= 0 && theirs > mine;
    }

  private:
    Display* dpy_;
    Window window_ = None;
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
    const auto at = ClickInWindow();
    Xdo(at(200, 18) + "key ctrl+a type --delay 80 A,B"); // the collection's name
    Xdo("key --delay 80 ctrl+s Return");                 // refused, and the message box closed
    Xdo(at(40, 42));                                     // a.bmp, first in the file list
    Xdo("key --delay 80 alt+n");                         // Next, on the empty collection
    Xdo("key --delay 80 alt+d ctrl+s");                  // the file picked before Next: Add, Save
    // The keys are queued, not yet taken: the end comes once the save is on disk.
    ASSERT_TRUE(Eventually([&] { return Has("velum.cfg", R"("Max","Default")"); }, 20s))
        << ReadWholeFile(log);
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

// velumspin run twice while the window shows Sea: the window's Next goes on from where velumspin
// left the rotation, writes it at once, and its exit keeps it.
TEST_F(Velumdesk, NextContinuesTheRotationVelumspinAdvancedAndTheExitKeepsIt) {
    const std::uint32_t colours[] = {0x102030, 0x405060, 0x708090};
    std::vector<std::string> records;
    for (int i = 0; i < 3; ++i) {
        const std::string path = dir + "/sea" + std::to_string(i) + ".bmp";
        WriteBmp24(path, 8, 6, std::vector<std::uint32_t>(48, colours[i]));
        records.push_back(R"("Bmp","Sea",")" + path + "\"");
    }
    records.push_back(R"("Days","Sea","1")"); // no tick is due while the test runs
    WriteWholeFile(store.file("velum.cfg"), CrlfJoin(records));
    WriteWholeFile(store.file("user.reg"),
                   kOptions + "\"Collections\"=\"Sea\"\n\"Current\"=\"Sea\"\n\"ViewBmp\"=\"NO\"\n");
    Xvfb x(200, 150);
    Start(x, ".");
    ASSERT_NO_FATAL_FAILURE(Xdo(kFind + "windowmove 120 100")); // loaded, off the centre
    const std::string spin = "env -i DISPLAY=" + x.display() + " XDG_CONFIG_HOME=" + dir +
                             " HOME=" + dir + " " VELUM_BIN_DIR "/velumspin";
    for (int run = 0; run < 2; ++run)
        ASSERT_EQ(std::system(spin.c_str()), 0);
    EXPECT_NE(Records("Sea").find("Index= 2|"), std::string::npos);

    ASSERT_NO_FATAL_FAILURE(Xdo(kFind + "windowfocus --sync %1 key --delay 80 alt+n"));
    auto shown = [&] { return ReadRootPixels(x.display()).value().at(100, 75) == colours[2]; };
    ASSERT_TRUE(Eventually(shown, 10s)) << ReadWholeFile(log); // the third, not the first again
    const auto state = [&] { // Sea's position, whether it has a change time, its current one
        std::string out;
        for (const auto& line : ReadCrlfLines(store.file("velum.cfg")))
            if (ConfigRecord r = ParseConfigRecord(line);
                r.name == "Sea" && r.key != "Bmp" && r.key != "Days")
                out += r.key == "Time" ? (r.value.empty() ? "|" : "|T|") : std::string(r.value);
        return out;
    };
    EXPECT_EQ(state(), " 3|T| 2"); // on disk before any exit
    ASSERT_EQ(Stop(SIGTERM), 0) << ReadWholeFile(log);
    EXPECT_EQ(state(), " 3|T| 2");
}

// Add All, then a click into the collection's name and out again: the sixteen bitmaps stay and
// File, Exit still asks to save them.
TEST_F(Velumdesk, AClickIntoTheNameAndOutKeepsTheBitmapsAddedAndTheirQuestion) {
    const std::string pics = dir + "/pics";
    for (int i = 0; i < 16; ++i)
        WriteBmp24(pics + "/p" + std::to_string(10 + i) + ".bmp", 4, 4,
                   std::vector<std::uint32_t>(16, 0x336699));
    Xvfb x(800, 600);
    Start(x, pics);
    const auto at = ClickInWindow();
    Xdo(at(40, 42) + "key --delay 80 alt+l"); // the file list, then Add All
    Xdo(at(200, 18));                         // into the collection's name
    Xdo(at(40, 42));                          // and out, to the file list
    Xdo("key --delay 80 alt+f x");            // File, Exit
    Xdo("sleep 0.5 key --delay 80 Return");   // Yes, save the changes
    ASSERT_EQ(Stop(0), 0) << ReadWholeFile(log);
    EXPECT_EQ(StoredBitmapsOf(store.winDir(), "Default").size(), 16u);
}

// One window per store: each rewrites the catalogue it read at its start, so a second window
// would undo the first one's saves.
struct VelumdeskOneWindow : Velumdesk {};

TEST_F(VelumdeskOneWindow, ASecondStartOnTheStoreBringsTheOpenWindowForwardAndEnds) {
    Sky("\"ViewBmp\"=\"NO\"\n\"Current\"=\"Sky\"\n");
    Xvfb x(800, 600);
    Start(x, ".");
    const std::string first = WindowId();
    Cover cover(display);
    ASSERT_FALSE(cover.IsUnder(first));
    const pid_t second = Launch(x, ".", dir + "/second");
    EXPECT_EQ(Wait(second, 15s), 0) << ReadWholeFile(dir + "/second");
    EXPECT_TRUE(Eventually([&] { return cover.IsUnder(first); }, 5s));
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << "the first window goes on";
    EXPECT_EQ(Stop(SIGTERM), 0) << ReadWholeFile(log);
}

TEST_F(VelumdeskOneWindow, TheLockOfAKilledWindowDoesNotBlockTheNext) {
    Sky("\"ViewBmp\"=\"NO\"\n\"Current\"=\"Sky\"\n");
    Xvfb x(800, 600);
    Start(x, ".");
    WindowId(); // shown
    Stop(SIGKILL);
    ASSERT_TRUE(FileExists(store.file("velumdesk.lock")));
    Start(x, ".");
    WindowId(); // shown
    // A window that found the store taken would wait in its message box, deaf to SIGTERM.
    EXPECT_EQ(Stop(SIGTERM), 0) << ReadWholeFile(log);
    EXPECT_EQ(ReadWholeFile(log).find("already open"), std::string::npos);
}

TEST_F(VelumdeskOneWindow, AStoreHeldByAWindowThatDoesNotAnswerIsToldAndTheStartEnds) {
    Sky("\"ViewBmp\"=\"NO\"\n\"Current\"=\"Sky\"\n");
    const int held = open(store.file("velumdesk.lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    Xvfb x(800, 600);
    Start(x, ".");
    WindowId(); // the message box
    usleep(500000);
    ASSERT_NO_FATAL_FAILURE(Xdo("key Return"));
    EXPECT_EQ(Ended(), 1);
    EXPECT_NE(ReadWholeFile(log).find("velumdesk: Velum is already open"), std::string::npos);
    close(held);
}

// The display going away under the window: the session is saved as at the end of a session.
struct VelumdeskDisplay : Velumdesk {};

TEST_F(VelumdeskDisplay, AKilledXServerSavesTheSessionAndEndsWithStatusOneAndOneLine) {
    Sky("\"ViewBmp\"=\"no\"\n\"Current\"=\"Sky\"\n");
    Xvfb x(800, 600);
    Start(x, ".");
    WindowId();                                           // shown
    const std::size_t before = ReadWholeFile(log).size(); // Qt's notes on the environment
    x.Signal(SIGKILL);
    EXPECT_EQ(Ended(), 1);
    std::string said = ReadWholeFile(log).substr(before);
    // A sanitizer build reports the toolkit's leaks after the program's own exit: not its words.
    said = said.substr(
        0, said.find("\n=================================================================\n"));
    EXPECT_EQ(said, "velumdesk: the display was lost; the session was saved\n");
    EXPECT_TRUE(Has("user.reg", R"("ViewBmp"="NO")"));
    EXPECT_EQ(Records("Sky").find("Index= 0|Time=|CurrentIndex= 0|"), 0u) << Records("Sky");
}

// Signals end the program with the session-end save, even while a start-up message is shown.
struct VelumdeskEnds : Velumdesk {};

TEST_F(VelumdeskEnds, SigtermWhileAStartUpMessageIsOpenSavesAndEnds) {
    // A ViewBmp that cannot be read is told at start-up, in a message box.
    WriteBmp24(dir + "/one.bmp", 8, 6, std::vector<std::uint32_t>(48, 0x2a6b3c));
    WriteWholeFile(store.file("user.reg"), kOptions + "\"Current\"=\"Sky\"\n");
    WriteWholeFile(store.file("velum.cfg"), CrlfJoin({R"("Bmp","Sky",")" + dir + "/one.bmp\""}));
    Xvfb x(800, 600);
    Start(x, ".");
    WindowId(); // shown
    usleep(500000);
    EXPECT_EQ(Stop(SIGTERM), 0) << ReadWholeFile(log);
    EXPECT_TRUE(Has("user.reg", R"("ViewBmp"="NO")"));
    EXPECT_EQ(Records("Sky").find("Index= 0|"), 0u) << Records("Sky");
}

// A save asked for at Exit on a full disk is told, though the same file's failure was told a
// moment before, and the exit status says a save failed.
TEST_F(VelumdeskEnds, YesToSavingOnAFullDiskIsToldAndTheExitStatusIsOne) {
    const std::string folder = store.winDir();
    std::filesystem::create_directories(folder);
    if (std::system(("mount -t tmpfs -o size=256k velum-full " + folder + " 2>/dev/null").c_str()))
        GTEST_SKIP() << "no tmpfs can be mounted here";
    struct Unmount {
        std::string folder;
        ~Unmount() {
            if (std::system(("umount -l " + folder).c_str()) != 0)
                ADD_FAILURE() << "umount " << folder;
        }
    } unmount{folder};
    Sky("\"ViewBmp\"=\"NO\"\n\"Current\"=\"Sky\"\n");
    WriteBmp24(dir + "/a.bmp", 4, 4, std::vector<std::uint32_t>(16, 0x336699));
    Xvfb x(800, 600);
    Start(x, dir);
    // a.bmp, first in the file list, added to the rotation: the collection has changed.
    Xdo(ClickInWindow()(40, 42) + "key --delay 80 alt+d");
    // dd ends when the disk is full, which is its failure.
    if (std::system(("dd if=/dev/zero of=" + folder + "filler bs=4k 2>/dev/null").c_str()) == 0)
        FAIL() << "the disk did not fill";
    Xdo("key --delay 150 alt+f x");
    // The failures of the exit's own writes, each told once, until the question comes.
    const std::string question =
        "DISPLAY=" + display + " xdotool search --onlyvisible --name '^Save Changes' >/dev/null";
    for (int box = 0; box < 4 && std::system(question.c_str()) != 0; ++box) {
        usleep(600000);
        if (std::system(question.c_str()) != 0)
            Xdo("key Return");
    }
    ASSERT_EQ(std::system(question.c_str()), 0) << "the question at Exit";
    Xdo("key Return"); // Yes
    usleep(1000000);
    ASSERT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << "the failed save is told";
    Xdo("key Return");
    EXPECT_EQ(Ended(), 1) << ReadWholeFile(log);
}
