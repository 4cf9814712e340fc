#include "app/DataDir.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "datafiles/FileProblemText.h"

namespace app {

std::string CheckDataDir(const std::string& dir)
{
    if (dir.empty())
        return {};
    struct stat st {};
    if (stat(dir.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return "каталога данных «" + dir + "» нет";
        return "каталог данных «" + dir + "» недоступен: " + datafiles::ErrnoText(errno);
    }
    if (!S_ISDIR(st.st_mode))
        return "«" + dir + "» не каталог: файлы данных пишутся в каталог";
    // The cause as it is: a disk mounted read-only is no missing permission.
    if (access(dir.c_str(), W_OK | X_OK) != 0)
        return "в каталог данных «" + dir + "» нельзя писать: " + datafiles::ErrnoText(errno);
    return {};
}

} // namespace app
