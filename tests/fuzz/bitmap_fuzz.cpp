// Any input is refused or gives a picture whose pixel count matches its sides and whose pixels
// leave the top byte clear, and any rectangle of it decodes to the same pixels; the sanitizers
// catch reads past the input and overflows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "engine/Bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto picture = velum::DecodeBitmap(bytes);
    const auto bitmap = velum::BitmapFile::FromBytes(bytes);
    if (!picture != !bitmap)
        std::abort();
    if (!picture)
        return 0;
    if (picture->pixels.size() != std::size_t(picture->width) * std::size_t(picture->height))
        std::abort();
    for (std::uint32_t pixel : picture->pixels)
        if (pixel > 0xFFFFFF)
            std::abort();
    const int x = picture->width / 3, y = picture->height / 2;
    const int w = picture->width - x, h = (picture->height - y + 1) / 2;
    std::vector<std::uint32_t> part(std::size_t(w) * std::size_t(h));
    if (!bitmap->Decode(x, y, w, h, part.data(), std::size_t(w)))
        std::abort();
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            if (part[std::size_t(r) * std::size_t(w) + std::size_t(c)] != picture->at(x + c, y + r))
                std::abort();
    return 0;
}
