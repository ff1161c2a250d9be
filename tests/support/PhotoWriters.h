#pragma once

#include <cstdint>
#include <string>
#include <vector>

// JPEG and PNG files made in memory through libjpeg and libpng's writers, for the tests.
namespace velum::test {

struct JpegOptions {
    int quality = 100;
    bool subsampled = false; // 4:2:0 chroma, as cameras write; else 4:4:4
    bool progressive = false;
    int orientation = 0; // written in an EXIF APP1 segment when not 0
    bool cmyk = false;   // Adobe's inverted inks in YCCK, as Photoshop writes them
};
// `pixels` are 0x00RRGGBB, rows top to bottom.
std::string MakeJpeg(int width, int height, const std::vector<std::uint32_t>& pixels,
                     const JpegOptions& options = {});

struct PngOptions {
    bool alpha = false; // the top byte of each pixel is its opacity
    bool interlaced = false;
    bool sixteenBits = false;
    bool grey = false; // the blue channel as grey
};
std::string MakePng(int width, int height, const std::vector<std::uint32_t>& pixels,
                    const PngOptions& options = {});

} // namespace velum::test
