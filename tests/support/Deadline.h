// Waits with a deadline: a test that waits for another thread or process checks its condition
// until it holds or the patience runs out, so that a broken test fails where it waited instead
// of hanging until CTest's time-out.
#pragma once

#include <functional>
#include <string>
#include <thread>

namespace tolktest {

// Seconds a test waits for what a working program does at once; only a broken test waits this long.
const double kPatience = 30.0;

// Checks the condition until it holds (true) or the seconds have passed (false), pausing a
// millisecond between checks.
bool WaitUntil(const std::function<bool()>& condition, double seconds = kPatience);

// Joins the worker once done() says it is past every wait for others, checking as WaitUntil does.
// A worker that is not by then may be blocked for good, and neither a join nor a return (which
// would leave it holding the test's locals) is safe: the test fails, saying what it waited for,
// and the test program ends there.
void JoinWhenDone(std::thread& worker, const std::function<bool()>& done, const std::string& what,
                  double seconds = kPatience);

// Tests that show windows wait with ServeEventsUntil (GuiDeadline.h) instead, which serves the
// GUI's events while it waits.

}  // namespace tolktest
