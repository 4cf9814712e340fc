#pragma once
// The folder the data files of a run go into, chosen on the command line.
#include <string>

namespace app {

/// Checks that `dir` can take the data files (an empty name: the current
/// directory, not checked). Returns an empty string, or why the folder cannot
/// take them (missing, not a folder, not writable), in the program's words.
std::string CheckDataDir(const std::string& dir);

} // namespace app
