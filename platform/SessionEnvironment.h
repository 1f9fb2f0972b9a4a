// SessionEnvironment: the values of a user's desktop session that a program started for that user
// with an environment of its own (the wizard's copy that pkexec runs as root) takes over from the
// user's process: the display, its X authority and the languages. Each is checked before the
// environment holds it, since it comes from the user and the process acts with more rights.
#pragma once

#include <sys/types.h>

#include <string>

namespace platform {

// Takes the value of the variable name into this process's environment:
// - "DISPLAY": a display name (letters, digits and ".:_-");
// - "LANG", "LANGUAGE", "LC_ALL": locale names (letters, digits and ".:_@-"; as pkexec keeps them
//   itself, never a "/", "%" or "..", with which the C library would read locale files from
//   anywhere);
// - "XAUTHORITY": the path of the X authority file, which must be a plain file of user (of at
//   most 1 MB). Its contents are read once, through the file judged, into a sealed memory file
//   that the variable names from then on ("/proc/<pid>/fd/<n>", which the windowing libraries
//   and their helper processes read as root), so that no file put at the path later is read.
// 0; otherwise EINVAL (an unknown name, or a value that is no such name), EPERM, or the errno
// value met, with problem saying why, and the environment unchanged.
int TakeSessionValue(const std::string& name, const std::string& value, uid_t user, std::string& problem);

// Removes the session's values from this process's environment, for a process that acts for
// another user and is to take them from that user through TakeSessionValue alone (the authoriser
// may have kept the user's own, unchecked): DISPLAY, the locale variables (LANG, LANGUAGE, LINGUAS
// and every LC_*) and XAUTHORITY, which names an empty authority ("/dev/null") instead, since
// without one the X library reads the file in the home folder, the process's own (the
// super-user's), and would send its cookies to whatever display the user names.
void ForgetSessionValues();

}  // namespace platform
