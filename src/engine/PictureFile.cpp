#include "engine/PictureFile.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <new>

#include "engine/PictureParts.h"

namespace velum {

int ExifOrientation(std::string_view app1) {
    constexpr std::string_view kExif("Exif\0\0", 6);
    if (app1.substr(0, kExif.size()) != kExif)
        return 1;
    const std::string_view tiff = app1.substr(kExif.size());
    if (tiff.size() < 8)
        return 1;
    const bool little = tiff.substr(0, 4) == std::string_view("II*\0", 4);
    if (!little && tiff.substr(0, 4) != std::string_view("MM\0*", 4))
        return 1;
    const auto byte = [&](std::size_t at) { return std::uint32_t{std::uint8_t(tiff[at])}; };
    const auto u16 = [&](std::size_t at) {
        return little ? byte(at) | byte(at + 1) << 8 : byte(at) << 8 | byte(at + 1);
    };
    const auto u32 = [&](std::size_t at) {
        return little ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
    };
    const std::uint32_t ifd = u32(4);
    if (ifd > tiff.size() || tiff.size() - ifd < 2)
        return 1;
    const std::uint32_t count = u16(ifd);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = ifd + 2 + std::size_t{i} * 12;
        if (entry + 12 > tiff.size())
            return 1;
        constexpr std::uint32_t kOrientationTag = 0x0112, kShort = 3;
        if (u16(entry) != kOrientationTag)
            continue;
        if (u16(entry + 2) != kShort || u32(entry + 4) != 1)
            return 1;
        const std::uint32_t value = u16(entry + 8);
        return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
    return 1;
}

int JpegExifOrientation(std::string_view jpeg) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(jpeg[at]); };
    if (jpeg.size() < 2 || byte(0) != 0xFF || byte(1) != 0xD8)
        return 1;
    std::size_t at = 2;
    while (at + 4 <= jpeg.size()) {
        if (byte(at) != 0xFF)
            return 1;
        const unsigned marker = byte(at + 1);
        if (marker == 0xFF) { // fill before a marker
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9 || marker == 0xD8 || marker == 0x00)
            return 1; // the scan begins, or the file is not sound: no headers follow
        const std::size_t length = std::size_t{byte(at + 2)} << 8 | byte(at + 3);
        if (length < 2)
            return 1;
        const std::string_view payload = jpeg.substr(at + 4, length - 2);
        if (marker == 0xE1 && payload.substr(0, 6) == std::string_view("Exif\0\0", 6))
            return ExifOrientation(payload);
        at += 2 + length;
    }
    return 1;
}

void StoredPoint(int orientation, int width, int height, int x, int y, int& sx, int& sy) {
    switch (orientation) {
    case 2:
        sx = width - 1 - x, sy = y;
        break;
    case 3:
        sx = width - 1 - x, sy = height - 1 - y;
        break;
    case 4:
        sx = x, sy = height - 1 - y;
        break;
    case 5:
        sx = y, sy = x;
        break;
    case 6:
        sx = y, sy = height - 1 - x;
        break;
    case 7:
        sx = width - 1 - y, sy = height - 1 - x;
        break;
    case 8:
        sx = width - 1 - y, sy = x;
        break;
    default:
        sx = x, sy = y;
        break;
    }
}

namespace {
std::atomic<std::uint64_t> jpegPixels{0};
} // namespace

std::uint64_t JpegPixelsDecoded() {
    return jpegPixels.load();
}

void CountJpegPixels(std::uint64_t n) {
    jpegPixels += n;
}

std::optional<Picture> DecodePictureFileFor(const std::string& path, int width, int height,
                                            bool fit) {
    try {
        const std::optional<PictureFile> file = PictureFile::Open(path);
        if (!file || width <= 0 || height <= 0)
            return std::nullopt;
        const int w = file->width(), h = file->height();
        Picture picture;
        picture.width = std::min(w, width);
        picture.height = std::min(h, height);
        picture.pixels.resize(static_cast<std::size_t>(picture.width) *
                              static_cast<std::size_t>(picture.height));
        const int scaledW = fit ? picture.width : w, scaledH = fit ? picture.height : h;
        if (!file->Draw(scaledW, scaledH, 0, 0, picture.width, picture.height,
                        picture.pixels.data(), static_cast<std::size_t>(picture.width)))
            return std::nullopt;
        return picture;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

namespace {

// The caller's rows, all in one run.
class MemoryTarget final : public RowTarget {
  public:
    MemoryTarget(std::uint32_t* out, std::size_t stride) : next_(out), stride_(stride) {}
    int RunRows() const override { return std::numeric_limits<int>::max(); }
    std::uint32_t* Room(int n, std::size_t& stride) override {
        std::uint32_t* room = next_;
        next_ += static_cast<std::size_t>(n) * stride_;
        stride = stride_;
        return room;
    }
    bool Drawn() override { return true; }

  private:
    std::uint32_t* next_;
    std::size_t stride_;
};

} // namespace

bool PictureFile::Draw(int scaledW, int scaledH, int x, int y, int w, int h, std::uint32_t* out,
                       std::size_t stride, std::uint32_t background) const {
    if (stride < static_cast<std::size_t>(w) || stride > UINT32_MAX / 4)
        return false;
    MemoryTarget target(out, stride);
    return Draw(scaledW, scaledH, x, y, w, h, target, background);
}

bool PictureFile::Draw(int scaledW, int scaledH, int x, int y, int w, int h, RowTarget& target,
                       std::uint32_t background) const {
    // pixman's coordinates stop at 32767, and Windows takes a row's bytes as 32 bits.
    constexpr int kMaxScaledSide = 32767;
    if (scaledW < 1 || scaledH < 1 || scaledW > kMaxScaledSide || scaledH > kMaxScaledSide ||
        x < 0 || y < 0 || w < 0 || h < 0 || x > scaledW - w || y > scaledH - h ||
        target.RunRows() < 1)
        return false;
    if (w == 0 || h == 0)
        return true;
    try {
        return DrawScaled(scaledW, scaledH, x, y, w, h, target, background);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace velum
