#include "acquisition/RunFiles.h"

#include <algorithm>
#include <cstdio>

#include "datafiles/DataFileNames.h"
#include "datafiles/RecordFile.h"
#include "datafiles/RecordWriter.h"

namespace acq {

std::string FileName(const rt::DateTimeParts& t) { return datafiles::NameStem(t) + datafiles::kFonExt; }

std::string FileNameEAS(const rt::DateTimeParts& t) { return datafiles::NameStem(t) + datafiles::kRadExt; }

namespace {
std::function<void()>& BeforeCreating()
{
    static std::function<void()> hook;
    return hook;
}
} // namespace

void SetBeforeCreatingRunFiles(std::function<void()> hook) { BeforeCreating() = std::move(hook); }

RunFileNames CreateRunFiles(const std::string& folder, const rt::DateTimeParts& t)
{
    if (BeforeCreating())
        BeforeCreating()();
    const std::string stem = datafiles::NameStem(t);
    for (int k = 1;; ++k) {
        const std::string s = datafiles::InFolder(folder, datafiles::SuffixedStem(stem, k));
        RunFileNames names{s + datafiles::kRadExt, s + datafiles::kFonExt};
        if (!recfile::CreateNew(names.Rad))
            continue;
        bool created = false;
        try {
            created = recfile::CreateNew(names.Fon);
            if (created)
                recfile::SyncFolderOf(names.Fon);
        } catch (...) {
            std::remove(names.Rad.c_str()); // no half pair of files is left
            if (created)
                std::remove(names.Fon.c_str());
            throw;
        }
        if (created)
            return names;
        std::remove(names.Rad.c_str());
    }
}

std::string CreateRescueFile(const std::string& runFile)
{
    // The stem without its folder, its extension and a suffix of its own:
    // "d_m_h_min" or "d_m_h_min_k".
    const size_t slash = runFile.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : runFile.substr(0, slash + 1);
    const std::string name = runFile.substr(folder.size());
    const size_t dot = name.rfind('.');
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    std::string stem = name.substr(0, dot);
    if (std::count(stem.begin(), stem.end(), '_') == 4)
        stem.erase(stem.rfind('_'));
    for (int k = 2;; ++k) {
        const std::string path = folder + datafiles::SuffixedStem(stem, k) + ext;
        if (recfile::CreateNew(path)) {
            recfile::SyncFolderOf(path);
            return path;
        }
    }
}

} // namespace acq
