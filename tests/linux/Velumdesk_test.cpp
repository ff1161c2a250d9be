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

#include "mainwindow/WindowLayout.h"
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
        if (pid > 0)
            Ended(SIGKILL);
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
    pid_t Launch(const Xvfb& x, const std::string& folder) {
        display = x.display();
        const std::string command = "cd '" + folder + "' && exec env -i DISPLAY=" + display +
                                    " XDG_CONFIG_HOME=" + dir +
                                    " DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir +
                                    "/no-bus " VELUM_BIN_DIR "/velumdesk 2>>" + log;
        const pid_t child = fork();
        if (child == 0)
            _exit(execl("/bin/sh", "sh", "-c", command.c_str(), nullptr));
        return child;
    }
    // The exit status once it ends, after `signal` when given; -1 after 15 s or a signal's end.
    int Ended(int signal = 0) {
        if (signal)
            kill(pid, signal);
        return Wait(std::exchange(pid, -1), 15s);
    }
    static int Wait(pid_t child, std::chrono::milliseconds limit) {
        int status = 0;
        if (!Eventually([&] { return waitpid(child, &status, WNOHANG) != 0; }, limit))
            kill(child, SIGKILL), waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // xdotool's words for a click at a point of the window's client area (the table's height at 96
    // dots per inch) below the menu bar; the window itself, not a message box, once it is shown.
    std::function<std::string(int, int)> ClickInWindow() {
        Xdo(kFind + "getwindowgeometry --shell %1 >" + dir + "/geometry");
        const std::string geometry = ReadWholeFile(dir + "/geometry");
        const int menu = std::stoi(geometry.substr(geometry.find("HEIGHT=") + 7)) -
                         velum::kClientHeightTwips / 15;
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
struct Cover {
    Display* dpy;
    Window window = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 800, 600, 0, 0, 0);
    ~Cover() { XCloseDisplay(dpy); }
    // True when `other` (xdotool's decimal id, a line of its own) lies above this window.
    bool IsUnder(const std::string& other) {
        Window root, parent, *children = nullptr; // bottom to top
        unsigned count = 0;
        XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count);
        Window *const end = children + count, *mine = std::find(children, end, window);
        const bool under =
            std::any_of(mine, end, [&](Window w) { return std::to_string(w) + "\n" == other; });
        XFree(children);
        return under;
    }
};

} // namespace

TEST_F(Velumdesk, FirstTickShowsTheFirstBitmapAndSigtermSavesWithoutAsking) {
    Sky("\"ViewBmp\"=\"no\"\n\"Current\"=\"Sky\"\n"); // the save at the end writes "NO"
    Xvfb x("200x150x24");
    pid = Launch(x, ".");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_NO_FATAL_FAILURE(Xdo(kFind + "windowmove 120 100")); // off the centre
    auto shown = [&] { return ReadRootPixels(x.display()).value().at(100, 75) == 0x2a6b3c; };
    ASSERT_TRUE(Eventually(shown, 40s)) << ReadWholeFile(log); // the first bitmap, centred
    EXPECT_GE(std::chrono::steady_clock::now() - start, 25s);  // on the tick, not at start
    ASSERT_EQ(Ended(SIGTERM), 0) << ReadWholeFile(log);
    EXPECT_TRUE(Has("user.reg", R"("ViewBmp"="NO")"));
    EXPECT_EQ(Records(""), "Bmp=" + dir + "/one.bmp|Bmp=/history/kept.bmp|") << "the history";
}

// Next is the step a first run's tick takes, pressed so that only the test above waits for it.
TEST_F(Velumdesk, FirstRunNextLeavesTheFilePickedAndAClickIntoTheNameAndOutKeepsItsQuestion) {
    const std::string pics = dir + "/pics";
    for (const char* name : {"/b.bmp", "/a.bmp"})
        WriteBmp24(pics + name, 4, 4, std::vector<std::uint32_t>(16, 0x336699));
    Xvfb x("800x600x24");
    pid = Launch(x, pics);
    const auto at = ClickInWindow();
    Xdo(at(40, 42) + "key --delay 80 alt+n alt+d"); // a.bmp, first in the file list; Next; Add
    Xdo(at(200, 18) + at(40, 42));                  // into the collection's name and out
    Xdo("key --delay 80 alt+f x sleep 0.5 key --delay 80 Return"); // File, Exit; Yes, save them
    ASSERT_EQ(Ended(), 0) << ReadWholeFile(log);
    EXPECT_EQ(StoredBitmapsOf(store.winDir(), "Default"), std::vector{pics + "/a.bmp"});
    EXPECT_NE(Records("Default").find("Index= 0|Time=|CurrentIndex= 0|"), std::string::npos)
        << "no change time: Next found nothing to apply";
    EXPECT_EQ(ReadWholeFile(log).find("Last Changed"), std::string::npos);
}

// One window per store, as each rewrites the catalogue it read at its start; a killed window's lock
// blocks nothing. Signals, even during a start-up message, and a lost display save the session.
TEST_F(Velumdesk,
       OneWindowPerStoreAndSighupOrALostDisplaySavesTheSessionAndAFailedSaveEndsWithOne) {
    Sky("\"ViewBmp\"=\"NO\"\n\"Current\"=\"Sky\"\n");
    Xvfb x("800x600x24");
    pid = Launch(x, ".");
    {
        ASSERT_NO_FATAL_FAILURE(Xdo(kFind + ">" + dir + "/window"));
        const std::string first = ReadWholeFile(dir + "/window");
        Cover cover{XOpenDisplay(display.c_str())};
        XMapRaised(cover.dpy, cover.window);
        ASSERT_FALSE(cover.IsUnder(first));
        EXPECT_EQ(Wait(Launch(x, "."), 15s), 0) << ReadWholeFile(log);
        EXPECT_TRUE(Eventually([&] { return cover.IsUnder(first); }, 5s));
        EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << "the first window goes on";
    }
    Ended(SIGKILL);
    Sky("\"Current\"=\"Sky\"\n"); // no ViewBmp, which the start-up tells in a message box
    pid = Launch(x, ".");
    Xdo(kFind + "sleep 0.5");
    // A window that found the store taken would wait in its own message box, deaf to SIGHUP.
    EXPECT_EQ(Ended(SIGHUP), 0) << ReadWholeFile(log);
    EXPECT_TRUE(Has("user.reg", R"("ViewBmp"="NO")"));

    const int held = open(store.file("velumdesk.lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    pid = Launch(x, ".");
    Xdo(kFind + "sleep 0.5"); // the message box
    ASSERT_NO_FATAL_FAILURE(Xdo("key Return"));
    EXPECT_EQ(Ended(), 1);
    EXPECT_NE(ReadWholeFile(log).find("velumdesk: Velum is already open"), std::string::npos);
    close(held);

    WriteWholeFile(store.file("~velum.tmp") + "/in-the-way", ""); // velum.cfg cannot be rewritten
    pid = Launch(x, dir);
    ASSERT_NO_FATAL_FAILURE(Xdo(ClickInWindow()(40, 42) + "key --delay 80 alt+f x"));
    Xdo("sleep 0.6 key Return sleep 0.6 key Return sleep 0.6 key Return sleep 0.6 key Return");
    EXPECT_EQ(Ended(), 1) << ReadWholeFile(log);
    std::filesystem::remove_all(store.file("~velum.tmp"));

    // A FIFO previewed (on, in a form saved as text) and applied by Next is recorded nowhere.
    Sky("\"ViewBmp\"=hex(1):59,45,53,00\n\"Current\"=\"Sky\"\n");
    std::filesystem::remove(dir + "/one.bmp");
    ASSERT_EQ(::mkfifo((dir + "/one.bmp").c_str(), 0600), 0);
    pid = Launch(x, dir);
    ASSERT_NO_FATAL_FAILURE(
        Xdo(kFind + "mousemove --window %1 80 160 click 1 sleep 0.3 key End Home sleep 0.3 "
                    "key alt+n sleep 0.5"));
    const std::size_t before = ReadWholeFile(log).size(); // Qt's notes on the environment
    x.Signal(SIGKILL);
    EXPECT_EQ(Ended(), 1);
    const std::string said = ReadWholeFile(log).substr(before);
    // A sanitizer build reports the toolkit's leaks after the program's own exit: not its words.
    EXPECT_EQ(said.substr(0, said.find("\n" + std::string(65, '=') + "\n")),
              "velumdesk: the display was lost; the session was saved\n");
    EXPECT_TRUE(Has("user.reg", R"("ViewBmp"="YES")"));
    EXPECT_NE(Records("Sky").find("Index= 1|"), std::string::npos) << Records("Sky");
    EXPECT_FALSE(Has("user.reg", "\"Wallpaper\"="));
    EXPECT_FALSE(Has("velum.cfg", R"("Bmp","",")" + dir + "/one.bmp"));
}
