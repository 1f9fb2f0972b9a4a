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
        kRecreateDirectory,  // path, mode, owner, group: a folder the command removed
        kRecreateSymlink,    // path, other: a link the command removed, and its text
        kSetMode,            // path, mode: the mode the command replaced
        kSetOwner,           // path, owner, group: the owner and group the command replaced
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
};
