#include "common/Folders.h"

#include <algorithm>

#include "common/Files.h"
#include "common/PictureNames.h"

namespace velum {

void SortInNameListOrder(std::vector<FolderEntry>& entries) {
    // Each name folded once (ASCII letters) and then compared whole: a large folder sorts in a
    // fraction of the time that folding at every comparison takes.
    struct Keyed {
        std::string key;
        FolderEntry entry;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(entries.size());
    for (FolderEntry& entry : entries) {
        std::string key = entry.name;
        for (char& c : key)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c + ('a' - 'A'));
        keyed.push_back({std::move(key), std::move(entry)});
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        if (const int order = a.key.compare(b.key); order != 0)
            return order < 0;
        return a.entry.name < b.entry.name;
    });
    for (std::size_t i = 0; i < entries.size(); ++i)
        entries[i] = std::move(keyed[i].entry);
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

FolderContents ReadFolderContents(const std::string& folder) {
    std::vector<FolderEntry> entries = ListFolder(folder);
    FolderContents contents;
    contents.bitmaps.reserve(entries.size());
    for (auto& entry : entries) {
        if (entry.isFolder)
            contents.subfolders.push_back(std::move(entry.name));
        else if (FormatOfName(entry.name) != PictureFormat::Unknown)
            contents.bitmaps.push_back(std::move(entry.name));
    }
    return contents;
}

} // namespace velum
