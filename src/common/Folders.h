#pragma once

#include <string>
#include <vector>

namespace velum {

// The mounted volumes that hold files, by their root (mount point or drive root).
std::vector<std::string> ListVolumes();

// The volume of `volumes` that holds `path`: the longest root that is a prefix of it.
std::string VolumeOf(const std::string& path, const std::vector<std::string>& volumes);

// A folder path in its normal form, so that full paths compare exactly.
std::string NormalizeFolder(const std::string& path);

// True when a folder taken from a bitmap's path names its volume (an absolute path).
bool IsVolumeQualified(const std::string& folder);

// The folder the program was started in.
std::string CurrentFolder();

// A visible entry of a folder.
struct FolderEntry {
    std::string name;
    bool isFolder = false;
};

// Puts entries in the order of the browser's lists: names without regard to letter case (ASCII
// letters), ties broken by the exact name so the order is stable.
void SortInNameListOrder(std::vector<FolderEntry>& entries);

// Platform half: a folder's entries in that order, hidden ones, . and .., and
// names with a line break (velum.cfg could not store them) left out; throws IoFailure when the
// folder cannot be read.
std::vector<FolderEntry> ListFolder(const std::string& folder);

// Platform half: starts reading `folder` on a thread of its own while the program sets itself
// up, for the first ListFolder to take when it asks for that folder; on Windows it does nothing.
void ReadFolderAhead(const std::string& folder);

// A folder's subfolders and pictures (any name FormatOfName knows), by name, from one reading of
// the folder; throws IoFailure when it cannot be read.
struct FolderContents {
    std::vector<std::string> subfolders, bitmaps;
};
FolderContents ReadFolderContents(const std::string& folder);

} // namespace velum
