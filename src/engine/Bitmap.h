#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velum {

// A decoded picture: rows from top to bottom, each pixel 0x00RRGGBB.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t at(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

// The largest side a bitmap may claim; larger ones are refused before anything is allocated.
inline constexpr int kMaxBitmapSide = 16384;

// Decodes a Windows bitmap (1, 4, 8, 16, 24, 32 bits, RLE4, RLE8, bit fields, OS/2 headers,
// top-down rows); nullopt when it is not one, is cut short, or claims a picture too large.
std::optional<Picture> DecodeBitmap(std::string_view bytes);

// Reads and decodes a bitmap file; nullopt when it cannot be read or decoded.
std::optional<Picture> DecodeBitmapFile(const std::string& path);

} // namespace velum
