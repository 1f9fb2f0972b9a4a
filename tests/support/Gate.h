// Gate: one signal from one thread to others, as the thread tests hold a worker at a point or
// wait for it to reach one. A gate that stays shut fails the test after the patience instead of
// hanging it.
#pragma once

#include <future>

namespace tolktest {

class Gate {
public:
    Gate();
    // Opens the gate, once.
    void Open();
    // Returns once the gate is open; a gate still shut after the patience fails the test and
    // lets the waiting thread go on.
    void Wait() const;

private:
    std::promise<void> promise_;
    std::shared_future<void> future_;  // waited for by any number of threads at once
};

}  // namespace tolktest
