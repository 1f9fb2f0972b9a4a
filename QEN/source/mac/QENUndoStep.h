// QENUndoStep: one change of a command told so plainly that it can be taken back from the run's
// journal alone, after the process that made it died and the command object with it.
#pragma once

#include <cstdint>
#include <string>

struct QENUndoStep {
    enum Kind {
        kRemoveFile,         // path: a file or link the command made (or was making)
        kRemoveDirectory,    // path: a folder the command made; removed only while empty
        kRestoreFile,        // path, other: the file the command moved aside to the backup "other"
        kRecreateDirectory,  // path, mode, owner, group, device, inode, other: a folder the command
                             // removed, and the folder that held it (other: its handle)
        kRecreateSymlink,    // path, other: a link the command removed, and its text
        kSetMode,            // path, mode, device, inode, other: the mode the command replaced, and its
                             // object (other: its handle)
        kSetOwner,           // path, owner, group, mode, device, inode, other: the owner, group and
                             // mode it replaced, and its object
        kReplaceFile,        // path, other: a file replaced whole, whose earlier self "other" keeps
    };

    QENUndoStep() = default;
    QENUndoStep(Kind kind, const std::string& path, const std::string& other = std::string(), unsigned mode = 0,
                std::uint32_t owner = 0, std::uint32_t group = 0)
        : kind(kind), path(path), other(other), mode(mode), owner(owner), group(group)
    {
    }

    Kind kind = kRemoveFile;
    std::string path;
    std::string other;
    unsigned mode = 0;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    // The object whose mode or owner the command replaced, which alone is given it back, or the
    // folder that held a folder removed, in which alone it is made again; 0 and 0 where it is not
    // known (a journal that an earlier Setup wrote), and the value is given to what is at the path.
    // Where the file system gave a handle of it, other holds that (platform::ObjectIdentity).
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};
