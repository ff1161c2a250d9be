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

// On a landscape and a portrait monitor of one root: centred on each and cut when larger, tiled
// from the root's corner, and for each format filled, fitted and stretched to each monitor's own
// shape; the same without shared memory and at 16 bits, whose pixels take other paths. How a
// picture is turned upright and filtered is PictureFile's, checked there.
TEST_F(DesktopX11, TwoMonitorsGetItCentredOnEachTiledAcrossTheSeamAndScaledToEachOnEveryServer) {
    std::vector<std::tuple<std::string, Picture, int, int, int>> bitmaps; // and where centred
    for (auto [w, h, left, right, oy] :
         {std::tuple{100, 80, 110, 30, 80}, {400, 300, -40, -120, -30}, {7, 5, 156, 76, 117}}) {
        Picture p{w, h, {}};
        for (std::uint32_t i = 0; i < std::uint32_t(w * h); ++i)
            p.pixels.push_back(i * 2654435761u >> 8);
        WriteBmp24(store.file(std::to_string(w) + ".bmp"), w, h, p.pixels);
        bitmaps.emplace_back(store.file(std::to_string(w) + ".bmp"), p, left, right, oy);
    }
    constexpr std::uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kDesk = 0x00FF00;
    std::vector<std::uint32_t> halves(200 * 100, kBlue); // 2:1, its left half red
    for (int y = 0; y < 100; ++y)
        std::fill_n(halves.begin() + y * 200, 100, kRed);
    WriteWholeFile(store.file("halves.png"), test::MakePng(200, 100, halves));
    WriteWholeFile(store.file("halves.JPG"), test::MakeJpeg(200, 100, halves));
    const auto near = [](std::uint32_t got, std::uint32_t want, int slack) {
        for (int s : {0, 8, 16})
            if (std::abs(int(got >> s & 255) - int(want >> s & 255)) > slack)
                return false;
        return true;
    };
    for (const auto& [depth, options] : {std::pair{24, ""}, {24, "-extension MIT-SHM"}, {16, ""}}) {
        Xvfb x("480x240x" + std::to_string(depth), options);
        ASSERT_EQ(std::system(("xrandr --display " + x.display() +
                               " --setmonitor left 320/1x240/1+0+0 screen"
                               " --setmonitor right 160/1x240/1+320+0 none")
                                  .c_str()),
                  0);
        Put("DISPLAY", x.display().c_str());
        const int slack = depth == 16 ? 8 : 0; // 16 bits keep 5 or 6 a channel
        reg.Put("Control Panel\\desktop", "WallpaperStyle", reg::kSz, "0\0"s);
        for (const auto& [path, p, left, right, oy] : bitmaps)
            for (const bool tiled : {false, true}) {
                reg.Put("Control Panel\\desktop", "TileWallpaper", reg::kSz, tiled ? "1" : "0");
                ASSERT_EQ(Set(path, "0 0 255"), DesktopResult::Done);
                const Picture root = ReadRootPixels(x.display()).value();
                for (int y = 0; y < 240; ++y)
                    for (int rx = 0; rx < 480; ++rx) {
                        const int cx = tiled      ? rx % p.width
                                       : rx < 320 ? rx - left
                                                  : rx - 320 - right;
                        const int cy = tiled ? y % p.height : y - oy;
                        const bool in = cx >= 0 && cx < p.width && cy >= 0 && cy < p.height;
                        const std::uint32_t got = root.at(rx, y), want = in ? p.at(cx, cy) : 0xFF;
                        ASSERT_TRUE(near(got, want, slack))
                            << depth << options << " " << p.width << " tiled " << tiled << " " << rx
                            << "," << y << ": " << std::hex << got;
                    }
            }
        // Points of each monitor, left then right: left of centre, right of centre, near the top,
        // where red shows when the picture reaches the top, else the desktop colour.
        reg.Put("Control Panel\\desktop", "TileWallpaper", reg::kSz, "0");
        for (const char* name : {"halves.png", "halves.JPG"})
            for (const auto& [style, top] : {std::pair{"10", kRed}, {"6", kDesk}, {"2", kRed}}) {
                reg.Put("Control Panel\\desktop", "WallpaperStyle", reg::kSz, style + "\0"s);
                EXPECT_EQ(Set(store.file(name), "0 255 0"), DesktopResult::Done) << name;
                const Picture root = ReadRootPixels(x.display()).value();
                for (const auto& [x0, w] : {std::pair{0, 320}, {320, 160}}) {
                    const std::uint32_t shown[] = {root.at(x0 + w / 4, 120),
                                                   root.at(x0 + 3 * w / 4, 120),
                                                   root.at(x0 + w / 4, 10)};
                    // Filled, the middle of the picture shows: red up to the monitor's middle.
                    EXPECT_TRUE(near(shown[0], kRed, 24) && near(shown[1], kBlue, 24) &&
                                near(shown[2], top, 24))
                        << depth << options << " " << name << " " << style << " at " << x0
                        << std::hex << ": " << shown[0] << " " << shown[1] << " " << shown[2];
                }
            }
    }
}

} // namespace velum::test
