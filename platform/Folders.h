// The Folder Manager's lookup of special folders: the local domain's folders lie under the
// system root, the user domain's under $HOME.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <string>

namespace platform {

class TrustedPath;

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

// ---- The user domain of another user ----
//
// The user domain is this process's own, under its home folder, unless the process acts for
// another user: the wizard's privileged copy runs with the super-user's own home (which the
// windowing libraries read), and is told the home of the user who started it apart from that.

// Puts the user domain under home, an absolute path, for user, who must be this process's user
// unless this process is the super-user. The path is walked under the rule for another user's own
// folders (TrustedPath), and what it reaches must be a folder of that user that nobody else can
// write, in a folder of the super-user or of that user that nobody else can change (a sticky one
// aside). What is made in the user domain from then on is made as that user (UserDomainIdentity).
// 0; otherwise EPERM (or the errno value met), with problem saying why ("Refused to take ..."),
// and the user domain has no folders (FindFolder answers kFileNotFoundErr for it) until
// ResetUserDomain.
int SetUserDomainHome(const std::string& home, uid_t user, std::string& problem);
// Leaves the user domain without folders (FindFolder answers kFileNotFoundErr for it) until
// ResetUserDomain, as a refused home does: for a process that acts for another user and was not
// told that user's home (its own home, the super-user's, is never that user's domain).
void DropUserDomain();
// The user domain is this process's own again.
void ResetUserDomain();

// While one lives, what this thread makes in the file system is made as the user of the user
// domain, with that user's rights, and belongs to that user, where that user is not this
// process's own: what Setup makes in a user's own folders for that user (the user domain's folders,
// the pages it writes to the Desktop) is that user's. Otherwise it changes nothing. Taken() is
// false when the identity could not be taken (then nothing should be made). One may live within
// another; each gives back the identity it found.
class UserDomainIdentity {
public:
    // For all that is made while it lives.
    UserDomainIdentity();
    // For what is made in the folder that a trusted walk reached (null: none): the identity is
    // taken only where that folder is the user's (in the home, or where a link of the user's in the
    // user domain led). The helpers that make files, folders and links in a walked folder take one,
    // so that whatever a payload makes in another user's folders, for that user, is that user's;
    // in a folder of root's (one that an earlier Setup left in the home), root makes it as before.
    explicit UserDomainIdentity(const TrustedPath* walked);
    ~UserDomainIdentity();
    UserDomainIdentity(const UserDomainIdentity&) = delete;
    UserDomainIdentity& operator=(const UserDomainIdentity&) = delete;

    bool Taken() const { return taken_; }
    // Whether what is made now is another user's (its owner cannot be given away then).
    bool Changed() const { return changed_; }

private:
    void Take(bool onlyInUsersFolder, uid_t folderOwner);

    bool changed_ = false;
    bool taken_ = false;
    uid_t previousUser_ = 0;
    gid_t previousGroup_ = 0;
};

}  // namespace platform
