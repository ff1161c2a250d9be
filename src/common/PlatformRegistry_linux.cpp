#include "common/PlatformRegistry.h"

#include <cstdlib>

#include "common/Files.h"
#include "common/HiveRegistry.h"

namespace velum {

std::unique_ptr<Registry> CreatePlatformRegistry() {
    return std::make_unique<HiveRegistry>(UserHivePath(), MachineHivePath());
}

std::string UserHivePath() {
    std::string dir = GetWinDir();
    return dir.empty() ? std::string() : dir + "user.reg";
}

std::string MachineHivePath() {
    const char* env = std::getenv("XDG_CONFIG_DIRS");
    std::string dirs = env && *env ? env : "/etc/xdg";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        start = end + 1;
        // Relative entries are invalid in this variable and are ignored.
        if (dir.empty() || dir[0] != '/')
            continue;
        if (dir.back() != '/')
            dir += '/';
        std::string path = dir + "velumor/machine.reg";
        if (FileExists(path))
            return path;
    }
    return {};
}

} // namespace velum
