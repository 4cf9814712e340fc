#include "centre/SyncedRecords.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "centre/SyncedAppend.h"
#include "datafiles/FileProblemText.h"

namespace centre {

std::string WriteRecordsSynced(const std::string& path, const std::vector<RecordBytes>& records)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return path + ": " + datafiles::ErrnoText(errno);
    // Empty: made now, or made by a write that failed before its folder was synced.
    struct stat st {};
    const bool made = ::fstat(fd, &st) != 0 || st.st_size == 0;
    bool ok = true;
    for (const RecordBytes& r : records)
        if (!(ok = WriteWhole(fd, r.Bytes, static_cast<off_t>(r.Record) * static_cast<off_t>(r.Bytes.size()))))
            break;
    ok = ok && ::fdatasync(fd) == 0;
    ok = ok && (!made || SyncFolderOf(path)); // a file made anew stays listed
    const int err = errno;
    ::close(fd);
    return ok ? std::string() : path + ": " + datafiles::ErrnoText(err);
}

} // namespace centre
