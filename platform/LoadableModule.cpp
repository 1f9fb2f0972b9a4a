#include "platform/LoadableModule.h"

#include <dlfcn.h>

namespace platform {

void* OpenModuleEntry(const std::string& path, const std::string& entryName, std::string& error)
{
    // Missing references show now, as an error, rather than as a crash at their first call.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "unable to open " + path;
        return nullptr;
    }
    dlerror();
    void* entry = dlsym(module, entryName.c_str());
    if (entry == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : entryName + " not found in " + path;
        dlclose(module);
        return nullptr;
    }
    return entry;
}

}  // namespace platform
