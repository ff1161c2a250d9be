// Bitmaps written by ImageMagick and netpbm, decoded and compared with the picture they came from.
#include "engine/Bitmap.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <tuple>

#include "support/TestSupport.h"

using namespace velum;

namespace {

struct ToolCase {
    const char* name;
    const char* options; // of /usr/bin/convert (ImageMagick) for names from "Magick", else ppmtobmp
    int colours = 0;     // distinct colours in the source; 0 gives every pixel its own
    std::uint32_t headerSize = 0;     // when set, the header is cut or zero-extended to this size
    std::array<int, 3> bits{8, 8, 8}; // red, green and blue bits the format keeps
};

// Writers truncate a value to fewer bits and readers round it back, so only 8-bit values whose
// rounding goes up (or is exact) survive the round trip: the q-th of those, or their count.
int Survivor(int bits, int q = -1) {
    int count = 0, max = (1 << bits) - 1;
    for (int level = 0; level <= max; ++level)
        if ((level * 255 % max == 0 || 2 * (level * 255 % max) >= max) && count++ == q)
            return (level * 510 + max) / (2 * max);
    return count;
}

// The same bitmap with an older or OS/2 2.x info header: the fields kept, the rest zero.
std::string Reheader(std::string file, std::uint32_t size) {
    std::uint32_t old = 0, offset = 0; // little-endian, as on every Linux machine we build for
    std::memcpy(&old, &file[14], 4);
    std::memcpy(&offset, &file[10], 4);
    file.replace(14, old, (file.substr(14, old) + std::string(size, '\0')).substr(0, size));
    offset += size - old;
    std::memcpy(&file[10], &offset, 4);
    std::memcpy(&file[14], &size, 4);
    return file;
}

class BitmapTools : public testing::TestWithParam<ToolCase> {};

TEST_P(BitmapTools, DecodesExactlyThePictureTheToolWasGiven) {
    const ToolCase& c = GetParam();
    const bool magick = std::string(c.name).starts_with("Magick");
    if (std::system(magick ? "test -x /usr/bin/convert" : "command -v ppmtobmp >/dev/null") != 0)
        GTEST_SKIP() << "the tool is not installed";
    std::vector<std::uint32_t> expected;
    std::string ppm = "P6\n7 5\n255\n"; // 7 by 5, so that rows of 16 and 24 bits need padding
    const int r = Survivor(c.bits[0]), g = Survivor(c.bits[1]), b = Survivor(c.bits[2]);
    for (int i = 0; i < 35; ++i) {
        const int n = c.colours ? i % c.colours : i;
        const int rgb[3] = {Survivor(c.bits[0], (7 * n + 1) % r),
                            Survivor(c.bits[1], (n / g + 3 * n + 2) % g),
                            Survivor(c.bits[2], (11 * n + 5) % b)};
        expected.push_back(std::uint32_t(rgb[0] << 16 | rgb[1] << 8 | rgb[2]));
        ppm += {char(rgb[0]), char(rgb[1]), char(rgb[2])};
    }
    test::TempStore temp;
    test::WriteWholeFile(temp.root() + "/in.ppm", ppm);
    std::string run = magick ? "cd '@' && /usr/bin/convert in.ppm #:out.bmp"
                             : "cd '@' && ppmtobmp -quiet # in.ppm >out.bmp";
    run.replace(run.find('#'), 1, c.options).replace(run.find('@'), 1, temp.root());
    ASSERT_EQ(std::system(run.c_str()), 0) << run;
    const std::string out = temp.root() + "/out.bmp";
    if (c.headerSize != 0)
        test::WriteWholeFile(out, Reheader(test::ReadWholeFile(out), c.headerSize));
    const auto picture = DecodeBitmapFile(out);
    ASSERT_TRUE(picture);
    EXPECT_EQ(std::tie(picture->width, picture->height, picture->pixels),
              std::tuple(7, 5, expected));
}

const ToolCase kCases[] = {
    {"Netpbm1", "-bpp 1", 2},
    {"Netpbm4", "-bpp 4", 16},
    {"Netpbm8", "-bpp 8"},
    {"Netpbm24", "-windows -bpp 24"},
    {"NetpbmOs2x64", "-bpp 8", 0, 64},
    {"NetpbmOs2x16", "-bpp 24", 0, 16},
    {"MagickRle8", "-type Palette -compress RLE BMP3"},
    {"MagickOs2Palette", "-type Palette BMP2"},
    {"Magick565", "-define bmp:subtype=RGB565 BMP", 0, 0, {5, 6, 5}},
    {"Magick565V3", "-define bmp:subtype=RGB565 BMP", 0, 56, {5, 6, 5}},
    {"Magick555V2", "-define bmp:subtype=RGB555 BMP", 0, 52, {5, 5, 5}},
    {"Magick4444", "-alpha set -define bmp:subtype=ARGB4444 BMP", 0, 0, {4, 4, 4}},
    {"Magick32", "-alpha set -define bmp3:alpha=true BMP3"},
    {"MagickArgbV4", "-alpha set -define bmp:subtype=ARGB8888 BMP", 0, 108},
};
INSTANTIATE_TEST_SUITE_P(Tools, BitmapTools, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
