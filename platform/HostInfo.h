// What the machine tells of itself: physical memory and the main display's size.
#pragma once

#include <cstdint>

namespace platform {

// The physical memory in bytes; false when the system does not say.
bool PhysicalMemoryBytes(std::uint64_t& bytes);

// The main display's size in pixels, as the system root's platform settings declare it
// (<key>display</key><dict><key>width</key><integer/>..<key>height</key>..</dict>); false when
// there is no display to ask.
bool MainDisplaySize(std::uint32_t& width, std::uint32_t& height);

}  // namespace platform
