// Bitmaps written by ImageMagick and netpbm, decoded and compared with the picture they came from.
#include "engine/Bitmap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <tuple>

#include "support/TestSupport.h"

using namespace velum;

namespace {

// Each command runs where in.ppm is and writes out.bmp (ImageMagick's is /usr/bin/convert); then
// the distinct colours, the first 8 of 0 or 255 a channel, and when set the info header's new size.
const std::tuple<const char*, std::uint32_t, std::uint32_t> kCases[] = {
    {"ppmtobmp -quiet -bpp 1 in.ppm >out.bmp", 2, 16},
    {"ppmtobmp -quiet -bpp 4 in.ppm >out.bmp", 16, 0},
    {"ppmtobmp -quiet -bpp 8 in.ppm >out.bmp", 35, 64},
    {"/usr/bin/convert in.ppm -type Palette BMP2:out.bmp", 35, 0},
    {"/usr/bin/convert in.ppm -define bmp:subtype=RGB565 BMP:out.bmp", 8, 56},
    {"/usr/bin/convert in.ppm -alpha set -define bmp:subtype=ARGB8888 BMP:out.bmp", 35, 108}};

// The same bitmap with an older or OS/2 2.x info header: the fields kept, the rest zero.
std::string Reheader(std::string file, std::uint32_t size) {
    std::uint32_t old = 0, offset = 0; // little-endian, as on every Linux machine we build for
    std::memcpy(&old, &file[14], 4), std::memcpy(&offset, &file[10], 4);
    file.replace(14, old, (file.substr(14, old) + std::string(size, '\0')).substr(0, size));
    offset += size - old, std::memcpy(&file[10], &offset, 4), std::memcpy(&file[14], &size, 4);
    return file;
}

TEST(BitmapTools, DecodeExactlyThePictureTheToolWasGiven) {
    for (const test::TempStore temp; const auto& [command, colours, header] : kCases) {
        std::vector<std::uint32_t> want;
        std::string ppm = "P6\n7 5\n255\n"; // 7 by 5, so that rows of 16 and 24 bits need padding
        for (std::uint32_t i = 0, n = 0; i < 35; n = ++i % colours) {
            want.push_back(n < 8 ? 0xFF * ((n & 1) << 16 | (n & 2) << 7 | n >> 2) : n * 0x74A5F);
            ppm += {char(want[i] >> 16), char(want[i] >> 8), char(want[i])};
        }
        test::WriteWholeFile(temp.root() + "/in.ppm", ppm);
        ASSERT_EQ(std::system(("cd " + temp.root() + " && " + command).c_str()), 0) << command;
        const std::string bmp = test::ReadWholeFile(temp.root() + "/out.bmp");
        const auto p = DecodeBitmap(header ? Reheader(bmp, header) : bmp).value_or(Picture{});
        EXPECT_EQ(std::tie(p.width, p.height, p.pixels), std::tuple(7, 5, want)) << command;
    }
}

} // namespace
