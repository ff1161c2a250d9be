#include "common/Folders.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <future>
#include <mutex>
#include <set>
#include <sstream>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/Files.h"
#include "common/IoFailure.h"

namespace velum {

namespace {

// File systems that hold no files of a person's own.
const std::set<std::string> kPseudo = {
    "proc",       "sysfs",   "cgroup",    "cgroup2",    "devpts",      "devtmpfs",
    "mqueue",     "debugfs", "tracefs",   "securityfs", "pstore",      "bpf",
    "configfs",   "fusectl", "hugetlbfs", "autofs",     "binfmt_misc", "efivarfs",
    "rpc_pipefs", "nsfs",    "selinuxfs", "ramfs"};

// Mount points in /proc/self/mounts escape blanks and a few other characters as \ooo.
std::string Unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() &&
            std::isdigit(static_cast<unsigned char>(s[i + 1]))) {
            out.push_back(static_cast<char>(std::stoi(s.substr(i + 1, 3), nullptr, 8)));
            i += 3;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

// True when `path` is `folder` or lies below it.
bool Within(const std::string& path, const std::string& folder) {
    return path == folder || path.rfind(folder + "/", 0) == 0;
}

} // namespace

std::vector<std::string> ListVolumes() {
    std::ifstream mounts("/proc/self/mounts");
    std::vector<std::string> roots;
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string device, point, type;
        fields >> device >> point >> type;
        point = Unescape(point);
        if (point.empty() || kPseudo.count(type))
            continue;
        // Whole folder names: /system or /devel are volumes of their own.
        if (Within(point, "/proc") || Within(point, "/sys") || Within(point, "/dev") ||
            (type == "tmpfs" && Within(point, "/run")))
            continue;
        if (std::find(roots.begin(), roots.end(), point) == roots.end())
            roots.push_back(point);
    }
    if (std::find(roots.begin(), roots.end(), "/") == roots.end())
        roots.insert(roots.begin(), "/");
    std::sort(roots.begin(), roots.end());
    return roots;
}

std::string NormalizeFolder(const std::string& path) {
    std::string base = path;
    if (base.empty() || base[0] != '/')
        base = CurrentFolder() + "/" + base;
    std::vector<std::string> parts;
    std::stringstream in(base);
    std::string part;
    while (std::getline(in, part, '/')) {
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (const auto& p : parts)
        out += "/" + p;
    return out.empty() ? "/" : out;
}

bool IsVolumeQualified(const std::string& folder) {
    return !folder.empty() && folder[0] == '/';
}

std::string CurrentFolder() {
    std::vector<char> buf(4096);
    while (!getcwd(buf.data(), buf.size())) {
        if (errno != ERANGE)
            return "/";
        buf.resize(buf.size() * 2);
    }
    return buf.data();
}

namespace {

std::vector<FolderEntry> ListFolderNow(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        throw IoFailure("Cannot read the folder " + folder + ": " + std::strerror(errno), errno);
    std::vector<FolderEntry> entries;
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name.empty() || name[0] == '.' || name.find_first_of("\r\n") != std::string::npos)
            continue;
        bool isFolder = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            struct stat st {};
            if (stat(JoinPath(folder, name).c_str(), &st) != 0)
                continue; // a dangling link
            isFolder = S_ISDIR(st.st_mode);
        }
        entries.push_back({std::move(name), isFolder});
    }
    closedir(dir);
    SortInNameListOrder(entries);
    return entries;
}

// The one reading started ahead; only the first listing may take it, so no later visit to that
// folder is shown an old reading.
struct ReadAhead {
    std::mutex lock;
    bool open = true;
    std::string folder;
    std::future<std::vector<FolderEntry>> listing;
};

ReadAhead& Ahead() {
    static ReadAhead ahead;
    return ahead;
}

} // namespace

void ReadFolderAhead(const std::string& folder) {
    ReadAhead& ahead = Ahead();
    std::lock_guard<std::mutex> hold(ahead.lock);
    if (!ahead.open)
        return;
    ahead.folder = NormalizeFolder(folder);
    try {
        ahead.listing = std::async(std::launch::async, ListFolderNow, ahead.folder);
    } catch (const std::system_error&) {
        // No thread to spare: the folder is read when it is asked for.
    }
}

std::vector<FolderEntry> ListFolder(const std::string& folder) {
    ReadAhead& ahead = Ahead();
    std::future<std::vector<FolderEntry>> listing;
    {
        std::lock_guard<std::mutex> hold(ahead.lock);
        ahead.open = false;
        if (ahead.listing.valid() && ahead.folder == folder)
            listing = std::move(ahead.listing);
    }
    return listing.valid() ? listing.get() : ListFolderNow(folder);
}

} // namespace velum
