#include "engine/Bitmap.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <ios>
#include <new>
#include <stdexcept>

namespace velum {
namespace {

using Byte = unsigned char;
using Palette = std::array<std::uint32_t, 256>;

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::int64_t kMaxSide = kMaxBitmapSide;
// RLE lets a few bytes claim a huge all-black picture; beyond this size the stream must be
// long enough to plausibly describe it (a bare end-of-line covers under 2048 pixels a byte).
constexpr std::int64_t kRleFreePixels = std::int64_t{1} << 20;
constexpr std::int64_t kRlePixelsPerByte = 4096;
// The largest plausible file: a full-size 32-bit picture plus headers and palette.
constexpr std::int64_t kMaxFileSize = kMaxSide * kMaxSide * 4 + (std::int64_t{1} << 20);

std::uint32_t Le16(const Byte* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8;
}

std::uint32_t Le32(const Byte* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

// Everything the headers say about where and how the pixels are stored.
struct Layout {
    std::int64_t width = 0;
    std::int64_t height = 0;
    bool topDown = false;
    unsigned bpp = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t colorsUsed = 0;
    std::array<std::uint32_t, 3> masks{};
    std::size_t paletteStart = 0;
    std::size_t paletteEntry = 4;
    std::size_t pixelStart = 0;
};

bool IsWindowsHeader(std::uint32_t size) {
    return size == 40 || size == 52 || size == 56 || size >= 108;
}

std::optional<Layout> ReadLayout(const Byte* data, std::size_t size) {
    if (size < kFileHeaderSize + 4 || data[0] != 'B' || data[1] != 'M')
        return std::nullopt;
    const std::uint32_t headerSize = Le32(data + kFileHeaderSize);
    if (headerSize < 12 || headerSize > size - kFileHeaderSize)
        return std::nullopt;
    const Byte* h = data + kFileHeaderSize;
    Layout l;
    l.paletteStart = kFileHeaderSize + headerSize;
    if (headerSize == 12) {
        // OS/2 1.x: unsigned 16-bit sides, always bottom-up, 3-byte palette entries.
        l.width = Le16(h + 4);
        l.height = Le16(h + 6);
        l.bpp = Le16(h + 10);
        l.paletteEntry = 3;
    } else {
        const bool windows = IsWindowsHeader(headerSize);
        if (headerSize < 16 || (!windows && headerSize > 64))
            return std::nullopt;
        l.width = static_cast<std::int32_t>(Le32(h + 4));
        l.height = static_cast<std::int32_t>(Le32(h + 8));
        l.bpp = Le16(h + 14);
        // OS/2 2.x headers may be cut short after any field; the missing ones are zero.
        l.compression = headerSize >= 20 ? Le32(h + 16) : kRgb;
        l.colorsUsed = headerSize >= 36 ? Le32(h + 32) : 0;
        // OS/2 uses 3 for Huffman 1D and 4 for RLE24, neither of which is supported.
        if (!windows && l.compression != kRgb && l.compression != kRle8 && l.compression != kRle4)
            return std::nullopt;
        if (l.compression == kBitFields || l.compression == kAlphaBitFields) {
            const Byte* m = h + 40;
            if (headerSize == 40) {
                // The masks follow a plain info header, ahead of any palette.
                const std::size_t maskBytes = l.compression == kBitFields ? 12 : 16;
                if (size - l.paletteStart < maskBytes)
                    return std::nullopt;
                l.paletteStart += maskBytes;
            }
            l.masks = {Le32(m), Le32(m + 4), Le32(m + 8)};
        }
    }
    if (l.height < 0) {
        l.topDown = true;
        l.height = -l.height;
    }
    if (l.width < 1 || l.width > kMaxSide || l.height < 1 || l.height > kMaxSide)
        return std::nullopt;

    switch (l.compression) {
    case kRgb:
        if (l.bpp != 1 && l.bpp != 4 && l.bpp != 8 && l.bpp != 16 && l.bpp != 24 && l.bpp != 32)
            return std::nullopt;
        break;
    case kRle8:
        if (l.bpp != 8)
            return std::nullopt;
        break;
    case kRle4:
        if (l.bpp != 4)
            return std::nullopt;
        break;
    case kBitFields:
    case kAlphaBitFields:
        if (l.bpp != 16 && l.bpp != 32)
            return std::nullopt;
        break;
    default:
        return std::nullopt;
    }

    const std::uint32_t offset = Le32(data + 10);
    if (offset < l.paletteStart || offset > size)
        return std::nullopt;
    l.pixelStart = offset;
    return l;
}

Palette ReadPalette(const Byte* data, const Layout& l) {
    Palette palette{};
    if (l.bpp > 8)
        return palette;
    const std::uint32_t full = std::uint32_t{1} << l.bpp;
    const std::uint32_t claimed = l.colorsUsed != 0 && l.colorsUsed < full ? l.colorsUsed : full;
    // The palette may be shorter than claimed; the missing entries stay black.
    const std::size_t room = (l.pixelStart - l.paletteStart) / l.paletteEntry;
    const std::size_t count = std::min<std::size_t>(claimed, room);
    const Byte* p = data + l.paletteStart;
    for (std::size_t i = 0; i < count; ++i, p += l.paletteEntry)
        palette[i] = std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
    return palette;
}

// One colour component of a bit-field pixel, scaled from its mask's width to 8 bits with
// rounding. Division by the mask's maximum is done as an exact multiply and shift.
class Channel {
  public:
    explicit Channel(std::uint32_t mask)
        : mask_(mask), shift_(mask == 0 ? 0 : std::countr_zero(mask)), max_(mask >> shift_) {
        if (max_ != 0 && max_ < 65536) {
            // With numerators below 2^24, ceil(2^k / max) for k = 24 + ceil(log2 max) makes
            // the multiply-shift equal the integer quotient.
            bits_ = 24 + static_cast<unsigned>(std::bit_width(max_ - 1));
            multiplier_ = ((std::uint64_t{1} << bits_) + max_ - 1) / max_;
        }
    }

    std::uint32_t operator()(std::uint32_t pixel) const {
        const std::uint64_t value = (pixel & mask_) >> shift_;
        const std::uint64_t scaled = value * 255 + max_ / 2;
        if (multiplier_ != 0)
            return static_cast<std::uint32_t>((scaled * multiplier_) >> bits_);
        return max_ == 0 ? 0 : static_cast<std::uint32_t>(scaled / max_);
    }

  private:
    std::uint32_t mask_;
    int shift_;
    std::uint32_t max_;
    std::uint64_t multiplier_ = 0;
    unsigned bits_ = 0;
};

struct BitFields {
    Channel red, green, blue;
    std::uint32_t operator()(std::uint32_t p) const {
        return red(p) << 16 | green(p) << 8 | blue(p);
    }
};

void DecodeRow(const Byte* src, std::uint32_t* dst, std::size_t width, const Layout& l,
               const Palette& palette, const BitFields& fields, bool plain) {
    switch (l.bpp) {
    case 1:
        for (std::size_t x = 0; x < width; ++x)
            dst[x] = palette[(src[x >> 3] >> (7 - (x & 7))) & 1];
        break;
    case 4:
        for (std::size_t x = 0; x < width; ++x)
            dst[x] = palette[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
        break;
    case 8:
        for (std::size_t x = 0; x < width; ++x)
            dst[x] = palette[src[x]];
        break;
    case 16:
        for (std::size_t x = 0; x < width; ++x, src += 2)
            dst[x] = fields(Le16(src));
        break;
    case 24:
        for (std::size_t x = 0; x < width; ++x, src += 3)
            dst[x] = std::uint32_t{src[2]} << 16 | std::uint32_t{src[1]} << 8 | src[0];
        break;
    default:
        if (plain) {
            for (std::size_t x = 0; x < width; ++x, src += 4)
                dst[x] = Le32(src) & 0xFFFFFFu;
        } else {
            for (std::size_t x = 0; x < width; ++x, src += 4)
                dst[x] = fields(Le32(src));
        }
        break;
    }
}

std::int64_t Stride(const Layout& l) {
    return (l.width * l.bpp + 31) / 32 * 4;
}

void DecodeUncompressed(const Byte* data, const Layout& l, const Palette& palette,
                        std::uint32_t* out) {
    std::array<std::uint32_t, 3> masks = l.masks;
    if (l.compression == kRgb)
        masks = l.bpp == 16 ? std::array<std::uint32_t, 3>{0x7C00, 0x03E0, 0x001F}
                            : std::array<std::uint32_t, 3>{0xFF0000, 0xFF00, 0xFF};
    const bool plain = masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF;
    const BitFields fields{Channel(masks[0]), Channel(masks[1]), Channel(masks[2])};

    const auto width = static_cast<std::size_t>(l.width);
    const auto height = static_cast<std::size_t>(l.height);
    const auto stride = static_cast<std::size_t>(Stride(l));
    const Byte* pixels = data + l.pixelStart;
    for (std::size_t y = 0; y < height; ++y) {
        const std::size_t fileRow = l.topDown ? y : height - 1 - y;
        DecodeRow(pixels + fileRow * stride, out + y * width, width, l, palette, fields, plain);
    }
}

// Runs and escapes of RLE8 and RLE4. Pixels the stream skips stay black; pixels past the
// right edge are dropped. The stream must reach its end code or the end of the last row.
bool DecodeRle(const Byte* p, const Byte* end, const Layout& l, const Palette& palette,
               std::uint32_t* out) {
    const bool four = l.compression == kRle4;
    const std::int64_t width = l.width;
    const std::int64_t height = l.height;
    std::int64_t x = 0;
    std::int64_t y = 0;
    auto row = [&]() { return out + (l.topDown ? y : height - 1 - y) * width; };

    for (;;) {
        if (y >= height)
            return true;
        if (end - p < 2)
            return y == height - 1 && x >= width;
        const Byte count = p[0];
        const Byte value = p[1];
        p += 2;
        if (count > 0) {
            const std::int64_t n = std::min<std::int64_t>(count, width - x);
            if (n > 0) {
                std::uint32_t* dst = row() + x;
                if (four) {
                    const std::uint32_t colors[2] = {palette[value >> 4], palette[value & 15]};
                    for (std::int64_t i = 0; i < n; ++i)
                        dst[i] = colors[i & 1];
                } else {
                    std::fill(dst, dst + n, palette[value]);
                }
            }
            x += count;
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            return true;
        } else if (value == 2) {
            if (end - p < 2)
                return false;
            x += p[0];
            y += p[1];
            p += 2;
        } else {
            const std::int64_t bytes = four ? (value + 1) / 2 : value;
            if (end - p < bytes)
                return false;
            const std::int64_t n = std::min<std::int64_t>(value, width - x);
            if (n > 0) {
                std::uint32_t* dst = row() + x;
                for (std::int64_t i = 0; i < n; ++i)
                    dst[i] = palette[four ? (p[i >> 1] >> ((i & 1) ? 0 : 4)) & 15 : p[i]];
            }
            // Absolute runs are padded to a 16-bit boundary.
            p += std::min<std::int64_t>(bytes + (bytes & 1), end - p);
            x += value;
        }
    }
}

std::optional<Picture> Decode(const Byte* data, std::size_t size) {
    const std::optional<Layout> layout = ReadLayout(data, size);
    if (!layout)
        return std::nullopt;
    const Layout& l = *layout;
    const bool rle = l.compression == kRle8 || l.compression == kRle4;
    const std::int64_t count = l.width * l.height;
    const auto available = static_cast<std::int64_t>(size - l.pixelStart);
    if (rle) {
        if (count > kRleFreePixels && count / kRlePixelsPerByte > available)
            return std::nullopt;
    } else {
        // Checked before allocating; only the last row's padding may be missing.
        const std::int64_t lastRow = (l.width * l.bpp + 7) / 8;
        if (Stride(l) * (l.height - 1) + lastRow > available)
            return std::nullopt;
    }

    const Palette palette = ReadPalette(data, l);
    Picture picture;
    picture.width = static_cast<int>(l.width);
    picture.height = static_cast<int>(l.height);
    picture.pixels.resize(static_cast<std::size_t>(count));
    if (!rle)
        DecodeUncompressed(data, l, palette, picture.pixels.data());
    else if (!DecodeRle(data + l.pixelStart, data + size, l, palette, picture.pixels.data()))
        return std::nullopt;
    return picture;
}

} // namespace

std::optional<Picture> DecodeBitmap(std::string_view bytes) {
    try {
        return Decode(reinterpret_cast<const Byte*>(bytes.data()), bytes.size());
    } catch (const std::bad_alloc&) {
        // A large but valid claim the system cannot hold.
        return std::nullopt;
    }
}

std::optional<Picture> DecodeBitmapFile(const std::string& path) {
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in || !in.seekg(0, std::ios::end))
            return std::nullopt;
        const std::streamoff size = in.tellg();
        if (size < 0 || size > kMaxFileSize || !in.seekg(0, std::ios::beg))
            return std::nullopt;
        std::string bytes(static_cast<std::size_t>(size), '\0');
        if (!in.read(bytes.data(), size))
            return std::nullopt;
        return DecodeBitmap(bytes);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    } catch (const std::length_error&) {
        return std::nullopt;
    }
}

} // namespace velum
