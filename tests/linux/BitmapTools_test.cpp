// Bitmaps written by ImageMagick and netpbm, decoded and compared with the picture they came from.
#include "engine/Bitmap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <tuple>

#include "support/TestSupport.h"

using namespace velum;

namespace {

struct ToolCase {
    const char *name, *options; // of /usr/bin/convert for names from "Magick", else of ppmtobmp
    std::uint32_t colours = 35; // distinct ones, the first 8 of 0 or 255 a channel; 35: all differ
    std::uint32_t header = 0;   // when set, the info header is cut or padded to this size
};
const ToolCase kCases[] = {{"Netpbm1", "-bpp 1", 2},
                           {"Netpbm4", "-bpp 4", 16},
                           {"Netpbm8", "-bpp 8", 35, 64},
                           {"Netpbm24", "-windows -bpp 24", 35, 16},
                           {"MagickRle8", "-type Palette -compress RLE BMP3"},
                           {"MagickOs2Palette", "-type Palette BMP2"},
                           {"Magick565", "-define bmp:subtype=RGB565 BMP", 8, 56},
                           {"Magick4444", "-alpha set -define bmp:subtype=ARGB4444 BMP", 8},
                           {"MagickArgb", "-alpha set -define bmp:subtype=ARGB8888 BMP", 35, 108}};

// The same bitmap with an older or OS/2 2.x info header: the fields kept, the rest zero.
std::string Reheader(std::string file, std::uint32_t size) {
    std::uint32_t old = 0, offset = 0; // little-endian, as on every Linux machine we build for
    std::memcpy(&old, &file[14], 4), std::memcpy(&offset, &file[10], 4);
    file.replace(14, old, (file.substr(14, old) + std::string(size, '\0')).substr(0, size));
    offset += size - old, std::memcpy(&file[10], &offset, 4), std::memcpy(&file[14], &size, 4);
    return file;
}

TEST(BitmapTools, DecodeExactlyThePictureTheToolWasGiven) {
    for (const test::TempStore temp; const ToolCase& c : kCases) {
        std::vector<std::uint32_t> want;
        std::string ppm = "P6\n7 5\n255\n"; // 7 by 5, so that rows of 16 and 24 bits need padding
        for (std::uint32_t i = 0, n = 0; i < 35; n = ++i % c.colours) {
            want.push_back(n < 8 ? 0xFF * ((n & 1) << 16 | (n & 2) << 7 | n >> 2) : n * 0x74A5F);
            ppm += {char(want[i] >> 16), char(want[i] >> 8), char(want[i])};
        }
        test::WriteWholeFile(temp.root() + "/in.ppm", ppm);
        std::string run = c.name[0] == 'M' ? "cd @ && /usr/bin/convert in.ppm #:out.bmp"
                                           : "cd @ && ppmtobmp -quiet # in.ppm >out.bmp";
        run.replace(run.find('#'), 1, c.options).replace(run.find('@'), 1, temp.root());
        ASSERT_EQ(std::system(run.c_str()), 0) << run;
        const std::string bmp = test::ReadWholeFile(temp.root() + "/out.bmp");
        const auto p = DecodeBitmap(c.header ? Reheader(bmp, c.header) : bmp).value_or(Picture{});
        EXPECT_EQ(std::tie(p.width, p.height, p.pixels), std::tuple(7, 5, want)) << c.name;
    }
}

} // namespace
