// A first run of the real velumdesk, used through the mouse and keyboard as a person does.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

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

constexpr int kClientHeight = 415; // the client area below the menu bar, at 96 dots per inch

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[256];
        while (fgets(buf, sizeof buf, p))
            out += buf;
        pclose(p);
    }
    return out;
}

struct FirstRun : ::testing::Test {
    TempStore store;
    std::string dir = store.root(), pics = dir + "/pics", log = dir + "/log";
    pid_t pid = -1;
    std::string display, window;
    int menuHeight = 0;

    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    // Starts velumdesk in the folder of bitmaps, with nothing stored yet.
    void Start(const Xvfb& x) {
        display = x.display();
        if ((pid = fork()) == 0) {
            dup2(open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600), 2);
            if (chdir(pics.c_str()) != 0)
                _exit(126);
            execl("/usr/bin/env", "env", "-i", ("DISPLAY=" + display).c_str(),
                  ("XDG_CONFIG_HOME=" + dir).c_str(),
                  ("DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir + "/no-bus").c_str(),
                  VELUM_BIN_DIR "/velumdesk", nullptr);
            _exit(127);
        }
        window = Output(Tool("search --sync --onlyvisible --name ^Velum"));
        window = window.substr(0, window.find('\n'));
        ASSERT_FALSE(window.empty()) << ReadWholeFile(log);
        const std::string geometry = Output(Tool("getwindowgeometry --shell " + window));
        const auto h = geometry.find("HEIGHT=");
        ASSERT_NE(h, std::string::npos) << geometry;
        menuHeight = std::stoi(geometry.substr(h + 7)) - kClientHeight;
    }
    std::string Tool(const std::string& args) const {
        return "DISPLAY=" + display + " timeout 20 xdotool " + args;
    }
    // A click at a point of the client area, in pixels.
    void Click(int x, int y) {
        const std::string at = std::to_string(x) + " " + std::to_string(y + menuHeight);
        ASSERT_EQ(std::system(Tool("mousemove --window " + window + " " + at + " click 1").c_str()),
                  0);
    }
    void Keys(const std::string& keys) {
        ASSERT_EQ(std::system(Tool("key --delay 80 " + keys).c_str()), 0);
    }
    void Type(const std::string& text) {
        ASSERT_EQ(std::system(Tool("type --delay 80 '" + text + "'").c_str()), 0);
    }
    int StopWith(int signal) {
        kill(pid, signal);
        int status = 0;
        for (int i = 0; i < 300 && waitpid(pid, &status, WNOHANG) == 0; ++i)
            usleep(50000);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Records(const std::string& name) {
        std::string out;
        for (const auto& line : ReadCrlfLines(store.file("velum.cfg")))
            if (ConfigRecord r = ParseConfigRecord(line); r.name == name)
                out += std::string(r.key) + "=" + std::string(r.value) + "|";
        return out;
    }
};

} // namespace

TEST_F(FirstRun, ATickLeavesTheFilesBeingPickedAndACommaNameIsNeverSaved) {
    for (const char* name : {"/b.bmp", "/a.bmp"})
        WriteBmp24(pics + name, 4, 4, std::vector<std::uint32_t>(16, 0x336699));
    Xvfb x(800, 600);
    ASSERT_NO_FATAL_FAILURE(Start(x));
    const auto started = std::chrono::steady_clock::now();

    Click(200, 18); // the collection's name
    Keys("ctrl+a");
    Type("A,B");
    Keys("ctrl+s Return");                        // refused, and the message box closed
    Click(40, 42);                                // a.bmp, first in the file list
    std::this_thread::sleep_until(started + 33s); // the first tick of the empty collection
    Keys("alt+d ctrl+s"); // the file picked before the tick is still selected: Add, Save
    ASSERT_EQ(StopWith(SIGTERM), 0) << ReadWholeFile(log);

    // The exit's state records first, with no change time; then the collection Ctrl+S saved.
    EXPECT_EQ(Records("Default"), "Index= 0|Time=|CurrentIndex= 0|Bmp=" + pics +
                                      "/a.bmp|Max=1|Minutes=|Hours=|Days=|CycleOptions=0|"
                                      "TileWallpaper=0|");
    const std::string settings = ReadWholeFile(store.file("user.reg"));
    EXPECT_NE(settings.find(R"("Collections"="Default")"), settings.npos) << settings;
    EXPECT_NE(settings.find(R"("Current"="Default")"), settings.npos) << settings;
    EXPECT_EQ(ReadWholeFile(store.file("velum.cfg")).find("A,B"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(log).find("Last Changed"), std::string::npos);
}

TEST_F(FirstRun, SighupEndsTheSessionAndSavesLikeSigterm) {
    WriteBmp24(pics + "/a.bmp", 4, 4, std::vector<std::uint32_t>(16, 0x336699));
    Xvfb x(800, 600);
    ASSERT_NO_FATAL_FAILURE(Start(x));
    Click(200, 18);
    Keys("ctrl+a");
    Type("Unsaved"); // a new name: a question at Exit, none at the end of a session
    Click(40, 42);
    ASSERT_EQ(StopWith(SIGHUP), 0) << ReadWholeFile(log);
    const std::string settings = ReadWholeFile(store.file("user.reg"));
    EXPECT_NE(settings.find(R"("ViewBmp"="NO")"), settings.npos) << settings;
    EXPECT_EQ(Records("Unsaved"), "Index= 0|Time=|CurrentIndex= 0|");
    EXPECT_NE(settings.find(R"("Current"="Unsaved")"), settings.npos) << settings;
}
