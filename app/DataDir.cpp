#include "app/DataDir.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace app {

std::string CheckDataDir(const std::string& dir)
{
    if (dir.empty())
        return {};
    struct stat st {};
    if (stat(dir.c_str(), &st) != 0)
        return "каталог данных " + dir + " недоступен: " + std::strerror(errno);
    if (!S_ISDIR(st.st_mode))
        return dir + " не каталог";
    if (access(dir.c_str(), W_OK | X_OK) != 0)
        return "в каталог данных " + dir + " нельзя писать: " + std::strerror(errno);
    return {};
}

} // namespace app
