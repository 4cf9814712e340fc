#pragma once
// Names of the data files of a run: day_month_hour_minute, without leading
// zeros, in the current directory ("6_12_23_5.fon", "6_12_23_5.Rad").
#include <string>

#include "platform/Clock.h"

namespace datafiles {

inline constexpr const char* kFonExt = ".fon";
inline constexpr const char* kRadExt = ".Rad";

/// `name` inside `folder`, one slash between them; an empty folder or "."
/// is the current one (the name alone).
std::string InFolder(const std::string& folder, const std::string& name);
/// "d_m_h_min" of the moment.
std::string NameStem(const rt::DateTimeParts& t);
/// The stem with suffix `k` for the k-th name of the same minute: k = 1 gives
/// the stem itself, k = 2 gives "stem_2", and so on.
std::string SuffixedStem(const std::string& stem, int k);

} // namespace datafiles
