// Whatever the reader makes of a file, writing it out must be a fixed point: a hive that changed
// on every rewrite would drift or lose values each time the programs save a setting.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "common/HiveFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string once = velum::SerializeHive(velum::ParseHive(bytes));
    const std::string twice = velum::SerializeHive(velum::ParseHive(once));
    if (once != twice) {
        std::fprintf(stderr, "rewrite is not stable:\n--- first\n%s\n--- second\n%s\n",
                     once.c_str(), twice.c_str());
        std::abort();
    }
    return 0;
}
