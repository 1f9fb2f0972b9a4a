// Failure injection: a test names the operations it wants to fail and the error they should
// report. Inert unless a test installs a hook, or, for a program a test starts, lists the
// operations in the environment variable TOLK_FAULTS ("scripting-start,engine-main"), which only
// a build with the test hooks (TOLK_TEST_HOOKS) reads.
#pragma once

#include <functional>
#include <string>

namespace platform {

// Called with the operation's name ("rename", "exchange", "setxattr") and the path it acts on
// (the source of a rename); answers the errno value to fail with, or 0 to let it run.
typedef std::function<int(const std::string& operation, const std::string& path)> FaultHook;

// Installs the hook; an empty one turns injection off again.
void SetFaultHookForTesting(const FaultHook& hook);

// The error injected for this operation, 0 when none. An operation named in TOLK_FAULTS fails
// with EIO (test-hook builds only).
int InjectedFault(const std::string& operation, const std::string& path);

}  // namespace platform
