// The preview of a picture far larger than the window, in the memory the window can spare.
#include "engine/Bitmap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/resource.h>

#include "support/ChildProcess.h"
#include "support/TestSupport.h"

namespace velum {
namespace {

std::string Le(std::uint64_t value, int bytes) {
    return bytes ? std::string(1, static_cast<char>(value & 0xFF)) + Le(value >> 8, bytes - 1) : "";
}

// How much `decode` grew the peak resident size of a process of its own, in KiB; -1 when it
// failed.
template <class Decode> long GrowthKiB(Decode decode) {
    return test::InChild([&]() -> long {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        const bool decoded = decode().has_value();
        getrusage(RUSAGE_SELF, &after);
        return decoded ? after.ru_maxrss - before.ru_maxrss : -1;
    });
}

// AddressSanitizer's own bookkeeping counts in a sanitizer build's peak; the figures that
// matter are the normal build's.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELUM_ASAN
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(VELUM_ASAN)
constexpr long kSlack = 4;
#else
constexpr long kSlack = 1;
#endif

TEST(Preview, A16000By16000BitmapPreviewsInAFewMegabytesBoxedOrAtNaturalSize) {
    test::TempFolder folder;
    const std::string path = folder.root() + "/huge.bmp";
    constexpr std::uint64_t side = 16000, data = side * side * 3;
    std::ofstream(path, std::ios::binary) << "BM" + Le(54 + data, 4) + Le(0, 4) + Le(54, 4) +
                                                 Le(40, 4) + Le(side, 4) + Le(side, 4) + Le(1, 2) +
                                                 Le(24, 2) + Le(0, 8) + Le(0, 16) + Le(0, 8);
    std::filesystem::resize_file(path, 54 + data); // sparse: black, and nothing on the disk
    const long boxed = GrowthKiB([&] { return DecodeBitmapFileFor(path, 160, 120, true); });
    const long natural = GrowthKiB([&] { return DecodeBitmapFileFor(path, 1280, 1024, false); });
    EXPECT_GE(boxed, 0);
    EXPECT_LT(boxed, 8 * 1024 * kSlack);
    EXPECT_GE(natural, 0);
    EXPECT_LT(natural, 16 * 1024 * kSlack);
}

} // namespace
} // namespace velum
