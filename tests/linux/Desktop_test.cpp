// Plain centred and tiled pixels and GNOME's keys per style are checked through velumspin.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <optional>

#include <unistd.h>

#include "engine/Desktop.h"
#include "engine/DesktopBackends.h"
#include "support/TestSupport.h"
#include "support/Xvfb.h"

using namespace velum;
using namespace velum::test;

namespace {

const char kDesktopKey[] = "Control Panel\\desktop";

// A picture whose pixels differ from their neighbours.
Picture Pattern(int w, int h) {
    Picture p{w, h, {}};
    for (std::uint32_t i = 0; i < std::uint32_t(w * h); ++i)
        p.pixels.push_back(i * 2654435761u >> 8);
    return p;
}

using Env = std::optional<std::string>;

// Sets, or for nullopt removes, an environment variable until the end of the scope.
struct ScopedEnv {
    static Env Get(const char* n) { return getenv(n) ? Env(getenv(n)) : Env(); }
    static void Put(const char* n, const Env& v) { v ? setenv(n, v->c_str(), 1) : unsetenv(n); }
    ScopedEnv(const char* n, const Env& v) : name(n), old(Get(n)) { Put(n, v); }
    ~ScopedEnv() { Put(name, old); }
    const char* name;
    Env old;
};

class DesktopX11 : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const Picture& p) {
        WriteBmp24(store_.root() + "/" + name, p.width, p.height, p.pixels);
        return store_.root() + "/" + name;
    }
    DesktopResult Set(const std::string& text, const char* colour = "") {
        reg_.Put("Control Panel\\Colors", "Background", REG_SZ, std::string(colour) + '\0');
        return desktop_->SetDeskWallpaper(text);
    }
    // The published pixmap, checked to be named by both properties and to cover the screen.
    unsigned long Published() {
        const unsigned long p = RootPixmapProperty(display(), "_XROOTPMAP_ID");
        EXPECT_EQ(p, RootPixmapProperty(display(), "ESETROOT_PMAP_ID"));
        EXPECT_EQ(DrawableSize(display(), p), std::pair(320, 240));
        return p;
    }
    Picture Root() { return ReadRootPixels(display()).value(); }
    static const std::string& display() {
        static const Xvfb server(320, 240); // one for the suite, stopped at exit
        return server.display();
    }

    TempStore store_;
    MemoryRegistry reg_;
    std::unique_ptr<Desktop> desktop_ = CreatePlatformDesktop(reg_);
    ScopedEnv display_{"DISPLAY", display()}, wayland_{"WAYLAND_DISPLAY", {}},
        current_{"XDG_CURRENT_DESKTOP", {}}, bus_{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/no/bus"};
};

TEST_F(DesktopX11, ALargerPictureIsCutEvenlyAndStaysWhenTheNextIsBadOrThereIsNoDesktop) {
    const Picture big = Pattern(400, 300);
    const std::string path = Write("big.bmp", big), bad = store_.root() + "/bad.bmp";
    ASSERT_EQ(Set(path), DesktopResult::Done);
    const Picture root = Root();
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(root.at(x, y), big.at(x + 40, y + 30)) << x << "," << y;
    WriteWholeFile(bad, ReadWholeFile(path).substr(0, 200000)); // cut in the pixels
    EXPECT_EQ(Set(bad), DesktopResult::BadPicture);
    EXPECT_EQ(reg_.Raw(kDesktopKey, "Wallpaper"), bad + '\0');
    EXPECT_EQ(Root().pixels, root.pixels);

    const Env x = display(), wl = "wayland-0";
    const Env cases[][3] = {{{}, {}, {}}, {x, wl, {}}, {x, {}, "kde"}, {x, wl, "XFCE:GNOME"}};
    for (const auto& c : cases) {
        ScopedEnv d("DISPLAY", c[0]), w("WAYLAND_DISPLAY", c[1]), k("XDG_CURRENT_DESKTOP", c[2]);
        EXPECT_EQ(Set(path), DesktopResult::NoDesktop) << c[2].value_or("");
        EXPECT_EQ(reg_.Raw(kDesktopKey, "Wallpaper"), path + '\0');
    }
}

TEST_F(DesktopX11, NoneShowsTheColourAndBadColoursAreBlack) {
    ASSERT_EQ(Set(kNoWallpaper, "255 128 0"), DesktopResult::Done);
    EXPECT_EQ(reg_.Raw(kDesktopKey, "Wallpaper"), std::string(1, '\0'));
    EXPECT_EQ(Root().pixels, std::vector<std::uint32_t>(320 * 240, 0xFF8000u));
    for (const char* colour : {"", "red", "1 2", "1 2 256", "-1 2 3", "1 2 3 4"}) {
        ASSERT_EQ(Set(kNoWallpaper, colour), DesktopResult::Done);
        EXPECT_EQ(Root().pixels, std::vector<std::uint32_t>(320 * 240, 0)) << colour;
    }
}

TEST_F(DesktopX11, OnlyTheSecondCallOfAPairIsSparedAndOnlyOurOldPixmapIsFreed) {
    Display* dpy = XOpenDisplay(display().c_str());
    ASSERT_NE(dpy, nullptr);
    const Window root = DefaultRootWindow(dpy);
    const Pixmap mine = XCreatePixmap(dpy, root, 4, 4, 24); // named by one property only
    XChangeProperty(dpy, root, XInternAtom(dpy, "_XROOTPMAP_ID", False), XA_PIXMAP, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&mine), 1);
    XSync(dpy, False);
    const std::string path = Write("a.bmp", Pattern(5, 5));
    std::vector<unsigned long> shown;
    for (const char* colour : {"", "", "", "0 0 1"}) {
        ASSERT_EQ(Set(path, colour), DesktopResult::Done);
        shown.push_back(Published());
    }
    ASSERT_NE(DrawableSize(display(), mine), std::nullopt); // else the connection is gone
    XCloseDisplay(dpy);
    EXPECT_EQ(shown[1], shown[0]);
    EXPECT_NE(shown[2], shown[1]) << "a third call redraws";
    EXPECT_EQ(DrawableSize(display(), shown[2]), std::nullopt) << "the previous pixmap is freed";
    EXPECT_NE(shown[3], shown[2]) << "another colour is another request";
}

TEST(DesktopGSettings, NoneKeepsTheUriAndMissingSchemasAreNoDesktopWithoutAborting) {
    TempStore store; // the keyfile's folder; each call runs in a child, where GIO starts afresh
    const auto call = [](const char* current, const std::string& text) {
        setenv("GSETTINGS_BACKEND", "keyfile", 1), setenv("XDG_CURRENT_DESKTOP", current, 1);
        MemoryRegistry reg;
        _exit(static_cast<int>(CreatePlatformDesktop(reg)->SetDeskWallpaper(text)));
    };
    const auto exits = [](DesktopResult r) { return testing::ExitedWithCode(static_cast<int>(r)); };
    const std::string path = store.root() + "/my pic.bmp";
    WriteBmp24(path, 1, 1, {0});
    EXPECT_EXIT(call("GNOME", path), exits(DesktopResult::Done), "");
    EXPECT_EXIT(call("GNOME", kNoWallpaper), exits(DesktopResult::Done), "");
    const std::string keyfile = ReadWholeFile(store.root() + "/glib-2.0/settings/keyfile");
    EXPECT_NE(keyfile.find("picture-uri='" + FileUri(path) + "'"), std::string::npos) << keyfile;
    EXPECT_NE(keyfile.find("picture-options='none'"), std::string::npos) << keyfile;
    for (const char* current : {"X-Cinnamon", "CINNAMON", "MATE"}) // their schemas are absent
        EXPECT_EXIT(call(current, path), exits(DesktopResult::NoDesktop), "");
    EXPECT_EQ(FileUri("/home/ann/a b%c/ü#?.bmp"), "file:///home/ann/a%20b%25c/%C3%BC%23%3F.bmp");
}

} // namespace
