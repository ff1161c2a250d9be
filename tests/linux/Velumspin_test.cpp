// The real velumspin binary, run as a login script or a scheduler would run it.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "store/ConfigRecord.h"
#include "support/TestSupport.h"
#include "support/Xvfb.h"

using namespace velum;
using namespace velum::test;

namespace {

constexpr int kW = 8, kH = 6; // the bitmaps
constexpr std::uint32_t kBackground = 0x0a141e;

struct Outcome {
    int status;
    std::string errors;
};

struct Velumspin : ::testing::Test {
    TempStore store;
    std::string dir = store.root();

    std::vector<std::uint32_t> Pattern(std::uint32_t base) {
        std::vector<std::uint32_t> p;
        for (int i = 0; i < kW * kH; ++i)
            p.push_back(base + static_cast<std::uint32_t>(i * 3));
        return p;
    }
    void Prepare(const std::string& tile, const std::string& extraReg = "") {
        WriteBmp24(dir + "/one.bmp", kW, kH, Pattern(0x204000));
        WriteBmp24(dir + "/two.bmp", kW, kH, Pattern(0x800080));
        WriteWholeFile(
            store.file("user.reg"),
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\r\n"
            "\"ViewBmp\"=\"YES\"\r\n\"Collections\"=\"Old,Sky\"\r\n\"Current\"=\"Sky\"\r\n"
            "\r\n[HKEY_CURRENT_USER\\Control Panel\\Colors]\r\n"
            "\"Background\"=\"10 20 30\"\r\n" +
                extraReg);
        WriteWholeFile(
            store.file("velum.cfg"),
            CrlfJoin({R"("Bmp","","/history/kept.bmp")", "\"Bmp\",\"Sky\",\"" + dir + "/one.bmp\"",
                      "\"Bmp\",\"Sky\",\"" + dir + "/two.bmp\"",
                      R"("TileWallpaper","Sky",")" + tile + "\"", R"("CycleOptions","Sky","0")",
                      R"("Days","Sky","7")"}));
    }
    // Runs build/bin/velumspin with only the given environment.
    Outcome Spin(const std::vector<std::string>& env) {
        int pipeFds[2];
        if (pipe(pipeFds) != 0)
            return {-1, ""};
        pid_t pid = fork();
        if (pid == 0) {
            dup2(pipeFds[1], 2);
            close(pipeFds[0]);
            std::vector<std::string> all = env;
            all.push_back("XDG_CONFIG_HOME=" + dir);
            all.push_back("HOME=" + dir);
            std::vector<char*> envp;
            for (auto& e : all)
                envp.push_back(e.data());
            envp.push_back(nullptr);
            const std::string bin = std::string(VELUM_BIN_DIR) + "/velumspin";
            char* argv[] = {const_cast<char*>(bin.c_str()), nullptr};
            execve(bin.c_str(), argv, envp.data());
            _exit(127);
        }
        close(pipeFds[1]);
        std::string errors;
        char buf[256];
        for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;)
            errors.append(buf, static_cast<std::size_t>(n));
        close(pipeFds[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, errors};
    }
    std::string State(const std::string& key) {
        for (const auto& line : ReadCrlfLines(store.file("velum.cfg"))) {
            ConfigRecord r = ParseConfigRecord(line);
            if (r.key == key && r.name == "Sky")
                return std::string(r.value);
        }
        return "<none>";
    }
};

} // namespace

TEST_F(Velumspin, EachRunShowsTheNextBitmapCentredOnTheRootWindowAndRecordsIt) {
    Xvfb x(40, 30);
    Prepare("0");
    const std::string before = ReadWholeFile(store.file("user.reg"));
    for (int run = 0; run < 2; ++run) {
        Outcome r = Spin({"DISPLAY=" + x.display()});
        ASSERT_EQ(r.status, 0) << r.errors;
        EXPECT_EQ(r.errors, "");
        auto root = ReadRootPixels(x.display());
        ASSERT_TRUE(root);
        const auto expected = Pattern(run == 0 ? 0x204000 : 0x800080);
        const int left = (40 - kW) / 2, top = (30 - kH) / 2;
        for (int y = 0; y < 30; ++y)
            for (int X = 0; X < 40; ++X) {
                bool inside = X >= left && X < left + kW && y >= top && y < top + kH;
                std::uint32_t want = inside ? expected[(y - top) * kW + (X - left)] : kBackground;
                ASSERT_EQ(root->at(X, y), want) << "run " << run << " at " << X << "," << y;
            }
        EXPECT_EQ(State("Index"), run == 0 ? " 1" : " 2");
        EXPECT_EQ(State("CurrentIndex"), run == 0 ? " 0" : " 1");
        ASSERT_TRUE(DateTimeFromText(State("Time"))) << State("Time");
    }
    const std::string after = ReadWholeFile(store.file("user.reg"));
    for (const char* kept :
         {"\"ViewBmp\"=\"YES\"", "\"Collections\"=\"Old,Sky\"", "\"Current\"=\"Sky\""})
        EXPECT_NE(after.find(kept), std::string::npos) << kept;
    EXPECT_NE(after.find("\"TileWallpaper\"=\"0\""), std::string::npos);
    EXPECT_NE(after.find("\"Wallpaper\"=\"" + dir + "/two.bmp\""), std::string::npos);
    EXPECT_NE(ReadWholeFile(store.file("velum.cfg")).find("/history/kept.bmp"), std::string::npos);
    (void)before;
}

TEST_F(Velumspin, TiledFillsTheRootFromTheTopLeftCorner) {
    Xvfb x(20, 14);
    Prepare("1");
    ASSERT_EQ(Spin({"DISPLAY=" + x.display()}).status, 0);
    auto root = ReadRootPixels(x.display());
    ASSERT_TRUE(root);
    const auto expected = Pattern(0x204000);
    for (int y = 0; y < 14; ++y)
        for (int X = 0; X < 20; ++X)
            ASSERT_EQ(root->at(X, y), expected[(y % kH) * kW + X % kW]) << X << "," << y;
}

TEST_F(Velumspin, WithoutADesktopItStillRecordsThePositionAndSaysWhatFailed) {
    Prepare("0");
    Outcome r = Spin({});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(std::count(r.errors.begin(), r.errors.end(), '\n'), 1) << r.errors;
    EXPECT_EQ(r.errors.rfind("velumspin: ", 0), 0u);
    EXPECT_EQ(State("Index"), " 1");

    WriteWholeFile(store.file("velum.cfg") + ".real", ReadWholeFile(store.file("velum.cfg")));
    std::remove(store.file("velum.cfg").c_str());
    WriteWholeFile(store.file("velum.cfg") + "/blocked", "");
    r = Spin({"WAYLAND_DISPLAY=wayland-0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("not saved"), std::string::npos) << r.errors;
}

TEST_F(Velumspin, GnomeDesktopsGetTheirBackgroundKeysThroughGSettings) {
    const std::pair<const char*, const char*> styles[] = {
        {"0", "'centered'"}, {"1", "'wallpaper'"}, {"99", "'none'"}};
    for (auto [tile, option] : styles) {
        Prepare(tile);
        Outcome r = Spin({"XDG_CURRENT_DESKTOP=ubuntu:GNOME", "GSETTINGS_BACKEND=keyfile",
                          "XDG_DATA_DIRS=/usr/share"});
        ASSERT_EQ(r.status, 0) << r.errors;
        std::string keyfile = ReadWholeFile(dir + "/glib-2.0/settings/keyfile");
        EXPECT_NE(keyfile.find(std::string("picture-options=") + option), std::string::npos)
            << keyfile;
        if (std::string(tile) != "99") {
            EXPECT_NE(keyfile.find("picture-uri='file://" + dir + "/one.bmp'"), std::string::npos)
                << keyfile;
        }
    }
}
