#pragma once
// The two data files of a run: created empty in the station's data folder
// under one stem made from the date and time of the start, never over an
// existing file, and the folder synced so a power cut keeps them.
#include <functional>
#include <string>

#include "platform/Clock.h"

namespace acq {

/// The paths of a run's files.
struct RunFileNames {
    std::string Rad; ///< radio events, "<folder>/d_m_h_min.Rad"
    std::string Fon; ///< background frames, "<folder>/d_m_h_min.fon"
};

/// The names a start at `t` takes first: "d_m_h_min.fon" (FileName) and
/// "d_m_h_min.Rad" (FileNameEAS), without a folder.
std::string FileName(const rt::DateTimeParts& t);
std::string FileNameEAS(const rt::DateTimeParts& t);

/// Creates both files empty in `folder` ("" for the current one) under the
/// first stem of the moment that names neither an existing .Rad nor an
/// existing .fon ("6_12_23_5", then "6_12_23_5_2", ...). Raises
/// rt::EInOutError when a file cannot be created.
RunFileNames CreateRunFiles(const std::string& folder, const rt::DateTimeParts& t);

/// Creates, empty and new, the file a run's records go to when their own
/// file cannot take them: the first free name of the run's pattern with the
/// same extension, in the same folder ("6_12_23_5.fon" gives "6_12_23_5_2.fon"
/// or, if that exists, "6_12_23_5_3.fon", ...). Raises rt::EInOutError when
/// none can be created.
std::string CreateRescueFile(const std::string& runFile);

/// For tests: `hook` runs on the thread that creates a run's files, just
/// before CreateRunFiles does so (empty: none). Set it while no run starts.
void SetBeforeCreatingRunFiles(std::function<void()> hook);

} // namespace acq
