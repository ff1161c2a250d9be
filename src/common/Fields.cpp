#include "common/Fields.h"

namespace velum {

std::string GetField(short n, const std::string& text, const std::string& delimiter) {
    std::string work = text;
    for (short i = 1; i <= n; ++i) {
        std::size_t p = delimiter.empty() ? std::string::npos : work.find(delimiter);
        if (p != std::string::npos) {
            if (i == n)
                work.resize(p);
            else
                work.erase(0, p + 1); // only the delimiter's first character goes
        } else if (i != n) {
            work.clear();
        }
    }
    return TrimField(work);
}

std::string TrimField(const std::string& text) {
    std::size_t begin = text.find_first_not_of('"');
    if (begin == std::string::npos)
        return {};
    std::size_t end = text.find_last_not_of('"');
    return text.substr(begin, end - begin + 1);
}

} // namespace velum
