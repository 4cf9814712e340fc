#pragma once
// Station folders on the command line: a folder given as an input stands
// for the data files in it, so a station's folder (or the centre's copy of
// it, STORE/ID) is exported as a whole and named by the folder.
#include <string>
#include <vector>

namespace dataexport {

/// The data files (.fon, .Rad) directly inside `folder`, sorted by name;
/// none when it cannot be listed.
std::vector<std::string> DataFilesOf(const std::string& folder);

/// `inputs` with every folder replaced by its data files, in the order
/// given; files, paths that are not there and folders without data files
/// stay as they are (the walk reports them).
std::vector<std::string> ExpandFolders(const std::vector<std::string>& inputs);

} // namespace dataexport
