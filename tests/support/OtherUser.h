// Test code run as a user other than the test's own: the user "nobody", in a forked child, so that
// what it makes (links, files) is that user's, as the plants of a local user would be; and code
// that needs a user without the super-user's rights, whoever runs the tests.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace tolktest {

// The user "nobody" and its group, as the password database has them (65534 where it has none).
uid_t NobodyUser();
gid_t NobodyGroup();

// nobody as messages name a user: "nobody (65534)".
std::string NobodyText();

// In the calling process (meant for a child): gives up the supplementary groups and becomes
// nobody, real, effective and saved IDs alike (setresgid, then setresuid). False when it cannot.
bool BecomeNobody();

// What a body run as another user answered, or that it could not be run so.
enum class AsUser { kTrue, kFalse, kImpossible };

// Runs body in a forked child that became nobody, and answers what it answered; kImpossible when
// the child could not become nobody (only the super-user can). Only the answer comes back.
AsUser RunAsNobody(const std::function<bool()>& body);

// The same as any user and group, by number (one that the password database need not know).
AsUser RunAsUser(uid_t user, gid_t group, const std::function<bool()>& body);

// Whether RunAsNobody can run a body here (the tests run as the super-user).
bool CanRunAsNobody();

// Runs body as a user without the super-user's rights: in place when the tests run as one, else
// as RunAsNobody does.
AsUser RunUnprivileged(const std::function<bool()>& body);

// Lets nobody reach (search, not list) the folder: for a test's temporary base folder, which only
// its owner may enter, so that a plant below it can be made.
bool LetOthersThrough(const std::string& folder);

}  // namespace tolktest
