// Plain centred and tiled pixels and GNOME's keys per style are checked through velumspin.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <tuple>

#include "support/PhotoWriters.h"
#include "support/TestSupport.h"
#include "support/Xvfb.h"

namespace velum::test {

using namespace std::string_literals;

struct DesktopX11 : ::testing::Test {
    static void Put(const char* n, const char* v = nullptr) { v ? setenv(n, v, 1) : unsetenv(n); }
    void SetUp() override { // kept after the test, so that no later one reaches the user's desktop
        Put("DISPLAY", x.display().c_str());
        Put("WAYLAND_DISPLAY");
        Put("XDG_CURRENT_DESKTOP");
        Put("GSETTINGS_BACKEND", "memory");
        Put("DBUS_SESSION_BUS_ADDRESS", "unix:path=/no/bus");
    }
    DesktopResult Set(const std::string& text, const char* colour = "") {
        reg.Put("Control Panel\\Colors", "Background", reg::kSz, std::string(colour) + '\0');
        return desktop->SetDeskWallpaper(text);
    }
    std::vector<std::uint32_t> Root() { return ReadRootPixels(x.display()).value().pixels; }

    Xvfb x{"320x240x24"};
    TempStore store;
    MemoryRegistry reg;
    std::unique_ptr<Desktop> desktop = CreatePlatformDesktop(reg);
};

TEST_F(DesktopX11, PairsAreSparedOwnPixmapsFreedABadPictureKeepsTheLastAndNoDesktopIsReported) {
    Display* dpy = XOpenDisplay(x.display().c_str());
    Pixmap mine = XCreatePixmap(dpy, DefaultRootWindow(dpy), 4, 4, 24); // one name only
    XChangeProperty(dpy, DefaultRootWindow(dpy), XInternAtom(dpy, "_XROOTPMAP_ID", False),
                    XA_PIXMAP, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&mine), 1);
    XSync(dpy, False);
    // Then black: not numbers, out of range, one too many.
    const char* rgb[] = {"255 128 0", "255 128 0", "255 128 0", "0 0 1", "", "1 2 256", "1 2 3 4"};
    std::string redrawn; // the freeing check covers _XROOTPMAP_ID
    for (unsigned long i = 0, last = 0, now = 0; i < std::size(rgb); ++i, last = now) {
        ASSERT_EQ(Set(kNoWallpaper, rgb[i]), DesktopResult::Done);
        redrawn += (now = RootPixmapProperty(x.display(), "ESETROOT_PMAP_ID")) == last ? '=' : '+';
        EXPECT_TRUE(i != 3 || !DrawableSize(x.display(), last)) << "old pixmap freed at once";
        EXPECT_EQ(Root(), std::vector(320 * 240, i < 3 ? 0xFF8000u : i == 3)) << rgb[i];
    }
    ASSERT_NE(DrawableSize(x.display(), mine), std::nullopt); // else the connection is gone
    XCloseDisplay(dpy);
    EXPECT_EQ(redrawn, "+=+++=+") << "only the second call of a pair is spared";
    EXPECT_EQ(reg.Raw("Control Panel\\desktop", "Wallpaper"), std::string(1, '\0'));

    const std::string path = store.root() + "/one.bmp", bad = store.root() + "/bad.bmp";
    WriteBmp24(path, 40, 30, std::vector<std::uint32_t>(1200, 0x2a6b3c));
    ASSERT_EQ(Set(path), DesktopResult::Done);
    const std::vector shown = Root();
    WriteWholeFile(bad, ReadWholeFile(path).substr(0, 2000)); // cut short in its pixels
    EXPECT_EQ(Set(bad), DesktopResult::BadPicture);
    EXPECT_TRUE(Root() == shown) << "the picture before is kept";

    Put("WAYLAND_DISPLAY", "wayland-0"); // a name Velum knows goes first; MATE has no schemas
    for (const char* session : {"", "XFCE:GNOME", "MATE"}) {
        Put("XDG_CURRENT_DESKTOP", *session ? session : nullptr);
        EXPECT_EQ(Set(path), DesktopResult::NoDesktop) << session;
        EXPECT_EQ(reg.Raw("Control Panel\\desktop", "Wallpaper"), path + '\0'); // still stored
    }
}

// On two monitors of one root: centred on each and cut when larger, tiled from the root's corner;
// the same without shared memory and at 16 bits, whose pixels take other paths.
TEST_F(DesktopX11, TwoMonitorsGetItCentredOnEachAndTiledAcrossTheSeamOnEveryKindOfServer) {
    const std::string halves = " --setmonitor left 320/1x240/1+0+0 screen"
                               " --setmonitor right 320/1x240/1+320+0 none";
    std::vector<std::tuple<std::string, Picture, int, int>> bitmaps; // and where each is centred
    for (auto [w, h, ox, oy] :
         {std::tuple{100, 80, 110, 80}, {400, 300, -40, -30}, {7, 5, 156, 117}}) {
        Picture p{w, h, {}};
        for (std::uint32_t i = 0; i < std::uint32_t(w * h); ++i)
            p.pixels.push_back(i * 2654435761u >> 8);
        WriteBmp24(store.file(std::to_string(w) + ".bmp"), w, h, p.pixels);
        bitmaps.emplace_back(store.file(std::to_string(w) + ".bmp"), p, ox, oy);
    }
    for (const auto& [depth, options] : {std::pair{24, ""}, {24, "-extension MIT-SHM"}, {16, ""}}) {
        Xvfb x("640x240x" + std::to_string(depth), options);
        ASSERT_EQ(std::system(("xrandr --display " + x.display() + halves).c_str()), 0);
        Put("DISPLAY", x.display().c_str());
        const int slack = depth == 16 ? 8 : 0; // 16 bits keep 5 or 6 a channel
        for (const auto& [path, p, ox, oy] : bitmaps)
            for (const bool tiled : {false, true}) {
                reg.Put("Control Panel\\desktop", "TileWallpaper", reg::kSz, tiled ? "1" : "0");
                ASSERT_EQ(Set(path, "0 0 255"), DesktopResult::Done);
                const Picture root = ReadRootPixels(x.display()).value();
                for (int y = 0; y < 240; ++y)
                    for (int rx = 0; rx < 640; ++rx) {
                        const int cx = tiled ? rx % p.width : rx % 320 - ox;
                        const int cy = tiled ? y % p.height : y - oy;
                        const bool in = cx >= 0 && cx < p.width && cy >= 0 && cy < p.height;
                        const std::uint32_t got = root.at(rx, y), want = in ? p.at(cx, cy) : 0xFF;
                        for (int s : {0, 8, 16})
                            ASSERT_LE(std::abs(int(got >> s & 255) - int(want >> s & 255)), slack)
                                << depth << options << " " << p.width << " tiled " << tiled << " "
                                << rx << "," << y << ": " << std::hex << got;
                    }
            }
    }
}

// Fill, Fit and Stretch on a landscape and a portrait monitor, for each format; EXIF turns a
// phone's JPEG upright; a 1-pixel checkerboard filled onto both comes out an even grey.
TEST_F(DesktopX11, EachFormatFillsFitsAndStretchesOntoEachMonitorUprightAndWithoutAliasing) {
    Xvfb x("480x240x24");
    ASSERT_EQ(std::system(("xrandr --display " + x.display() +
                           " --setmonitor left 320/1x240/1+0+0 screen"
                           " --setmonitor right 160/1x240/1+320+0 none")
                              .c_str()),
              0);
    Put("DISPLAY", x.display().c_str());
    constexpr std::uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kDesk = 0x00FF00;
    std::vector<std::uint32_t> halves(200 * 100, kBlue); // 2:1, its left half red
    for (int y = 0; y < 100; ++y)
        std::fill_n(halves.begin() + y * 200, 100, kRed);
    const auto show = [&](const std::string& name, const std::string& bytes, const char* style) {
        WriteWholeFile(store.file(name), bytes);
        reg.Put("Control Panel\\desktop", "WallpaperStyle", reg::kSz, style + "\0"s);
        EXPECT_EQ(Set(store.file(name), "0 255 0"), DesktopResult::Done) << name;
        return ReadRootPixels(x.display()).value();
    };
    const auto near = [](std::uint32_t got, std::uint32_t want) {
        for (int s : {0, 8, 16})
            if (std::abs(int(got >> s & 255) - int(want >> s & 255)) > 24)
                return false;
        return true;
    };
    // Points of each monitor, left then right: left of centre, right of centre, near the top.
    struct Style {
        const char* code;
        std::uint32_t top; // red when the picture reaches the top, else the desktop colour
    };
    for (const auto& [name, bytes] : {std::pair{"halves.png"s, test::MakePng(200, 100, halves)},
                                      {"halves.JPG"s, test::MakeJpeg(200, 100, halves)}})
        for (const Style s : {Style{"10", kRed}, {"6", kDesk}, {"2", kRed}}) {
            const Picture root = show(name, bytes, s.code);
            for (const auto& [x0, w] : {std::pair{0, 320}, {320, 160}}) {
                const std::uint32_t shown[] = {root.at(x0 + w / 4, 120),
                                               root.at(x0 + 3 * w / 4, 120),
                                               root.at(x0 + w / 4, 10)};
                // Filled, the middle of the picture shows: red up to the monitor's middle.
                EXPECT_TRUE(near(shown[0], kRed) && near(shown[1], kBlue) && near(shown[2], s.top))
                    << name << " " << s.code << " at " << x0 << std::hex << ": " << shown[0] << " "
                    << shown[1] << " " << shown[2];
            }
        }

    // Stored on its side; orientation 6 turns it clockwise (red on top), 8 the other way.
    for (const auto& [orientation, top] : {std::pair{6, kRed}, {8, kBlue}}) {
        const Picture root =
            show("phone.jpg", test::MakeJpeg(200, 100, halves, {.orientation = orientation}), "0");
        EXPECT_TRUE(near(root.at(160, 60), top)) << orientation << std::hex << root.at(160, 60);
        EXPECT_TRUE(near(root.at(160, 180), top == kRed ? kBlue : kRed)) << orientation;
        EXPECT_TRUE(near(root.at(100, 120), kDesk)) << "100 wide, centred: " << orientation;
    }

    std::vector<std::uint32_t> board(1000 * 1000);
    for (int i = 0; i < 1000 * 1000; ++i)
        board[i] = (i % 1000 + i / 1000) % 2 ? 0xFFFFFF : 0;
    const Picture grey = show("board.png", test::MakePng(1000, 1000, board), "10");
    for (std::uint32_t p : grey.pixels)
        for (int s : {0, 8, 16})
            ASSERT_NEAR(int(p >> s & 255), 128, 24) << std::hex << p;
}

} // namespace velum::test
