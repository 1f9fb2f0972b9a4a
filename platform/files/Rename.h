// The renames that rename(2) cannot express: one that never replaces an existing target, and the
// exchange of two names in one step (the File Manager's object exchange). Both answer 0 or an
// errno value.
#pragma once

#include <string>

namespace platform {

// Renames without ever replacing: EEXIST when anything (a dangling link included) exists at the
// target, even one that appears while the rename runs. On a file system without an exclusive
// rename a regular file is linked and unlinked instead; only where neither exists does it fall
// back to a check followed by a rename.
int RenameNoReplace(const std::string& from, const std::string& to);
// The same into a folder held open by a descriptor (folder is the path it was opened by, which
// only a file system without an exclusive rename falls back to): the target's folder is not
// looked up again along its path.
int RenameNoReplaceInto(const std::string& from, int folderFd, const std::string& folder, const std::string& name);
// The same from a name in a folder held open (from is its path, for the fallback).
int RenameNoReplaceInto(int fromFolderFd, const std::string& fromName, const std::string& from, int folderFd,
                        const std::string& folder, const std::string& name);

// Exchanges the objects at two paths atomically. EINVAL or ENOSYS where the file system or
// kernel cannot, EXDEV across file systems; nothing has changed then.
int ExchangePaths(const std::string& first, const std::string& second);

}  // namespace platform
