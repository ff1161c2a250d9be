#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/PictureFile.h"

// What the platform halves of PictureFile share, and what the tests look into.
namespace velum {

// The EXIF orientation (1 to 8) an APP1 segment's payload records ("Exif\0\0", then a TIFF
// header and IFD0); 1 when it records none or is malformed.
int ExifOrientation(std::string_view app1);

// The EXIF orientation of a JPEG from its first bytes: the first "Exif" APP1 segment before the
// scan, found by walking the markers; 1 when there is none or the walk goes wrong.
int JpegExifOrientation(std::string_view jpeg);

// Orientations 5 to 8 turn the picture a quarter: its shown sides are the stored ones swapped.
inline bool Transposes(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

// The stored pixel that shows at (x, y) of a picture stored `width` by `height` (its stored
// sides) under `orientation`.
void StoredPoint(int orientation, int width, int height, int x, int y, int& sx, int& sy);

// Pixels the JPEG decoder has produced in this process, so the tests can see its DCT scaling
// at work.
std::uint64_t JpegPixelsDecoded();
void CountJpegPixels(std::uint64_t n);

// Draws h rows into the target a run at a time from the top: draw(first, n, room, stride) fills
// rows [first, first + n) of the drawing. False once a run is not drawn or the target ends it.
template <typename DrawRun> bool DrawInRuns(RowTarget& target, int h, DrawRun&& draw) {
    for (int done = 0; done < h;) {
        const int n = std::min(target.RunRows(), h - done);
        std::size_t stride = 0;
        std::uint32_t* room = target.Room(n, stride);
        if (!draw(done, n, room, stride) || !target.Drawn())
            return false;
        done += n;
    }
    return true;
}

} // namespace velum
