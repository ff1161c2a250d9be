// Reads arbitrary bytes as velum.cfg through both writers and checks that what they write
// reads back the same: a second save of the same state changes nothing.
#include <cstdint>
#include <cstdlib>
#include <sstream>

#include "common/IoFailure.h"
#include "store/CollectionStore.h"
#include "store/ConfigRecord.h"

using namespace velum;

static void Check(bool ok) {
    if (!ok)
        std::abort();
}

// Checks that saving again what `save` wrote over `old` changes nothing.
template <class Save> static void CheckStable(const std::string& old, Save save) {
    std::istringstream in(old);
    std::ostringstream once, twice;
    save(once, in);
    std::istringstream again(once.str());
    save(twice, again);
    Check(once.str() == twice.str());
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::istringstream lines(input);
    for (std::string line; ReadConfigLine(lines, line);) {
        const ConfigRecord r = ParseConfigRecord(line);
        // A field with a line break or a NUL is refused whole: no record may hold one.
        const bool bad = (std::string(r.key) + std::string(r.name) + std::string(r.value))
                             .find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
        std::ostringstream once;
        try {
            WriteConfigRecord(once, r.key, r.name, r.value);
        } catch (const IoFailure&) {
            Check(bad && once.str().empty());
            continue;
        }
        const std::string written = once.str();
        const ConfigRecord again =
            ParseConfigRecord(std::string_view(written.data(), written.size() - 2));
        Check(!bad && again.key == r.key && again.name == r.name && again.value == r.value);
    }
    CheckStable(input, [](std::ostream& out, std::istream& in) {
        WriteCollectionRecords(out, &in, "Nature",
                               {{"/p/a.bmp", "/p/b,c.bmp"}, "1", "", "x", "1", "99"});
    });
    for (bool cycler : {false, true}) {
        const RotationSnapshot s{
            cycler,  {"/p/h.bmp", "", "/p/\"q\".bmp"}, "Nature", " 3", "2026-12-06 19:04:05", "-1",
            {"Gone"}};
        CheckStable(input, [&s](std::ostream& out, std::istream& in) {
            WriteRotationRecords(out, &in, s);
        });
    }
    return 0;
}
