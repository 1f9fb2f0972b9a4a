#include "tests/support/Deadline.h"

#include <chrono>
#include <thread>

namespace tolktest {

bool WaitUntil(const std::function<bool()>& condition, double seconds)
{
    const auto deadline =
        std::chrono::steady_clock::now() +
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace tolktest
