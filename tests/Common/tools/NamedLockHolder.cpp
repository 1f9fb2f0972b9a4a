// A second process for the named-lock tests. Usage: named_lock_holder MODE NAME
//   hold   takes the lock, prints "taken" or "refused", and once its input ends gives the lock
//          back and prints "released";
//   exit   takes the lock, prints "taken" or "refused", and once its input ends leaves without
//          giving it back, as a crashing program would;
//   probe  prints "locked" or "free".
// The test side decides when the holder lets go by closing its input, so nothing waits on time.
#include "NamedLock.h"

#include <unistd.h>

#include <iostream>
#include <string>

namespace {

void WaitForEndOfInput()
{
    std::string line;
    while (std::getline(std::cin, line)) {
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    const std::string mode = argv[1];
    const std::string name = argv[2];
    if (mode == "probe") {
        std::cout << (NamedLock::IsLocked(name) ? "locked" : "free") << std::endl;
        return 0;
    }
    if (mode != "hold" && mode != "exit")
        return 2;
    boost::shared_ptr<NamedLock> lock;
    const bool taken = NamedLock::AcquireLock(name, lock);
    std::cout << (taken ? "taken" : "refused") << std::endl;
    WaitForEndOfInput();
    if (mode == "exit")
        _exit(0);
    lock.reset();
    std::cout << "released" << std::endl;
    return 0;
}
