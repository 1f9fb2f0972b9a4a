#include "tests/support/Gate.h"

#include "tests/support/Deadline.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tolktest {

Gate::Gate() : future_(promise_.get_future().share()) {}

void Gate::Open()
{
    promise_.set_value();
}

void Gate::Wait() const
{
    const bool opened = future_.wait_for(std::chrono::duration<double>(kPatience)) == std::future_status::ready;
    EXPECT_TRUE(opened) << "the gate was not opened within " << kPatience << " s";
}

}  // namespace tolktest
