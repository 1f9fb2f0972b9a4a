// Looks over files without changing them: how many files a folder tree holds, and whether two
// files hold the same bytes. The command engine measures a payload's progress and finds damaged
// files with them.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// The entries below the folder that are no folders (files, links, anything else), at any depth;
// links to folders are not followed. 0 when the folder cannot be read.
std::size_t CountFilesInTree(const std::string& folder);

// Whether the two regular files hold the same bytes: true with same set, false when either is
// no regular file (a link counts as none: it is not followed) or cannot be read.
bool CompareFileContents(const std::string& first, const std::string& second, bool& same);

}  // namespace platform
