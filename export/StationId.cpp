#include "export/StationId.h"

#include <climits>
#include <cstdlib>

namespace dataexport {

bool IsStationId(const std::string& id)
{
    if (id.empty() || id.size() > 32)
        return false;
    for (char c : id)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-'))
            return false;
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

} // namespace dataexport
