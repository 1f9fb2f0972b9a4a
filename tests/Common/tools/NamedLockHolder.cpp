// The other process of the named-lock tests: named_lock_holder hold|exit NAME takes the lock,
// prints "taken" or "refused", and when its input ends either gives the lock back and prints
// "released" (hold) or leaves without giving it back, as a crashing program would (exit).
#include "Common/source/xplat/NamedLock.h"

#include <unistd.h>

#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    const std::string mode = argv[1];
    boost::shared_ptr<NamedLock> lock;
    std::cout << (NamedLock::AcquireLock(argv[2], lock) ? "taken" : "refused") << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    if (mode == "exit")
        _exit(0);
    lock.reset();
    std::cout << "released" << std::endl;
    return 0;
}
