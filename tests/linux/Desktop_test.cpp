// Plain centred and tiled pixels and GNOME's keys per style are checked through velumspin.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "support/TestSupport.h"
#include "support/Xvfb.h"

namespace velum::test {

struct DesktopX11 : ::testing::Test {
    static void Put(const char* n, const char* v = nullptr) { v ? setenv(n, v, 1) : unsetenv(n); }
    void SetUp() override { // kept after the test, so that no later one reaches the user's desktop
        Put("DISPLAY", x.display().c_str()), Put("WAYLAND_DISPLAY"), Put("XDG_CURRENT_DESKTOP");
        Put("GSETTINGS_BACKEND", "memory"), Put("DBUS_SESSION_BUS_ADDRESS", "unix:path=/no/bus");
    }
    DesktopResult Set(const std::string& text, const char* colour = "") {
        reg.Put("Control Panel\\Colors", "Background", reg::kSz, std::string(colour) + '\0');
        return desktop->SetDeskWallpaper(text);
    }
    Picture Root() { return ReadRootPixels(x.display()).value(); }

    Xvfb x{320, 240};
    TempStore store;
    MemoryRegistry reg;
    std::unique_ptr<Desktop> desktop = CreatePlatformDesktop(reg);
};

TEST_F(DesktopX11, PairsAreSparedOwnPixmapsFreedPicturesCutAndKeptAndNoDesktopIsReported) {
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

    Picture big{400, 300, {}}; // each pixel unlike its neighbours
    for (std::uint32_t i = 0; i < 400 * 300; ++i)
        big.pixels.push_back(i * 2654435761u >> 8);
    const std::string path = store.root() + "/big.bmp", bad = store.root() + "/bad.bmp";
    WriteBmp24(path, big.width, big.height, big.pixels);
    ASSERT_EQ(Set(path), DesktopResult::Done);
    const Picture root = Root();
    for (int i = 0; i < 320 * 240; ++i) // cut evenly
        ASSERT_EQ(root.pixels[i], big.at(i % 320 + 40, i / 320 + 30)) << i;
    WriteWholeFile(bad, ReadWholeFile(path).substr(0, 200000)); // cut in the pixels
    EXPECT_TRUE(Set(bad) == DesktopResult::BadPicture && Root().pixels == root.pixels) << "kept";

    const char *d = x.display().c_str(), *wl = "wayland-0", *no = nullptr; // MATE: no schemas
    const char* cases[][3] = {{d, wl, no}, {d, no, "kde"}, {d, wl, "XFCE:GNOME"}, {d, no, "MATE"}};
    for (const auto& c : cases) {
        Put("DISPLAY", c[0]), Put("WAYLAND_DISPLAY", c[1]), Put("XDG_CURRENT_DESKTOP", c[2]);
        EXPECT_EQ(Set(path), DesktopResult::NoDesktop) << (c[2] ? c[2] : "");
        EXPECT_EQ(reg.Raw("Control Panel\\desktop", "Wallpaper"), path + '\0'); // still stored
    }
}

} // namespace velum::test
