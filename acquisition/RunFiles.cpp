#include "acquisition/RunFiles.h"

#include <algorithm>
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


std::string CreateRescueFile(const std::string& runFile)
{
    // The stem without its extension and without a suffix of its own:
    // "d_m_h_min" or "d_m_h_min_k".
    const size_t dot = runFile.rfind('.');
    const std::string ext = dot == std::string::npos ? std::string() : runFile.substr(dot);
    std::string stem = runFile.substr(0, dot);
    if (std::count(stem.begin(), stem.end(), '_') == 4)
        stem.erase(stem.rfind('_'));
    for (int k = 2;; ++k) {
        const std::string name = datafiles::SuffixedStem(stem, k) + ext;
        if (recfile::CreateNew(name))
            return name;
    }
}

} // namespace acq
