// KDE and Xfce on a bus of the test's own; the calls run in children, so GIO here holds no bus.
#include <gtest/gtest.h>

#include <gio/gio.h>

#include <cstdio>
#include <memory>

#include "engine/DesktopBackends.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;
using std::string_literals::operator""s;

namespace {

std::string Output(const std::string& command) { // "(failed)" when the command fails
    char out[4096];
    FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
    const std::size_t size = fread(out, 1, sizeof out, p);
    return pclose(p) == 0 ? std::string(out, size) : "(failed)";
}
std::string g_pids; // what each Start left running, ended with the test
const auto Start = [](std::string c) { g_pids += " " + std::to_string(std::stoi(Output(c))); };

[[noreturn]] void Call(const char* session, const std::string& text, bool tiled = false,
                       const std::string& style = "0") {
    GDBusConnection* bus = OpenSessionBus().release();
    const auto answer = [](GDBusConnection* c, GDBusMessage* m, int, void*) -> GDBusMessage* {
        if (g_strcmp0(g_dbus_message_get_member(m), "evaluateScript"))
            return m;
        GVariant* script = g_variant_get_child_value(g_dbus_message_get_body(m), 0);
        WriteWholeFile(GetWinDir() + "s.js", g_variant_get_string(script, nullptr));
        g_dbus_connection_send_message(c, g_dbus_message_new_method_reply(m), {}, {}, {});
        return nullptr;
    };
    g_dbus_connection_add_filter(bus, answer, nullptr, nullptr);
    g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/", "org.freedesktop.DBus",
                                "RequestName", g_variant_new("(su)", "org.kde.plasmashell", 0u), {},
                                {}, -1, {}, {});
    setenv("XDG_CURRENT_DESKTOP", session, 1);
    MemoryRegistry reg;
    reg.Put("Control Panel\\desktop", "TileWallpaper", reg::kSz, tiled ? "1\0"s : "0\0"s);
    reg.Put("Control Panel\\desktop", "WallpaperStyle", reg::kSz, style + '\0');
    reg.Put("Control Panel\\Colors", "Background", reg::kSz, "255 128 0\0"s);
    _exit(static_cast<int>(CreatePlatformDesktop(reg)->SetDeskWallpaper(text)));
}
const testing::ExitedWithCode kDone{static_cast<int>(DesktopResult::Done)};

TEST(DesktopBus, KdeGetsItsScriptAndXfceItsPropertiesOnEveryGroup) {
    const TempStore store;            // also the scripts' folder and xfconfd's XDG_CONFIG_HOME
    const std::shared_ptr<void> stop( // and no later test reaches the user's bus
        nullptr, [](void*) { Output("kill" + g_pids), unsetenv("DBUS_SESSION_BUS_ADDRESS"); });
    const std::string bus = store.root() + "/bus"; // without activation: only what starts answers
    WriteWholeFile(bus + ".conf", "<busconfig><policy context='default'><allow own='*'/>"
                                  "<allow send_destination='*'/><allow receive_sender='*'/>"
                                  "</policy><listen>unix:path=" +
                                      bus + "</listen></busconfig>");
    Start("dbus-daemon --fork --print-pid --config-file=" + bus + ".conf");
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + bus).c_str(), 1);

    const std::string path = store.root() + "/a'b\"c\\d\ne f%ü#?.bmp";
    WriteBmp24(path, 2, 1, {0xFF, 0xFF00});
    const std::string uri = "file://" + store.root() + "/a%27b%22c%5Cd%0Ae%20f%25%C3%BC%23%3F.bmp";
    // Centred, tiled, then Fill (whatever the tiling flag says), Fit, Stretch and none.
    struct Kde {
        const char* style;
        bool tiled;
        int fillMode;
    };
    for (const Kde k : {Kde{"0", false, 6},
                        {"0", true, 3},
                        {"10", true, 2},
                        {"6", false, 1},
                        {"2", false, 0},
                        {"0", false, -1}}) {
        const bool shown = k.fillMode >= 0;
        ASSERT_EXIT(Call("X-Test:KDE", shown ? path : kNoWallpaper, k.tiled, k.style), kDone, "");
        const std::string js = ReadWholeFile(store.file("s.js")),
                          plugin = shown ? "image" : "color";
        for (const std::string& part :
             {"wallpaperPlugin = \"org.kde." + plugin + "\";",
              "writeConfig(\"Color\", \"#ff8000\");"s,
              shown ? "(\"Image\", \"" + uri + "\");" : ""s,
              shown ? "(\"FillMode\", " + std::to_string(k.fillMode) + ");" : ""s})
            EXPECT_NE(js.find(part), std::string::npos) << part << "\n" << js;
    }

    const auto Ask = [](std::string a) { return Output("xfconf-query -c xfce4-desktop -p " + a); };
    const auto Shown = [&](auto g) { return Ask(g + "last-image") + Ask(g + "image-style"); };
    Start("/usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd >/dev/null 2>&1 & echo $!; "
          "gdbus wait -e -t 5 org.xfce.Xfconf"); // throws when it does not come
    const std::string first = "/backdrop/screen0/monitor0/workspace0/",
                      other = "/backdrop/screen1/monitorHDMI-1/workspace3/";
    ASSERT_EXIT(Call("XFCE", path), kDone, ""); // an empty channel: the first group is made
    EXPECT_EQ(Shown(first), path + "\n1\n");
    Ask(other + "last-image -n -t string -s /old.bmp"); // another screen, monitor and workspace
    ASSERT_EXIT(Call("XFCE", path, true), kDone, "");
    EXPECT_EQ(Shown(other), path + "\n2\n") << "every group";
    for (const auto& [style, xfce] : {std::pair{"10", "5"}, {"6", "4"}, {"2", "3"}}) {
        ASSERT_EXIT(Call("XFCE", path, false, style), kDone, "");
        EXPECT_EQ(Shown(first), path + "\n" + xfce + "\n") << "zoomed, scaled, stretched";
    }
    ASSERT_EXIT(Call("XFCE", kNoWallpaper), kDone, "");
    EXPECT_EQ(Shown(first), path + "\n0\n") << "none keeps the picture";
}

} // namespace
