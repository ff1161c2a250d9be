#include "common/Files.h"

namespace velum {

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    if (folder.back() == PathSeparator())
        return folder + name;
    return folder + PathSeparator() + name;
}

void RewriteFile(const std::string& path, const std::string& tempName,
                 const std::function<void(std::istream* old, std::ostream& out)>& body) {
    RewriteFileIf(path, tempName, [&](std::istream* old, std::ostream& out) {
        body(old, out);
        return true;
    });
}

} // namespace velum
