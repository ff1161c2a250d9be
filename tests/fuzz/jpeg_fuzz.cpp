// Any input is refused, or opens with sides within the limits and draws, at natural size or
// scaled and in parts, pixels that leave the top byte clear; its EXIF readers always give an
// orientation from 1 to 8. The sanitizers catch reads past the input and overflows.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/PictureFile.h"
#include "engine/PictureParts.h"

static void Check(bool ok) {
    if (!ok)
        std::abort();
}

static void CheckDrawn(const velum::PictureFile& file, int sw, int sh, int x, int y, int w, int h) {
    std::vector<std::uint32_t> out(std::size_t(w) * std::size_t(h));
    if (file.Draw(sw, sh, x, y, w, h, out.data(), std::size_t(w)))
        for (std::uint32_t pixel : out)
            Check(pixel <= 0xFFFFFF);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const int orientation : {velum::ExifOrientation(bytes), velum::JpegExifOrientation(bytes)})
        Check(orientation >= 1 && orientation <= 8);
    const auto file = velum::PictureFile::FromBytes(velum::PictureFormat::Jpeg, bytes);
    if (!file)
        return 0;
    const int w = file->width(), h = file->height();
    Check(w >= 1 && h >= 1 && w <= velum::kMaxPhotoSide && h <= velum::kMaxPhotoSide);
    // Small claims are drawn whole; every claim is drawn scaled to a thumbnail and in part.
    if (std::int64_t{w} * h <= 1 << 16)
        CheckDrawn(*file, w, h, 0, 0, w, h);
    const int sw = std::min(w, 48) + 3, sh = std::min(h, 32) + 1;
    CheckDrawn(*file, sw, sh, 0, 0, sw, sh);
    CheckDrawn(*file, sw, sh, sw / 3, sh / 2, sw - sw / 3, (sh - sh / 2 + 1) / 2);
    file->Decodes();
    return 0;
}
