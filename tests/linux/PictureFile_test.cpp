// JPEG and PNG files (made through libjpeg and libpng's writers) and bitmaps, drawn at natural
// size, scaled, in parts and in bands, turned by their EXIF orientation, and broken.
#include "engine/PictureFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <zlib.h>

#include "engine/PictureParts.h"
#include "support/ChildProcess.h"
#include "support/PhotoWriters.h"
#include "support/TestSupport.h"

namespace velum {
namespace {

using Pixels = std::vector<std::uint32_t>;

// A smooth picture with a few hard edges, so that scaling has something to get wrong.
Pixels Pattern(int w, int h) {
    Pixels p;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t r = static_cast<std::uint32_t>(x * 255 / std::max(1, w - 1));
            const std::uint32_t g = static_cast<std::uint32_t>(y * 255 / std::max(1, h - 1));
            const std::uint32_t b = (x / 16 + y / 16) % 2 ? 200 : 40;
            p.push_back(r << 16 | g << 8 | b);
        }
    return p;
}

Pixels Draw(const PictureFile& file, int sw, int sh, int x, int y, int w, int h,
            std::uint32_t background = 0) {
    Pixels out(static_cast<std::size_t>(w) * h, 0xDEADBEEF);
    EXPECT_TRUE(file.Draw(sw, sh, x, y, w, h, out.data(), static_cast<std::size_t>(w), background));
    return out;
}

Pixels Whole(const PictureFile& file, int sw, int sh) {
    return Draw(file, sw, sh, 0, 0, sw, sh);
}

int Channel(std::uint32_t p, int i) {
    return static_cast<int>(p >> (8 * i) & 0xFF);
}

// The largest difference of one channel between two pictures of the same size.
int MaxDifference(const Pixels& a, const Pixels& b) {
    EXPECT_EQ(a.size(), b.size());
    int most = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        for (int c = 0; c < 3; ++c)
            most = std::max(most, std::abs(Channel(a[i], c) - Channel(b[i], c)));
    return most;
}

// Takes a drawing a few rows at a time into `out`, as the root window's band does.
struct Runs final : RowTarget {
    Runs(Pixels& out, int width, int most) : out(out), width(width), most(most) {}
    int RunRows() const override { return most; }
    std::uint32_t* Room(int n, std::size_t& stride) override {
        wrong |= n < 1 || n > most || asked > 0;
        asked = n;
        stride = static_cast<std::size_t>(width);
        return out.data() + std::size_t(next) * stride;
    }
    bool Drawn() override {
        next += asked;
        asked = 0;
        return true;
    }
    Pixels& out;
    int width, most, next = 0, asked = 0;
    bool wrong = false; // a run too long, or asked for before the last was drawn
};

struct Fixture {
    std::string name;
    std::string bytes;
    PictureFormat format;
};

std::vector<Fixture> Formats(int w, int h, const Pixels& pixels) {
    return {
        {"jpeg 4:4:4", test::MakeJpeg(w, h, pixels), PictureFormat::Jpeg},
        {"jpeg 4:2:0", test::MakeJpeg(w, h, pixels, {90, true}), PictureFormat::Jpeg},
        {"jpeg progressive", test::MakeJpeg(w, h, pixels, {90, true, true}), PictureFormat::Jpeg},
        {"jpeg cmyk", test::MakeJpeg(w, h, pixels, {100, false, false, 0, true}),
         PictureFormat::Jpeg},
        {"png", test::MakePng(w, h, pixels), PictureFormat::Png},
        {"png interlaced", test::MakePng(w, h, pixels, {false, true}), PictureFormat::Png},
        {"bitmap",
         test::MakeBmp(w, -h, 32, 0,
                       [&] {
                           std::string data;
                           for (std::uint32_t p : pixels)
                               data += test::LittleEndian(p, 4);
                           return data;
                       }()),
         PictureFormat::Bitmap}};
}

TEST(PictureFile, PngKindsComeOutAsRgbWithTransparencyOverTheBackground) {
    const Pixels pixels{0xFF102030, 0x80FFFFFF, 0x00123456, 0xFF000000};
    const auto png = test::MakePng(2, 2, pixels, {true});
    const auto file = PictureFile::FromBytes(PictureFormat::Png, png).value();
    EXPECT_EQ(Draw(file, 2, 2, 0, 0, 2, 2, 0x0000FF),
              (Pixels{0x102030, 0x8080FF, 0x0000FF, 0x000000}));
    const auto sixteen = test::MakePng(2, 1, {0x123456, 0xABCDEF}, {false, false, true});
    EXPECT_EQ(Whole(PictureFile::FromBytes(PictureFormat::Png, sixteen).value(), 2, 1),
              (Pixels{0x123456, 0xABCDEF}));
    const auto grey = test::MakePng(2, 1, {0x80FFFF40, 0xFF000090}, {true, true, false, true});
    EXPECT_EQ(
        Draw(PictureFile::FromBytes(PictureFormat::Png, grey).value(), 2, 1, 0, 0, 2, 1, 0xFFFFFF),
        (Pixels{0x9F9F9F, 0x909090}));
}

// At natural size, each format's own pixels. Scaled down and up: drawn in parts and in strips of
// rows, each is the same part of the whole, so that neither the screen's tiles nor the bands of
// the filter show a seam.
TEST(PictureFile, EachFormatDrawsItsPixelsAndPartsAndBandsOfAScaledDrawingEqualTheWhole) {
    const Pixels pixels = Pattern(301, 203);
    for (const Fixture& f : Formats(301, 203, pixels)) {
        SCOPED_TRACE(f.name);
        const auto file = PictureFile::FromBytes(f.format, f.bytes).value();
        EXPECT_EQ(std::pair(file.width(), file.height()), std::pair(301, 203));
        EXPECT_TRUE(file.Decodes());
        const Pixels natural = Whole(file, 301, 203);
        if (f.format == PictureFormat::Jpeg)
            EXPECT_LE(MaxDifference(natural, pixels),
                      f.name == "jpeg 4:4:4" || f.name == "jpeg cmyk" ? 6 : 80);
        else
            EXPECT_EQ(natural, pixels);
        for (const auto& [sw, sh] : {std::pair(97, 61), std::pair(300, 140), std::pair(640, 433)}) {
            SCOPED_TRACE(std::to_string(sw) + "x" + std::to_string(sh));
            const Pixels whole = Whole(file, sw, sh);
            Pixels strips(whole.size());
            for (int y = 0; y < sh; y += 7) {
                const int h = std::min(7, sh - y);
                ASSERT_TRUE(file.Draw(sw, sh, 0, y, sw, h, strips.data() + std::size_t(y) * sw,
                                      static_cast<std::size_t>(sw)));
            }
            EXPECT_EQ(strips, whole);
            Pixels runs(whole.size());
            Runs target(runs, sw, 5);
            ASSERT_TRUE(file.Draw(sw, sh, 0, 0, sw, sh, target));
            EXPECT_EQ(runs, whole);
            EXPECT_FALSE(target.wrong);
            const int x = sw / 3, y = sh / 2, w = sw / 2, h = sh / 3;
            const Pixels part = Draw(file, sw, sh, x, y, w, h);
            Pixels same;
            for (int r = 0; r < h; ++r)
                for (int c = 0; c < w; ++c)
                    same.push_back(whole[std::size_t(y + r) * sw + x + c]);
            if (f.format == PictureFormat::Jpeg && f.name != "jpeg 4:4:4")
                EXPECT_LE(MaxDifference(part, same), 2); // chroma upsampled at the cut's edge
            else
                EXPECT_EQ(part, same);
            // Scaled, the picture keeps its look: each pixel near the source's at that place.
            int far = 0;
            for (int r = 0; r < sh; r += 5)
                for (int c = 0; c < sw; c += 5) {
                    const std::uint32_t p = whole[std::size_t(r) * sw + c];
                    const std::uint32_t q = natural[std::size_t(r * 203 / sh) * 301 + c * 301 / sw];
                    far += std::abs(Channel(p, 2) - Channel(q, 2)) > 24 ||
                           std::abs(Channel(p, 1) - Channel(q, 1)) > 24;
                }
            EXPECT_EQ(far, 0);
        }
    }
}

TEST(PictureFile, AOnePixelCheckerboardReducesToAnEvenGrey) {
    Pixels board;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            board.push_back((x + y) % 2 ? 0xFFFFFF : 0);
    for (const Fixture& f : Formats(320, 240, board)) {
        if (f.format == PictureFormat::Jpeg)
            continue; // lossy: the board does not survive the encoder
        SCOPED_TRACE(f.name);
        const auto file = PictureFile::FromBytes(f.format, f.bytes).value();
        for (const auto& [sw, sh] : {std::pair(137, 101), std::pair(213, 160), std::pair(29, 23)}) {
            const Pixels grey = Whole(file, sw, sh);
            for (int y = 0; y < sh; ++y)
                for (int x = 0; x < sw; ++x)
                    for (int c = 0; c < 3; ++c) {
                        // The border's filter reaches past the picture, where its edge repeats.
                        const bool border = x == 0 || y == 0 || x == sw - 1 || y == sh - 1;
                        ASSERT_NEAR(Channel(grey[std::size_t(y) * sw + x], c), 128, border ? 20 : 3)
                            << sw << "x" << sh << " at " << x << "," << y;
                    }
        }
    }
}

TEST(PictureFile, AJpegReducedALotIsDecodedAtAnEighthOfItsSize) {
    const auto jpeg = test::MakeJpeg(1600, 1200, Pattern(1600, 1200), {90, true});
    const auto file = PictureFile::FromBytes(PictureFormat::Jpeg, jpeg).value();
    std::uint64_t before = JpegPixelsDecoded();
    const Pixels small = Whole(file, 190, 140);
    EXPECT_LE(JpegPixelsDecoded() - before, 200u * 150);
    // The reduction still looks like the picture: red grows left to right, green top to bottom.
    EXPECT_LT(Channel(small[70 * 190 + 5], 2), 20);
    EXPECT_GT(Channel(small[70 * 190 + 184], 2), 235);
    EXPECT_GT(Channel(small[139 * 190 + 95], 1), 235);
    before = JpegPixelsDecoded();
    Whole(file, 600, 450); // at 3/8
    EXPECT_LE(JpegPixelsDecoded() - before, 600u * 450);
    // A 1920 by 1080 part of the picture at natural size decodes only what is drawn, in blocks.
    before = JpegPixelsDecoded();
    Draw(file, 1600, 1200, 500, 700, 300, 200);
    EXPECT_LE(JpegPixelsDecoded() - before, 320u * 200 + 1600);
}

// Stored as a camera held sideways or upside down stores it, each shows upright by its tag.
TEST(PictureFile, ExifOrientationsShowThePictureUpright) {
    const int w = 48, h = 32;
    const Pixels upright = Pattern(w, h);
    const auto at = [&](int x, int y) { return upright[std::size_t(y) * w + x]; };
    Pixels ccw, cw, half; // turned a quarter anticlockwise, clockwise, and half a turn
    for (int y = 0; y < w; ++y)
        for (int x = 0; x < h; ++x) {
            ccw.push_back(at(w - 1 - y, x));
            cw.push_back(at(y, h - 1 - x));
        }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            half.push_back(at(w - 1 - x, h - 1 - y));
    const struct {
        int orientation, storedW, storedH;
        const Pixels& stored;
    } cases[] = {{6, h, w, ccw}, {8, h, w, cw}, {3, w, h, half}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.orientation);
        const auto jpeg =
            test::MakeJpeg(c.storedW, c.storedH, c.stored, {100, false, false, c.orientation});
        const auto file = PictureFile::FromBytes(PictureFormat::Jpeg, jpeg).value();
        EXPECT_EQ(file.width(), w);
        EXPECT_EQ(file.height(), h);
        EXPECT_LE(MaxDifference(Whole(file, w, h), upright), 8);
        // Parts of it too, and scaled.
        const Pixels part = Draw(file, w, h, 10, 5, 20, 12);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 20; ++x)
                EXPECT_NEAR(Channel(part[std::size_t(y) * 20 + x], 2),
                            Channel(at(10 + x, 5 + y), 2), 8);
        const Pixels scaled = Whole(file, 24, 16);
        EXPECT_LT(Channel(scaled[8 * 24 + 1], 2), 30);
        EXPECT_GT(Channel(scaled[15 * 24 + 12], 1), 220);
    }
}

TEST(PictureFile, BrokenAndMisnamedFilesAreRefusedNeverDrawn) {
    const test::TempFolder folder;
    const auto write = [&](const std::string& name, const std::string& bytes) {
        test::WriteWholeFile(folder.file(name), bytes);
        return folder.file(name);
    };
    const Pixels pixels = Pattern(200, 150);
    const std::string jpeg = test::MakeJpeg(200, 150, pixels, {90, true});
    const std::string png = test::MakePng(200, 150, pixels);

    // Refused when opened: another format under the name, text, or sides past the limit.
    EXPECT_FALSE(
        PictureFile::Open(write("bitmap.jpg", test::MakeBmp(2, 2, 24, 0, std::string(16, 0)))));
    EXPECT_FALSE(PictureFile::Open(write("text.jpg", "Not a picture at all\n")));
    EXPECT_FALSE(PictureFile::Open(write("photo.png", jpeg)));
    EXPECT_FALSE(PictureFile::Open(write("empty.jpg", "")));
    EXPECT_FALSE(PictureFile::Open(folder.root() + "/missing.png"));
    std::string huge = jpeg;
    const std::size_t sof = huge.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    huge.replace(sof + 5, 4, "\xEA\x60\xEA\x60"); // 60000 by 60000
    EXPECT_FALSE(PictureFile::Open(write("huge.jpg", huge)));
    std::string hugePng = png; // IHDR's sides, and its checksum over the type and data
    hugePng.replace(16, 8, std::string("\0\0\xEA\x60\0\0\xEA\x60", 8));
    const uLong sum = crc32(0, reinterpret_cast<const Bytef*>(hugePng.data() + 12), 17);
    hugePng.replace(29, 4, {char(sum >> 24), char(sum >> 16), char(sum >> 8), char(sum)});
    EXPECT_FALSE(PictureFile::Open(write("huge.png", hugePng)));

    // Refused when drawn, whatever part: cut short, or a checksum that does not match.
    const std::string cut = jpeg.substr(0, jpeg.size() * 2 / 3);
    std::string crc = png;
    crc[png.find("IDAT") + 40] ^= 0x55;
    for (const auto& [name, bytes] :
         {std::pair("cut.jpg", cut), std::pair("cut.png", png.substr(0, png.size() - 200)),
          std::pair("crc.png", crc), std::pair("end.png", png.substr(0, png.size() - 12))}) {
        SCOPED_TRACE(name);
        const auto file = PictureFile::Open(write(name, bytes));
        ASSERT_TRUE(file);
        Pixels out(200 * 150);
        EXPECT_FALSE(file->Draw(200, 150, 0, 0, 200, 150, out.data(), 200));
        EXPECT_FALSE(file->Draw(200, 150, 0, 0, 20, 10, out.data(), 200)) << "a corner";
        EXPECT_FALSE(file->Draw(70, 50, 0, 0, 70, 50, out.data(), 70)) << "scaled";
        EXPECT_FALSE(file->Decodes());
        EXPECT_FALSE(DecodePictureFileFor(folder.file(name), 100, 100, true));
    }
    const auto sound = PictureFile::Open(write("UPPER.JPG", jpeg));
    ASSERT_TRUE(sound);
    EXPECT_TRUE(sound->Decodes());
}

// A 16000 by 16000 bitmap, sparse and black, previews in a few megabytes boxed or at natural size.
TEST(PictureFile, FillingTheScreenHoldsLittleMoreThanTheScreenAndAHugeBitmapPreviewsInAFewMB) {
    const test::TempFolder folder;
    const std::string path = folder.file("photo.jpg"), huge = folder.file("huge.bmp");
    test::WriteWholeFile(path, test::MakeJpeg(6000, 4000, Pattern(6000, 4000), {85, true}));
    const long screen = 1920 * 1080 * 4 / 1024;
    // Filled: scaled to 1920 by 1280, the middle 1080 rows shown.
    EXPECT_LT(test::PeakGrowthKiB([&] {
                  const auto file = PictureFile::Open(path);
                  Pixels out(1920 * 1080);
                  return file && file->Draw(1920, 1280, 0, 100, 1920, 1080, out.data(), 1920);
              }),
              (screen * 3 / 2 + 10 * 1024) * test::kMemorySlack);
    EXPECT_LT(
        test::PeakGrowthKiB([&] { return DecodePictureFileFor(path, 400, 300, true).has_value(); }),
        4 * 1024 * test::kMemorySlack);
    test::WriteWholeFile(huge, test::MakeBmp(16000, 16000, 24, 0, ""));
    std::filesystem::resize_file(huge, 54 + 16000ull * 16000 * 3);
    EXPECT_LT(
        test::PeakGrowthKiB([&] { return DecodePictureFileFor(huge, 160, 120, true).has_value(); }),
        8 * 1024 * test::kMemorySlack);
    EXPECT_LT(test::PeakGrowthKiB(
                  [&] { return DecodePictureFileFor(huge, 1280, 1024, false).has_value(); }),
              16 * 1024 * test::kMemorySlack);
}

} // namespace
} // namespace velum
