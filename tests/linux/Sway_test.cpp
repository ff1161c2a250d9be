// sway's IPC: answers a real sway does not give from a socket server of the test's own, then a
// real headless sway with swaybg, screenshotted with grim. sway refuses root, so it runs as nobody.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <thread>

#include "engine/DesktopBackends.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;

namespace {

int Bound(const std::string& path) {
    sockaddr_un address{AF_UNIX, {}};
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        listen(fd, 1);
    return fd;
}

const auto Sh = [](const std::string& command) { return std::system(command.c_str()); };

// Why SetSwayWallpaper failed through the socket at `path`; "" when it did not.
std::string Failure(const std::string& path, const WallpaperRequest& request) {
    setenv("SWAYSOCK", path.c_str(), 1);
    std::string failure;
    const bool shown = SetSwayWallpaper(request, failure);
    unsetenv("SWAYSOCK");
    return shown ? "" : failure;
}

} // namespace

TEST(SwayIpc, ARefusalOrNobodyListeningFails) {
    const TempStore store;
    const std::string socket = store.root() + "/sway.sock";
    // A reply as sway frames it: magic, length and type in this machine's byte order, payload.
    const std::string reply =
        std::string("i3-ipc\x27\0\0\0\0\0\0\0", 14) + R"([{"success":false,"error":"No \"bg\""}])";
    const int listener = Bound(socket);
    std::thread server([&] {
        const int fd = accept(listener, nullptr, nullptr);
        char buffer[4096];
        [[maybe_unused]] ssize_t n = read(fd, buffer, 4096) + write(fd, reply.data(), reply.size());
        close(fd);
    });
    EXPECT_EQ(Failure(socket, {"", nullptr, WallpaperFit::Center, 0}), "sway: No \"bg\"");
    server.join();
    close(listener); // left bound, with nobody listening
    EXPECT_EQ(Failure(socket, {"", nullptr, WallpaperFit::Center, 0}),
              "cannot reach sway at " + socket + ": Connection refused");
}

TEST(SwayHeadless, VelumspinShowsEachStyleAndNoneThroughSwaybg) {
    if (getuid() != 0 || Sh("command -v sway swaybg grim >/dev/null") != 0)
        GTEST_SKIP() << "needs root (to run sway as nobody), sway, swaybg and grim";
    const TempStore store;
    const std::string home = store.root() + "/sway", dir = store.root() + "/it's a folder";
    const auto nobody = [&](const std::string& command) {
        return Sh("H=" + home + "; setpriv --reuid=nobody --regid=nogroup --clear-groups env -i " +
                  "PATH=/usr/bin:/bin HOME=$H XDG_RUNTIME_DIR=$H/run SWAYSOCK=$H/ipc.sock " +
                  "WAYLAND_DISPLAY=$(basename $H/run/wayland-?) XDG_CURRENT_DESKTOP=sway " +
                  "XDG_CONFIG_HOME=$H/.. " + command);
    };
    constexpr int kW = 20, kH = 16; // centred at 150,112 on 320 by 240
    std::vector<std::uint32_t> pixels;
    for (std::uint32_t i = 0; i < kW * kH; ++i)
        pixels.push_back(i * 2654435761u >> 8);
    WriteBmp24(dir + "/one.bmp", kW, kH, pixels);
    WriteWholeFile(store.file("user.reg"),
                   "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\n"
                   "\"Current\"=\"Sky\"\n[HKEY_CURRENT_USER\\Control Panel\\"
                   "Colors]\n\"Background\"=\"10 20 30\"\n");
    WriteWholeFile(home + "/config", "output * mode 320x240\n");
    ASSERT_EQ(0, Sh("mkdir -m 700 " + home + "/run && chown -R nobody:nogroup " + store.root()));
    // timeout passes the test's SIGTERM on to sway.
    ASSERT_EQ(0, nobody("WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 "
                        "timeout 300 sway -c $H/config >$H/log 2>&1 & echo $! >$H/pid"));
    const std::shared_ptr<void> stop(nullptr, [&](void*) { Sh("kill $(cat " + home + "/pid)"); });
    ASSERT_EQ(0, Sh("H=" + home + "; for i in $(seq 200); do [ -S $H/ipc.sock ] && exit; " +
                    "sleep 0.05; done; cat $H/log; exit 1"));

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
            if (!nobody("grim -t ppm $H/shot.ppm") && ReadWholeFile(home + "/shot.ppm") == want)
                return true;
        return false;
    };
    for (int i = 0; i < 3; ++i) { // centred, tiled, none
        WriteWholeFile(store.file("velum.cfg"),
                       CrlfJoin({R"("Bmp","Sky",")" + (i == 2 ? "(None)" : dir + "/one.bmp") + "\"",
                                 R"("TileWallpaper","Sky",")" + std::to_string(i == 1) + "\""}));
        EXPECT_EQ(0, nobody(VELUM_BIN_DIR "/velumspin"));
        EXPECT_TRUE(shows(i == 1, i == 2)) << i;
    }

    // Fill, Fit and Stretch of a wide picture whose left quarter is red and the rest blue: filled,
    // only blue shows; fitted, a band across the middle; stretched, red down the left quarter.
    std::vector<std::uint32_t> wide(40 * 10, 0x0000FF);
    for (int y = 0; y < 10; ++y)
        std::fill_n(wide.begin() + y * 40, 10, 0xFF0000u);
    WriteBmp24(dir + "/wide.bmp", 40, 10, wide);
    const auto pixel = [&](int x, int y) {
        const std::string ppm = ReadWholeFile(home + "/shot.ppm");
        const std::size_t at = ppm.size() - 3 * (320 * 240 - (y * 320 + x));
        return std::uint32_t(std::uint8_t(ppm[at])) << 16 |
               std::uint32_t(std::uint8_t(ppm[at + 1])) << 8 | std::uint8_t(ppm[at + 2]);
    };
    for (const auto& [style, left, top] : {std::tuple{"10", 0x0000FFu, 0x0000FFu},
                                           {"6", 0xFF0000u, 0x0A141Eu},
                                           {"2", 0xFF0000u, 0xFF0000u}}) {
        WriteWholeFile(store.file("velum.cfg"),
                       CrlfJoin({R"("Bmp","Sky",")" + dir + "/wide.bmp\"",
                                 R"("TileWallpaper","Sky",")" + std::string(style) + "\""}));
        EXPECT_EQ(0, nobody(VELUM_BIN_DIR "/velumspin"));
        bool seen = false;
        for (int i = 0; i < 100 && !seen; ++i, usleep(50000))
            seen = !nobody("grim -t ppm $H/shot.ppm") && pixel(40, 120) == left &&
                   pixel(40, 20) == top && pixel(280, 120) == 0x0000FFu;
        EXPECT_TRUE(seen) << style << ": " << std::hex << pixel(40, 120) << " " << pixel(40, 20);
    }

    // A path no velum.cfg record can hold.
    const std::string odd = dir + "/a \"quoted\" name, with $HOME;.bmp";
    WriteBmp24(odd, kW, kH, pixels);
    const auto bitmap = PictureFile::Open(odd);
    EXPECT_EQ(Failure(home + "/ipc.sock", {odd, &*bitmap, WallpaperFit::Center, 0x0A141E}), "");
    EXPECT_TRUE(shows(false, false));
}
