#include "export/InputFolders.h"

#include <algorithm>
#include <filesystem>

#include "datafiles/RecordReader.h"

namespace dataexport {

namespace fs = std::filesystem;

std::vector<std::string> DataFilesOf(const std::string& folder)
{
    std::vector<std::string> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string path = it->path().string();
        if (datafiles::KindOfPath(path) != datafiles::RecordKind::Unknown)
            files.push_back(path);
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> ExpandFolders(const std::vector<std::string>& inputs)
{
    std::vector<std::string> out;
    for (const std::string& input : inputs) {
        std::error_code ec;
        if (!fs::is_directory(input, ec)) {
            out.push_back(input);
            continue;
        }
        const std::vector<std::string> files = DataFilesOf(input);
        if (files.empty())
            out.push_back(input); // said by the walk: no data file to read
        out.insert(out.end(), files.begin(), files.end());
    }
    return out;
}

} // namespace dataexport
