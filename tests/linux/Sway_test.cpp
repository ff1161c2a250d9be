// sway's IPC: answers a real sway does not give from a socket server of the test's own, then a
// real headless sway with swaybg, screenshotted with grim. sway refuses root, so it runs as nobody.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "engine/DesktopBackends.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;

namespace {

int Bound(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        listen(fd, 1); // and once closed, nobody listens
    return fd;
}

void Own(const std::string& path) {
    [[maybe_unused]] int rc = std::system(("chown -R 65534:65534 \"" + path + "\"").c_str());
}

} // namespace

TEST(SwayIpc, ARefusalOrAnAnswerCutShortFails) {
    const TempStore store;
    const std::string socket = store.root() + "/sway.sock";
    setenv("SWAYSOCK", socket.c_str(), 1);
    // Replies as sway frames them: magic, length and type in this machine's byte order, payload.
    const std::pair<std::string, std::string> answers[] = {
        {std::string("i3-ipc\x27\0\0\0\0\0\0\0", 14) + R"([{"success":false,"error":"No \"bg\""}])",
         "sway: No \"bg\""},
        {std::string("i3-ipc\x17\0\0\0\0\0\0\0[ {", 17), "sway gave no answer"}};
    for (const auto& [answer, why] : answers) {
        const int listener = Bound(socket);
        const std::string& reply = answer; // a lambda cannot capture a structured binding
        std::thread server([&] {
            const int fd = accept(listener, nullptr, nullptr);
            char buffer[4096];
            [[maybe_unused]] ssize_t n =
                read(fd, buffer, 4096) + write(fd, reply.data(), reply.size());
            close(fd);
        });
        std::string failure;
        EXPECT_FALSE(SetSwayWallpaper({"", nullptr, false, 0}, failure));
        EXPECT_EQ(failure, why);
        server.join();
        close(listener);
        unlink(socket.c_str());
    }
    unsetenv("SWAYSOCK");
}

// velumspin as nobody in a headless sway, then a path with quotes; a dead socket ends it with 2.
TEST(SwayHeadless, VelumspinShowsCentredTiledAndNoneThroughSwaybg) {
    if (getuid() != 0 || std::system("command -v sway swaybg grim >/dev/null") != 0)
        GTEST_SKIP() << "needs root (to run sway as nobody), sway, swaybg and grim";
    const TempStore store;
    const std::string root = store.root(), dir = root + "/it's a folder", home = root + "/sway";
    const std::string socket = home + "/ipc.sock",
                      session = "setpriv --reuid=nobody --regid=nogroup --clear-groups env -i "
                                "PATH=/usr/bin:/bin HOME=" +
                                home + " XDG_RUNTIME_DIR=" + home + "/run ";
    WriteWholeFile(home + "/config", "output * mode 320x240\n");
    ASSERT_EQ(std::system(("chmod 755 " + root + " && mkdir -m 700 " + home + "/run && chown -R " +
                           "nobody:nogroup " + home)
                              .c_str()),
              0);
    // timeout passes the test's SIGTERM on to sway.
    ASSERT_EQ(std::system((session + "SWAYSOCK=" + socket +
                           " WLR_BACKENDS=headless WLR_RENDERER=pixman "
                           "WLR_LIBINPUT_NO_DEVICES=1 timeout 300 sway -c " +
                           home + "/config >" + home + "/log 2>&1 & echo $! >" + root + "/pid")
                              .c_str()),
              0);
    const std::shared_ptr<void> stop(
        nullptr, [&](void*) { kill(std::stoi(ReadWholeFile(root + "/pid")), SIGTERM); });
    std::string wayland;
    for (int i = 0; i < 200 && (!std::filesystem::exists(socket) || wayland.empty()); ++i)
        for (usleep(50000); const auto& entry : std::filesystem::directory_iterator(home + "/run"))
            if (const std::string name = entry.path().filename().string();
                name.rfind("wayland-", 0) == 0 && name.find('.') == std::string::npos)
                wayland = name;
    ASSERT_TRUE(std::filesystem::exists(socket)) << ReadWholeFile(home + "/log");
    const std::string nobody = session + "WAYLAND_DISPLAY=" + wayland + " ", e = root + "/e";

    constexpr int kW = 20, kH = 16; // centred at 150,112 on 320 by 240
    std::vector<std::uint32_t> pixels(kW * kH);
    std::generate(pixels.begin(), pixels.end(),
                  [i = 0u]() mutable { return i++ * 2654435761u >> 8; });
    WriteBmp24(dir + "/one.bmp", kW, kH, pixels);
    WriteWholeFile(root + "/velumor/user.reg",
                   "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\r\n"
                   "\"Current\"=\"Sky\"\r\n[HKEY_CURRENT_USER\\Control Panel\\Colors]\r\n"
                   "\"Background\"=\"10 20 30\"\r\n");
    auto spin = [&](const std::string& tile, const std::string& bitmap, const std::string& sock) {
        WriteWholeFile(root + "/velumor/velum.cfg",
                       CrlfJoin({R"("Bmp","Sky",")" + bitmap + "\"",
                                 R"("TileWallpaper","Sky",")" + tile + "\""}));
        Own(root + "/velumor");
        const int s =
            std::system((nobody + "XDG_CURRENT_DESKTOP=sway SWAYSOCK=" + sock +
                         " XDG_CONFIG_HOME=" + root + " " VELUM_BIN_DIR "/velumspin 2>" + e)
                            .c_str());
        return std::to_string(WIFEXITED(s) ? WEXITSTATUS(s) : -1) + " " + ReadWholeFile(e);
    };
    // Whether grim shows it as asked; swaybg draws a moment after sway answers.
    auto shows = [&](bool tiled, bool none) {
        std::string want = "P6\n320 240\n255\n";
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) {
                const int px = tiled ? x % kW : x - 150, py = tiled ? y % kH : y - 112;
                const bool in = !none && px >= 0 && px < kW && py >= 0 && py < kH;
                const std::uint32_t c = in ? pixels[py * kW + px] : 0x0A141Eu;
                want += {char(c >> 16), char(c >> 8), char(c)};
            }
        for (int i = 0; i < 100; ++i, usleep(50000))
            if (!std::system((nobody + "grim -t ppm " + home + "/shot.ppm").c_str()) &&
                ReadWholeFile(home + "/shot.ppm") == want)
                return true;
        return false;
    };
    for (int i = 0; i < 3; ++i) { // centred, tiled, none
        EXPECT_EQ(spin(i == 1 ? "1" : "0", i == 2 ? "(None)" : dir + "/one.bmp", socket), "0 ");
        EXPECT_TRUE(shows(i == 1, i == 2)) << i;
    }

    // A path no velum.cfg record can hold, through a call of the test's own.
    const std::string odd = dir + "/a \"quoted\" name, with $HOME;.bmp";
    WriteBmp24(odd, kW, kH, pixels);
    const auto bitmap = BitmapFile::Open(odd);
    setenv("SWAYSOCK", socket.c_str(), 1);
    std::string failure;
    EXPECT_TRUE(SetSwayWallpaper({odd, &*bitmap, false, 0x0A141E}, failure)) << failure;
    unsetenv("SWAYSOCK");
    EXPECT_TRUE(shows(false, false));

    close(Bound(home + "/dead.sock"));
    EXPECT_EQ(spin("0", dir + "/one.bmp", home + "/dead.sock").substr(0, 45),
              "2 velumspin: No desktop could be reached (can");
}
