// Whole-file reads and writes that the property-list, bundle and settings readers share.
#pragma once

#include <string>

namespace platform {

// Reads a regular file whole; false when it cannot be opened or read, or is a folder.
bool ReadWholeFile(const std::string& path, std::string& bytes);

// Writes the bytes to a new file beside the target and renames it over the target, so that a
// reader sees the old file or the new one, never a half-written one. A replaced file keeps its
// owner (where the process may give files away) and permission bits; a new one gets 0644. A
// symbolic link stays and the regular file it leads to is replaced; a link to nothing or to
// anything else is refused. False, with the target unchanged, on any failure.
bool WriteFileAtomically(const std::string& path, const std::string& bytes);

}  // namespace platform
