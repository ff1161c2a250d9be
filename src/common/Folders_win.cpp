#include "common/Folders.h"

#include <algorithm>
#include <cctype>
#include <cwchar>
#include <iterator>

#include <windows.h>

#include "common/Files.h"
#include "common/IoFailure.h"
#include "common/WideText.h"

namespace velum {

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// "C:\" for "C:..." paths, "\\server\share\" for network paths; empty otherwise.
std::string RootOf(const std::string& path) {
    if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':')
        return path.substr(0, 2) + '\\';
    if (path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        std::size_t server = path.find_first_of("\\/", 2);
        if (server == std::string::npos)
            return path + '\\';
        std::size_t share = path.find_first_of("\\/", server + 1);
        std::string root = path.substr(0, share);
        std::replace(root.begin(), root.end(), '/', '\\');
        return root + '\\';
    }
    return {};
}

} // namespace

std::vector<std::string> ListVolumes() {
    std::vector<std::string> roots;
    wchar_t buffer[512];
    DWORD n = GetLogicalDriveStringsW(std::size(buffer), buffer);
    if (n == 0 || n > std::size(buffer))
        return roots;
    for (const wchar_t* p = buffer; *p; p += std::wcslen(p) + 1)
        roots.push_back(Narrow(p));
    return roots;
}

std::string NormalizeFolder(const std::string& path) {
    std::string base = path;
    std::replace(base.begin(), base.end(), '/', '\\');
    // Relative and drive-relative paths are taken from the current folder.
    const std::wstring wide = Widen(base);
    std::vector<wchar_t> full(MAX_PATH);
    DWORD n;
    while ((n = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(),
                                 nullptr)) >= full.size())
        full.resize(n + 1);
    std::string out = n ? Narrow(std::wstring_view(full.data(), n)) : base;
    // Drive letters in capitals, as the drive list has them, so that paths compare exactly.
    if (out.size() >= 2 && out[1] == ':')
        out[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[0])));
    const std::string root = RootOf(out);
    while (out.size() > root.size() && out.back() == '\\')
        out.pop_back();
    return out;
}

bool IsVolumeQualified(const std::string& folder) {
    return !RootOf(folder).empty();
}

std::string CurrentFolder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    DWORD n;
    while ((n = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data())) >=
           buffer.size())
        buffer.resize(n + 1);
    return n ? Narrow(std::wstring_view(buffer.data(), n)) : std::string("C:\\");
}

// The window's first listing is read when it is asked for.
void ReadFolderAhead(const std::string&) {}

std::vector<FolderEntry> ListFolder(const std::string& folder) {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(Widen(JoinPath(folder, "*")).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD err = GetLastError();
        if (err == ERROR_FILE_NOT_FOUND || err == ERROR_NO_MORE_FILES)
            return {}; // an empty drive root
        throw IoFailure("Cannot read the folder " + folder + ": " +
                            SystemErrorText(static_cast<int>(err)),
                        static_cast<int>(err));
    }
    std::vector<FolderEntry> entries;
    do {
        std::string name = Narrow(found.cFileName);
        if (name == "." || name == ".." || (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN))
            continue;
        entries.push_back({name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileW(h, &found));
    FindClose(h);
    SortInNameListOrder(entries);
    return entries;
}

} // namespace velum
