// Whatever the reader makes of a file, writing it out must be a fixed point: a hive that changed
// on every rewrite would drift or lose values each time the programs save a setting.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/HiveFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string once = velum::SerializeHive(velum::ParseHive(bytes));
    if (velum::SerializeHive(velum::ParseHive(once)) != once)
        std::abort();
    return 0;
}
