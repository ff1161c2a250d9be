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

template <class F> bool WaitFor(F ready) { // up to five seconds
    for (int i = 0; i < 250 && !ready(); ++i)
        usleep(20000);
    return ready();
}

std::string Output(const std::string& command) { // "(failed)" when the command fails
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
        const std::string config = store_.root() + "/bus.conf", bus = store_.root() + "/bus";
        WriteWholeFile(config, "<busconfig><listen>unix:path=" + bus +
                                   "</listen><policy context='default'><allow own='*'/><allow "
                                   "send_destination='*'/><allow receive_sender='*'/></policy>"
                                   "</busconfig>");
        Spawn("dbus-daemon", "--nofork", ("--config-file=" + config).c_str());
        ASSERT_TRUE(WaitFor([&] { return access(bus.c_str(), F_OK) == 0; }));
        setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + bus).c_str(), 1);
    }
    void TearDown() override { // the bus last
        for (auto pid = children_.rbegin(); pid != children_.rend(); ++pid)
            kill(*pid, SIGTERM), waitpid(*pid, nullptr, 0);
        unsetenv("DBUS_SESSION_BUS_ADDRESS"); // no later test may reach the user's desktop either
    }
    // Runs `program`, or with none the rest of the caller, in a child that ends with the test.
    template <class... Args> pid_t Spawn(const char* program = nullptr, Args... args) {
        const pid_t pid = fork();
        if (pid == 0 && program)
            execlp(program, program, args..., static_cast<char*>(nullptr)), _exit(127);
        if (pid != 0)
            children_.push_back(pid);
        return pid;
    }

    // The desktop call of `session` in a child, with tiling and an orange desktop colour.
    static DesktopResult Call(const char* session, const std::string& text, bool tiled) {
        if (const pid_t pid = fork(); pid != 0) {
            int status = 0;
            waitpid(pid, &status, 0);
            return static_cast<DesktopResult>(WIFEXITED(status) ? WEXITSTATUS(status) : 99);
        }
        setenv("XDG_CURRENT_DESKTOP", session, 1);
        MemoryRegistry reg;
        reg.Put("Control Panel\\desktop", "TileWallpaper", REG_SZ, tiled ? "1\0"s : "0\0"s);
        reg.Put("Control Panel\\Colors", "Background", REG_SZ, "255 128 0\0"s);
        _exit(static_cast<int>(CreatePlatformDesktop(reg)->SetDeskWallpaper(text)));
    }

    std::string Bitmap(const std::string& name) {
        WriteBmp24(store_.root() + "/" + name, 2, 1, {0xFF, 0xFF00});
        return store_.root() + "/" + name;
    }

    // A stand-in for the Plasma shell that records each script; it ends with the test's bus.
    void StartShell() {
        g_record = store_.root() + "/script.js";
        if (Spawn() == 0) {
            GDBusConnection* bus = OpenSessionBus().release();
            GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(
                "<node><interface name='org.kde.PlasmaShell'><method name='evaluateScript'>"
                "<arg type='s'/></method></interface></node>",
                nullptr);
            const GDBusInterfaceVTable vtable{EvaluateScript, nullptr, nullptr, {}};
            g_dbus_connection_register_object(bus, "/PlasmaShell", node->interfaces[0], &vtable,
                                              nullptr, nullptr, nullptr);
            g_dbus_connection_set_exit_on_close(bus, TRUE);
            g_bus_own_name_on_connection(bus, "org.kde.plasmashell", G_BUS_NAME_OWNER_FLAGS_NONE,
                                         nullptr, nullptr, nullptr, nullptr);
            g_main_loop_run(g_main_loop_new(nullptr, FALSE));
        }
        ASSERT_TRUE(WaitFor([] {
            return Output("gdbus call -e -d org.freedesktop.DBus -o / -m org.freedesktop.DBus."
                          "NameHasOwner org.kde.plasmashell") == "(true,)\n";
        }));
    }

    static std::string Xfconf(const std::string& args) {
        return Output("xfconf-query -c xfce4-desktop " + args);
    }
    // The group's image and style, one a line.
    static std::string Shown(const std::string& group) {
        return Xfconf("-p " + group + "last-image") + Xfconf("-p " + group + "image-style");
    }

    TempStore store_;
    std::vector<pid_t> children_;
};

TEST_F(DesktopBus, KdeGetsAScriptAndXfceItsPropertiesAndNoAnswerIsNoDesktop) {
    const std::string path = Bitmap("a'b\"c\\d\ne.bmp");
    EXPECT_EQ(Call("KDE", path, false), DesktopResult::NoDesktop) << "no shell on the bus";
    StartShell();
    for (int mode : {6, 3, 0}) { // centred, tiled, none
        ASSERT_EQ(Call("X-Test:KDE", mode ? path : kNoWallpaper, mode == 3), DesktopResult::Done);
        const std::string script = ReadWholeFile(g_record),
                          plugin = mode ? "\"org.kde.image\"" : "\"org.kde.color\"";
        for (const std::string& part :
             {"desktops()"s, "wallpaperPlugin = " + plugin + ";",
              "[\"Wallpaper\", " + plugin + ", \"General\"]",
              "writeConfig(\"Color\", \"#ff8000\");"s,
              mode ? "(\"Image\", \"file://" + store_.root() + "/a%27b%22c%5Cd%0Ae.bmp\");" : ""s,
              mode ? "(\"FillMode\", " + std::to_string(mode) + ");" : ""s})
            EXPECT_NE(script.find(part), std::string::npos) << part << "\n" << script;
        EXPECT_EQ(script.find("Image") != std::string::npos, mode != 0) << script;
    }

    // Xfce: every workspace group, else the first made; none keeps the path.
    const std::string other = Bitmap("other.bmp");
    EXPECT_EQ(Call("XFCE", path, false), DesktopResult::NoDesktop) << "no xfconfd on the bus";
    Spawn("env", ("XDG_CONFIG_HOME=" + store_.root()).c_str(),
          "/usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd");
    ASSERT_TRUE(WaitFor([] { return Output("xfconf-query -l") != "(failed)"; }));
    const std::string first = "/backdrop/screen0/monitor0/workspace0/";
    for (bool tiled : {false, true}) { // an empty channel
        ASSERT_EQ(Call("XFCE", path, tiled), DesktopResult::Done);
        EXPECT_EQ(Shown(first), path + (tiled ? "\n2\n" : "\n1\n"));
    }
    Xfconf("-r -R -p /backdrop");
    const std::string vga = "/backdrop/screen0/monitorVGA-1/workspace0/",
                      hdmi = "/backdrop/screen1/monitorHDMI-1/workspace3/";
    Xfconf("-n -t string -s /old.bmp -p " + vga + "last-image");
    Xfconf("-n -t string -s /old.bmp -p /backdrop/screen0/monitor1/image-path"); // not a group
    ASSERT_EQ(Call("XFCE", path, false), DesktopResult::Done);
    EXPECT_EQ(Shown(vga), path + "\n1\n");
    EXPECT_EQ(Shown(first), "(failed)(failed)") << "a group exists, none is made up";
    EXPECT_EQ(Xfconf("-p /backdrop/screen0/monitor1/image-style"), "(failed)");

    Xfconf("-n -t int -s 5 -p " + hdmi + "image-style");
    for (const std::string& text : {other, std::string(kNoWallpaper)}) {
        ASSERT_EQ(Call("XFCE", text, true), DesktopResult::Done);
        for (const std::string& group : {vga, hdmi})
            EXPECT_EQ(Shown(group), other + (text == other ? "\n2\n" : "\n0\n")) << group << text;
    }
}

TEST(DesktopBusScript, LiteralsEscapeEverythingThatEndsOrBreaksThem) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\"b'c\\d", R"("a\"b\'c\\d")"},
        {"1\n2\r3\t4\x7f", R"("1\n2\r3\x094\x7f")"},
        {"x\u2028y\u2029z\u2027", "\"x\\u2028y\\u2029z\u2027\""},
        {"</script><", R"("<\/script><")"}};
    for (const auto& [text, literal] : cases)
        EXPECT_EQ(JsStringLiteral(text), literal) << text;
}

} // namespace
