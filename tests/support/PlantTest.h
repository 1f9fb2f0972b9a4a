// A fixture for tests of what another user plants: a system root, a folder in its scratch space
// that every user can write, where nobody (in a child) makes links and files, and a folder beside
// it that those lead to and that nothing may change.
#pragma once

#include "tests/support/OtherUser.h"
#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace tolktest {

class PlantTest : public SystemRootTest {
protected:
    // Skips the test where no other user can be had; lays out shared_ (mode 0777) and outside_
    // with victim_ ("precious") in it.
    void SetUp() override;

    // Runs the plant as nobody; fails the test when it does not succeed.
    static void Plant(const std::function<bool()>& plant);

    std::string shared_ = sysroot_.Scratch() + "/shared";
    std::string outside_ = sysroot_.Scratch() + "/outside";
    std::string victim_ = outside_ + "/victim";
};

}  // namespace tolktest
