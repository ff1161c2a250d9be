// Any input is refused or gives a picture whose pixel count matches its sides and whose pixels
// leave the top byte clear; the sanitizers catch reads past the input and overflows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/Bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto picture =
        velum::DecodeBitmap(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!picture)
        return 0;
    if (picture->pixels.size() != std::size_t(picture->width) * std::size_t(picture->height))
        std::abort();
    for (std::uint32_t pixel : picture->pixels)
        if (pixel > 0xFFFFFF)
            std::abort();
    return 0;
}
