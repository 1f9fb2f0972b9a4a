#include "platform/BundleCode.h"

#include <dlfcn.h>

namespace platform {

void* BundleFunctionPointerForName(const Bundle& bundle, const std::string& name)
{
    std::string executable;
    if (!bundle.ExecutablePath(executable))
        return nullptr;
    // RTLD_LOCAL keeps the bundle's symbols from standing in for anyone else's.
    void* code = dlopen(executable.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (code == nullptr)
        return nullptr;
    return dlsym(code, name.c_str());
}

}  // namespace platform
