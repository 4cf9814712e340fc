#include "platform/DynLib.h"

#include <dlfcn.h>

namespace dyn {

HMODULE LoadLibraryA(const char* fileName)
{
    if (!fileName || !*fileName)
        return nullptr;
    return ::dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
}

void* GetProcAddress(HMODULE module, const char* name)
{
    if (!module || !name)
        return nullptr;
    return ::dlsym(module, name);
}

bool FreeLibrary(HMODULE module) { return module && ::dlclose(module) == 0; }

} // namespace dyn
