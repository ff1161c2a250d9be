// The preview of a picture far larger than the window, in the memory the window can spare.
#include "engine/Bitmap.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/resource.h>

#include "support/ChildProcess.h"
#include "support/TestSupport.h"

namespace velum {
namespace {

// How much decoding `path` to fit `width` by `height` grew the peak resident size of a process of
// its own, in KiB; a failure (-1) is more than any limit.
unsigned long GrowthKiB(const std::string& path, int width, int height, bool boxed) {
    return static_cast<unsigned long>(test::InChild([&]() -> long {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        const bool decoded = DecodeBitmapFileFor(path, width, height, boxed).has_value();
        getrusage(RUSAGE_SELF, &after);
        return decoded ? after.ru_maxrss - before.ru_maxrss : -1;
    }));
}

// AddressSanitizer's own bookkeeping counts in a sanitizer build's peak; the figures that
// matter are the normal build's.
#ifndef __has_feature
#define __has_feature(x) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
constexpr unsigned long kSlack = 4;
#else
constexpr unsigned long kSlack = 1;
#endif

TEST(Preview, A16000By16000BitmapPreviewsInAFewMegabytesBoxedOrAtNaturalSize) {
    test::TempFolder folder;
    const std::string path = folder.root() + "/huge.bmp";
    test::WriteWholeFile(path, test::MakeBmp(16000, 16000, 24, 0, ""));
    std::filesystem::resize_file(path, 54 + 16000ull * 16000 * 3); // sparse: black, no disk
    EXPECT_LT(GrowthKiB(path, 160, 120, true), 8 * 1024 * kSlack);
    EXPECT_LT(GrowthKiB(path, 1280, 1024, false), 16 * 1024 * kSlack);
}

} // namespace
} // namespace velum
