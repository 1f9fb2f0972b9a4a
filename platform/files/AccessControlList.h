// AccessControlList: who a POSIX access control list lets write a file or folder, read from the
// form the kernel gives it (the attribute "system.posix_acl_access"), for the judgement of what a
// privileged program keeps and reads to act on it (see TrustedPath::WalkKept).
#pragma once

#include <sys/stat.h>

#include <string>

namespace platform {

// Who besides its owner can write the object with the status, opened as fd (O_PATH too), for a
// message: OthersByMode's answer when the mode lets them; else "the users and groups its access
// control list names" when the list gives writing to a named user or group (the super-user, the
// owner, this process's user and the administrators' groups 0 and 80 aside) and its mask lets that
// through; empty when none can. A list that cannot be read counts as one that lets others write.
// The list is read (one look at the attribute) only where the mode's group bits, which show its
// mask when there is one, let writing through.
std::string OthersByAccess(int fd, const struct stat& status);
// The same for the entry name of the open folder, a link at the name not followed (a link has no
// list of its own: empty).
std::string OthersByAccessAt(int folder, const std::string& name, const struct stat& status);

}  // namespace platform
