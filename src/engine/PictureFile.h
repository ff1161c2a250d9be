#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/PictureNames.h"
#include "engine/Bitmap.h"

namespace velum {

// The largest side a photo may claim. Panoramas run past a bitmap's 16384; the scaler addresses
// a band's pixels in 16.16 fixed point, so a side must stay below 32768.
inline constexpr int kMaxPhotoSide = 30000;
// The most pixels a photo may claim (a 30000 by 8947 panorama, a 16384 square).
inline constexpr std::int64_t kMaxPhotoPixels = std::int64_t{1} << 28;
// An interlaced PNG is decoded whole, as only its last pass completes a row: up to this many
// pixels (256 MB of them).
inline constexpr std::int64_t kMaxInterlacedPixels = std::int64_t{1} << 26;

// Where a drawing's rows go, a run at a time from the top: the caller's memory, or a band that
// is handed on as soon as it is drawn, so that no more than a band of the result is ever held.
class RowTarget {
  public:
    virtual ~RowTarget() = default;
    // The most rows a run may have.
    virtual int RunRows() const = 0;
    // Room for the next n rows (1 <= n <= RunRows()), `stride` pixels apart.
    virtual std::uint32_t* Room(int n, std::size_t& stride) = 0;
    // The rows of the last room are drawn; false ends the drawing.
    virtual bool Drawn() = 0;
};

// A picture file whose headers were checked, drawn at any size a part at a time, straight where
// the caller wants it; a photo larger than what is drawn is never held whole.
class PictureFile {
  public:
    // Reads only the headers (a JPEG's EXIF orientation too). The format comes from the name: a
    // ".jpg" holding a bitmap, a PNG or text is refused, as is a side above the limit, before
    // anything large is allocated.
    static std::optional<PictureFile> Open(const std::string& path);
    // The same over bytes that outlive the object (tests, fuzz targets).
    static std::optional<PictureFile> FromBytes(PictureFormat format, std::string_view bytes);

    PictureFormat format() const { return format_; }
    // As shown: a JPEG's EXIF orientation applied (6 and 8 swap the sides).
    int width() const { return width_; }
    int height() const { return height_; }

    // Draws the picture scaled to scaledW x scaledH pixels: the w x h part of that scaled picture
    // at (x, y), into rows `stride` pixels apart, each pixel 0x00RRGGBB, transparency composited
    // over `background`. At natural size it copies; at any other size it filters (an area
    // average when reducing, cubic when enlarging). The whole file is read to its end, so a
    // broken file is found whatever part is drawn. False when the rectangle is not inside the
    // scaled picture or the file turns out broken (cut short, bad checksum): the caller then
    // leaves the desktop as it was.
    bool Draw(int scaledW, int scaledH, int x, int y, int w, int h, std::uint32_t* out,
              std::size_t stride, std::uint32_t background = 0) const;
    // The same, into `target` a run at a time; it may have been handed rows when this fails.
    bool Draw(int scaledW, int scaledH, int x, int y, int w, int h, RowTarget& target,
              std::uint32_t background = 0) const;

    // True when the whole file decodes, found at the least cost: a JPEG decoded at an eighth of
    // its size, a PNG's rows read and dropped, nothing kept.
    bool Decodes() const;

    struct State;

  private:
    PictureFile(PictureFormat format, int width, int height, std::shared_ptr<const State> state)
        : format_(format), width_(width), height_(height), state_(std::move(state)) {}
    static std::optional<PictureFile> Inspect(PictureFormat format, std::shared_ptr<State> state);
    bool DrawScaled(int scaledW, int scaledH, int x, int y, int w, int h, RowTarget& target,
                    std::uint32_t background) const;

    PictureFormat format_;
    int width_;
    int height_;
    std::shared_ptr<const State> state_;
};

// The window's preview, never decoded whole: when `fit`, the whole picture scaled down, filtered,
// to at most `width` by `height` (each side on its own, left for the caller to stretch to the
// box), else its top left corner at natural size, cut to the box. nullopt for a file that does
// not open or decode.
std::optional<Picture> DecodePictureFileFor(const std::string& path, int width, int height,
                                            bool fit);

} // namespace velum
