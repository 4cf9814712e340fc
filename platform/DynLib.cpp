#include "platform/DynLib.h"

#include <cerrno>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dyn {

HMODULE LoadLibraryA(const char* fileName)
{
    if (!fileName || !*fileName || NotRegularFile(fileName))
        return nullptr;
    return ::dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
}

bool NotRegularFile(const char* fileName)
{
    if (!fileName || !*fileName)
        return false;
    const int fd = ::open(fileName, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return errno == ENXIO || errno == EISDIR;
    struct stat st;
    const bool other = ::fstat(fd, &st) == 0 && !S_ISREG(st.st_mode);
    ::close(fd);
    return other;
}

void* GetProcAddress(HMODULE module, const char* name)
{
    if (!module || !name)
        return nullptr;
    return ::dlsym(module, name);
}

bool FreeLibrary(HMODULE module) { return module && ::dlclose(module) == 0; }

} // namespace dyn
