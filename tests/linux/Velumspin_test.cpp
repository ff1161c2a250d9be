// The real velumspin binary, run as a scheduler runs it: with only the environment each test gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include "store/ConfigRecord.h"
#include "support/TestSupport.h"
#include "support/Xvfb.h"

using namespace velum;
using namespace velum::test;
using namespace std::string_literals;

namespace {

constexpr int kW = 8, kH = 6; // the bitmaps
constexpr std::uint32_t kBackground = 0x0a141e;

std::vector<std::uint32_t> Pattern(std::uint32_t base) {
    std::vector<std::uint32_t> p;
    for (int i = 0; i < kW * kH; ++i)
        p.push_back(base + static_cast<std::uint32_t>(i * 3));
    return p;
}

struct Velumspin : ::testing::Test {
    TempStore store;
    std::string dir = store.root();
    std::string errors; // what the last run wrote to stderr

    void Prepare(const std::string& tile) {
        WriteBmp24(dir + "/one.bmp", kW, kH, Pattern(0x204000));
        WriteBmp24(dir + "/two.bmp", kW, kH, Pattern(0x800080));
        WriteWholeFile(
            store.file("user.reg"),
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\r\n"
            "\"ViewBmp\"=\"YES\"\r\n\"Collections\"=\"Old,Sky\"\r\n\"Current\"=\"Sky\"\r\n"
            "\r\n[HKEY_CURRENT_USER\\Control Panel\\Colors]\r\n"
            "\"Background\"=\"10 20 30\"\r\n");
        WriteWholeFile(
            store.file("velum.cfg"),
            CrlfJoin({R"("Bmp","","/history/kept.bmp")", "\"Bmp\",\"Sky\",\"" + dir + "/one.bmp\"",
                      "\"Bmp\",\"Sky\",\"" + dir + "/two.bmp\"",
                      R"("TileWallpaper","Sky",")" + tile + "\"", R"("CycleOptions","Sky","0")",
                      R"("Days","Sky","7")"}));
    }
    int Spin(std::vector<std::string> env) {
        env.insert(env.end(), {"XDG_CONFIG_HOME=" + dir, "HOME=" + dir});
        std::vector<char*> envp(env.size() + 1); // ends with a null pointer
        std::transform(env.begin(), env.end(), envp.begin(), [](auto& e) { return e.data(); });
        std::string bin = std::string(VELUM_BIN_DIR) + "/velumspin", err = dir + "/stderr";
        char* argv[] = {bin.data(), nullptr};
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t pid = -1;
        int status = -1; // not an exit status
        if (posix_spawn(&pid, bin.c_str(), &fa, nullptr, argv, envp.data()) == 0)
            waitpid(pid, &status, 0);
        posix_spawn_file_actions_destroy(&fa);
        errors = ReadWholeFile(err);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string State(const std::string& key) {
        for (const auto& line : ReadCrlfLines(store.file("velum.cfg")))
            if (ConfigRecord r = ParseConfigRecord(line); r.key == key && r.name == "Sky")
                return std::string(r.value);
        return "<none>";
    }
    template <typename Want> void ExpectRoot(const Xvfb& x, int w, int h, Want want) {
        auto root = ReadRootPixels(x.display());
        ASSERT_TRUE(root);
        for (int y = 0; y < h; ++y)
            for (int X = 0; X < w; ++X)
                ASSERT_EQ(root->at(X, y), want(X, y)) << "at " << X << "," << y;
    }
};

} // namespace

TEST_F(Velumspin, EachRunShowsTheNextBitmapCentredOrTiledOnTheRootWindowAndRecordsIt) {
    Xvfb x(40, 30);
    Prepare("0");
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(Spin({"DISPLAY=" + x.display()}), 0) << errors;
        EXPECT_EQ(errors, "");
        const auto picture = Pattern(run == 0 ? 0x204000 : 0x800080);
        const int left = (40 - kW) / 2, top = (30 - kH) / 2;
        ExpectRoot(x, 40, 30, [&](int X, int y) {
            bool inside = X >= left && X < left + kW && y >= top && y < top + kH;
            return inside ? picture[(y - top) * kW + (X - left)] : kBackground;
        });
        EXPECT_EQ(State("Index"), run == 0 ? " 1" : " 2");
        EXPECT_EQ(State("CurrentIndex"), run == 0 ? " 0" : " 1");
        ASSERT_TRUE(DateTimeFromText(State("Time"))) << State("Time");
    }
    const std::string hive = ReadWholeFile(store.file("user.reg"));
    for (const std::string& kept :
         {R"("ViewBmp"="YES")"s, R"("Collections"="Old,Sky")"s, R"("Current"="Sky")"s,
          R"("TileWallpaper"="0")"s, R"("Wallpaper"=")" + dir + R"(/two.bmp")"})
        EXPECT_NE(hive.find(kept), std::string::npos) << kept;
    EXPECT_NE(ReadWholeFile(store.file("velum.cfg")).find("/history/kept.bmp"), std::string::npos);

    Prepare("1"); // tiled from the top left corner
    ASSERT_EQ(Spin({"DISPLAY=" + x.display()}), 0) << errors;
    const auto picture = Pattern(0x204000);
    ExpectRoot(x, 40, 30, [&](int X, int y) { return picture[(y % kH) * kW + X % kW]; });
}

TEST_F(Velumspin, WithoutADesktopItStillRecordsThePositionAndSaysWhatFailed) {
    Prepare("0");
    EXPECT_EQ(Spin({}), 2);
    EXPECT_TRUE(errors.starts_with("velumspin: ")) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_EQ(State("Index"), " 1");

    std::remove(store.file("velum.cfg").c_str());
    WriteWholeFile(store.file("velum.cfg") + "/blocked", "");
    EXPECT_EQ(Spin({"WAYLAND_DISPLAY=wayland-0"}), 1);
    EXPECT_NE(errors.find("not saved"), std::string::npos) << errors;
}

TEST_F(Velumspin, GnomeDesktopsGetTheirBackgroundKeysThroughGSettings) {
    const std::pair<const char*, const char*> styles[] = {
        {"0", "'centered'"}, {"1", "'wallpaper'"}, {"99", "'none'"}};
    for (auto [tile, option] : styles) {
        Prepare(tile);
        ASSERT_EQ(Spin({"XDG_CURRENT_DESKTOP=ubuntu:GNOME", "GSETTINGS_BACKEND=keyfile"}), 0)
            << errors;
        const std::string keyfile = ReadWholeFile(dir + "/glib-2.0/settings/keyfile");
        EXPECT_NE(keyfile.find("picture-options="s + option), std::string::npos) << keyfile;
        EXPECT_TRUE(tile == "99"s ||
                    keyfile.find("picture-uri='file://" + dir + "/one.bmp'") != keyfile.npos)
            << keyfile;
    }
}
