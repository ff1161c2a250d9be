// Plain centred and tiled pixels and GNOME's keys per style are checked through velumspin.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <tuple>

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
    Picture Root() { return ReadRootPixels(x.display()).value(); }

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
    const char* colours[] = {"255 128 0", "255 128 0", "255 128 0", "0 0 1",  "", // then black
                             "red",       "1 2",       "1 2 256",   "-1 2 3", "1 2 3 4"};
    std::string redrawn; // the freeing check covers _XROOTPMAP_ID
    for (unsigned long i = 0, last = 0, now = 0; i < std::size(colours); ++i, last = now) {
        ASSERT_EQ(Set(kNoWallpaper, colours[i]), DesktopResult::Done);
        redrawn += (now = RootPixmapProperty(x.display(), "ESETROOT_PMAP_ID")) == last ? '=' : '+';
        EXPECT_TRUE(i != 3 || !DrawableSize(x.display(), last)) << "old pixmap freed at once";
        EXPECT_EQ(Root().pixels, std::vector(320 * 240, i < 3 ? 0xFF8000u : i == 3)) << colours[i];
    }
    ASSERT_NE(DrawableSize(x.display(), mine), std::nullopt); // else the connection is gone
    XCloseDisplay(dpy);
    EXPECT_EQ(redrawn, "+=+++=+=+=") << "only the second call of a pair is spared";
    EXPECT_EQ(reg.Raw("Control Panel\\desktop", "Wallpaper"), std::string(1, '\0'));

    // A bitmap cut short in its pixels leaves the picture before it.
    const std::string path = store.root() + "/one.bmp", bad = store.root() + "/bad.bmp";
    WriteBmp24(path, 40, 30, std::vector<std::uint32_t>(1200, 0x2a6b3c));
    ASSERT_EQ(Set(path), DesktopResult::Done);
    const Picture root = Root();
    WriteWholeFile(bad, ReadWholeFile(path).substr(0, 2000));
    EXPECT_EQ(Set(bad), DesktopResult::BadPicture);
    EXPECT_TRUE(Root().pixels == root.pixels) << "kept";

    const char *d = x.display().c_str(), *wl = "wayland-0", *no = nullptr; // MATE: no schemas
    const char* cases[][3] = {{d, wl, no}, {d, no, "kde"}, {d, wl, "XFCE:GNOME"}, {d, no, "MATE"}};
    for (const auto& c : cases) {
        Put("DISPLAY", c[0]);
        Put("WAYLAND_DISPLAY", c[1]);
        Put("XDG_CURRENT_DESKTOP", c[2]);
        EXPECT_EQ(Set(path), DesktopResult::NoDesktop) << (c[2] ? c[2] : "");
        EXPECT_EQ(reg.Raw("Control Panel\\desktop", "Wallpaper"), path + '\0'); // still stored
    }
}

// Two monitors side by side on one 640 by 240 root: centred on each, on the colour at the seam,
// and cut to each monitor when larger; tiled as one pattern from the root's corner. The same on
// a server without shared memory and on a 16-bit one, whose pixels take another path.
TEST(DesktopMonitors, CentredOnEachMonitorAndTiledAcrossTheSeamOnEveryKindOfServer) {
    DesktopX11::Put("WAYLAND_DISPLAY");
    DesktopX11::Put("XDG_CURRENT_DESKTOP");
    TempStore store;
    struct Bitmap {
        std::string path;
        Picture p;
        int ox, oy; // where it is centred on a 320 by 240 monitor; larger ones are cut evenly
    };
    std::vector<Bitmap> bitmaps;
    for (auto [w, h, ox, oy] :
         {std::tuple{100, 80, 110, 80}, {400, 300, -40, -30}, {7, 5, 156, 117}}) {
        Picture p{w, h, {}};
        for (std::uint32_t i = 0; i < std::uint32_t(w * h); ++i)
            p.pixels.push_back(i * 2654435761u >> 8);
        bitmaps.push_back({store.root() + "/" + std::to_string(w) + ".bmp", p, ox, oy});
        WriteBmp24(bitmaps.back().path, w, h, p.pixels);
    }
    for (const auto& [depth, options] : {std::pair{24, ""}, {24, "-extension MIT-SHM"}, {16, ""}}) {
        Xvfb x("640x240x" + std::to_string(depth), options);
        const std::string xrandr = "xrandr --display " + x.display();
        ASSERT_EQ(std::system((xrandr + " --setmonitor left 320/1x240/1+0+0 screen && " + xrandr +
                               " --setmonitor right 320/1x240/1+320+0 none")
                                  .c_str()),
                  0);
        DesktopX11::Put("DISPLAY", x.display().c_str());
        MemoryRegistry reg;
        auto desktop = CreatePlatformDesktop(reg);
        reg.Put("Control Panel\\Colors", "Background", reg::kSz, std::string("0 0 255") + '\0');
        const int slack = depth == 16 ? 8 : 0; // 16 bits keep 5 or 6 a channel
        auto same = [slack](std::uint32_t a, std::uint32_t b) {
            for (int shift : {0, 8, 16})
                if (std::abs(int(a >> shift & 255) - int(b >> shift & 255)) > slack)
                    return false;
            return true;
        };
        for (const auto& [path, p, ox, oy] : bitmaps)
            for (const bool tiled : {false, true}) {
                reg.Put("Control Panel\\desktop", "TileWallpaper", reg::kSz, tiled ? "1"s : "0"s);
                ASSERT_EQ(desktop->SetDeskWallpaper(path), DesktopResult::Done);
                const Picture root = ReadRootPixels(x.display()).value();
                for (int y = 0; y < 240; ++y)
                    for (int rx = 0; rx < 640; ++rx) {
                        const int cx = tiled ? rx % p.width : rx % 320 - ox;
                        const int cy = tiled ? y % p.height : y - oy;
                        const bool in = cx >= 0 && cx < p.width && cy >= 0 && cy < p.height;
                        const std::uint32_t want = in ? p.at(cx, cy) : 0x0000FFu;
                        ASSERT_TRUE(same(root.at(rx, y), want))
                            << "depth " << depth << " " << options << " " << p.width
                            << " wide, tiled " << tiled << ", at " << rx << "," << y << ": "
                            << std::hex << root.at(rx, y) << " not " << want;
                    }
            }
    }
}

} // namespace velum::test
