// Any input is refused or gives a picture whose pixel count matches its sides and whose pixels
// leave the top byte clear, and any rectangle of it decodes to the same pixels; the sanitizers
// catch reads past the input and overflows.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/Bitmap.h"

static void Check(bool ok) {
    if (!ok)
        std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto picture = velum::DecodeBitmap(bytes);
    const auto bitmap = velum::BitmapFile::FromBytes(bytes);
    Check(!picture == !bitmap);
    if (!picture)
        return 0;
    Check(picture->pixels.size() == std::size_t(picture->width) * std::size_t(picture->height));
    for (std::uint32_t pixel : picture->pixels)
        Check(pixel <= 0xFFFFFF);
    const int x = picture->width / 3, y = picture->height / 2;
    const int w = picture->width - x, h = (picture->height - y + 1) / 2;
    std::vector<std::uint32_t> part(std::size_t(w) * std::size_t(h));
    Check(bitmap->Decode(x, y, w, h, part.data(), std::size_t(w)));
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            Check(part[std::size_t(r) * std::size_t(w) + std::size_t(c)] ==
                  picture->at(x + c, y + r));
    return 0;
}
