#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// The decoders behind PictureFile's platform half: each hands out rows of a picture, top down,
// a chosen run of columns of each, so a drawing holds no more of a photo than it needs.
namespace velum {

// Where a picture's bytes are: a file read as it is decoded, or bytes in memory.
struct PictureSource {
    std::string path;
    std::string_view bytes;
    bool inMemory = false;
};

// Opens a regular file for reading; null for anything else (a FIFO is not waited on).
std::FILE* OpenRegularFile(const std::string& path);

// Rows of a decoded picture from a first row down, each the columns chosen when it started.
class RowSource {
  public:
    virtual ~RowSource() = default;
    // The next n rows, each pixel 0x00RRGGBB, into rows `stride` pixels apart.
    virtual bool Read(int n, std::uint32_t* out, std::size_t stride) = 0;
    // Reads what is left of the file, so that a broken end is found whatever was drawn.
    virtual bool Finish() = 0;
};

// A decoder whose Read and Finish are a RowSource's, held in place for the rows it hands out.
template <class Decoder> class DecoderRows final : public RowSource {
  public:
    bool Read(int n, std::uint32_t* out, std::size_t stride) override {
        return decoder.Read(n, out, stride);
    }
    bool Finish() override { return decoder.Finish(); }
    Decoder decoder;
};

struct JpegInfo {
    int width = 0; // stored, before the orientation
    int height = 0;
    int orientation = 1;
};
std::optional<JpegInfo> ReadJpegInfo(const PictureSource& source);
// The sides of the picture decoded at `eighths`/8 of its size (1 to 8), as libjpeg rounds them.
int JpegScaledSide(int side, int eighths);
// The least eighths whose decoded sides are at least needW by needH (8 when none is).
int JpegEighthsFor(const JpegInfo& info, int needW, int needH);
// Rows of the picture decoded at `eighths`/8, columns [c0, c1), from row r0.
std::unique_ptr<RowSource> StartJpegRows(const PictureSource& source, int eighths, int c0, int c1,
                                         int r0);
bool JpegDecodes(const PictureSource& source);

struct PngInfo {
    int width = 0;
    int height = 0;
    bool interlaced = false;
};
std::optional<PngInfo> ReadPngInfo(const PictureSource& source);
// Rows with transparency composited over `background`, columns [c0, c1), from row r0.
std::unique_ptr<RowSource> StartPngRows(const PictureSource& source, int c0, int c1, int r0,
                                        std::uint32_t background);
bool PngDecodes(const PictureSource& source);

} // namespace velum
