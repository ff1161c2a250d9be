// JPEG and PNG through the Windows Imaging Component of Wine, into the window's preview, with COM
// left on the calling thread as it was found.
#include <windows.h>
// After windows.h, which WIN32_LEAN_AND_MEAN leaves without COM.
#include <objbase.h>

#include <gtest/gtest.h>

#include <thread>

#include "engine/PictureFile.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;

namespace {

// The fuzz corpus's pictures, 20 by 12: pixel (x, y) 0xRRGGBB = (12x, 20y, 200 or 30 as x + y is
// odd or even); in rgba.png the left half 50% opaque; exif-orientation-6.jpg shows (12x, 20y,
// 100), stored turned anticlockwise.
const std::string kPng = ReadWholeFile(VELUM_TEST_DATA "/png-corpus/rgb.png");
const std::string kPngAlpha = ReadWholeFile(VELUM_TEST_DATA "/png-corpus/rgba.png");
const std::string kJpeg = ReadWholeFile(VELUM_TEST_DATA "/jpeg-corpus/baseline-444.jpg");
const std::string kJpegTurned =
    ReadWholeFile(VELUM_TEST_DATA "/jpeg-corpus/exif-orientation-6.jpg");

std::uint32_t Expected(int x, int y) {
    return static_cast<std::uint32_t>(x * 12) << 16 | static_cast<std::uint32_t>(y * 20) << 8 |
           ((x + y) % 2 ? 200u : 30u);
}

int Channel(std::uint32_t p, int i) {
    return static_cast<int>(p >> (8 * i) & 0xFF);
}

} // namespace

TEST(WinPictures, JpegAndPngDecodeIntoThePreview) {
    const TempFolder folder;
    WriteWholeFile(folder.file("screen.PNG"), kPng);
    WriteWholeFile(folder.file("photo.jpg"), kJpeg);
    const Picture png = DecodePictureFileFor(folder.file("screen.PNG"), 100, 100, false).value();
    ASSERT_EQ(std::pair(png.width, png.height), std::pair(20, 12));
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_EQ(png.at(x, y), Expected(x, y)) << x << "," << y;
    const Picture jpeg = DecodePictureFileFor(folder.file("photo.jpg"), 100, 100, false).value();
    ASSERT_EQ(std::pair(jpeg.width, jpeg.height), std::pair(20, 12));
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x) // the blue checkerboard does not survive the encoder
            for (int c : {1, 2})
                EXPECT_NEAR(Channel(jpeg.at(x, y), c), Channel(Expected(x, y), c), 16);
    // Fitted to a smaller box: scaled, red still growing to the right and green downwards.
    const Picture fit = DecodePictureFileFor(folder.file("photo.jpg"), 10, 6, true).value();
    ASSERT_EQ(std::pair(fit.width, fit.height), std::pair(10, 6));
    EXPECT_LT(Channel(fit.at(0, 3), 2), 40);
    EXPECT_GT(Channel(fit.at(9, 3), 2), 180);
    EXPECT_GT(Channel(fit.at(5, 5), 1), Channel(fit.at(5, 0), 1) + 150);
    // Parts of a scaled drawing.
    const auto file = PictureFile::Open(folder.file("screen.PNG")).value();
    std::vector<std::uint32_t> part(6 * 4);
    ASSERT_TRUE(file.Draw(40, 24, 10, 8, 6, 4, part.data(), 6));
    EXPECT_NEAR(Channel(part[0], 2), 5 * 12, 12);
    EXPECT_NEAR(Channel(part[0], 1), 4 * 20, 20);
}

TEST(WinPictures, TransparencyGoesOverTheBackgroundAndTheExifOrientationTurnsThePhoto) {
    const auto png = PictureFile::FromBytes(PictureFormat::Png, kPngAlpha).value();
    std::vector<std::uint32_t> out(20 * 12);
    ASSERT_TRUE(png.Draw(20, 12, 0, 0, 20, 12, out.data(), 20, 0x0000FF));
    for (int c = 0; c < 3; ++c) {
        // Half opaque on the left, over blue; opaque on the right.
        const int over = Channel(Expected(3, 5), c), under = c == 0 ? 255 : 0;
        EXPECT_NEAR(Channel(out[5 * 20 + 3], c), (over * 128 + under * 127) / 255, 3) << c;
        EXPECT_EQ(Channel(out[5 * 20 + 15], c), Channel(Expected(15, 5), c)) << c;
    }
    const auto turned = PictureFile::FromBytes(PictureFormat::Jpeg, kJpegTurned).value();
    ASSERT_EQ(std::pair(turned.width(), turned.height()), std::pair(20, 12));
    ASSERT_TRUE(turned.Draw(20, 12, 0, 0, 20, 12, out.data(), 20));
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x) {
            EXPECT_NEAR(Channel(out[y * 20 + x], 2), 12 * x, 6) << x << "," << y;
            EXPECT_NEAR(Channel(out[y * 20 + x], 1), 20 * y, 6) << x << "," << y;
        }
}

TEST(WinPictures, MisnamedFilesAreRefusedAndComIsLeftAsItWasFound) {
    const TempFolder folder;
    WriteWholeFile(folder.file("png.jpg"), kPng);
    WriteWholeFile(folder.file("text.jpg"), "not a picture\n");
    WriteWholeFile(folder.file("cut.png"), kPng.substr(0, 60));
    WriteWholeFile(folder.file("photo.jpg"), kJpeg);
    EXPECT_FALSE(PictureFile::Open(folder.file("png.jpg")));
    EXPECT_FALSE(PictureFile::Open(folder.file("text.jpg")));
    EXPECT_FALSE(DecodePictureFileFor(folder.file("cut.png"), 50, 50, true));
    // A thread without COM gets none back; one in the multithreaded model keeps it.
    std::thread([&] {
        EXPECT_TRUE(DecodePictureFileFor(folder.file("photo.jpg"), 10, 10, true));
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        EXPECT_EQ(hr, S_OK) << "still initialised";
        if (SUCCEEDED(hr))
            CoUninitialize();
    }).join();
    std::thread([&] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_TRUE(DecodePictureFileFor(folder.file("photo.jpg"), 10, 10, true));
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE) << "the model kept";
        CoUninitialize();
        CoUninitialize();
    }).join();
}
