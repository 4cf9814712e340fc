#include "datafiles/DataFileNames.h"

namespace datafiles {

std::string NameStem(const rt::DateTimeParts& t)
{
    return std::to_string(t.Day) + "_" + std::to_string(t.Month) + "_" + std::to_string(t.Hour) + "_" +
           std::to_string(t.Min);
}

std::string SuffixedStem(const std::string& stem, int k)
{
    return k <= 1 ? stem : stem + "_" + std::to_string(k);
}

std::string InFolder(const std::string& folder, const std::string& name)
{
    if (folder.empty() || folder == ".")
        return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

} // namespace datafiles
