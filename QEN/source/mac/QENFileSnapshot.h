// QENFileSnapshot: the bytes of a small file that a command is about to replace or remove, kept
// so that its rollback can put the file back as it was.
#pragma once

#include "FileSystemPath.h"

#include <string>

namespace QENFileSnapshot {

// What lies at the path now: a regular file's bytes (existed true), or nothing to keep
// (existed false: nothing there, or something that is no regular file, which a rollback cannot
// give back anyway). False when a regular file is there but cannot be read.
bool Take(const FileSystemPath& path, bool& existed, std::string& bytes);

}  // namespace QENFileSnapshot
