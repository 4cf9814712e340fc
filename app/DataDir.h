#pragma once
// The folder the data files of a run go into, chosen on the command line.
#include <string>

namespace app {

/// Makes `dir` the current directory, where the run writes its files and
/// the viewer lists them. An empty name keeps the current directory.
/// Returns an empty string, or why the folder cannot take the data files
/// (missing, not a folder, not writable), in the program's words.
std::string EnterDataDir(const std::string& dir);

} // namespace app
