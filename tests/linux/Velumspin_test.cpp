// The real velumspin binary, run as a scheduler runs it: with only the environment each test gives.
#include <gtest/gtest.h>

#include <cstdlib>
#include <numeric>

#include <sys/wait.h>

#include "store/ConfigRecord.h"
#include "support/TestSupport.h"
#include "support/Xvfb.h"

using namespace velum;
using namespace velum::test;
using namespace std::string_literals;

namespace {

constexpr int kW = 8, kH = 6; // the bitmaps
constexpr std::uint32_t kBackground = 0x0a141e;

struct Velumspin : ::testing::Test {
    TempStore store;
    std::string dir = store.root();
    std::string errors; // what the last run wrote to stderr

    void Prepare(const std::string& tile) {
        for (const std::uint32_t base : {0x204000u, 0x800080u}) { // each pixel unlike the others
            std::vector<std::uint32_t> pixels(kW * kH);
            std::iota(pixels.begin(), pixels.end(), base);
            WriteBmp24(dir + (base == 0x204000u ? "/one.bmp" : "/two.bmp"), kW, kH, pixels);
        }
        WriteWholeFile(
            store.file("user.reg"),
            "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\r\n\"Current\"=\"Sky\"\r\n"
            "[HKEY_CURRENT_USER\\Control Panel\\Colors]\r\n\"Background\"=\"10 20 30\"\r\n");
        const std::string sky = R"("Bmp","Sky",")" + dir;
        WriteWholeFile(store.file("velum.cfg"),
                       CrlfJoin({R"("Bmp","","/history/kept.bmp")", sky + "/one.bmp\"",
                                 sky + "/two.bmp\"", R"("TileWallpaper","Sky",")" + tile + "\""}));
    }
    // Runs velumspin with only `env` and the store's folders; its exit status.
    int Spin(const std::string& env = "") {
        const std::string run = "env -i " + env + " XDG_CONFIG_HOME=" + dir + " HOME=" + dir +
                                " " VELUM_BIN_DIR "/velumspin 2>" + dir + "/stderr";
        const int status = std::system(run.c_str());
        errors = ReadWholeFile(dir + "/stderr");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
        for (int i = 0; i < root.width * root.height; ++i) {
            const int X = i % root.width, y = i / root.width;
            const int px = tiled ? X % kW : X - (root.width - kW) / 2;
            const int py = tiled ? y % kH : y - (root.height - kH) / 2;
            const bool inside = px >= 0 && px < kW && py >= 0 && py < kH;
            ASSERT_EQ(root.pixels[i], inside ? base + unsigned(py * kW + px) : kBackground) << i;
        }
    }
};

} // namespace

TEST_F(Velumspin, EachRunShowsTheNextBitmapCentredOrTiledOnTheRootWindowAndRecordsIt) {
    Xvfb x(40, 30);
    for (int run = 0; run < 3; ++run) {
        if (run != 1) // the third is tiled from the top left corner, again from the first bitmap
            Prepare(run == 2 ? "1" : "0");
        ASSERT_EQ(Spin("DISPLAY=" + x.display()), 0) << errors;
        EXPECT_EQ(errors, "");
        ExpectRoot(x, run == 1 ? 0x800080 : 0x204000, run == 2);
        EXPECT_EQ(State("Index") + State("CurrentIndex"), run == 1 ? " 2 1" : " 1 0");
        ASSERT_TRUE(DateTimeFromText(State("Time"))) << State("Time");
    }
    const std::string wallpaper = R"("Wallpaper"=")" + dir + "/one.bmp\"";
    EXPECT_NE(ReadWholeFile(store.file("user.reg")).find(wallpaper), std::string::npos);
    EXPECT_NE(ReadWholeFile(store.file("velum.cfg")).find("/history/kept.bmp"), std::string::npos);
}

TEST_F(Velumspin, WithoutADesktopItStillRecordsThePositionAndSaysWhatFailed) {
    Prepare("0");
    EXPECT_EQ(Spin(), 2);
    EXPECT_TRUE(errors.starts_with("velumspin: ") && errors.find('\n') == errors.size() - 1);
    EXPECT_EQ(State("Index"), " 1");

    std::remove(store.file("velum.cfg").c_str());
    WriteWholeFile(store.file("velum.cfg") + "/blocked", "");
    EXPECT_EQ(Spin("WAYLAND_DISPLAY=wayland-0"), 1);
    EXPECT_NE(errors.find("not saved"), std::string::npos) << errors;
}

TEST_F(Velumspin, GnomeDesktopsGetTheirBackgroundKeysThroughGSettingsAndNoneKeepsThePicture) {
    for (auto [tile, option] :
         {std::pair{"0", "centered"}, std::pair{"1", "wallpaper"}, std::pair{"99", "none"}}) {
        Prepare(tile);
        ASSERT_EQ(Spin("XDG_CURRENT_DESKTOP=ubuntu:GNOME GSETTINGS_BACKEND=keyfile"), 0) << errors;
        const std::string keyfile = ReadWholeFile(dir + "/glib-2.0/settings/keyfile");
        EXPECT_NE(keyfile.find("picture-options='"s + option + "'"), std::string::npos) << keyfile;
        EXPECT_NE(keyfile.find("picture-uri='file://" + dir + "/one.bmp'"), keyfile.npos) << tile;
    }
}
