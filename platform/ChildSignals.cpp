#include "platform/ChildSignals.h"

#include <signal.h>

#include <cstring>

namespace platform {

namespace {

// The signals that were ignored when the process started, before any code of ours ran; the
// broken-pipe signal is never among them, since every child gets it back at its default.
sigset_t gInheritedIgnored;

__attribute__((constructor)) void NoteInheritedSignals()
{
    sigemptyset(&gInheritedIgnored);
    for (int signal = 1; signal < NSIG; ++signal) {
        struct sigaction action;
        if (signal != SIGPIPE && sigaction(signal, nullptr, &action) == 0 && action.sa_handler == SIG_IGN)
            sigaddset(&gInheritedIgnored, signal);
    }
}

}  // namespace

int SetChildSignals(posix_spawnattr_t& attributes)
{
    sigset_t none;
    sigemptyset(&none);
    // Every signal, the C library's own internal ones included: its spawn leaves those ignored
    // unless they are named here, and sigfillset leaves them out.
    sigset_t defaults;
    std::memset(&defaults, 0xff, sizeof(defaults));
    for (int signal = 1; signal < NSIG; ++signal) {
        if (sigismember(&gInheritedIgnored, signal) == 1)
            sigdelset(&defaults, signal);
    }
    if (const int error = posix_spawnattr_setsigmask(&attributes, &none))
        return error;
    if (const int error = posix_spawnattr_setsigdefault(&attributes, &defaults))
        return error;
    short flags = 0;
    if (const int error = posix_spawnattr_getflags(&attributes, &flags))
        return error;
    return posix_spawnattr_setflags(&attributes,
                                    static_cast<short>(flags | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF));
}

void ResetChildSignals()
{
    for (int signal = 1; signal < NSIG; ++signal) {
        if (sigismember(&gInheritedIgnored, signal) == 1)
            continue;
        struct sigaction action;
        if (sigaction(signal, nullptr, &action) != 0 || action.sa_handler != SIG_IGN)
            continue;
        std::memset(&action, 0, sizeof(action));
        action.sa_handler = SIG_DFL;
        sigaction(signal, &action, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

}  // namespace platform
