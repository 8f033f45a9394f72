#include "ModulePath.h"

#include <dlfcn.h>

std::string moduleDirectory()
{
    Dl_info info {};
    if (!dladdr(reinterpret_cast<void*>(&moduleDirectory), &info) || !info.dli_fname)
        return {};
    const std::string file = info.dli_fname;
    const std::string::size_type slash = file.rfind('/');
    return slash == std::string::npos ? std::string() : file.substr(0, slash);
}
