#include "datafiles/StationId.h"

#include <climits>
#include <cstdlib>

namespace datafiles {

bool ValidStationId(const std::string& id)
{
    if (id.empty() || id.size() > kStationIdMax)
        return false;
    for (char c : id) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
                        c == '-';
        if (!ok)
            return false;
    }
    return true;
}

std::string FolderName(const std::string& input)
{
    char buf[PATH_MAX];
    if (!::realpath(input.c_str(), buf))
        return {};
    std::string path(buf);
    path.erase(path.rfind('/'));
    return path.substr(path.rfind('/') + 1);
}

} // namespace datafiles
