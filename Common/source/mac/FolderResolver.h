// FolderResolver: the symbolic folder keys ("ProgramFiles", "FontsFolder", "UserPreferences" ...)
// that scripts and the engine use in place of system paths.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"

#include <string>

namespace FolderResolver {

// The folder of one of the fourteen keys (exact, case-sensitive), created when missing; false
// for any other key or when the folder cannot be found, leaving the path untouched.
bool ExpandPathKey(const std::string& key, FileSystemPath& path);

}  // namespace FolderResolver
