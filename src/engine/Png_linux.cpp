// PNG through libpng: its transforms turn every kind of PNG into 8-bit BGRA rows, read one at a
// time; transparency is composited over the background as rows arrive.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <png.h>

#include "engine/PictureFile.h"
#include "engine/PictureRows.h"

namespace velum {
namespace {

void Error(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

// Warnings (an sRGB profile libpng knows to be wrong, a bad ancillary chunk it drops) leave the
// pixels sound.
void Warning(png_structp, png_const_charp) {}

void ReadMemory(png_structp png, png_bytep out, png_size_t length);

std::uint32_t Over(const unsigned char* bgra, std::uint32_t background) {
    const unsigned a = bgra[3];
    if (a == 255)
        return std::uint32_t{bgra[0]} | std::uint32_t{bgra[1]} << 8 | std::uint32_t{bgra[2]} << 16;
    std::uint32_t pixel = 0;
    for (int i = 0; i < 3; ++i) {
        const unsigned under = background >> (8 * i) & 0xFF;
        pixel |= std::uint32_t{(bgra[i] * a + under * (255 - a) + 127) / 255} << (8 * i);
    }
    return pixel;
}

// One read of a PNG. Every call into libpng sits in a method that sets the jump first and
// keeps nothing on its own stack frame that a jump could leave behind.
class Png {
  public:
    ~Png() {
        if (png_)
            png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr);
        if (file_)
            std::fclose(file_);
    }

    bool Begin(const PictureSource& source) {
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, Error, Warning);
        if (!png_ || !(info_ = png_create_info_struct(png_)))
            return false;
        if (source.inMemory) {
            bytes_ = source.bytes;
        } else if (!(file_ = OpenRegularFile(source.path))) {
            return false;
        }
        if (setjmp(png_jmpbuf(png_)))
            return false;
        if (source.inMemory)
            png_set_read_fn(png_, this, ReadMemory);
        else
            png_init_io(png_, file_);
        png_set_user_limits(png_, kMaxPhotoSide, kMaxPhotoSide);
        // Each chunk's CRC already finds a broken file; the stream's own sum only costs time.
        png_set_option(png_, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
        png_read_info(png_, info_);
        width_ = static_cast<int>(png_get_image_width(png_, info_));
        height_ = static_cast<int>(png_get_image_height(png_, info_));
        interlaced_ = png_get_interlace_type(png_, info_) != PNG_INTERLACE_NONE;
        const std::int64_t pixels = std::int64_t{width_} * height_;
        return pixels <= (interlaced_ ? kMaxInterlacedPixels : kMaxPhotoPixels);
    }

    PngInfo Info() const { return {width_, height_, interlaced_}; }

    // Every kind of PNG as 8-bit BGRA: palettes, low bit depths and tRNS expanded, 16 bits
    // scaled, grey made RGB, and an opaque alpha added where there is none.
    bool Transform() {
        if (setjmp(png_jmpbuf(png_)))
            return false;
        png_set_expand(png_);
        png_set_scale_16(png_);
        png_set_gray_to_rgb(png_);
        png_set_bgr(png_);
        png_set_filler(png_, 0xFFFF, PNG_FILLER_AFTER);
        png_set_interlace_handling(png_);
        png_read_update_info(png_, info_);
        return png_get_rowbytes(png_, info_) == static_cast<std::size_t>(width_) * 4;
    }

    // Starts on columns [c0, c1) from row r0. An interlaced file is decoded whole now, as only its
    // last pass completes a row.
    bool Start(int c0, int c1, int r0, std::uint32_t background) {
        if (c0 < 0 || c1 > width_ || c0 >= c1 || r0 < 0 || r0 >= height_)
            return false;
        c0_ = c0;
        columns_ = c1 - c0;
        background_ = background;
        const std::size_t rowBytes = static_cast<std::size_t>(width_) * 4;
        if (interlaced_) {
            // Left uninitialised: a file cut short early touches little of it.
            image_.reset(new unsigned char[rowBytes * static_cast<std::size_t>(height_)]);
            rows_.resize(static_cast<std::size_t>(height_));
            for (int y = 0; y < height_; ++y)
                rows_[static_cast<std::size_t>(y)] = image_.get() + rowBytes * y;
        } else {
            whole_.resize(rowBytes);
        }
        if (setjmp(png_jmpbuf(png_)))
            return false;
        if (interlaced_)
            png_read_image(png_, rows_.data());
        else
            for (int y = 0; y < r0; ++y)
                png_read_row(png_, whole_.data(), nullptr);
        next_ = r0;
        return true;
    }

    bool Read(int n, std::uint32_t* out, std::size_t stride) {
        if (next_ + n > height_)
            return false;
        if (setjmp(png_jmpbuf(png_)))
            return false;
        for (int i = 0; i < n; ++i, ++next_) {
            const unsigned char* row = whole_.data();
            if (interlaced_)
                row = rows_[static_cast<std::size_t>(next_)];
            else
                png_read_row(png_, whole_.data(), nullptr);
            std::uint32_t* to = out + static_cast<std::size_t>(i) * stride;
            for (int c = 0; c < columns_; ++c)
                to[c] = Over(row + static_cast<std::size_t>(c0_ + c) * 4, background_);
        }
        return true;
    }

    // Reads the rows not drawn and the chunks after them, so their checksums are seen.
    bool Finish() {
        if (setjmp(png_jmpbuf(png_)))
            return false;
        if (!interlaced_)
            for (; next_ < height_; ++next_)
                png_read_row(png_, whole_.data(), nullptr);
        png_read_end(png_, nullptr);
        return true;
    }

    // Every row of every pass into one row, without transforms: nothing is kept.
    bool ReadAll() {
        if (setjmp(png_jmpbuf(png_)))
            return false;
        const int passes = png_set_interlace_handling(png_);
        png_read_update_info(png_, info_);
        whole_.resize(png_get_rowbytes(png_, info_));
        for (int pass = 0; pass < passes; ++pass)
            for (int y = 0; y < height_; ++y)
                png_read_row(png_, whole_.data(), nullptr);
        png_read_end(png_, nullptr);
        return true;
    }

    std::string_view bytes_;
    std::size_t at_ = 0;

  private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    std::FILE* file_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    bool interlaced_ = false;
    int c0_ = 0;
    int columns_ = 0;
    int next_ = 0;
    std::uint32_t background_ = 0;
    std::vector<unsigned char> whole_;
    std::unique_ptr<unsigned char[]> image_;
    std::vector<unsigned char*> rows_;
};

void ReadMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* self = static_cast<Png*>(png_get_io_ptr(png));
    if (length > self->bytes_.size() - self->at_)
        png_error(png, "cut short");
    std::memcpy(out, self->bytes_.data() + self->at_, length);
    self->at_ += length;
}

} // namespace

std::optional<PngInfo> ReadPngInfo(const PictureSource& source) {
    Png png;
    if (!png.Begin(source))
        return std::nullopt;
    return png.Info();
}

std::unique_ptr<RowSource> StartPngRows(const PictureSource& source, int c0, int c1, int r0,
                                        std::uint32_t background) {
    auto rows = std::make_unique<DecoderRows<Png>>();
    if (!rows->decoder.Begin(source) || !rows->decoder.Transform() ||
        !rows->decoder.Start(c0, c1, r0, background))
        return nullptr;
    return rows;
}

bool PngDecodes(const PictureSource& source) {
    Png png;
    return png.Begin(source) && png.ReadAll();
}

} // namespace velum
