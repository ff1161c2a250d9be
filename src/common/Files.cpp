#include "common/Files.h"

namespace velum {

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    if (folder.back() == PathSeparator())
        return folder + name;
    return folder + PathSeparator() + name;
}

} // namespace velum
