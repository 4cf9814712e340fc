#pragma once
// Appending to a file of the store so that what is reported written is on
// the disk: the file is opened for the write and closed again (no station
// holds a descriptor between writes), the text is written whole, checked
// and synced; on any failure the file is cut back to its old length, so no
// torn line is left behind and nothing half-written counts.
#include <string>
#include <string_view>
#include <sys/types.h>

namespace centre {

/// Appends `text` to `path` and syncs it; `header` (a whole line) comes
/// first when the file is new or empty. Empty when all of it is on the
/// disk, else why not (the file then is as it was).
std::string AppendSynced(const std::string& path, std::string_view header, std::string_view text);

/// Writes all of `bytes` to `fd`: at its end (`at` < 0) or from offset
/// `at`; false (errno set) when it could not.
bool WriteWhole(int fd, std::string_view bytes, off_t at = -1);

/// Syncs the folder of `path`, so that a file made anew stays listed.
/// False when it could not.
bool SyncFolderOf(const std::string& path);

/// Cuts a file of lines back to its last whole line: a line torn by a crash
/// is removed (it was never reported stored), not ended. `keep`: the length
/// to cut back to, from ReadLines. False when it could not be cut.
bool CutTo(const std::string& path, long long keep);

} // namespace centre
