#pragma once
// The command-line errors of vfon, vfon-export and vfon-centre in the
// program's own words: the option parser's English texts are turned into
// Russian ones that still name the option and the value at fault.
#include <CLI/CLI.hpp>
#include <string>

namespace rt {

/// What `e`, thrown by `app.parse`, means, in one Russian line without the
/// program's name. Arguments that no option takes come first ("неизвестный
/// параметр --bogus"): the parser reports a missing required option before
/// them, which would hide the real mistake.
std::string CliErrorText(const CLI::App& app, const CLI::ParseError& e);

} // namespace rt
