// Reads arbitrary bytes as velum.cfg through both writers and checks that what they write
// reads back the same: a second save of the same state changes nothing.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "common/IoFailure.h"
#include "store/CollectionStore.h"
#include "store/ConfigRecord.h"

using namespace velum;

namespace {

std::string Collection(const std::string& old) {
    std::istringstream in(old);
    std::ostringstream out;
    WriteCollectionRecords(out, &in, "Nature",
                           {{"/p/a.bmp", "/p/b,c.bmp"}, "1", "", "x", "1", "99"});
    return out.str();
}

std::string Rotation(const std::string& old, bool cycler) {
    std::istringstream in(old);
    std::ostringstream out;
    const RotationSnapshot s{
        cycler,  {"/p/h.bmp", "", "/p/\"q\".bmp"}, "Nature", " 3", "2026-12-06 19:04:05", "-1",
        {"Gone"}};
    WriteRotationRecords(out, &in, s);
    return out.str();
}

void Check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);

    std::istringstream lines(input);
    std::string line;
    while (ReadConfigLine(lines, line)) {
        ConfigRecord r = ParseConfigRecord(line);
        std::ostringstream once;
        // A field with a line break or a NUL is refused whole: no record may hold one.
        const std::string fields = std::string(r.key) + std::string(r.name) + std::string(r.value);
        if (fields.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
            bool refused = false;
            try {
                WriteConfigRecord(once, r.key, r.name, r.value);
            } catch (const IoFailure&) {
                refused = true;
            }
            Check(refused && once.str().empty());
            continue;
        }
        WriteConfigRecord(once, r.key, r.name, r.value);
        const std::string written = once.str();
        ConfigRecord again =
            ParseConfigRecord(std::string_view(written).substr(0, written.size() - 2));
        Check(again.key == r.key && again.name == r.name && again.value == r.value);
    }

    const std::string collection = Collection(input);
    Check(Collection(collection) == collection);
    for (bool cycler : {false, true}) {
        const std::string rotation = Rotation(input, cycler);
        Check(Rotation(rotation, cycler) == rotation);
    }
    return 0;
}
