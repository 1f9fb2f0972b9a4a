// PrivilegedCopy: what the wizard's relaunch with administrator rights hands the copy of Setup
// that the authoriser runs, and how that copy takes it. pkexec runs Setup itself with an
// environment of its own (the super-user's home, none of the user's variables), so the few values
// of the user's process that the copy needs travel as arguments of their own, each followed by
// its value: the display and its X authority, the system root, the languages, and the user's home,
// which is the user domain's home in the copy and never the copy's own home (the windowing
// libraries read theirs, the super-user's).
#pragma once

#include <string>
#include <vector>

namespace PrivilegedCopy {

// The arguments that carry this process's values, in the order of the table: "-DISPLAY",
// "-XAUTHORITY", "-TOLK_SYSTEM_ROOT", "-LANG", "-LANGUAGE", "-LC_ALL" with the variables'
// values and "-userHome" with the home folder ($HOME); an unset or empty one is left out.
std::vector<std::string> ValueArguments();

// In the copy, before anything reads them: takes the pairs of those arguments that come first
// (after the program path), read once from the left up to the first argument that names none, out
// of the arguments, checks each value and applies it: the session's values go into the
// environment (platform::TakeSessionValue), the system root too (its checks follow, as for any
// root), and the home becomes the home of the user domain of the user who started Setup
// (platform::SetUserDomainHome, platform::InvokingUser). A value that is refused is not taken; a
// list in which a name has no value or comes twice is refused whole. Where Setup acts for another
// user (the copy that pkexec runs), the session's values that the environment holds are removed
// first (platform::ForgetSessionValues), so that a refused one stays unset, and without a home
// handed over the copy has no user domain. Each refusal is appended to problems.
void TakeValues(std::vector<std::string>& arguments, std::vector<std::string>& problems);

}  // namespace PrivilegedCopy
