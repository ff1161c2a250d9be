#include "support/PhotoWriters.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include <jpeglib.h>
#include <png.h>

namespace velum::test {

std::string MakeJpeg(int width, int height, const std::vector<std::uint32_t>& pixels,
                     const JpegOptions& options) {
    jpeg_compress_struct c{};
    jpeg_error_mgr error{};
    c.err = jpeg_std_error(&error);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = options.cmyk ? 4 : 3;
    c.in_color_space = options.cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, options.quality, TRUE);
    if (!options.subsampled)
        for (int i = 0; i < c.num_components; ++i)
            c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
    if (options.progressive)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    if (options.orientation) {
        // "Exif\0\0", a little-endian TIFF header, and IFD0 holding only the orientation.
        const unsigned char o = static_cast<unsigned char>(options.orientation);
        const unsigned char exif[] = {'E',  'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                                      0x12, 1,   3,   0,   1, 0, 0,   0,   o,  0, 0, 0, 0, 0, 0, 0};
        jpeg_write_marker(&c, JPEG_APP0 + 1, exif, sizeof exif);
    }
    const int n = c.input_components;
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * n);
    while (c.next_scanline < c.image_height) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = pixels[std::size_t(c.next_scanline) * width + x];
            const unsigned rgb[] = {p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF};
            // Inverted inks: black as the brightest channel, each colour's light against it.
            const unsigned k = std::max({rgb[0], rgb[1], rgb[2]});
            for (int i = 0; i < 3; ++i)
                row[x * n + i] = static_cast<unsigned char>(
                    options.cmyk ? (k ? (rgb[i] * 255 + k / 2) / k : 255) : rgb[i]);
            if (options.cmyk)
                row[x * n + 3] = static_cast<unsigned char>(k);
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    std::string file(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&c);
    std::free(buffer);
    return file;
}

namespace {
void Append(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}
} // namespace

std::string MakePng(int width, int height, const std::vector<std::uint32_t>& pixels,
                    const PngOptions& options) {
    std::string file;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
        throw std::runtime_error("png");
    png_set_write_fn(png, &file, Append, nullptr);
    const int colour = options.grey
                           ? (options.alpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY)
                           : (options.alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB);
    const int depth = options.sixteenBits ? 16 : 8;
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                 depth, colour, options.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const int bytes = depth / 8;
    std::vector<std::vector<unsigned char>> rows(static_cast<std::size_t>(height));
    std::vector<png_bytep> pointers;
    for (int y = 0; y < height; ++y) {
        auto& row = rows[static_cast<std::size_t>(y)];
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = pixels[std::size_t(y) * width + x];
            std::vector<unsigned> samples;
            if (options.grey)
                samples = {p & 0xFF};
            else
                samples = {p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF};
            if (options.alpha)
                samples.push_back(p >> 24);
            for (unsigned s : samples)
                for (int b = 0; b < bytes; ++b)
                    row.push_back(static_cast<unsigned char>(s)); // 16 bits: the byte twice
        }
        pointers.push_back(row.data());
    }
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return file;
}

} // namespace velum::test
