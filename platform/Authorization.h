// Authorization: running a program with administrator rights. The system's authorisation runs
// the program directly when this process is already root, and otherwise through /usr/bin/pkexec,
// which asks for an administrator's password as the program starts and gives the program an
// environment of its own making (none of this process's variables): whatever the program needs
// from here must travel on its command line. Tests install a maker of their own
// (SetMakerForTesting) to answer without asking anyone.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <memory>

namespace platform {

// Status codes of an authorisation.
enum AuthorizationStatus : int {
    kAuthorizationSuccess = 0,
    kAuthorizationDenied = -60005,
    kAuthorizationCanceled = -60006,
    kAuthorizationInternalError = -60008,
    kAuthorizationToolExecuteFailure = -60031,
};

class Authorization {
public:
    virtual ~Authorization();

    // A new authorisation holding no rights yet; a status code.
    static int Create(std::unique_ptr<Authorization>& out);

    // Obtains the right to run programs as the administrator; may ask the user. A status code;
    // kAuthorizationCanceled when the user dismissed the request.
    virtual int CopyAdminRights() = 0;

    // Starts the program with the arguments (a null-terminated vector, the program itself not
    // included) with administrator rights. The child's standard input and output are joined to a
    // socket whose other end comes back in pipe; the caller closes it and reaps the child.
    virtual int ExecuteWithPrivileges(const char* path, char* const* arguments, pid_t& pid, int& pipe) = 0;

    // Starts the program as Execute does, without asking for rights: directly, or given to the
    // launcher program (not null) as its first argument; with the given environment (a
    // null-terminated vector), or this process's own when it is null.
    static int Spawn(const char* launcher, const char* path, char* const* arguments, pid_t& pid, int& pipe,
                     char* const* environment = nullptr);

    typedef std::function<int(std::unique_ptr<Authorization>&)> Maker;
    // Test hook: Create uses the maker while it is set; an empty function restores the system's.
    static void SetMakerForTesting(Maker maker);
};

// The user on whose behalf this process runs: the one who asked the authoriser for it, where it
// was started through pkexec (which names that user in PKEXEC_UID, a variable that no caller of
// pkexec can set), else this process's real user.
uid_t InvokingUser();

// Reads a child's output from fd until the output ends or the child has exited (output that the
// child's own children go on writing is not waited for), handing each piece to sink when one is
// set and discarding it otherwise, so that a chatty child never blocks on a full pipe. Neither
// reaps the child nor closes fd.
void ReadChildOutput(pid_t pid, int fd, const std::function<void(const char* data, std::size_t length)>& sink);

}  // namespace platform
