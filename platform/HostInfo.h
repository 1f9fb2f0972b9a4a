// What the machine tells of itself: physical memory, the processor's features and the main
// display's size.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// The physical memory in bytes; false when the system does not say.
bool PhysicalMemoryBytes(std::uint64_t& bytes);

// The features of the processor that the setup program's pages ask about.
struct ProcessorFeatures {
    bool mmx = false;
    bool nx = false;
    bool pae = false;
    bool sse = false;
    bool sse2 = false;
    bool amd3DNow = false;
    bool altiVec = false;
};

// The features of the machine's (first) processor as /proc/cpuinfo describes them; false when
// that cannot be read. A processor without any of them answers true with all false.
bool ReadProcessorFeatures(ProcessorFeatures& features);
// The same from the text of a /proc/cpuinfo.
ProcessorFeatures ParseProcessorFeatures(const std::string& cpuinfo);

// The main display's size in pixels: as the system root's platform settings declare it
// (<key>display</key><dict><key>width</key><integer/>..<key>height</key>..</dict>), else as the
// windowing system reports it once the GUI has opened a display; false when there is no display.
bool MainDisplaySize(std::uint32_t& width, std::uint32_t& height);

// The GUI sets this once it has opened a display (an empty function when it lets go of it);
// only the main thread calls it.
typedef std::function<bool(std::uint32_t& width, std::uint32_t& height)> DisplaySizeSource;
void SetMainDisplaySizeSource(DisplaySizeSource source);

}  // namespace platform
