#include "engine/Bitmap.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <ios>
#include <istream>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

#include "common/Files.h"
#include "common/IoFailure.h"

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

// The opening bytes of a file that ReadLayout looks at; it reads none beyond them.
constexpr std::size_t kLayoutBytes = 70;

// `data` holds the file's first min(size, kLayoutBytes) bytes.
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

// The number of palette entries the file holds for the layout.
std::size_t PaletteEntries(const Layout& l) {
    if (l.bpp > 8)
        return 0;
    const std::uint32_t full = std::uint32_t{1} << l.bpp;
    const std::uint32_t claimed = l.colorsUsed != 0 && l.colorsUsed < full ? l.colorsUsed : full;
    // The palette may be shorter than claimed; the missing entries stay black.
    const std::size_t room = (l.pixelStart - l.paletteStart) / l.paletteEntry;
    return std::min<std::size_t>(claimed, room);
}

// `p` holds PaletteEntries(l) entries.
Palette ReadPalette(const Byte* p, const Layout& l) {
    Palette palette{};
    const std::size_t count = PaletteEntries(l);
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

// Decodes `count` pixels of the file row at `src`, from column `x0` on.
void DecodeRow(const Byte* src, std::uint32_t* dst, std::size_t x0, std::size_t count,
               const Layout& l, const Palette& palette, const BitFields& fields, bool plain) {
    switch (l.bpp) {
    case 1:
        for (std::size_t i = 0, x = x0; i < count; ++i, ++x)
            dst[i] = palette[(src[x >> 3] >> (7 - (x & 7))) & 1];
        break;
    case 4:
        for (std::size_t i = 0, x = x0; i < count; ++i, ++x)
            dst[i] = palette[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
        break;
    case 8:
        src += x0;
        for (std::size_t i = 0; i < count; ++i)
            dst[i] = palette[src[i]];
        break;
    case 16:
        src += 2 * x0;
        for (std::size_t i = 0; i < count; ++i, src += 2)
            dst[i] = fields(Le16(src));
        break;
    case 24:
        src += 3 * x0;
        for (std::size_t i = 0; i < count; ++i, src += 3)
            dst[i] = std::uint32_t{src[2]} << 16 | std::uint32_t{src[1]} << 8 | src[0];
        break;
    default:
        src += 4 * x0;
        if (plain) {
            for (std::size_t i = 0; i < count; ++i, src += 4)
                dst[i] = Le32(src) & 0xFFFFFFu;
        } else {
            for (std::size_t i = 0; i < count; ++i, src += 4)
                dst[i] = fields(Le32(src));
        }
        break;
    }
}

std::int64_t Stride(const Layout& l) {
    return (l.width * l.bpp + 31) / 32 * 4;
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

// Largest run of file rows read at once; the picture itself is never read whole.
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

// Room for bytes read from a file, left uninitialised since the read fills it.
class ReadBuffer {
  public:
    Byte* Room(std::size_t n) {
        if (n > size_) {
            bytes_.reset(new Byte[n]);
            size_ = n;
        }
        return bytes_.get();
    }

  private:
    std::unique_ptr<Byte[]> bytes_;
    std::size_t size_ = 0;
};

} // namespace

struct BitmapFile::State {
    Layout layout;
    Palette palette{};
    std::uint64_t size = 0;
    std::string_view bytes;             // the whole file, when it is in memory
    std::unique_ptr<std::istream> file; // null when the bytes are in memory
    std::vector<std::uint32_t> rle; // an RLE picture, decoded whole to learn whether it is sound

    // The `n` bytes at `at`: in memory, or read into `buffer`; null when they cannot be read.
    const Byte* Fetch(std::uint64_t at, std::size_t n, ReadBuffer& buffer) const {
        if (at > size || n > size - at)
            return nullptr;
        if (!file)
            return reinterpret_cast<const Byte*>(bytes.data() + at);
        Byte* room = buffer.Room(n);
        file->clear();
        if (!file->seekg(static_cast<std::streamoff>(at)) ||
            !file->read(reinterpret_cast<char*>(room), static_cast<std::streamsize>(n)))
            return nullptr;
        return room;
    }
};

BitmapFile::BitmapFile(std::shared_ptr<State> state) : state_(std::move(state)) {}

int BitmapFile::width() const {
    return static_cast<int>(state_->layout.width);
}

int BitmapFile::height() const {
    return static_cast<int>(state_->layout.height);
}

std::optional<BitmapFile> BitmapFile::Check(std::shared_ptr<State> s) {
    ReadBuffer buffer;
    const std::size_t opening =
        static_cast<std::size_t>(std::min<std::uint64_t>(s->size, kLayoutBytes));
    const Byte* head = s->Fetch(0, opening, buffer);
    if (!head)
        return std::nullopt;
    const std::optional<Layout> layout = ReadLayout(head, static_cast<std::size_t>(s->size));
    if (!layout)
        return std::nullopt;
    const Layout& l = s->layout = *layout;
    const bool rle = l.compression == kRle8 || l.compression == kRle4;
    const std::int64_t count = l.width * l.height;
    const auto available = static_cast<std::int64_t>(s->size - l.pixelStart);
    if (rle) {
        if (count > kRleFreePixels && count / kRlePixelsPerByte > available)
            return std::nullopt;
    } else {
        // Checked before allocating; only the last row's padding may be missing.
        const std::int64_t lastRow = (l.width * l.bpp + 7) / 8;
        if (Stride(l) * (l.height - 1) + lastRow > available)
            return std::nullopt;
    }
    const Byte* palette = s->Fetch(l.paletteStart, PaletteEntries(l) * l.paletteEntry, buffer);
    if (!palette)
        return std::nullopt;
    s->palette = ReadPalette(palette, l);
    if (rle) {
        const auto length = static_cast<std::size_t>(s->size - l.pixelStart);
        const Byte* stream = s->Fetch(l.pixelStart, length, buffer);
        if (!stream)
            return std::nullopt;
        s->rle.resize(static_cast<std::size_t>(count));
        if (!DecodeRle(stream, stream + length, l, s->palette, s->rle.data()))
            return std::nullopt;
        s->file.reset(); // everything is decoded
    }
    return BitmapFile(std::move(s));
}

std::optional<BitmapFile> BitmapFile::FromBytes(std::string_view bytes) {
    try {
        auto state = std::make_shared<State>();
        state->bytes = bytes;
        state->size = bytes.size();
        return Check(std::move(state));
    } catch (const std::bad_alloc&) {
        // A large but valid claim the system cannot hold.
        return std::nullopt;
    }
}

std::optional<BitmapFile> BitmapFile::Open(const std::string& path) {
    try {
        auto state = std::make_shared<State>();
        // Only a regular file is read: a FIFO or a device is refused without waiting on it.
        state->file = OpenForReading(path);
        if (!state->file || !state->file->seekg(0, std::ios::end))
            return std::nullopt;
        const std::streamoff size = state->file->tellg();
        if (size < 0 || size > kMaxFileSize)
            return std::nullopt;
        state->size = static_cast<std::uint64_t>(size);
        return Check(std::move(state));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    } catch (const std::length_error&) {
        return std::nullopt;
    } catch (const IoFailure&) {
        return std::nullopt; // unreadable, a folder or not a regular file
    }
}

bool BitmapFile::Decode(int x, int y, int w, int h, std::uint32_t* out, std::size_t stride) const {
    const State& s = *state_;
    const Layout& l = s.layout;
    if (x < 0 || y < 0 || w < 0 || h < 0 || x + w > l.width || y + h > l.height)
        return false;
    if (!s.rle.empty()) {
        for (int r = 0; r < h; ++r)
            std::copy_n(s.rle.data() + static_cast<std::size_t>(y + r) * l.width + x, w,
                        out + static_cast<std::size_t>(r) * stride);
        return true;
    }
    std::array<std::uint32_t, 3> masks = l.masks;
    if (l.compression == kRgb)
        masks = l.bpp == 16 ? std::array<std::uint32_t, 3>{0x7C00, 0x03E0, 0x001F}
                            : std::array<std::uint32_t, 3>{0xFF0000, 0xFF00, 0xFF};
    const bool plain = masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF;
    const BitFields fields{Channel(masks[0]), Channel(masks[1]), Channel(masks[2])};

    // File rows are read in runs; bottom-up files hold the picture's rows in reverse.
    const auto fileStride = static_cast<std::uint64_t>(Stride(l));
    const int perChunk = static_cast<int>(std::max<std::uint64_t>(1, kChunkBytes / fileStride));
    ReadBuffer buffer;
    for (int r = 0; r < h;) {
        const int n = std::min(perChunk, h - r);
        const std::int64_t first = l.topDown ? y + r : l.height - (y + r + n);
        const std::uint64_t at = l.pixelStart + static_cast<std::uint64_t>(first) * fileStride;
        // The last row of the file may lack its padding.
        const auto length = static_cast<std::size_t>(std::min(n * fileStride, s.size - at));
        const Byte* rows = s.Fetch(at, length, buffer);
        if (!rows)
            return false;
        for (int i = 0; i < n; ++i, ++r) {
            const std::int64_t fileRow = l.topDown ? y + r : l.height - 1 - (y + r);
            DecodeRow(rows + static_cast<std::uint64_t>(fileRow - first) * fileStride,
                      out + static_cast<std::size_t>(r) * stride, static_cast<std::size_t>(x),
                      static_cast<std::size_t>(w), l, s.palette, fields, plain);
        }
    }
    return true;
}

namespace {

std::optional<Picture> DecodeWhole(const std::optional<BitmapFile>& bitmap) {
    if (!bitmap)
        return std::nullopt;
    Picture picture;
    picture.width = bitmap->width();
    picture.height = bitmap->height();
    picture.pixels.resize(static_cast<std::size_t>(picture.width) *
                          static_cast<std::size_t>(picture.height));
    if (!bitmap->Decode(0, 0, picture.width, picture.height, picture.pixels.data(),
                        static_cast<std::size_t>(picture.width)))
        return std::nullopt;
    return picture;
}

} // namespace

std::optional<Picture> DecodeBitmap(std::string_view bytes) {
    try {
        return DecodeWhole(BitmapFile::FromBytes(bytes));
    } catch (const std::bad_alloc&) {
        // A large but valid claim the system cannot hold.
        return std::nullopt;
    }
}

} // namespace velum
