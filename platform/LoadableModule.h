// LoadableModule: code that a program opens while it runs (dlopen), so that what only one of its
// modes needs, and the libraries that code stands on, are loaded only in that mode.
#pragma once

#include <string>

namespace platform {

// Opens the module at the path (every reference of its code resolved at once, against the
// program and the libraries it has loaded) and answers the address of its entry, a function or
// object of that name; null, with the loader's reason in error, when either cannot be had. A
// module once opened stays for the life of the process.
void* OpenModuleEntry(const std::string& path, const std::string& entryName, std::string& error);

}  // namespace platform
