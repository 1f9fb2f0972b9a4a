// QENFileSnapshot: what lies at the path of a small file that a command is about to replace or
// remove (its bytes, owner and mode, and the symbolic link it is reached through), kept so that
// its rollback can put it back as it was.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"

#include <string>
#include <sys/types.h>

namespace QENFileSnapshot {

struct Snapshot {
    // A regular file was there, directly or at the end of a link: its content, owner and mode.
    bool existed = false;
    std::string bytes;
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;
    // The path was a symbolic link (whatever it led to): its text.
    bool wasLink = false;
    std::string linkText;

    // Whether there is anything to put back.
    bool Kept() const { return existed || wasLink; }
};

// What lies at the path now. Nothing kept when nothing is there or something that is neither a
// regular file nor a link (which a rollback could not give back anyway). False when a file is
// there but cannot be read.
bool Take(const FileSystemPath& path, Snapshot& snapshot);

// Puts back what the snapshot kept: the link, made again with its text when it is gone, and the
// file's content, owner and mode, written through the link when there was one. False when any of
// it cannot be done.
bool Restore(const FileSystemPath& path, const Snapshot& snapshot);

}  // namespace QENFileSnapshot
