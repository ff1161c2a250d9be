// Any input is refused, or opens with sides within the limits and draws, at natural size or
// scaled, pixels that leave the top byte clear, any part of them the same as that part of the
// whole; and a drawing that succeeds means the file decodes. The sanitizers catch reads past
// the input and overflows.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/PictureFile.h"

static void Check(bool ok) {
    if (!ok)
        std::abort();
}

// The scaled picture when it draws, its pixels checked, and a part of it compared.
static void CheckScaled(const velum::PictureFile& file, int sw, int sh) {
    std::vector<std::uint32_t> whole(std::size_t(sw) * std::size_t(sh));
    if (!file.Draw(sw, sh, 0, 0, sw, sh, whole.data(), std::size_t(sw), 0x336699))
        return;
    Check(file.Decodes());
    for (std::uint32_t pixel : whole)
        Check(pixel <= 0xFFFFFF);
    const int x = sw / 3, y = sh / 2, w = sw - x, h = (sh - y + 1) / 2;
    std::vector<std::uint32_t> part(std::size_t(w) * std::size_t(h));
    Check(file.Draw(sw, sh, x, y, w, h, part.data(), std::size_t(w), 0x336699));
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            Check(part[std::size_t(r) * std::size_t(w) + std::size_t(c)] ==
                  whole[std::size_t(y + r) * std::size_t(sw) + std::size_t(x + c)]);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto file = velum::PictureFile::FromBytes(velum::PictureFormat::Png, bytes);
    if (!file)
        return 0;
    const int w = file->width(), h = file->height();
    Check(w >= 1 && h >= 1 && w <= velum::kMaxPhotoSide && h <= velum::kMaxPhotoSide);
    if (std::int64_t{w} * h <= 1 << 16)
        CheckScaled(*file, w, h);
    CheckScaled(*file, std::min(w, 48) + 3, std::min(h, 32) + 1);
    return 0;
}
