// The Folder Manager's lookup of special folders: the local domain's folders lie under the
// system root, the user domain's under $HOME.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

namespace platform {

const short kSystemDomain = -32766;
const short kLocalDomain = -32765;
const short kUserDomain = -32763;

// Four-byte folder types, read as big-endian 32-bit values.
constexpr std::uint32_t FourCharCode(char a, char b, char c, char d)
{
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(d));
}

// The path of the folder of a domain and type, created (with its parents) when missing and
// create is set. 0 on success; kFileNotFoundErr for an unknown domain or type, or a missing
// folder that may not or cannot be created.
int FindFolder(short domain, std::uint32_t folderType, bool create, std::string& path);

// The folder of a type on the volume mounted at a root: the chewable-items folder ('flnt',
// emptied at restart) and the temporary-items folder ('temp'). On the start-up volume (the one
// whose root is the system root) they are the local domain's, the system root's temporary
// folder; on any other volume a hidden folder ".TemporaryItems" at its root, world-writable
// with the sticky bit as a temporary folder is. Answers as FindFolder does.
int FindVolumeFolder(const std::string& volumeRoot, std::uint32_t folderType, bool create, std::string& path);

// Whether the status is that of a folder of this user's own that nobody else may enter, as the
// folder that things are moved aside into must be (the chewable-items folders above are).
bool IsPrivateFolderOfThisUser(const struct stat& info);

// The home folder of the user the process runs as ($HOME, else the password database).
std::string HomeFolder();

}  // namespace platform
