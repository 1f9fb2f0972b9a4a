// File-system change notifications: how a program tells the rest of the system (the Finder's
// open windows) that folders changed under it. Nothing on Linux listens, so the notice only
// counts; tests read the count to see that a run sent it.
#pragma once

#include <cstdint>

namespace platform {

// The message of a changed folder.
const std::uint32_t kNotifyDirectoryModified = 1;

// Tells every listener that folders changed; 0 when sent.
int NotifyAll(std::uint32_t message, std::uint32_t options);

// Test hook: how many notices this process sent.
unsigned long NotifyAllCountForTesting();

}  // namespace platform
