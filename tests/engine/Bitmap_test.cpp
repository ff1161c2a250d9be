#include "engine/Bitmap.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace velum {
namespace {

std::string Le(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string Bytes(std::initializer_list<int> values) {
    return {values.begin(), values.end()};
}

// A bitmap file with a 40-byte info header; `extra` (masks, palette) precedes the pixel data.
std::string MakeBmp(std::int32_t width, std::int32_t height, int bpp, std::uint32_t compression,
                    const std::string& data, const std::string& extra = "",
                    std::uint32_t coloursUsed = 0) {
    const std::size_t offset = 54 + extra.size();
    return "BM" + Le(offset + data.size(), 4) + Le(0, 4) + Le(offset, 4) + Le(40, 4) +
           Le(std::uint32_t(width), 4) + Le(std::uint32_t(height), 4) + Le(1, 2) + Le(bpp, 2) +
           Le(compression, 4) + Le(data.size(), 4) + Le(0, 8) + Le(coloursUsed, 4) + Le(0, 4) +
           extra + data;
}

// Palette entries are B, G, R, reserved.
const std::string kPalette = Le(0x112233, 4) + Le(0xAA0000, 4) + Le(0x00BB00, 4) + Le(0xCC, 4);
constexpr std::uint32_t c0 = 0x112233, c1 = 0xAA0000, c2 = 0x00BB00, c3 = 0x0000CC;

void ExpectPixels(const char* name, const std::string& file, int width,
                  const std::vector<std::uint32_t>& expected) { // top row first
    SCOPED_TRACE(name);
    const std::optional<Picture> picture = DecodeBitmap(file);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, width);
    EXPECT_EQ(picture->height, static_cast<int>(expected.size()) / width);
    EXPECT_EQ(picture->pixels, expected);
}

TEST(BitmapTest, DecodesToTheExactPixels) {
    // Bottom row: a run, an odd absolute run (padded) whose index 9 is past the palette.
    // Middle row: a run, then a delta to the top row, where a run ends the bitmap.
    const std::string rle8 = Bytes({3, 1, 0, 3, 2, 9, 1, 0, 0, 0, 2, 2, 0, 2, 2, 1, 2, 3, 0, 1});
    ExpectPixels("RLE8", MakeBmp(6, 3, 8, 1, rle8, kPalette), 6,
                 {0, 0, 0, 0, c3, c3, c2, c2, 0, 0, 0, 0, c1, c1, c1, c2, 0, c1});
    // A run of 5 from 0x12, end of line, 5 absolute nibbles in 3 bytes plus padding.
    const std::string rle4 = Bytes({5, 0x12, 0, 0, 0, 5, 0x30, 0x12, 0x20, 0, 0, 1});
    ExpectPixels("RLE4", MakeBmp(5, 2, 4, 2, rle4, kPalette), 5,
                 {c3, c0, c1, c2, c2, c1, c2, c1, c2, c1});
    const std::string rows =
        Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0});
    ExpectPixels("top-down 24-bit with padded rows", MakeBmp(3, -2, 24, 0, rows), 3,
                 {0x030201, 0x060504, 0x090807, 0x0C0B0A, 0x0F0E0D, 0x121110});
    // Only two colours are used: the palette's later entries are not part of it.
    ExpectPixels("8-bit with a short palette",
                 MakeBmp(3, 1, 8, 0, Bytes({1, 2, 9, 0}), kPalette, 2), 3, {c1, 0, 0});
    const std::string m565 = Le(0xF800, 4) + Le(0x07E0, 4) + Le(0x001F, 4);
    ExpectPixels("5-6-5 bit fields", MakeBmp(2, 1, 16, 3, Le(0xF800, 2) + Le(0x8410, 2), m565), 2,
                 {0xFF0000, 0x848284});
    ExpectPixels("16-bit default 5-5-5", MakeBmp(2, 1, 16, 0, Le(0x7C00, 2) + Le(0x03FF, 2)), 2,
                 {0xFF0000, 0x00FFFF});
    const std::string m101010 = Le(0x3FF00000, 4) + Le(0x000FFC00, 4) + Le(0x3FF, 4) + Le(0, 4);
    ExpectPixels("10-bit alpha bit fields",
                 MakeBmp(2, 1, 32, 6, Le(0xFFF00000, 4) + Le(0x80000 | 1023, 4), m101010), 2,
                 {0xFF0000, 0x0080FF});
}

TEST(BitmapTest, RefusesBrokenAndOversizedFilesQuickly) {
    const std::string rows(4 * 5, '\x7F');
    const std::string good = MakeBmp(5, 4, 8, 0, std::string(8 * 4, '\1'), kPalette);
    const std::string badOffset = good.substr(0, 10) + Le(200, 4) + good.substr(14);
    const std::string rle = Bytes({3, 1, 0, 3, 2, 9, 1, 0, 0, 0, 4, 2, 0, 0, 0, 1});
    ASSERT_TRUE(DecodeBitmap(good));
    ASSERT_TRUE(DecodeBitmap(MakeBmp(6, 3, 8, 1, rle, kPalette)));
    const std::string cases[] = {
        "",
        std::string(200, '\xA5'),
        "XY" + good.substr(2),
        good.substr(0, good.size() - 12),                 // cut in the pixel data
        MakeBmp(6, 3, 8, 1, rle.substr(0, 5), kPalette),  // RLE cut inside an absolute run
        MakeBmp(6, 3, 8, 1, rle.substr(0, 12), kPalette), // RLE ending before its last row
        MakeBmp(0, 4, 8, 0, rows),
        MakeBmp(5, 0, 8, 0, rows),
        MakeBmp(-5, 4, 8, 0, rows),
        MakeBmp(kMaxBitmapSide + 1, 1, 8, 0, std::string(kMaxBitmapSide + 4, '\0')),
        MakeBmp(1, -kMaxBitmapSide - 1, 8, 0, std::string(4 * kMaxBitmapSide + 4, '\0')),
        MakeBmp(100000, 100000, 24, 0, rows),
        MakeBmp(kMaxBitmapSide, -kMaxBitmapSide, 32, 0, rows), // far too little data
        MakeBmp(kMaxBitmapSide, kMaxBitmapSide, 8, 1, rle),    // far too little RLE
        MakeBmp(5, 4, 24, 4, rows),                            // JPEG inside
        MakeBmp(5, 4, 24, 5, rows),                            // PNG inside
        MakeBmp(5, 4, 7, 0, rows),
        badOffset,
    };
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_FALSE(DecodeBitmap(cases[i])) << "case " << i;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_FALSE(DecodeBitmapFile("no such file.bmp"));
}

} // namespace
} // namespace velum
