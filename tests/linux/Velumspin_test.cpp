// The real velumspin binary, run as a scheduler runs it: with only the environment each test gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <numeric>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "store/ConfigRecord.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"
#include "support/Xvfb.h"

using namespace velum;
using namespace velum::test;

namespace {

constexpr int kW = 8, kH = 6; // the bitmaps, centred on the 40 by 30 screen at 16,12

struct Velumspin : ::testing::Test {
    TempStore store;
    std::string dir = store.root();

    void Prepare(const std::string& tile) {
        for (const std::uint32_t b : {0x204000u, 0x800081u}) { // each pixel unlike the others
            std::vector<std::uint32_t> p(kW * kH);
            std::iota(p.begin(), p.end(), b);
            WriteBmp24(dir + (b & 1 ? "/two.bmp" : "/one.bmp"), kW, kH, p);
        }
        WriteWholeFile(
            store.file("user.reg"),
            "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\r\n\"Current\"=\"Sky\"\r\n"
            "[HKEY_CURRENT_USER\\Control Panel\\Colors]\r\n\"Background\"=\"10 20 30\"\r\n");
        const std::string sky = R"("Bmp","Sky",")" + dir;
        WriteWholeFile(store.file("velum.cfg"),
                       CrlfJoin({sky + "/one.bmp\"", sky + "/two.bmp\"",
                                 R"("TileWallpaper","Sky",")" + tile + "\""}));
    }
    // velumspin's command line with only `env` and the store's folders, stopped after `seconds`
    // when given (status 124); stderr goes to the file "e".
    std::string SpinCommand(const std::string& env = "", int seconds = 0) {
        const std::string limit = seconds ? "timeout " + std::to_string(seconds) + " " : "";
        return limit + "env -i " + env + " XDG_CONFIG_HOME=" + dir + " HOME=" + dir +
               " " VELUM_BIN_DIR "/velumspin 2>" + dir + "/e";
    }
    // Runs velumspin: its exit status, a space, its stderr.
    std::string Spin(const std::string& env = "", int seconds = 0) {
        const int s = std::system(SpinCommand(env, seconds).c_str());
        return std::to_string(WIFEXITED(s) ? WEXITSTATUS(s) : -1) + " " + ReadWholeFile(dir + "/e");
    }
    std::string State(const std::string& key) {
        for (const auto& line : ReadCrlfLines(store.file("velum.cfg")))
            if (ConfigRecord r = ParseConfigRecord(line); r.key == key && r.name == "Sky")
                return std::string(r.value);
        return "<none>";
    }
    // The root shows the bitmap drawn from `base`, tiled or else centred on the desktop colour.
    void ExpectRoot(const Xvfb& x, std::uint32_t base, bool tiled) {
        const Picture root = ReadRootPixels(x.display()).value();
        for (int y = 0; y < root.height; ++y)
            for (int x = 0; x < root.width; ++x) {
                const int px = tiled ? x % kW : x - 16, py = tiled ? y % kH : y - 12;
                const bool in = px >= 0 && px < kW && py >= 0 && py < kH;
                ASSERT_EQ(root.at(x, y), in ? base + unsigned(py * kW + px) : 0x0a141eu) << x << y;
            }
    }
};

// Runs `command` from a process of its own: the largest peak resident size, in KiB, of the
// programs it ran, which is each one's high-water mark (VmHWM) kept after it ends.
long PeakMemoryKiBOf(const std::string& command) {
    return test::InChild([&]() -> long {
        [[maybe_unused]] int status = std::system(command.c_str());
        struct rusage usage {};
        ::getrusage(RUSAGE_CHILDREN, &usage);
        return usage.ru_maxrss;
    });
}

} // namespace

TEST_F(Velumspin, EachRunShowsTheNextBitmapCentredOrTiledOnTheRootWindowAndRecordsIt) {
    Xvfb x(40, 30);
    for (int run = 0; run < 3; ++run) {
        if (run != 1) // the third is tiled from the top left corner, again from the first bitmap
            Prepare(run == 2 ? "1" : "0");
        ASSERT_EQ(Spin("DISPLAY=" + x.display()), "0 ");
        ExpectRoot(x, run == 1 ? 0x800081 : 0x204000, run == 2);
        EXPECT_EQ(State("Index") + State("CurrentIndex"), run == 1 ? " 2 1" : " 1 0");
    }
}

TEST_F(Velumspin, FourSettersAtOnceOnOneDisplayAndStoreAllSucceedAndLeaveTheStoreWhole) {
    Xvfb x(40, 30);
    Prepare("0");
    // Each run frees the previous run's pixmap, whose connection may still be open.
    const std::string loop = "for i in $(seq 50); do env -i DISPLAY=" + x.display() +
                             " XDG_CONFIG_HOME=" + dir + " HOME=" + dir +
                             " " VELUM_BIN_DIR "/velumspin 2>>" + dir + "/errors || echo $? >>" +
                             dir + "/failed; done";
    const std::string four =
        "(" + loop + ") & (" + loop + ") & (" + loop + ") & (" + loop + ") & wait";
    ASSERT_EQ(std::system(("bash -c '" + four + "'").c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(dir + "/failed")) << ReadWholeFile(dir + "/errors");
    EXPECT_FALSE(std::filesystem::exists(store.file("~velum.tmp")));
    const auto lines = ReadCrlfLines(store.file("velum.cfg"));
    EXPECT_EQ(lines.size(), 6u) << "three records, then Index, Time and CurrentIndex";
    EXPECT_TRUE(State("Index") == " 1" || State("Index") == " 2") << State("Index");
    EXPECT_NE(State("Time"), "<none>");
    const unsigned long shown = RootPixmapProperty(x.display(), "_XROOTPMAP_ID");
    EXPECT_EQ(shown, RootPixmapProperty(x.display(), "ESETROOT_PMAP_ID"));
    EXPECT_EQ(DrawableSize(x.display(), shown), std::pair(40, 30)) << "the last one kept";
}

TEST_F(Velumspin, WithoutADesktopItStillRecordsThePositionAndSaysWhatFailed) {
    Prepare("0");
    EXPECT_EQ(Spin(), "2 velumspin: No desktop could be reached (no X display, and "
                      "XDG_CURRENT_DESKTOP is not set); the wallpaper was not changed.\n");
    EXPECT_EQ(State("Index"), " 1");
    EXPECT_EQ(Spin("WAYLAND_DISPLAY=wayland-0 XDG_CURRENT_DESKTOP=Hyprland DISPLAY=:0"),
              "2 velumspin: No desktop could be reached (a Wayland session of Hyprland, which "
              "offers no wallpaper call Velum knows); the wallpaper was not changed.\n");
    EXPECT_EQ(Spin("WAYLAND_DISPLAY=wayland-1 XDG_CURRENT_DESKTOP=sway"),
              "2 velumspin: No desktop could be reached (a sway session without SWAYSOCK); the "
              "wallpaper was not changed.\n");

    std::remove(store.file("velum.cfg").c_str());
    WriteWholeFile(store.file("velum.cfg") + "/blocked", "");
    EXPECT_EQ(Spin("WAYLAND_DISPLAY=wayland-0").substr(0, 2), "1 ") << "an unsaved position";
}

TEST_F(Velumspin, AnXServerThatDoesNotAnswerIsGivenUpAfterTenSecondsAndThePositionIsKept) {
    Xvfb x(40, 30);
    Prepare("0");
    x.Signal(SIGSTOP);
    const auto start = std::chrono::steady_clock::now();
    const std::string result = Spin("DISPLAY=" + x.display());
    const auto took = std::chrono::steady_clock::now() - start;
    x.Signal(SIGCONT);
    EXPECT_EQ(result, "2 velumspin: No desktop could be reached (the X display " + x.display() +
                          " did not answer within 10 seconds); the wallpaper was not changed.\n");
    EXPECT_GE(took, std::chrono::seconds(10));
    EXPECT_LT(took, std::chrono::seconds(13));
    EXPECT_EQ(State("Index"), " 1");
}

TEST_F(Velumspin, GnomeDesktopsGetTheirBackgroundKeysThroughGSettingsAndNoneKeepsThePicture) {
    for (const auto& [tile, option] : std::map<std::string, std::string>{
             {"0", "centered"}, {"1", "wallpaper"}, {"99", "none"}}) {
        Prepare(tile);
        ASSERT_EQ(Spin("XDG_CURRENT_DESKTOP=ubuntu:GNOME GSETTINGS_BACKEND=keyfile"), "0 ");
        const std::string keyfile = ReadWholeFile(dir + "/glib-2.0/settings/keyfile");
        EXPECT_NE(keyfile.find("picture-options='" + option + "'"), std::string::npos) << keyfile;
        EXPECT_NE(keyfile.find("picture-uri='file://" + dir + "/one.bmp'"), keyfile.npos) << tile;
    }
}

TEST_F(Velumspin, HelpAndUnknownOptionsChangeNothing) {
    Prepare("0");
    const std::string before = ReadWholeFile(store.file("velum.cfg"));
    const std::string settings = ReadWholeFile(store.file("user.reg"));
    for (const char* args : {"--help", "--version", "-x"}) {
        const std::string run = "env -i XDG_CONFIG_HOME=" + dir + " HOME=" + dir +
                                " " VELUM_BIN_DIR "/velumspin " + args + " >/dev/null 2>&1";
        const int s = std::system(run.c_str());
        EXPECT_EQ(WEXITSTATUS(s), std::string(args) == "-x" ? 2 : 0) << args;
    }
    EXPECT_EQ(ReadWholeFile(store.file("velum.cfg")), before);
    EXPECT_EQ(ReadWholeFile(store.file("user.reg")), settings); // no Wallpaper written
}

TEST_F(Velumspin, AProfileThatCannotBeWrittenIsToldOnceWhileTheDesktopStillChanges) {
    Xvfb x(40, 30);
    Prepare("0");
    // A folder where user.reg's new content would go: it is read, but cannot be rewritten.
    WriteWholeFile(store.file("~user.reg.tmp") + "/in-the-way", "");
    const std::string result = Spin("DISPLAY=" + x.display());
    EXPECT_EQ(result.substr(0, 2), "1 ");
    EXPECT_EQ(std::count(result.begin(), result.end(), '\n'), 1) << result;
    EXPECT_EQ(result.find("1 velumspin: The wallpaper style was not saved. "), 0u) << result;
    const Picture root = ReadRootPixels(x.display()).value();
    EXPECT_EQ(root.at(16, 12), 0x204000u); // the bitmap's first pixel, centred
    EXPECT_EQ(State("Index"), " 1");       // velum.cfg could be written
}

// user.reg a folder, or a link to itself: told in one line, nothing applied, nothing recorded.
TEST_F(Velumspin, UnreadableSettingsEndWithStatusOneAndRecordNothing) {
    Xvfb x(40, 30);
    for (const bool loop : {false, true}) {
        Prepare("0");
        std::remove(store.file("user.reg").c_str());
        if (loop)
            std::filesystem::create_symlink(store.file("user.reg"), store.file("user.reg"));
        else
            WriteWholeFile(store.file("user.reg") + "/in-the-way", "");
        const std::string before = ReadWholeFile(store.file("velum.cfg"));
        const std::string result = Spin("DISPLAY=" + x.display());
        EXPECT_EQ(result.find("1 velumspin: The settings could not be read; they are left as they "
                              "are. Cannot read " +
                              store.file("user.reg") + ": "),
                  0u)
            << result;
        EXPECT_EQ(std::count(result.begin(), result.end(), '\n'), 1) << result;
        EXPECT_EQ(ReadWholeFile(store.file("velum.cfg")), before) << loop;
        EXPECT_NE(ReadRootPixels(x.display()).value().at(16, 12), 0x204000u) << loop;
        std::filesystem::remove_all(store.file("user.reg"));
    }
}

// A Current in the hex(1) form holding a line feed, as the programs write such text: refused,
// and Sky, the first collection, cycled instead; every line of velum.cfg stays a whole record.
TEST_F(Velumspin, AStoredNameWithALineFeedIsRefusedAndNeverWritten) {
    Xvfb x(40, 30);
    Prepare("0");
    // "Sky<LF>","Index","Sky"," 9
    WriteWholeFile(store.file("user.reg"),
                   "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\r\n"
                   "\"Collections\"=\"Sky\"\r\n\"Current\"=hex(1):53,6b,79,0a,22,2c,22,49,6e,64,"
                   "65,78,22,2c,22,53,6b,79,22,2c,22,20,39,00\r\n");
    const std::string result = Spin("DISPLAY=" + x.display());
    EXPECT_EQ(result.find("0 velumspin: The current collection's stored name holds a line break"),
              0u)
        << result;
    EXPECT_EQ(std::count(result.begin(), result.end(), '\n'), 1) << result;
    EXPECT_EQ(State("Index"), " 1");
    for (const auto& line : ReadCrlfLines(store.file("velum.cfg")))
        EXPECT_EQ(ParseConfigRecord(line).name, "Sky") << line;
    EXPECT_EQ(ReadRootPixels(x.display()).value().at(16, 12), 0x204000u);
}

// ---- files that are not regular files, and a velum.cfg of no records

TEST_F(Velumspin, AFifoInTheRotationIsPassedOverAtOnceAndTheNextRunShowsTheNextBitmap) {
    Xvfb x(40, 30);
    Prepare("0");
    std::remove((dir + "/one.bmp").c_str());
    ASSERT_EQ(::mkfifo((dir + "/one.bmp").c_str(), 0600), 0);
    EXPECT_EQ(Spin("DISPLAY=" + x.display(), 10), "0 ") << "no wait on the FIFO, and silence";
    EXPECT_EQ(State("Index"), " 1");
    EXPECT_EQ(ReadWholeFile(store.file("user.reg")).find("\"Wallpaper\""), std::string::npos);
    EXPECT_EQ(Spin("DISPLAY=" + x.display(), 10), "0 ");
    ExpectRoot(x, 0x800081, false);
}

TEST_F(Velumspin, AFifoAsAStoreFileOrTheLockEndsTheRunAtOnceSayingWhy) {
    Xvfb x(40, 30);
    for (const char* name : {"velum.cfg", "user.reg", "~velum.lock"}) {
        Prepare("0");
        // The default collection, whose bitmap is shown even when user.reg cannot be read.
        WriteWholeFile(store.file("velum.cfg"),
                       CrlfJoin({R"("Bmp","Default",")" + dir + "/one.bmp\""}));
        const std::string path = store.file(name);
        std::remove(path.c_str());
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        const std::string result = Spin("DISPLAY=" + x.display(), 10);
        EXPECT_EQ(result.substr(0, 2), "1 ") << name;
        EXPECT_NE(result.find(path + ": not a regular file"), std::string::npos) << result;
        std::remove(path.c_str());
    }
}

TEST_F(Velumspin, AVelumCfgOfDeviceBytesOrMillionsOfNulsIsReadInLittleMemory) {
    Prepare("0");
    const std::string cfg = store.file("velum.cfg");
    const std::string records = ReadWholeFile(cfg);
    std::remove(cfg.c_str());
    std::filesystem::create_symlink("/dev/zero", cfg);
    EXPECT_LT(PeakMemoryKiBOf(SpinCommand("", 10)), 32 * 1024);
    const std::string refused = ReadWholeFile(dir + "/e");
    EXPECT_NE(refused.find(cfg + ": not a regular file"), std::string::npos) << refused;

    // 256 MB of NULs without a line break, after the records: no record, not carried.
    std::remove(cfg.c_str());
    WriteWholeFile(cfg, records);
    std::filesystem::resize_file(cfg, records.size() + (std::uintmax_t{256} << 20));
    EXPECT_LT(PeakMemoryKiBOf(SpinCommand("WAYLAND_DISPLAY=wayland-0", 60)), 32 * 1024);
    EXPECT_EQ(ReadWholeFile(dir + "/e").find("No desktop could be reached"), 11u) << "alone";
    EXPECT_EQ(State("Index"), " 1");
    EXPECT_LT(std::filesystem::file_size(cfg), 1000u);
}
