// sway's IPC: the message against a socket server of the test's own, then a real headless sway
// with swaybg, screenshotted with grim. sway refuses root, so it runs as nobody.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wordexp.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "engine/DesktopBackends.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;

namespace {

// Answers one connection: keeps what it was sent, then writes `answer` and closes.
class FakeSway {
  public:
    FakeSway(const std::string& path, std::string answer) : path_(path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        listener_ = socket(AF_UNIX, SOCK_STREAM, 0);
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(listener_, 1) != 0)
            throw std::runtime_error("cannot listen on " + path);
        thread_ = std::thread([this, answer] {
            const int fd = accept(listener_, nullptr, nullptr);
            char buffer[4096];
            std::uint32_t length = 0;
            for (ssize_t n; received_.size() < 14 + length && (n = read(fd, buffer, 4096)) > 0;) {
                received_.append(buffer, std::size_t(n));
                if (received_.size() >= 14)
                    std::memcpy(&length, received_.data() + 6, 4);
            }
            [[maybe_unused]] ssize_t sent = write(fd, answer.data(), answer.size());
            close(fd);
        });
    }
    ~FakeSway() {
        if (thread_.joinable())
            thread_.join();
        close(listener_);
        unlink(path_.c_str());
    }
    // What the client sent; waits for the connection to end.
    std::string received() {
        if (thread_.joinable())
            thread_.join();
        return received_;
    }

  private:
    std::string path_, received_;
    int listener_ = -1;
    std::thread thread_;
};

// A message as sway frames it: magic, length and type in this machine's byte order, payload.
std::string Framed(std::uint32_t type, const std::string& payload) {
    const auto length = static_cast<std::uint32_t>(payload.size());
    return "i3-ipc" + std::string(reinterpret_cast<const char*>(&length), 4) +
           std::string(reinterpret_cast<const char*>(&type), 4) + payload;
}

} // namespace

TEST(SwayIpc, CommandsAreFramedAndQuotedAndEveryAnswerIsRead) {
    const TempStore store;
    const std::string bmp = store.root() + "/it's \"a\" $HOME;b, `c` \\d.bmp";
    WriteBmp24(bmp, 2, 2, {1, 2, 3, 4});
    const auto bitmap = BitmapFile::Open(bmp);
    ASSERT_TRUE(bitmap);
    const WallpaperRequest centred{bmp, &*bitmap, false, 0x0A14FF}, tiled{bmp, &*bitmap, true, 0},
        none{"", nullptr, false, 0x102030};
    const std::string quoted = SwayQuoted(bmp);
    EXPECT_EQ(SwayBackgroundCommand(centred), "output * bg " + quoted + " center #0a14ff");
    EXPECT_EQ(SwayBackgroundCommand(tiled), "output * bg " + quoted + " tile #000000");
    EXPECT_EQ(SwayBackgroundCommand(none), "output * bg #102030 solid_color");
    // sway keeps what the double quotes hold, then expands it as a shell word would.
    ASSERT_TRUE(quoted.size() > 2 && quoted.front() == '"' && quoted.back() == '"');
    wordexp_t words;
    ASSERT_EQ(wordexp(quoted.substr(1, quoted.size() - 2).c_str(), &words, WRDE_NOCMD), 0);
    EXPECT_EQ(words.we_wordc, 1u);
    EXPECT_EQ(std::string(words.we_wordv[0]), bmp);
    wordfree(&words);

    const std::string socket = store.root() + "/sway.sock";
    setenv("SWAYSOCK", socket.c_str(), 1);
    std::string failure;
    {
        FakeSway sway(socket, Framed(0, R"([ { "success": true } ])"));
        EXPECT_TRUE(SetSwayWallpaper(centred, failure)) << failure;
        EXPECT_EQ(sway.received(), Framed(0, SwayBackgroundCommand(centred)));
    }
    const std::pair<std::string, std::string> refusals[] = {
        {Framed(0, R"([{"success":false,"parse_error":true,"error":"Unknown \"bg\""}])"),
         "sway: Unknown \"bg\""},
        {Framed(0, R"([ { "success": true }, { "success": false } ])"),
         R"(sway: [ { "success": true }, { "success": false } ])"},
        {Framed(7, R"([ { "success": true } ])"), "sway gave no answer"}, // not a reply to it
        {Framed(0, R"([ { "success": true } ])").substr(0, 24), "sway gave no answer"}, // cut short
        {"", "sway gave no answer"}};
    for (const auto& [answer, why] : refusals) {
        FakeSway sway(socket, answer);
        failure.clear();
        EXPECT_FALSE(SetSwayWallpaper(tiled, failure));
        EXPECT_EQ(failure, why);
    }
    EXPECT_FALSE(SetSwayWallpaper(none, failure)); // nobody listens
    EXPECT_EQ(failure.rfind("cannot reach sway at " + socket + ": ", 0), 0u) << failure;
    unsetenv("SWAYSOCK");
}

namespace {

// A headless sway of 320 by 240 run as nobody, with a folder of its own that nobody may use.
class HeadlessSway {
  public:
    explicit HeadlessSway(const std::string& folder) : folder_(folder) {
        std::filesystem::create_directories(folder + "/run");
        WriteWholeFile(folder + "/config", "output * mode 320x240\n");
        Own(folder);
        chmod((folder + "/run").c_str(), 0700);
        pid_ = fork();
        if (pid_ == 0) {
            setpgid(0, 0);
            const std::string command = AsNobody("WLR_BACKENDS=headless WLR_RENDERER=pixman "
                                                 "WLR_LIBINPUT_NO_DEVICES=1 timeout 300 sway -c " +
                                                 folder + "/config") +
                                        " >" + folder + "/sway.log 2>&1";
            execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), nullptr);
            _exit(127);
        }
        for (int i = 0; i < 200 && (socket_.empty() || wayland_.empty()); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            for (const auto& entry : std::filesystem::directory_iterator(folder + "/run")) {
                const std::string name = entry.path().filename().string();
                if (name.rfind("sway-ipc.", 0) == 0)
                    socket_ = entry.path().string();
                else if (name.rfind("wayland-", 0) == 0 && name.find('.') == std::string::npos)
                    wayland_ = name;
            }
        }
    }
    ~HeadlessSway() {
        if (pid_ > 0) {
            kill(-pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& socket() const { return socket_; }

    // A shell command that runs `command` as nobody in this sway's session only.
    std::string AsNobody(const std::string& command) const {
        return "setpriv --reuid=nobody --regid=nogroup --clear-groups env -i PATH=/usr/bin:/bin "
               "HOME=" +
               folder_ + " XDG_RUNTIME_DIR=" + folder_ + "/run " +
               (wayland_.empty() ? "" : "WAYLAND_DISPLAY=" + wayland_ + " ") + command;
    }
    static void Own(const std::string& path) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path))
            [[maybe_unused]] int rc = chown(entry.path().c_str(), 65534, 65534);
        [[maybe_unused]] int rc = chown(path.c_str(), 65534, 65534);
    }

    // The output's pixels as grim takes them, once `want` holds of them or after a few seconds
    // (swaybg draws a moment after sway answers).
    template <class Check> Picture Screen(Check want) const {
        Picture shot;
        for (int i = 0; i < 100; ++i) {
            const std::string ppm = folder_ + "/shot.ppm";
            if (std::system((AsNobody("grim -t ppm " + ppm) + " 2>/dev/null").c_str()) == 0)
                shot = ReadPpm(ReadWholeFile(ppm));
            if (want(shot))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return shot;
    }

  private:
    static Picture ReadPpm(const std::string& bytes) {
        Picture p;
        int max = 0, used = 0;
        if (std::sscanf(bytes.c_str(), "P6 %d %d %d%n", &p.width, &p.height, &max, &used) != 3 ||
            bytes.size() < std::size_t(used + 1 + 3 * p.width * p.height))
            return {};
        const auto* rgb = reinterpret_cast<const unsigned char*>(bytes.data() + used + 1);
        for (int i = 0; i < p.width * p.height; ++i, rgb += 3)
            p.pixels.push_back(std::uint32_t(rgb[0]) << 16 | rgb[1] << 8 | rgb[2]);
        return p;
    }

    std::string folder_, socket_, wayland_;
    pid_t pid_ = -1;
};

bool Installed(const char* tool) {
    return std::system(("command -v " + std::string(tool) + " >/dev/null").c_str()) == 0;
}

} // namespace

// velumspin as nobody in a headless sway: the bitmap centred on the desktop colour, then tiled
// from the corner, then the colour alone; a path with spaces and both quotes through a call of
// the test's own; a dead socket ends velumspin with status 2 and says why.
TEST(SwayHeadless, VelumspinShowsCentredTiledAndNoneThroughSwaybg) {
    if (getuid() != 0 || !Installed("sway") || !Installed("swaybg") || !Installed("grim"))
        GTEST_SKIP() << "needs root (to run sway as nobody), sway, swaybg and grim";
    const TempStore store;
    const std::string root = store.root(), dir = root + "/it's a folder";
    chmod(root.c_str(), 0755);
    constexpr int kW = 20, kH = 16; // centred at 150,112 on 320 by 240
    std::vector<std::uint32_t> pixels;
    for (std::uint32_t i = 0; i < kW * kH; ++i)
        pixels.push_back(i * 2654435761u >> 8);
    WriteBmp24(dir + "/one.bmp", kW, kH, pixels);
    auto put = [&](const std::string& tile, const std::string& bitmap) {
        WriteWholeFile(root + "/velumor/user.reg",
                       "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\r\n"
                       "\"Current\"=\"Sky\"\r\n[HKEY_CURRENT_USER\\Control Panel\\Colors]\r\n"
                       "\"Background\"=\"10 20 30\"\r\n");
        WriteWholeFile(root + "/velumor/velum.cfg",
                       CrlfJoin({R"("Bmp","Sky",")" + bitmap + "\"",
                                 R"("TileWallpaper","Sky",")" + tile + "\""}));
    };
    HeadlessSway sway(root + "/sway");
    ASSERT_FALSE(sway.socket().empty()) << ReadWholeFile(root + "/sway/sway.log");
    auto spin = [&](const std::string& socket) {
        HeadlessSway::Own(root + "/velumor");
        const int s = std::system((sway.AsNobody("XDG_CURRENT_DESKTOP=sway SWAYSOCK=" + socket +
                                                 " XDG_CONFIG_HOME=" + root +
                                                 " " VELUM_BIN_DIR "/velumspin 2>" + root + "/e"))
                                      .c_str());
        return std::to_string(WIFEXITED(s) ? WEXITSTATUS(s) : -1) + " " +
               ReadWholeFile(root + "/e");
    };
    auto expect = [&](bool tiled, bool none) {
        return [=, &pixels](const Picture& shot) {
            if (shot.width != 320 || shot.height != 240)
                return false;
            for (int y = 0; y < 240; ++y)
                for (int x = 0; x < 320; ++x) {
                    const int px = tiled ? x % kW : x - 150, py = tiled ? y % kH : y - 112;
                    const bool in = !none && px >= 0 && px < kW && py >= 0 && py < kH;
                    if (shot.at(x, y) != (in ? pixels[py * kW + px] : 0x0A141Eu))
                        return false;
                }
            return true;
        };
    };
    for (const auto& [tile, bitmap] : {std::pair{"0", dir + "/one.bmp"},
                                       {"1", dir + "/one.bmp"},
                                       {"0", std::string("(None)")}}) {
        put(tile, bitmap);
        ASSERT_EQ(spin(sway.socket()), "0 ");
        const bool tiled = *tile == '1', none = bitmap == "(None)";
        EXPECT_TRUE(expect(tiled, none)(sway.Screen(expect(tiled, none))))
            << "tiled " << tiled << ", none " << none;
    }

    const std::string odd = dir + "/a \"quoted\" name, with $HOME;.bmp";
    WriteBmp24(odd, kW, kH, pixels);
    HeadlessSway::Own(dir);
    setenv("SWAYSOCK", sway.socket().c_str(), 1);
    const auto bitmap = BitmapFile::Open(odd);
    std::string failure;
    ASSERT_TRUE(SetSwayWallpaper({odd, &*bitmap, false, 0x0A141E}, failure)) << failure;
    unsetenv("SWAYSOCK");
    EXPECT_TRUE(expect(false, false)(sway.Screen(expect(false, false))));

    put("0", dir + "/one.bmp");
    const std::string dead = root + "/sway/dead.sock";
    const int bound = socket(AF_UNIX, SOCK_STREAM, 0); // bound once, then nobody listens
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    dead.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(bind(bound, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(bound);
    EXPECT_EQ(spin(dead).substr(0, 45), "2 velumspin: No desktop could be reached (can");
}
