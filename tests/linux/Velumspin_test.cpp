// The real velumspin binary, run as a scheduler runs it: with only the environment each test gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>

#include <sys/stat.h>
#include <sys/wait.h>

#include "store/ConfigRecord.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"
#include "support/Xvfb.h"

using namespace velum;
using namespace velum::test;
namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

// one.bmp and two.bmp, 8 by 6, centred on the 40 by 30 screen at 16,12 on the desktop colour.
constexpr std::uint32_t kOne = 0x204000, kTwo = 0x800081, kDesk = 0x0a141e;

struct Velumspin : ::testing::Test {
    TempStore store;
    std::string dir = store.root();

    void SetUp() override { Prepare("0"); }
    void Prepare(const std::string& tile) {
        WriteBmp24(dir + "/one.bmp", 8, 6, std::vector<std::uint32_t>(48, kOne));
        WriteBmp24(dir + "/two.bmp", 8, 6, std::vector<std::uint32_t>(48, kTwo));
        WriteWholeFile(
            store.file("user.reg"),
            "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\n\"Current\"=\"Sky\"\n"
            "[HKEY_CURRENT_USER\\Control Panel\\Colors]\n\"Background\"=\"10 20 30\"\n");
        const std::string sky = R"("Bmp","Sky",")" + dir;
        WriteWholeFile(store.file("velum.cfg"),
                       CrlfJoin({sky + "/one.bmp\"", sky + "/two.bmp\"",
                                 R"("TileWallpaper","Sky",")" + tile + "\""}));
    }
    // velumspin with only `env` and the store's folders, ended after `seconds`; stderr to "e".
    std::string SpinCommand(const std::string& env = "", int seconds = 60) {
        return "timeout " + std::to_string(seconds) + " env -i " + env + " XDG_CONFIG_HOME=" + dir +
               " HOME=" + dir + " " VELUM_BIN_DIR "/velumspin 2>" + dir + "/e";
    }
    // Runs velumspin, with `tail` after its command line: its exit status, a space, its stderr.
    std::string Spin(const std::string& env = "", int seconds = 60, const std::string& tail = "") {
        const int s = std::system((SpinCommand(env, seconds) + tail).c_str());
        return std::to_string(WIFEXITED(s) ? WEXITSTATUS(s) : -1) + " " + ReadWholeFile(dir + "/e");
    }
    std::string State(const std::string& key) {
        for (const auto& line : ReadCrlfLines(store.file("velum.cfg")))
            if (ConfigRecord r = ParseConfigRecord(line); r.key == key && r.name == "Sky")
                return std::string(r.value);
        return "<none>";
    }
    // The root shows `colour`, tiled over it all or else centred on the desktop colour.
    static void ExpectRoot(const Xvfb& x, std::uint32_t colour, bool tiled) {
        std::vector<std::uint32_t> want(40 * 30, tiled ? colour : kDesk);
        for (int y = 12; y < 18 && !tiled; ++y)
            std::fill_n(want.begin() + y * 40 + 16, 8, colour);
        EXPECT_EQ(ReadRootPixels(x.display()).value().pixels, want);
    }
};

} // namespace

// Then an unsaved profile is told, status 1, while the desktop and velum.cfg still change; four
// setters at once leave the store whole; a FIFO in the rotation is passed over without a word.
TEST_F(Velumspin, EachRunShowsTheNextBitmapAndRecordsItFourAtOnceTooAndAFrozenServerIsGivenUp) {
    Xvfb x("40x30x24");
    const std::string display = "DISPLAY=" + x.display();
    for (int run = 0; run < 3; ++run) {
        if (run == 2) // tiled from the top left corner, again from the first bitmap
            Prepare("1");
        ASSERT_EQ(Spin(display), "0 ");
        ExpectRoot(x, run == 1 ? kTwo : kOne, run == 2);
        EXPECT_EQ(State("Index") + State("CurrentIndex"), run == 1 ? " 2 1" : " 1 0");
    }
    Prepare("0");
    WriteWholeFile(store.file("~user.reg.tmp") + "/in-the-way", "");
    const std::string result = Spin(display);
    EXPECT_EQ(result.find("1 velumspin: The wallpaper style was not saved. "), 0u) << result;
    ExpectRoot(x, kOne, false);
    EXPECT_EQ(State("Index"), " 1");
    fs::remove_all(store.file("~user.reg.tmp"));

    // Each run frees the previous run's pixmap, whose connection may still be open.
    const std::string loop = "(for i in $(seq 50); do " + SpinCommand(display) + " || echo $? >>" +
                             dir + "/failed; done) & ";
    ASSERT_EQ(std::system(("bash -c '" + loop + loop + loop + loop + "wait'").c_str()), 0);
    EXPECT_FALSE(fs::exists(dir + "/failed")) << ReadWholeFile(dir + "/e");
    EXPECT_FALSE(fs::exists(store.file("~velum.tmp")));
    EXPECT_EQ(ReadCrlfLines(store.file("velum.cfg")).size(), 6u) << "and Index, Time, CurrentIndex";
    const unsigned long shown = RootPixmapProperty(x.display(), "_XROOTPMAP_ID");
    EXPECT_EQ(DrawableSize(x.display(), shown), std::pair(40, 30)) << "the last one kept";

    x.Signal(SIGSTOP);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Spin(display),
              "2 velumspin: No desktop could be reached (the X display " + x.display() +
                  " did not answer within 10 seconds); the wallpaper was not changed.\n");
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    x.Signal(SIGCONT);
    EXPECT_NEAR(took.count(), 11.5, 1.5); // given up at 10 seconds

    Prepare("0");
    fs::remove(dir + "/one.bmp");
    ASSERT_EQ(::mkfifo((dir + "/one.bmp").c_str(), 0600), 0);
    EXPECT_EQ(Spin(display, 10), "0 ");
    EXPECT_EQ(State("Index"), " 1");
    EXPECT_EQ(ReadWholeFile(store.file("user.reg")).find("\"Wallpaper\""), std::string::npos);
    EXPECT_EQ(Spin(display, 10), "0 ");
    ExpectRoot(x, kTwo, false);
}

// GNOME's desktops get their background keys through GSettings, and "none" keeps the picture.
TEST_F(Velumspin, WithoutADesktopItStillRecordsThePositionSaysWhatFailedAndGnomeGetsItsKeys) {
    const std::string settings = ReadWholeFile(store.file("user.reg")),
                      records = ReadWholeFile(store.file("velum.cfg"));
    EXPECT_EQ(Spin("", 60, " -x"),
              "2 velumspin: unknown option -x; Usage: velumspin [--help | --version]\n");
    EXPECT_EQ(ReadWholeFile(store.file("velum.cfg")), records);
    EXPECT_EQ(ReadWholeFile(store.file("user.reg")), settings); // no Wallpaper written
    for (const auto& [env, why] :
         {std::pair{"", "no X display, and XDG_CURRENT_DESKTOP is not set"},
          {"WAYLAND_DISPLAY=wayland-0 XDG_CURRENT_DESKTOP=Hyprland DISPLAY=:0",
           "a Wayland session of Hyprland, which offers no wallpaper call Velum knows"},
          {"WAYLAND_DISPLAY=wayland-1 XDG_CURRENT_DESKTOP=sway",
           "a sway session without SWAYSOCK"}})
        EXPECT_EQ(Spin(env), "2 velumspin: No desktop could be reached ("s + why +
                                 "); the wallpaper was not changed.\n");
    EXPECT_EQ(State("Index"), " 1") << "three moves on from the first";

    for (const auto& [tile, option] : {std::pair{"0", "centered"},
                                       {"1", "wallpaper"},
                                       {"99", "none"},
                                       {"10", "zoom"},
                                       {"6", "scaled"},
                                       {"2", "stretched"}}) {
        Prepare(tile);
        ASSERT_EQ(Spin("XDG_CURRENT_DESKTOP=ubuntu:GNOME GSETTINGS_BACKEND=keyfile"), "0 ");
        const std::string keyfile = ReadWholeFile(dir + "/glib-2.0/settings/keyfile");
        EXPECT_NE(keyfile.find("picture-options='"s + option + "'"), keyfile.npos) << keyfile;
        EXPECT_NE(keyfile.find("picture-uri='file://" + dir + "/one.bmp'"), keyfile.npos);
    }
}

TEST_F(Velumspin, AVelumCfgOfDeviceBytesOrMillionsOfNulsIsReadInLittleMemory) {
    const std::string cfg = store.file("velum.cfg"), records = ReadWholeFile(cfg);
    const auto PeakOf = [](const std::string& command) { // velumspin's, in KiB
        return PeakGrowthKiB([&] { return std::system(command.c_str()) != -1; }, true);
    };
    fs::remove(cfg);
    fs::create_symlink("/dev/zero", cfg);
    EXPECT_LT(PeakOf(SpinCommand("", 10)), 32 * 1024);
    EXPECT_NE(ReadWholeFile(dir + "/e").find(cfg + ": not a regular file"), std::string::npos);

    // 256 MB of NULs without a line break, after the records: no record, not carried.
    fs::remove(cfg);
    WriteWholeFile(cfg, records);
    fs::resize_file(cfg, records.size() + (std::uintmax_t{256} << 20));
    EXPECT_LT(PeakOf(SpinCommand("WAYLAND_DISPLAY=wayland-0", 60)), 32 * 1024);
    EXPECT_EQ(ReadWholeFile(dir + "/e").find("No desktop could be reached"), 11u) << "alone";
    EXPECT_EQ(State("Index"), " 1");
    EXPECT_LT(fs::file_size(cfg), 1000u);
}
