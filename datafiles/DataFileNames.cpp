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

} // namespace datafiles
