#include "common/Folders.h"

#include <algorithm>
#include <cctype>

#include "common/Files.h"

namespace velum {

bool NameListOrder(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
        // ASCII letters only, by hand: the locale's tolower is a call per letter, and sorting a
        // large folder makes millions of them.
        const int la = ca >= 'A' && ca <= 'Z' ? ca + 32 : ca,
                  lb = cb >= 'A' && cb <= 'Z' ? cb + 32 : cb;
        if (la != lb)
            return la < lb;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

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

namespace {

bool EndsWithBmp(const std::string& name) {
    if (name.size() < 4)
        return false;
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".bmp";
}

} // namespace

FolderContents ReadFolderContents(const std::string& folder) {
    FolderContents contents;
    for (auto& entry : ListFolder(folder)) {
        if (entry.isFolder)
            contents.subfolders.push_back(std::move(entry.name));
        else if (EndsWithBmp(entry.name))
            contents.bitmaps.push_back(std::move(entry.name));
    }
    return contents;
}

} // namespace velum
