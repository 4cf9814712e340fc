#include "acquisition/RunFiles.h"

#include <cstdio>

#include "datafiles/DataFileNames.h"
#include "datafiles/RecordFile.h"

namespace acq {

RunFileNames CreateRunFiles(const rt::DateTimeParts& t)
{
    const std::string stem = datafiles::NameStem(t);
    for (int k = 1;; ++k) {
        const std::string s = datafiles::SuffixedStem(stem, k);
        RunFileNames names{s + datafiles::kRadExt, s + datafiles::kFonExt};
        if (!recfile::CreateNew(names.Rad))
            continue;
        bool created = false;
        try {
            created = recfile::CreateNew(names.Fon);
        } catch (...) {
            std::remove(names.Rad.c_str()); // no half pair of files is left
            throw;
        }
        if (created)
            return names;
        std::remove(names.Rad.c_str());
    }
}

} // namespace acq
