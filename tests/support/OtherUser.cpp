#include "tests/support/OtherUser.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace tolktest {

namespace {

const uid_t kNobodyFallback = 65534;
// The exit status of a child that could not become nobody (a body's answers are 0 and 1).
const int kCannotBecome = 125;

}  // namespace

uid_t NobodyUser()
{
    const struct passwd* entry = getpwnam("nobody");
    return entry != nullptr ? entry->pw_uid : kNobodyFallback;
}

gid_t NobodyGroup()
{
    const struct passwd* entry = getpwnam("nobody");
    return entry != nullptr ? entry->pw_gid : kNobodyFallback;
}

std::string NobodyText()
{
    const struct passwd* entry = getpwuid(NobodyUser());
    const std::string number = std::to_string(NobodyUser());
    return entry != nullptr ? std::string(entry->pw_name) + " (" + number + ")" : number;
}

namespace {

bool Become(uid_t user, gid_t group)
{
    // The group first: once the user is given up, the group can no longer be changed.
    return setgroups(0, nullptr) == 0 && setresgid(group, group, group) == 0 && setresuid(user, user, user) == 0 &&
           geteuid() == user;
}

}  // namespace

bool BecomeNobody()
{
    return Become(NobodyUser(), NobodyGroup());
}

AsUser RunAsNobody(const std::function<bool()>& body)
{
    return RunAsUser(NobodyUser(), NobodyGroup(), body);
}

AsUser RunAsUser(uid_t user, gid_t group, const std::function<bool()>& body)
{
    const pid_t child = fork();
    if (child < 0)
        return AsUser::kImpossible;
    if (child == 0) {
        if (!Become(user, group))
            _exit(kCannotBecome);
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    pid_t waited;
    while ((waited = waitpid(child, &status, 0)) < 0 && errno == EINTR) {
    }
    if (waited != child || !WIFEXITED(status))
        return AsUser::kFalse;
    if (WEXITSTATUS(status) == kCannotBecome)
        return AsUser::kImpossible;
    return WEXITSTATUS(status) == 0 ? AsUser::kTrue : AsUser::kFalse;
}

bool CanRunAsNobody()
{
    return RunAsNobody([]() { return true; }) != AsUser::kImpossible;
}

AsUser RunUnprivileged(const std::function<bool()>& body)
{
    if (geteuid() != 0)
        return body() ? AsUser::kTrue : AsUser::kFalse;
    return RunAsNobody(body);
}

bool LetOthersThrough(const std::string& folder)
{
    struct stat status;
    return stat(folder.c_str(), &status) == 0 && chmod(folder.c_str(), (status.st_mode & 07777) | S_IXOTH) == 0;
}

}  // namespace tolktest
