#pragma once
// The data files of the working directory that the viewer lists.
#include <QString>
#include <string>
#include <vector>

namespace datafiles {

/// A listed file: its name as the file system spells it (opened by it) and
/// as the list shows it. A name that is not valid UTF-8 (for instance one
/// written in a single-byte code page) is shown with its other bytes as
/// \xNN, so it is listed, told apart from the others and opens.
struct ListedFile {
    std::string Name;
    QString Shown;
};

/// The entries of `folder` (empty: the current directory) whose names end in
/// `suffix` (".fon", ".Rad") in any case, each Name a path into the folder, as the platform's file search matches
/// "*.fon". Entries of any kind are admitted (directories, hidden entries).
/// Sorted by name, so the list is the same at every search; every match is
/// returned, in full.
std::vector<ListedFile> ListDataFiles(const std::string& suffix, const std::string& folder = {});

/// How a file name is shown: the name itself when it is valid UTF-8, else
/// its ASCII characters with every other byte as \xNN.
QString ShownName(const std::string& name);

} // namespace datafiles
