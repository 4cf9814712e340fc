#pragma once
// The two data files of a run: created empty under one stem made from the
// date and time of the start, never over an existing file.
#include <string>

#include "platform/Clock.h"

namespace acq {

/// The names of a run's files.
struct RunFileNames {
    std::string Rad; ///< radio events, "d_m_h_min.Rad"
    std::string Fon; ///< background frames, "d_m_h_min.fon"
};

/// Creates both files empty under the first stem of the moment that names
/// neither an existing .Rad nor an existing .fon ("6_12_23_5", then
/// "6_12_23_5_2", ...). Raises rt::EInOutError when a file cannot be created.
RunFileNames CreateRunFiles(const rt::DateTimeParts& t);

/// Creates, empty and new, the file a run's records go to when their own
/// file cannot take them: the first free name of the run's pattern with the
/// same extension ("6_12_23_5.fon" gives "6_12_23_5_2.fon" or, if that
/// exists, "6_12_23_5_3.fon", ...). Raises rt::EInOutError when none can
/// be created.
std::string CreateRescueFile(const std::string& runFile);

} // namespace acq
