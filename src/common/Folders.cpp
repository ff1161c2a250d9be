#include "common/Folders.h"

#include "common/Files.h"

namespace velum {

std::string VolumeOf(const std::string& path, const std::vector<std::string>& volumes) {
    const char sep = PathSeparator();
    std::string best;
    for (const auto& root : volumes) {
        if (root.size() <= best.size() || path.compare(0, root.size(), root) != 0)
            continue;
        // A root matches whole folder names only: /media/ann is not on /media/a.
        bool whole = path.size() == root.size() || root.back() == sep || path[root.size()] == sep;
        if (whole)
            best = root;
    }
    return best;
}

} // namespace velum
