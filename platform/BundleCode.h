// BundleCode: the code of a bundle (a framework's executable, a shared library), loaded on
// first use and looked up by function name. Code outside the system cannot be handed our own
// objects: a function found this way takes and gives C types only.
#pragma once

#include "platform/Bundle.h"

#include <string>

namespace platform {

// The address of the named function in the bundle's executable, which is loaded the first time
// (and stays loaded for the rest of the process: code may still run from it). Null when the
// bundle has no executable, it cannot be loaded, or it has no such function.
void* BundleFunctionPointerForName(const Bundle& bundle, const std::string& name);

}  // namespace platform
