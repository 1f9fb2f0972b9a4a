#include "tests/support/Deadline.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
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

void JoinWhenDone(std::thread& worker, const std::function<bool()>& done, const std::string& what, double seconds)
{
    if (WaitUntil(done, seconds)) {
        worker.join();
        return;
    }
    ADD_FAILURE() << what << ": not within " << seconds << " s; the worker is stuck, so the test program ends here";
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace tolktest
