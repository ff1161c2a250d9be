#include "store/Catalogue.h"

#include <algorithm>
#include <string_view>

namespace velum {

std::vector<std::string> SplitCollectionNames(const std::string& stored) {
    std::vector<std::string> names;
    std::size_t start = 0;
    for (int taken = 0; taken < kMaxStoredNames && start <= stored.size(); ++taken) {
        std::size_t comma = stored.find(',', start);
        if (comma == std::string::npos)
            comma = stored.size();
        if (comma > start)
            names.push_back(stored.substr(start, comma - start));
        start = comma + 1;
    }
    return names;
}

bool CanAddCollectionName(const std::vector<std::string>& names, const std::string& name) {
    return !name.empty() && std::find(names.begin(), names.end(), name) == names.end();
}

std::string JoinCollectionNames(const std::vector<std::string>& names) {
    std::string joined;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            joined += ',';
        joined += names[i];
    }
    return joined;
}

int SuccessorAfterDelete(int position, int count) {
    return position + 1 < count ? position + 1 : 0;
}

bool NameSplitsCatalogue(const std::string& name) {
    return name.find(',') != std::string::npos;
}

bool NameBreaksRecords(const std::string& name) {
    return name.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos;
}

} // namespace velum
