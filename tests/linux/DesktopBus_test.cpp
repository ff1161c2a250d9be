// KDE and Xfce on a bus of the test's own; the calls run in children, so GIO here holds no bus.
#include <gtest/gtest.h>

#include <gio/gio.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <sys/wait.h>
#include <unistd.h>

#include "engine/Desktop.h"
#include "engine/DesktopBackends.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;
using std::string_literals::operator""s;

namespace {

template <class... Args> pid_t Spawn(const char* program, Args... args) {
    const pid_t pid = fork();
    if (pid == 0)
        execlp(program, program, args..., static_cast<char*>(nullptr)), _exit(127);
    return pid;
}

template <class F> bool WaitFor(F ready) { // up to five seconds
    for (int i = 0; i < 250 && !ready(); ++i)
        usleep(20000);
    return ready();
}

std::string Output(const std::string& command) {
    std::string out;
    FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
    for (char buf[256]; fgets(buf, sizeof buf, p);)
        out += buf;
    return pclose(p) == 0 ? out : "(failed)";
}

std::string g_record; // where the stand-in shell writes each script

void EvaluateScript(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                    GVariant* args, GDBusMethodInvocation* call, gpointer) {
    WriteWholeFile(g_record, g_variant_get_string(g_variant_get_child_value(args, 0), nullptr));
    g_dbus_method_invocation_return_value(call, nullptr);
}

// A bus without activation, so that only what a test starts answers on it.
class DesktopBus : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string config = store_.root() + "/bus.conf", arg = "--config-file=" + config;
        WriteWholeFile(config, "<busconfig><listen>unix:path=" + store_.root() +
                                   "/bus</listen><policy context='default'><allow own='*'/><allow "
                                   "send_destination='*'/><allow receive_sender='*'/></policy>"
                                   "</busconfig>");
        daemon_ = Spawn("dbus-daemon", "--nofork", arg.c_str());
        ASSERT_TRUE(WaitFor([&] { return access((store_.root() + "/bus").c_str(), F_OK) == 0; }));
        setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + store_.root() + "/bus").c_str(), 1);
    }
    void TearDown() override {
        for (pid_t pid : {shell_, xfconfd_, daemon_})
            if (pid > 0)
                kill(pid, SIGTERM), waitpid(pid, nullptr, 0);
        unsetenv("DBUS_SESSION_BUS_ADDRESS"); // no later test may reach the user's desktop either
    }

    // The desktop call of `session` in a child, with tiling and an orange desktop colour.
    static DesktopResult Call(const char* session, const std::string& text, bool tiled) {
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("XDG_CURRENT_DESKTOP", session, 1);
            MemoryRegistry reg;
            reg.Put("Control Panel\\desktop", "TileWallpaper", REG_SZ, tiled ? "1\0"s : "0\0"s);
            reg.Put("Control Panel\\Colors", "Background", REG_SZ, "255 128 0\0"s);
            _exit(static_cast<int>(CreatePlatformDesktop(reg)->SetDeskWallpaper(text)));
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return static_cast<DesktopResult>(WIFEXITED(status) ? WEXITSTATUS(status) : 99);
    }
    std::string Bitmap(const std::string& name) {
        WriteBmp24(store_.root() + "/" + name, 2, 1, {0xFF, 0xFF00});
        return store_.root() + "/" + name;
    }

    // A stand-in for the Plasma shell that records each script.
    void StartShell() {
        g_record = store_.root() + "/script.js";
        if ((shell_ = fork()) == 0) {
            GDBusConnection* bus = OpenSessionBus().release();
            GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(
                "<node><interface name='org.kde.PlasmaShell'><method name='evaluateScript'>"
                "<arg type='s'/></method></interface></node>",
                nullptr);
            const GDBusInterfaceVTable vtable{EvaluateScript, nullptr, nullptr, {}};
            g_dbus_connection_register_object(bus, "/PlasmaShell", node->interfaces[0], &vtable,
                                              nullptr, nullptr, nullptr);
            g_dbus_connection_set_exit_on_close(bus, TRUE); // ends with the test's bus
            g_bus_own_name_on_connection(
                bus, "org.kde.plasmashell", G_BUS_NAME_OWNER_FLAGS_NONE,
                [](GDBusConnection*, const gchar*, gpointer) { WriteWholeFile(g_record, "ready"); },
                nullptr, nullptr, nullptr);
            g_main_loop_run(g_main_loop_new(nullptr, FALSE));
        }
        ASSERT_TRUE(WaitFor([] { return ReadWholeFile(g_record) == "ready"; }));
    }

    void StartXfconfd() {
        const std::string config = "XDG_CONFIG_HOME=" + store_.root();
        xfconfd_ = Spawn("env", config.c_str(), "/usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd");
        ASSERT_TRUE(WaitFor([] { return Output("xfconf-query -l") != "(failed)"; }));
    }
    static std::string Xfconf(const std::string& args) {
        return Output("xfconf-query -c xfce4-desktop " + args);
    }
    // The group's image and style, one a line.
    static std::string Shown(const std::string& group) {
        return Xfconf("-p " + group + "last-image") + Xfconf("-p " + group + "image-style");
    }

    TempStore store_;
    pid_t daemon_ = -1, shell_ = -1, xfconfd_ = -1;
};

TEST_F(DesktopBus, KdeScriptNamesTheUriTheModeAndTheColourAndNoAnswerIsNoDesktop) {
    const std::string path = Bitmap("a'b\"c\\d\ne.bmp");
    EXPECT_EQ(Call("KDE", path, false), DesktopResult::NoDesktop) << "no shell on the bus";
    StartShell();
    const std::string image =
        "(\"Image\", \"file://" + store_.root() + "/a%27b%22c%5Cd%0Ae.bmp\");";
    for (int mode : {6, 3, 0}) { // centred, tiled, none
        ASSERT_EQ(Call("X-Test:KDE", mode ? path : kNoWallpaper, mode == 3), DesktopResult::Done);
        const std::string script = ReadWholeFile(g_record),
                          plugin = mode ? "\"org.kde.image\"" : "\"org.kde.color\"";
        std::vector<std::string> parts = {"desktops()", "wallpaperPlugin = " + plugin + ";",
                                          "[\"Wallpaper\", " + plugin + ", \"General\"]",
                                          "writeConfig(\"Color\", \"#ff8000\");"};
        if (mode)
            parts.insert(parts.end(), {image, "(\"FillMode\", " + std::to_string(mode) + ");"});
        for (const std::string& part : parts)
            EXPECT_NE(script.find(part), std::string::npos) << part << "\n" << script;
        EXPECT_EQ(script.find("Image") != std::string::npos, mode != 0) << script;
    }
}

TEST(DesktopBusScript, LiteralsEscapeEverythingThatEndsOrBreaksThem) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\"b'c\\d", R"("a\"b\'c\\d")"},
        {"1\n2\r3\t4\x7f", R"("1\n2\r3\x094\x7f")"},
        {"x\u2028y\u2029z\u2027", "\"x\\u2028y\\u2029z\u2027\""},
        {"</script><", R"("<\/script><")"},
    };
    for (const auto& [text, literal] : cases)
        EXPECT_EQ(JsStringLiteral(text), literal) << text;
}

TEST_F(DesktopBus, XfceSetsEveryWorkspaceGroupOrMakesTheFirstAndNoneKeepsThePath) {
    const std::string path = Bitmap("my pic.bmp"), other = Bitmap("other.bmp");
    EXPECT_EQ(Call("XFCE", path, false), DesktopResult::NoDesktop) << "no xfconfd on the bus";
    StartXfconfd();
    const std::string first = "/backdrop/screen0/monitor0/workspace0/";
    for (bool tiled : {false, true}) { // an empty channel
        ASSERT_EQ(Call("XFCE", path, tiled), DesktopResult::Done);
        EXPECT_EQ(Shown(first), path + (tiled ? "\n2\n" : "\n1\n"));
    }
    Xfconf("-r -R -p /backdrop");
    const std::string vga = "/backdrop/screen0/monitorVGA-1/workspace0/";
    const std::string hdmi = "/backdrop/screen1/monitorHDMI-1/workspace3/";
    Xfconf("-n -t string -s /old.bmp -p " + vga + "last-image");
    Xfconf("-n -t string -s /old.bmp -p /backdrop/screen0/monitor1/image-path"); // not a group
    ASSERT_EQ(Call("XFCE", path, false), DesktopResult::Done);
    EXPECT_EQ(Shown(vga), path + "\n1\n");
    EXPECT_EQ(Xfconf("-p " + vga + "rgba1"),
              "Value is an array with 4 items:\n\n1.000000\n0.501961\n0.000000\n1.000000\n");
    EXPECT_EQ(Shown(first), "(failed)(failed)") << "a group exists, none is made up";
    EXPECT_EQ(Xfconf("-p /backdrop/screen0/monitor1/image-style"), "(failed)");

    Xfconf("-n -t int -s 5 -p " + hdmi + "image-style");
    for (const std::string& text : {other, std::string(kNoWallpaper)}) {
        ASSERT_EQ(Call("XFCE", text, true), DesktopResult::Done);
        for (const std::string& group : {vga, hdmi})
            EXPECT_EQ(Shown(group), other + (text == other ? "\n2\n" : "\n0\n")) << group << text;
    }
}

} // namespace
