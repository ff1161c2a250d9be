// JPEG through libjpeg-turbo: decoded straight at the eighths of its size the drawing needs,
// only the columns and rows that show, a row at a time.
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

#include "engine/PictureFile.h"
#include "engine/PictureParts.h"
#include "engine/PictureRows.h"

namespace velum {

namespace {

static_assert(std::endian::native == std::endian::little, "JCS_EXT_BGRX gives 0x??RRGGBB words");

// Progressive files are held as coefficients for the whole picture; past this they are refused.
constexpr long kMaxJpegMemory = 512L << 20;

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

[[noreturn]] void Fail(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

// libjpeg only warns on damaged data (a cut-short file is padded with grey): damage is a failure.
// Warnings that leave every pixel sound pass; bytes skipped before a marker are what finishing a
// file whose last rows were not decoded reports.
void Message(j_common_ptr cinfo, int level) {
    if (level >= 0)
        return;
    switch (cinfo->err->msg_code) {
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_ADOBE_XFORM:
    case JWRN_JFIF_MAJOR:
    case JWRN_BOGUS_ICC:
        return;
    default:
        Fail(cinfo);
    }
}

void Silent(j_common_ptr) {}

// One decompression. Every call into libjpeg sits in a method that sets the jump first and
// keeps nothing on its own stack frame that a jump could leave behind.
class Jpeg {
  public:
    Jpeg() {
        jpeg_std_error(&error_.mgr);
        error_.mgr.error_exit = Fail;
        error_.mgr.emit_message = Message;
        error_.mgr.output_message = Silent;
        cinfo_.err = &error_.mgr;
    }
    ~Jpeg() {
        if (created_)
            jpeg_destroy_decompress(&cinfo_);
        if (file_)
            std::fclose(file_);
    }
    Jpeg(const Jpeg&) = delete;
    Jpeg& operator=(const Jpeg&) = delete;

    bool Begin(const PictureSource& source, bool exif) {
        if (!source.inMemory && !(file_ = OpenRegularFile(source.path)))
            return false;
        if (setjmp(error_.jump))
            return false;
        created_ = true;
        jpeg_create_decompress(&cinfo_);
        cinfo_.mem->max_memory_to_use = kMaxJpegMemory;
        if (source.inMemory)
            jpeg_mem_src(&cinfo_, reinterpret_cast<const unsigned char*>(source.bytes.data()),
                         static_cast<unsigned long>(source.bytes.size()));
        else
            jpeg_stdio_src(&cinfo_, file_);
        if (exif)
            jpeg_save_markers(&cinfo_, JPEG_APP0 + 1, 0xFFFF);
        if (jpeg_read_header(&cinfo_, TRUE) != JPEG_HEADER_OK)
            return false;
        const std::int64_t w = cinfo_.image_width, h = cinfo_.image_height;
        if (w < 1 || h < 1 || w > kMaxPhotoSide || h > kMaxPhotoSide || w * h > kMaxPhotoPixels)
            return false;
        switch (cinfo_.jpeg_color_space) {
        case JCS_GRAYSCALE:
        case JCS_YCbCr:
        case JCS_RGB:
        case JCS_CMYK: // print files; libjpeg gives the inks, turned into light in Read
        case JCS_YCCK:
            return true;
        default:
            return false;
        }
    }

    JpegInfo Info() const {
        JpegInfo info{static_cast<int>(cinfo_.image_width), static_cast<int>(cinfo_.image_height)};
        for (jpeg_saved_marker_ptr m = cinfo_.marker_list; m; m = m->next) {
            const std::string_view data(reinterpret_cast<const char*>(m->data), m->data_length);
            if (m->marker == JPEG_APP0 + 1 &&
                data.substr(0, 6) == std::string_view("Exif\0\0", 6)) {
                info.orientation = ExifOrientation(data);
                break;
            }
        }
        return info;
    }

    // Starts decoding at eighths/8, columns [c0, c1) (at least those), skipping to row r0.
    bool Start(int eighths, int c0, int c1, int r0) {
        cinfo_.scale_num = static_cast<unsigned>(eighths);
        cinfo_.scale_denom = 8;
        cmyk_ = cinfo_.jpeg_color_space == JCS_CMYK || cinfo_.jpeg_color_space == JCS_YCCK;
        cinfo_.out_color_space = cmyk_ ? JCS_CMYK : JCS_EXT_BGRX;
        // Reduced by the DCT the picture is filtered on anyway: the chroma is upsampled by
        // repeating, which halves the cost of a preview, and smoothly only at full size.
        cinfo_.do_fancy_upsampling = eighths == 8 ? TRUE : FALSE;
        if (setjmp(error_.jump))
            return false;
        jpeg_calc_output_dimensions(&cinfo_);
        if (c0 < 0 || c1 > static_cast<int>(cinfo_.output_width) || c0 >= c1 || r0 < 0 ||
            r0 >= static_cast<int>(cinfo_.output_height))
            return false;
        if (!jpeg_start_decompress(&cinfo_))
            return false;
        JDIMENSION x = static_cast<JDIMENSION>(c0), width = static_cast<JDIMENSION>(c1 - c0);
        if (width < cinfo_.output_width)
            jpeg_crop_scanline(&cinfo_, &x, &width); // widened to whole blocks
        shift_ = static_cast<std::size_t>(c0) - x;
        columns_ = static_cast<std::size_t>(c1 - c0);
        row_.resize(cinfo_.output_width);
        if (r0 > 0 && jpeg_skip_scanlines(&cinfo_, static_cast<JDIMENSION>(r0)) !=
                          static_cast<JDIMENSION>(r0))
            return false;
        return true;
    }

    bool Read(int n, std::uint32_t* out, std::size_t stride) {
        if (setjmp(error_.jump))
            return false;
        for (int i = 0; i < n; ++i) {
            if (!ReadRow())
                return false;
            std::uint32_t* to = out + static_cast<std::size_t>(i) * stride;
            if (cmyk_)
                CmykToRgb(to);
            else
                for (std::size_t c = 0; c < columns_; ++c)
                    to[c] = row_[shift_ + c] & 0xFFFFFF; // the pad byte is 0xFF
        }
        return true;
    }

    // Entropy-decodes the rows not drawn (no transform), then reads on to the end marker.
    bool Finish() {
        if (setjmp(error_.jump))
            return false;
        const JDIMENSION left = cinfo_.output_height - cinfo_.output_scanline;
        // Skipping to the very end would stop reading at once, leaving a cut-short file unseen.
        if (left > 1 && jpeg_skip_scanlines(&cinfo_, left - 1) != left - 1)
            return false;
        while (cinfo_.output_scanline < cinfo_.output_height)
            if (!ReadRow())
                return false;
        return jpeg_finish_decompress(&cinfo_) == TRUE;
    }

  private:
    // Each ink darkens by its share; no colour profile is applied.
    // Files with Adobe's marker (all that Photoshop writes) store the inks inverted.
    void CmykToRgb(std::uint32_t* to) const {
        const bool inverted = cinfo_.saw_Adobe_marker;
        const auto* ink = reinterpret_cast<const unsigned char*>(row_.data() + shift_);
        for (std::size_t c = 0; c < columns_; ++c, ink += 4) {
            const unsigned k = inverted ? ink[3] : 255u - ink[3];
            std::uint32_t pixel = 0;
            for (int i = 0; i < 3; ++i) {
                const unsigned light = inverted ? ink[i] : 255u - ink[i];
                pixel = pixel << 8 | (light * k + 127) / 255;
            }
            to[c] = pixel;
        }
    }

    bool ReadRow() {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(row_.data());
        if (jpeg_read_scanlines(&cinfo_, &row, 1) != 1)
            return false;
        CountJpegPixels(cinfo_.output_width);
        return true;
    }

    jpeg_decompress_struct cinfo_{};
    JpegError error_{};
    std::FILE* file_ = nullptr;
    bool created_ = false;
    std::vector<std::uint32_t> row_;
    std::size_t shift_ = 0;
    std::size_t columns_ = 0;
    bool cmyk_ = false;
};

} // namespace

std::optional<JpegInfo> ReadJpegInfo(const PictureSource& source) {
    Jpeg jpeg;
    if (!jpeg.Begin(source, true))
        return std::nullopt;
    return jpeg.Info();
}

int JpegScaledSide(int side, int eighths) {
    return static_cast<int>((std::int64_t{side} * eighths + 7) / 8);
}

int JpegEighthsFor(const JpegInfo& info, int needW, int needH) {
    for (int e = 1; e < 8; ++e)
        if (JpegScaledSide(info.width, e) >= needW && JpegScaledSide(info.height, e) >= needH)
            return e;
    return 8;
}

std::unique_ptr<RowSource> StartJpegRows(const PictureSource& source, int eighths, int c0, int c1,
                                         int r0) {
    auto rows = std::make_unique<DecoderRows<Jpeg>>();
    if (!rows->decoder.Begin(source, false) || !rows->decoder.Start(eighths, c0, c1, r0))
        return nullptr;
    return rows;
}

bool JpegDecodes(const PictureSource& source) {
    Jpeg jpeg;
    return jpeg.Begin(source, false) && jpeg.Start(1, 0, 1, 0) && jpeg.Finish();
}

} // namespace velum
