#include "platform/ProcessExit.h"

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>

namespace platform {

namespace {

int OpenProcessDescriptor(int pid)
{
    // glibc 2.36 has a wrapper, but the raw call keeps us independent of the headers' age.
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

}  // namespace

ProcessWaitResult WaitForProcessExit(int pid, long timeoutSeconds)
{
    if (pid <= 0)
        return kProcessWaitFailed;
    const int descriptor = OpenProcessDescriptor(pid);
    if (descriptor < 0)
        return errno == ESRCH ? kProcessExited : kProcessWaitFailed;

    typedef std::chrono::steady_clock Clock;
    const bool limited = timeoutSeconds > 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(limited ? timeoutSeconds : 0);
    ProcessWaitResult result = kProcessWaitFailed;
    for (;;) {
        int waitMilliseconds = -1;
        if (limited) {
            const long long left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                result = kProcessStillRunning;
                break;
            }
            waitMilliseconds = left > INT_MAX ? INT_MAX : static_cast<int>(left);
        }
        struct pollfd entry = {descriptor, POLLIN, 0};
        const int ready = poll(&entry, 1, waitMilliseconds);
        if (ready > 0) {
            result = kProcessExited;
            break;
        }
        if (ready < 0 && errno != EINTR)
            break;
        // A time-out of a capped wait or an interruption: go round with the time that is left.
    }
    close(descriptor);
    return result;
}

}  // namespace platform
