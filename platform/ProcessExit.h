// Waiting for any process (not only a child of ours) to end, as the BSD kernel event queue's
// process-exit filter would: a pidfd that becomes readable when the process has ended.
#pragma once

namespace platform {

enum ProcessWaitResult {
    kProcessExited,      // the process has ended, or was gone already
    kProcessStillRunning,  // the time-out passed first
    kProcessWaitFailed   // no pidfd could be made for the id (bad id, no descriptors, old kernel)
};

// Waits for the process with the given id to end: at most timeoutSeconds seconds when that is
// greater than 0, else without limit. Does not reap a child; its exit status stays for waitpid.
ProcessWaitResult WaitForProcessExit(int pid, long timeoutSeconds);

}  // namespace platform
