// Forms no common tool writes; the others are decoded from real files in BitmapTools_test.
#include "engine/Bitmap.h"
#include "engine/PictureFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <tuple>

#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;
using namespace std::string_literals;
using Pixels = std::vector<std::uint32_t>;
const auto Le = LittleEndian;

static std::tuple<int, int, Pixels> Decoded(const std::string& file) {
    const std::optional<Picture> p = DecodeBitmap(file);
    return p ? std::tuple(p->width, p->height, p->pixels) : std::tuple(0, 0, Pixels());
}

static std::string Noise(std::size_t n) {
    std::string b;
    for (std::size_t i = 0; i < n; ++i)
        b += static_cast<char>(i * 2654435761u >> 13);
    return b;
}

const std::string kPalette = Le(0x112233, 4) + Le(0xAA0000, 4) + Le(0x00BB00, 4) + Le(0xCC, 4);
constexpr std::uint32_t c0 = 0x112233, c1 = 0xAA0000, c2 = 0x00BB00, c3 = 0x0000CC;
// RLE8 from the bottom: a run, an odd absolute run (padded) whose index 9 is past the palette;
// a run, then a delta to the top row, where a run ends the bitmap.
const std::string kRle = "\3\1\0\3\2\11\1\0\0\0\2\2\0\2\2\1\2\3\0\1"s;
const std::string kLarge = MakeBmp(700, 600, 24, 0, Noise(2100 * 600));

TEST(BitmapTest, DecodesToTheExactPixels) {
    EXPECT_EQ(
        Decoded(MakeBmp(6, 3, 8, 1, kRle, kPalette)),
        std::tuple(6, 3, Pixels{0, 0, 0, 0, c3, c3, c2, c2, 0, 0, 0, 0, c1, c1, c1, c2, 0, c1}));
    // RLE4: a run of 5 from 0x12, end of line, 5 absolute nibbles in 3 bytes plus padding.
    EXPECT_EQ(Decoded(MakeBmp(5, 2, 4, 2, "\5\x12\0\0\0\5\x30\x12\x20\0\0\1"s, kPalette)),
              std::tuple(5, 2, Pixels{c3, c0, c1, c2, c2, c1, c2, c1, c2, c1}));
    EXPECT_EQ(Decoded(MakeBmp(1, -2, 24, 0, "\1\2\3\0\4\5\6\0"s)), // top-down, padded rows
              std::tuple(1, 2, Pixels{0x030201, 0x060504}));
    EXPECT_EQ(Decoded(MakeBmp(2, 1, 16, 0, Le(0x7C00, 2) + Le(0x03FF, 2))), // 5-5-5 by default
              std::tuple(2, 1, Pixels{0xFF0000, 0x00FFFF}));
    EXPECT_EQ(Decoded(MakeBmp(2, 1, 32, 6, Le(0xFFF00000, 4) + Le(0x80000 | 1023, 4),
                              Le(0x3FF00000, 4) + Le(0x000FFC00, 4) + Le(0x3FF, 4) + Le(0, 4))),
              std::tuple(2, 1, Pixels{0xFF0000, 0x0080FF})); // 10-10-10 masks after the header
}

TEST(BitmapTest, RefusesBrokenAndOversizedFilesQuickly) {
    constexpr int kMax = kMaxBitmapSide;
    const std::string rows(4 * 5, '\x7F'), good = MakeBmp(5, 4, 8, 0, std::string(32, 1), kPalette);
    ASSERT_TRUE(DecodeBitmap(good));
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& bad :
         {"XY" + good.substr(2),
          good.substr(0, 10) + Le(200, 4) + good.substr(14) /* pixels past the end */,
          MakeBmp(6, 3, 8, 1, kRle.substr(0, 5), kPalette) /* cut in an absolute run */,
          MakeBmp(6, 3, 8, 1, kRle.substr(0, 12), kPalette) /* cut before the last row */,
          MakeBmp(kMax, -kMax, 32, 0, rows), MakeBmp(kMax, kMax, 8, 1, kRle),
          MakeBmp(5, 4, 24, 5, rows) /* PNG inside */, MakeBmp(5, 4, 7, 0, rows)})
        EXPECT_FALSE(DecodeBitmap(bad)) << bad.size();
    for (auto [w, h] : {std::pair{0, 4}, {kMax + 1, 1}, {1, -kMax - 1}})
        EXPECT_FALSE(DecodeBitmap(MakeBmp(w, h, 8, 0, std::string(4 * kMax + 4, 0)))) << w << h;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

// Every form, decoded a rectangle at a time from memory and from a file, gives the whole picture's
// pixels; the 24-bit one spans several reads of rows, and its preview is sampled from it.
TEST(BitmapTest, RectanglesAndPreviewsMatchTheWholePictureAndAFileCutShortIsRefused) {
    const TempFolder temp;
    const std::string path = temp.file("a.bmp");
    for (const std::string& file :
         {MakeBmp(37, 9, 1, 0, Noise(8 * 9), kPalette),
          MakeBmp(37, -9, 4, 0, Noise(20 * 9), kPalette), MakeBmp(37, 9, 16, 0, Noise(76 * 9)),
          MakeBmp(37, -9, 32, 0, Noise(148 * 9)), MakeBmp(6, 3, 8, 1, kRle, kPalette), kLarge}) {
        const Picture all = DecodeBitmap(file).value();
        WriteWholeFile(path, file);
        const int x = all.width / 3, y = all.height / 4, w = all.width - x - 1, h = all.height - y;
        for (auto bitmap : {BitmapFile::FromBytes(file), BitmapFile::Open(path)}) {
            Pixels part(static_cast<std::size_t>(w + 2) * h, 7); // two spare pixels a row
            ASSERT_TRUE(bitmap.value().Decode(x, y, w, h, part.data(), w + 2));
            for (int r = 0; r < h; ++r)
                for (int c = 0; c < w + 2; ++c)
                    ASSERT_EQ(part[r * (w + 2) + c], c < w ? all.at(x + c, y + r) : 7) << c << r;
            EXPECT_FALSE(bitmap->Decode(x, y, w + 2, h, part.data(), w + 2)) << "outside";
        }
    }
    const Picture whole = DecodeBitmap(kLarge).value();
    // The preview: the box's size when fitted, the top left corner as it is when not.
    const Picture fit = DecodePictureFileFor(path, 70, 200, true).value();
    const Picture corner = DecodePictureFileFor(path, 100, 800, false).value();
    ASSERT_EQ(std::tuple(fit.width, fit.height, corner.width, corner.height),
              std::tuple(70, 200, 100, 600));
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(corner.at(x, y), whole.at(x, y)) << x << " " << y;
    EXPECT_EQ(DecodePictureFileFor(path, 900, 900, true).value().pixels, whole.pixels) << "smaller";
#ifndef _WIN32 // Windows keeps an open file from being cut
    const BitmapFile opened = BitmapFile::Open(path).value();
    std::filesystem::resize_file(path, 1000);
    EXPECT_FALSE(opened.Decode(0, 0, 700, 600, Pixels(700).data(), 0)) << "cut after opening";
#endif
    WriteWholeFile(path, kLarge.substr(0, 9000));
    EXPECT_FALSE(BitmapFile::Open(path));
}
