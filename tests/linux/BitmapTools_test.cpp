// Bitmaps written by ImageMagick and netpbm, decoded and compared with the picture they came from.
#include "engine/Bitmap.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "support/TestSupport.h"

namespace velum {
namespace {

struct ToolCase {
    const char* name;
    const char* command; // "convert" is ImageMagick's /usr/bin/convert; IN and OUT are files
    int colours = 0;     // distinct colours in the source; 0 gives every pixel its own
    std::uint32_t headerSize = 0;     // when set, the header is cut or zero-extended to this size
    std::array<int, 3> bits{8, 8, 8}; // red, green and blue bits the format keeps
};

// Writers truncate a value to fewer bits and readers round it back, so only 8-bit values whose
// rounding goes up (or is exact) survive the round trip: the q-th of those, or their count.
int Survivor(int bits, int q = -1) {
    const int max = (1 << bits) - 1;
    int count = 0;
    for (int level = 0; level <= max; ++level)
        if ((level * 255 % max == 0 || 2 * (level * 255 % max) >= max) && count++ == q)
            return (level * 510 + max) / (2 * max);
    return count;
}

// The same bitmap with an older or OS/2 2.x info header: the fields kept, the rest zero.
std::string Reheader(const std::string& file, std::uint32_t size) {
    std::uint32_t old = 0, offset = 0; // little-endian, as on every Linux machine we build for
    std::memcpy(&old, &file[14], 4);
    std::memcpy(&offset, &file[10], 4);
    std::string header = file.substr(14, old);
    header.resize(size, '\0');
    std::string out = file.substr(0, 14) + header + file.substr(14 + old);
    offset += size - old;
    std::memcpy(&out[10], &offset, 4);
    std::memcpy(&out[14], &size, 4);
    return out;
}

class BitmapTools : public testing::TestWithParam<ToolCase> {};

TEST_P(BitmapTools, DecodesExactlyThePictureTheToolWasGiven) {
    const ToolCase& c = GetParam();
    std::string command = c.command;
    const bool magick = command.starts_with("convert");
    if (std::system(magick ? "test -x /usr/bin/convert" : "command -v ppmtobmp >/dev/null") != 0)
        GTEST_SKIP() << command << ": the tool is not installed";

    // 7 by 5, so that rows of 16 and 24 bits need padding.
    std::vector<std::uint32_t> expected;
    std::string ppm = "P6\n7 5\n255\n";
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
    const std::string in = temp.root() + "/source.ppm", out = temp.root() + "/made.bmp";
    test::WriteWholeFile(in, ppm);
    command.replace(command.find("IN"), 2, "'" + in + "'");
    command.replace(command.find("OUT"), 3, "'" + out + "'");
    ASSERT_EQ(std::system(((magick ? "/usr/bin/" : "") + command).c_str()), 0) << command;
    if (c.headerSize != 0)
        test::WriteWholeFile(out, Reheader(test::ReadWholeFile(out), c.headerSize));

    const std::optional<Picture> picture = DecodeBitmapFile(out);
    ASSERT_TRUE(picture) << command;
    EXPECT_EQ(std::pair(picture->width, picture->height), std::pair(7, 5));
    EXPECT_EQ(picture->pixels, expected) << command;
}

const ToolCase kCases[] = {
    {"Netpbm1", "ppmtobmp -quiet -bpp 1 IN >OUT", 2},
    {"Netpbm4", "ppmtobmp -quiet -bpp 4 IN >OUT", 16},
    {"Netpbm8", "ppmtobmp -quiet -bpp 8 IN >OUT"},
    {"Netpbm24", "ppmtobmp -quiet -windows -bpp 24 IN >OUT"},
    {"NetpbmOs2True", "ppmtobmp -quiet -os2 -bpp 24 IN >OUT"},
    {"NetpbmOs2x64", "ppmtobmp -quiet -bpp 8 IN >OUT", 0, 64},
    {"NetpbmOs2x16", "ppmtobmp -quiet -bpp 24 IN >OUT", 0, 16},
    {"Magick1", "convert IN -type Palette BMP3:OUT", 2},
    {"MagickRle8", "convert IN -type Palette -compress RLE BMP3:OUT"},
    {"MagickRle8V5", "convert IN -type Palette -compress RLE BMP:OUT", 9},
    {"Magick24V5", "convert IN BMP:OUT"},
    {"MagickOs2Palette", "convert IN -type Palette BMP2:OUT"},
    {"Magick565", "convert IN -define bmp:subtype=RGB565 BMP:OUT", 0, 0, {5, 6, 5}},
    {"Magick565V3", "convert IN -define bmp:subtype=RGB565 BMP:OUT", 0, 56, {5, 6, 5}},
    {"Magick555V2", "convert IN -define bmp:subtype=RGB555 BMP:OUT", 0, 52, {5, 5, 5}},
    {"Magick4444", "convert IN -alpha set -define bmp:subtype=ARGB4444 BMP:OUT", 0, 0, {4, 4, 4}},
    {"Magick32", "convert IN -alpha set -define bmp3:alpha=true BMP3:OUT"},
    {"MagickArgb", "convert IN -alpha set -define bmp:subtype=ARGB8888 BMP:OUT"},
    {"MagickArgbV4", "convert IN -alpha set -define bmp:subtype=ARGB8888 BMP:OUT", 0, 108},
};
INSTANTIATE_TEST_SUITE_P(Tools, BitmapTools, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace velum
