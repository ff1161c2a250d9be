#include "common/Fields.h"

namespace velum {

std::string_view GetField(short n, std::string_view text, std::string_view delimiter) {
    std::string_view work = text;
    for (short i = 1; i <= n; ++i) {
        std::size_t p = delimiter.empty() ? std::string_view::npos : work.find(delimiter);
        // Past the field, only the delimiter's first character goes.
        if (p != std::string_view::npos)
            work = i == n ? work.substr(0, p) : work.substr(p + 1);
        else if (i != n)
            work = {};
    }
    return TrimField(work);
}

std::string_view TrimField(std::string_view text) {
    std::size_t begin = text.find_first_not_of('"');
    if (begin == std::string_view::npos)
        return {};
    return text.substr(begin, text.find_last_not_of('"') - begin + 1);
}

} // namespace velum
