#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
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

// A Windows bitmap whose headers were checked, decoded a rectangle at a time straight where
// the caller wants it, so a picture larger than the screen is never held whole.
class BitmapFile {
  public:
    // Refuses exactly what DecodeBitmap refuses. An RLE stream is decoded at once, since
    // only decoding shows whether it is sound; other files are read as rows are asked for.
    static std::optional<BitmapFile> Open(const std::string& path);
    // The same over bytes that outlive the object.
    static std::optional<BitmapFile> FromBytes(std::string_view bytes);

    int width() const;
    int height() const;
    // Decodes the w by h rectangle at (x, y) into rows `stride` pixels apart, each pixel
    // 0x00RRGGBB; false when it is not inside the picture or the file can no longer be read.
    bool Decode(int x, int y, int w, int h, std::uint32_t* out, std::size_t stride) const;

  private:
    struct State;
    explicit BitmapFile(std::shared_ptr<State> state);
    static std::optional<BitmapFile> Check(std::shared_ptr<State> state);
    std::shared_ptr<State> state_;
};

// Decodes a Windows bitmap (1, 4, 8, 16, 24, 32 bits, RLE4, RLE8, bit fields, OS/2 headers,
// top-down rows); nullopt when it is not one, is cut short, or claims a picture too large.
std::optional<Picture> DecodeBitmap(std::string_view bytes);

} // namespace velum
