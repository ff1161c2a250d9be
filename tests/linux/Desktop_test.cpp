#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

#include "engine/Desktop.h"
#include "engine/DesktopBackends.h"
#include "support/TestSupport.h"
#include "support/Xvfb.h"

using namespace velum;
using namespace velum::test;

namespace {

// A picture whose pixels differ from their neighbours.
Picture Pattern(int w, int h) {
    Picture p{w, h, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.pixels.push_back((static_cast<std::uint32_t>(x * 7 + y * 131) * 2654435761u) >> 8);
    return p;
}

// A 24-bit bottom-up Windows bitmap of `p`.
std::string Bmp(const Picture& p) {
    const int stride = (p.width * 3 + 3) & ~3;
    auto le = [](std::string& s, std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            s += static_cast<char>(v >> (8 * i));
    };
    std::string s = "BM";
    le(s, 54 + stride * p.height, 4), le(s, 0, 4), le(s, 54, 4), le(s, 40, 4);
    le(s, p.width, 4), le(s, p.height, 4), le(s, 1, 2), le(s, 24, 2);
    s.append(24, '\0');
    for (int y = p.height - 1; y >= 0; --y) {
        for (int x = 0; x < p.width; ++x)
            le(s, p.at(x, y), 3);
        s.append(stride - p.width * 3, '\0');
    }
    return s;
}

// Sets or removes an environment variable until the end of the scope.
struct ScopedEnv {
    ScopedEnv(const char* n, const std::optional<std::string>& value) : name(n) {
        if (const char* was = std::getenv(n))
            old = was;
        value ? setenv(n, value->c_str(), 1) : unsetenv(n);
    }
    ~ScopedEnv() { old ? setenv(name, old->c_str(), 1) : unsetenv(name); }
    const char* name;
    std::optional<std::string> old;
};

const char kDesktopKey[] = "Control Panel\\desktop";

class DesktopX11 : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { server_ = new Xvfb(320, 240); }
    static void TearDownTestSuite() { delete server_; }
    void SetUp() override { ASSERT_NE(server_, nullptr); }

    std::string Write(const std::string& name, const std::string& bytes) {
        WriteWholeFile(store_.root() + "/" + name, bytes);
        return store_.root() + "/" + name;
    }
    void Style(const char* tile, const char* colour) {
        reg_.Put(kDesktopKey, "TileWallpaper", REG_SZ, std::string(tile) + '\0');
        reg_.Put("Control Panel\\Colors", "Background", REG_SZ, std::string(colour) + '\0');
    }
    // The published pixmap, checked to be named by both properties and to cover the screen.
    unsigned long Published() {
        const unsigned long p = RootPixmapProperty(display(), "_XROOTPMAP_ID");
        EXPECT_EQ(p, RootPixmapProperty(display(), "ESETROOT_PMAP_ID"));
        EXPECT_EQ(DrawableSize(display(), p), std::pair(320, 240));
        return p;
    }
    Picture Root() { return ReadRootPixels(display()).value(); }
    static const std::string& display() { return server_->display(); }

    static inline Xvfb* server_ = nullptr;
    TempStore store_;
    MemoryRegistry reg_;
    std::unique_ptr<Desktop> desktop_ = CreatePlatformDesktop(reg_);
    ScopedEnv display_{"DISPLAY", server_ ? server_->display() : ":none"};
    ScopedEnv wayland_{"WAYLAND_DISPLAY", std::nullopt};
    ScopedEnv current_{"XDG_CURRENT_DESKTOP", std::nullopt};
};

TEST_F(DesktopX11, PicturesAreCentredTiledOrCutOnTheDesktopColour) {
    const Picture pic = Pattern(7, 5);
    const std::string path = Write("small.bmp", Bmp(pic));
    Style("0", "10 20 30");
    ASSERT_EQ(desktop_->SetDeskWallpaper(path), DesktopResult::Done);
    EXPECT_EQ(reg_.Raw(kDesktopKey, "Wallpaper"), path + '\0');
    Picture root = Root();
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const bool inside = x >= 156 && x < 163 && y >= 117 && y < 122;
            ASSERT_EQ(root.at(x, y), inside ? pic.at(x - 156, y - 117) : 0x0A141Eu)
                << x << "," << y;
        }
    const unsigned long centred = Published();

    Style("1", "10 20 30");
    ASSERT_EQ(desktop_->SetDeskWallpaper(path), DesktopResult::Done);
    root = Root();
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(root.at(x, y), pic.at(x % 7, y % 5)) << x << "," << y;
    EXPECT_NE(Published(), centred);
    EXPECT_EQ(DrawableSize(display(), centred), std::nullopt) << "the previous pixmap is freed";

    const Picture big = Pattern(400, 300); // cut evenly on all sides
    Style("0", "1 2 3");
    ASSERT_EQ(desktop_->SetDeskWallpaper(Write("big.bmp", Bmp(big))), DesktopResult::Done);
    root = Root();
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(root.at(x, y), big.at(x + 40, y + 30)) << x << "," << y;
}

TEST_F(DesktopX11, NoneLeavesTheColourAndAnUnreadableColourIsBlack) {
    Style("0", "255 128 0");
    ASSERT_EQ(desktop_->SetDeskWallpaper(Write("a.bmp", Bmp(Pattern(9, 9)))), DesktopResult::Done);
    const unsigned long before = Published();
    ASSERT_EQ(desktop_->SetDeskWallpaper(kNoWallpaper), DesktopResult::Done);
    EXPECT_EQ(reg_.Raw(kDesktopKey, "Wallpaper"), std::string(1, '\0'));
    for (std::uint32_t p : Root().pixels)
        ASSERT_EQ(p, 0xFF8000u);
    EXPECT_EQ(DrawableSize(display(), before), std::nullopt);
    Published();
    for (const char* colour : {"", "red", "1 2", "1 2 256", "1 2 3 4"}) {
        Style("0", colour);
        ASSERT_EQ(desktop_->SetDeskWallpaper(kNoWallpaper), DesktopResult::Done);
        EXPECT_EQ(Root().pixels, std::vector<std::uint32_t>(320 * 240, 0)) << colour;
    }
}

TEST_F(DesktopX11, OnlyTheSecondCallOfAPairIsSpared) {
    const std::string path = Write("a.bmp", Bmp(Pattern(5, 5)));
    ASSERT_EQ(desktop_->SetDeskWallpaper(path), DesktopResult::Done);
    const unsigned long first = Published();
    ASSERT_EQ(desktop_->SetDeskWallpaper(path), DesktopResult::Done);
    EXPECT_EQ(Published(), first);
    ASSERT_EQ(desktop_->SetDeskWallpaper(path), DesktopResult::Done);
    const unsigned long third = Published();
    EXPECT_NE(third, first);
    Style("0", "0 0 1"); // another colour is another request
    ASSERT_EQ(desktop_->SetDeskWallpaper(path), DesktopResult::Done);
    EXPECT_NE(Published(), third);
}

TEST_F(DesktopX11, APixmapOfALiveClientIsNotKilled) {
    Display* dpy = XOpenDisplay(display().c_str());
    ASSERT_NE(dpy, nullptr);
    const Window root = DefaultRootWindow(dpy);
    const Pixmap mine = XCreatePixmap(dpy, root, 4, 4, 24);
    XChangeProperty(dpy, root, XInternAtom(dpy, "_XROOTPMAP_ID", False), XA_PIXMAP, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&mine), 1);
    XDeleteProperty(dpy, root, XInternAtom(dpy, "ESETROOT_PMAP_ID", False));
    XSync(dpy, False);
    ASSERT_EQ(desktop_->SetDeskWallpaper(kNoWallpaper), DesktopResult::Done);
    EXPECT_NE(DrawableSize(display(), mine), std::nullopt);
    EXPECT_NE(Published(), mine);
    XCloseDisplay(dpy);
}

TEST_F(DesktopX11, ABadPictureLeavesTheDesktopAsItWas) {
    Style("1", "0 0 0");
    ASSERT_EQ(desktop_->SetDeskWallpaper(Write("a.bmp", Bmp(Pattern(3, 4)))), DesktopResult::Done);
    const Picture before = Root();
    const unsigned long published = Published();
    const std::string whole = Bmp(Pattern(64, 64));
    for (const std::string& bytes : {std::string(5000, 'x'), whole.substr(0, whole.size() / 2)}) {
        const std::string path = Write("bad.bmp", bytes);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(desktop_->SetDeskWallpaper(path), DesktopResult::BadPicture);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(reg_.Raw(kDesktopKey, "Wallpaper"), path + '\0');
        EXPECT_EQ(Root().pixels, before.pixels);
        EXPECT_EQ(Published(), published);
    }
}

TEST_F(DesktopX11, NoDesktopStillStoresTheText) {
    const std::string path = Write("a.bmp", Bmp(Pattern(3, 3)));
    ASSERT_EQ(desktop_->SetDeskWallpaper(kNoWallpaper), DesktopResult::Done);
    const unsigned long published = Published();
    struct Case {
        std::optional<std::string> display, wayland, current;
    };
    for (const Case& c : {Case{std::nullopt, std::nullopt, std::nullopt},
                          Case{server_->display(), "wayland-0", std::nullopt},
                          Case{server_->display(), std::nullopt, "kde"},
                          Case{server_->display(), "wayland-0", "XFCE:GNOME"}}) {
        ScopedEnv d("DISPLAY", c.display), w("WAYLAND_DISPLAY", c.wayland),
            x("XDG_CURRENT_DESKTOP", c.current);
        reg_.Put(kDesktopKey, "Wallpaper", REG_SZ, std::string(1, '\0'));
        EXPECT_EQ(desktop_->SetDeskWallpaper(path), DesktopResult::NoDesktop);
        EXPECT_EQ(reg_.Raw(kDesktopKey, "Wallpaper"), path + '\0');
        EXPECT_EQ(Published(), published) << "the root window is left alone";
    }
}

// Runs one call in a child, where GIO starts afresh on the keyfile backend; its result or -1.
int CallInChild(MemoryRegistry& reg, const char* current, const std::string& text) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("GSETTINGS_BACKEND", "keyfile", 1);
        setenv("XDG_CURRENT_DESKTOP", current, 1);
        _exit(static_cast<int>(CreatePlatformDesktop(reg)->SetDeskWallpaper(text)));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The stored text of a key in the keyfile backend's file.
std::string KeyfileValue(const TempStore& store, const std::string& key) {
    std::istringstream file(ReadWholeFile(store.root() + "/glib-2.0/settings/keyfile"));
    for (std::string line; std::getline(file, line);)
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    return "(absent)";
}

TEST(DesktopGSettings, GnomeKeysFollowTheStyleAndAMissingSchemaIsNoDesktop) {
    TempStore store;
    MemoryRegistry reg;
    const std::string path = store.root() + "/my pic.bmp";
    WriteWholeFile(path, Bmp(Pattern(3, 3)));
    reg.Put(kDesktopKey, "TileWallpaper", REG_SZ, std::string("0\0", 2));
    reg.Put("Control Panel\\Colors", "Background", REG_SZ, std::string("1 2 255\0", 8));
    ASSERT_EQ(CallInChild(reg, "ubuntu:GNOME", path), static_cast<int>(DesktopResult::Done));
    const std::string uri = "'file://" + store.root() + "/my%20pic.bmp'";
    EXPECT_EQ(KeyfileValue(store, "picture-uri"), uri);
    EXPECT_EQ(KeyfileValue(store, "picture-uri-dark"), uri);
    EXPECT_EQ(KeyfileValue(store, "picture-options"), "'centered'");
    EXPECT_EQ(KeyfileValue(store, "primary-color"), "'#0102ff'");

    reg.Put(kDesktopKey, "TileWallpaper", REG_SZ, std::string("1\0", 2));
    ASSERT_EQ(CallInChild(reg, "Budgie:GNOME", path), static_cast<int>(DesktopResult::Done));
    EXPECT_EQ(KeyfileValue(store, "picture-options"), "'wallpaper'");
    ASSERT_EQ(CallInChild(reg, "gnome", kNoWallpaper), static_cast<int>(DesktopResult::Done));
    EXPECT_EQ(KeyfileValue(store, "picture-options"), "'none'");
    EXPECT_EQ(KeyfileValue(store, "picture-uri"), uri);

    // Cinnamon's and MATE's schemas are not installed here.
    for (const char* current : {"X-Cinnamon", "CINNAMON", "MATE"})
        EXPECT_EQ(CallInChild(reg, current, path), static_cast<int>(DesktopResult::NoDesktop));

    WriteWholeFile(path, "BM garbage");
    EXPECT_EQ(CallInChild(reg, "GNOME", path), static_cast<int>(DesktopResult::BadPicture));
    EXPECT_EQ(KeyfileValue(store, "picture-options"), "'none'");
}

TEST(DesktopGSettings, FileUriEncodesAllButPlainCharacters) {
    EXPECT_EQ(FileUri("/home/ann/a b%c/ü#?.bmp"), "file:///home/ann/a%20b%25c/%C3%BC%23%3F.bmp");
}

} // namespace
