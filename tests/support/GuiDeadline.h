// The deadline wait of the tests that show windows: the GUI's events are served while the test
// waits, since they are what makes its condition hold. Only the suites that link the windowing
// library include it.
#pragma once

#include "tests/support/Deadline.h"

#include "platform/gui/GuiApplication.h"

namespace tolktest {

// Serves the GUI's events until the condition holds (true) or the seconds have passed (false).
inline bool ServeEventsUntil(const std::function<bool()>& condition, double seconds = kPatience)
{
    return platform::GuiApplication::RunUntil(condition, seconds);
}

}  // namespace tolktest
