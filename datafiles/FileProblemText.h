#pragma once
// The operator's words (Russian, UTF-8) for what went wrong with a data file
// or an output file. Every tool and window that reads data files says the
// same thing about the same file in the same words.
#include <string>

#include "datafiles/RecordReader.h"

namespace datafiles {

/// A system error (errno) in words: "нет такого файла или папки", ...
std::string ErrnoText(int err);

/// Why a file could not be read, or not to its end (state.Fault); empty
/// when there is no fault. Without the file's name.
std::string ReadFaultText(const ReadState& state);

/// The torn tail of a file: its size and the whole records before it; empty
/// when there is none. Without the file's name.
std::string TornTailText(const ReadState& state);

/// A file that is no data file by its name (neither .fon nor .Rad).
std::string NotDataFileText();

/// "<path>: <text>": a message that names its file.
std::string About(const std::string& path, const std::string& text);

} // namespace datafiles
