// What both platforms share: the format from the name, the EXIF orientation reader, and
// bitmaps through PictureFile at natural size, with the rectangles it refuses.
#include "engine/PictureFile.h"

#include <gtest/gtest.h>

#include "engine/PictureParts.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace std::string_literals;

TEST(PictureFormats, ComeFromTheNameInAnyLetterCase) {
    EXPECT_EQ(FormatOfName("/home/ann/DSC0001.JPG"), PictureFormat::Jpeg);
    EXPECT_EQ(FormatOfName("a.Jpeg"), PictureFormat::Jpeg);
    EXPECT_EQ(FormatOfName("C:\\Pictures\\a.PnG"), PictureFormat::Png);
    EXPECT_EQ(FormatOfName("a.bmp"), PictureFormat::Bitmap);
    EXPECT_EQ(FormatOfName("a.gif"), PictureFormat::Unknown);
    EXPECT_EQ(FormatOfName("jpg"), PictureFormat::Unknown);
    EXPECT_EQ(FormatOfName("/photos.jpg/readme"), PictureFormat::Unknown);
    EXPECT_EQ(FormatOfName("C:\\photos.png\\readme"), PictureFormat::Unknown);
}

// A number of `bytes` bytes in either byte order.
static std::string Num(bool little, unsigned v, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += char(v >> 8 * (little ? i : bytes - 1 - i));
    return out;
}

// An APP1 payload: "Exif\0\0", a TIFF header in either byte order, IFD0 with `entries`.
static std::string Exif(bool little, const std::string& entries, int count) {
    return "Exif\0\0"s + (little ? "II*\0"s : "MM\0*"s) + Num(little, 8, 4) +
           Num(little, count, 2) + entries;
}

static std::string Entry(bool little, unsigned tag, unsigned type, unsigned count, unsigned value) {
    // A SHORT value sits in the first two bytes of the field, in either order.
    return Num(little, tag, 2) + Num(little, type, 2) + Num(little, count, 4) +
           Num(little, value, 2) + Num(little, 0, 2);
}

TEST(PictureFormats, TheExifOrientationIsReadInEitherByteOrderAndMalformedOnesAreUpright) {
    for (bool little : {true, false}) {
        const std::string make = Entry(little, 0x010F, 2, 4, 0);
        EXPECT_EQ(ExifOrientation(Exif(little, make + Entry(little, 0x0112, 3, 1, 6), 2)), 6);
        EXPECT_EQ(ExifOrientation(Exif(little, Entry(little, 0x0112, 3, 1, 8), 1)), 8);
        EXPECT_EQ(ExifOrientation(Exif(little, Entry(little, 0x0112, 3, 1, 9), 1)), 1) << "9";
        EXPECT_EQ(ExifOrientation(Exif(little, Entry(little, 0x0112, 4, 1, 6), 1)), 1) << "long";
        EXPECT_EQ(ExifOrientation(Exif(little, make, 2)), 1) << "entry past the end";
        EXPECT_EQ(ExifOrientation(Exif(little, make, 1)), 1) << "none";
        const std::string full = Exif(little, Entry(little, 0x0112, 3, 1, 3), 1);
        for (std::size_t cut = 0; cut < full.size(); ++cut)
            EXPECT_EQ(ExifOrientation(full.substr(0, cut)), 1) << cut;
        EXPECT_EQ(ExifOrientation(full), 3);
    }
    EXPECT_EQ(ExifOrientation("http://ns.adobe.com/xap/1.0/\0"s), 1);
    std::string far = Exif(true, "", 0);
    far[10] = '\xFF'; // IFD0 past the end
    EXPECT_EQ(ExifOrientation(far), 1);
}

TEST(PictureFormats, AJpegsOrientationIsInItsFirstExifSegmentBeforeTheScan) {
    const std::string exif = Exif(true, Entry(true, 0x0112, 3, 1, 6), 1);
    const auto segment = [](char marker, const std::string& payload) {
        const std::size_t n = payload.size() + 2;
        return "\xFF"s + marker + char(n >> 8) + char(n & 0xFF) + payload;
    };
    const std::string soi = "\xFF\xD8"s, jfif = segment('\xE0', "JFIF\0\1\1\0\0\1\0\1\0\0"s);
    const std::string xmp = segment('\xE1', "http://ns.adobe.com/xap/1.0/\0<x/>"s);
    EXPECT_EQ(JpegExifOrientation(soi + jfif + xmp + segment('\xE1', exif)), 6);
    EXPECT_EQ(JpegExifOrientation(soi + "\xFF"s + segment('\xE1', exif)), 6) << "fill byte";
    EXPECT_EQ(JpegExifOrientation(soi + segment('\xDA', "\0\0"s) + segment('\xE1', exif)), 1)
        << "after the scan";
    EXPECT_EQ(JpegExifOrientation("BM" + segment('\xE1', exif)), 1) << "not a JPEG";
    const std::string whole = soi + jfif + segment('\xE1', exif);
    for (std::size_t cut = 0; cut < whole.size(); ++cut)
        EXPECT_EQ(JpegExifOrientation(whole.substr(0, cut)), 1) << cut;
    std::string wrong = whole;
    wrong[4] = wrong[5] = 0; // a length of 0
    EXPECT_EQ(JpegExifOrientation(wrong), 1);
}

TEST(PictureFormats, StoredPointsTurnTheWayEachOrientationSays) {
    int x = 0, y = 0;
    // A 4 by 2 picture stored; the shown top left pixel is which stored one.
    const std::pair<int, int> topLeft[] = {{0, 0}, {3, 0}, {3, 1}, {0, 1},
                                           {0, 0}, {0, 1}, {3, 1}, {3, 0}};
    for (int o = 1; o <= 8; ++o) {
        StoredPoint(o, 4, 2, 0, 0, x, y);
        EXPECT_EQ(std::pair(x, y), topLeft[o - 1]) << o;
    }
    StoredPoint(6, 4, 2, 1, 3, x, y); // shown 2 wide, 4 high: its bottom right
    EXPECT_EQ(std::pair(x, y), std::pair(3, 0));
}

TEST(PictureFormats, ABitmapDrawsThroughPictureFileAtNaturalSize) {
    const test::TempFolder folder;
    const std::vector<std::uint32_t> pixels{0x102030, 0x405060, 0x708090,
                                            0xA0B0C0, 0xD0E0F0, 0x010203};
    test::WriteBmp24(folder.file("a.BMP"), 3, 2, pixels);
    const auto file = PictureFile::Open(folder.file("a.BMP"));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->format(), PictureFormat::Bitmap);
    EXPECT_EQ(std::pair(file->width(), file->height()), std::pair(3, 2));
    EXPECT_TRUE(file->Decodes());
    std::vector<std::uint32_t> out(4, 0xDEAD);
    ASSERT_TRUE(file->Draw(3, 2, 1, 0, 2, 2, out.data(), 2));
    EXPECT_EQ(out, (std::vector<std::uint32_t>{0x405060, 0x708090, 0xD0E0F0, 0x010203}));
    // Rectangles outside the scaled picture, or a scale past what the drawing can take.
    for (const auto& [sw, sh, x, y, w, h] :
         {std::tuple(3, 2, 2, 0, 2, 2), std::tuple(20, 20, -1, 0, 1, 1),
          std::tuple(0, 20, 0, 0, 0, 0), std::tuple(20, 20, 0, 19, 1, 2),
          std::tuple(40000, 20, 0, 0, 1, 1)})
        EXPECT_FALSE(file->Draw(sw, sh, x, y, w, h, out.data(), 2)) << sw << " " << x << " " << y;
    const auto corner = DecodePictureFileFor(folder.file("a.BMP"), 2, 5, false).value();
    EXPECT_EQ(std::pair(corner.width, corner.height), std::pair(2, 2));
    EXPECT_EQ(corner.pixels, (std::vector<std::uint32_t>{0x102030, 0x405060, 0xA0B0C0, 0xD0E0F0}));
    // A name of no picture format is read as a bitmap, as velum.cfg from before photos may
    // name one so; a photo's name is read as that photo only.
    test::WriteBmp24(folder.file("b.dib"), 3, 2, pixels);
    EXPECT_TRUE(PictureFile::Open(folder.file("b.dib")));
    test::WriteBmp24(folder.file("b.png"), 3, 2, pixels);
    EXPECT_FALSE(PictureFile::Open(folder.file("b.png")));
}
