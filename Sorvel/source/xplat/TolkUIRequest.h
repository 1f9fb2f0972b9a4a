// TolkUIRequest: a question of the install thread to the user, with the answer the interface
// gave it; the answers are bits of UserResponseOption.
#pragma once

#include "UIThreadOperationManager.h"

#include <cstdint>

class TolkUIRequest : public UIThreadOperationManager::UIOperation {
public:
    enum UserResponseOption {
        kResponseUnknown = 0,
        kResponseYes = 1,
        kResponseNo = 2,
        kResponseQuit = 4,
        kResponseOk = 8,
        kResponseTryAgain = 16
    };

    // Passed through to the interface as "userIndicator"; its meaning is the pages' business.
    enum UserResponseIndicator : std::int32_t {
        kIndicatorDefault = 0,
        kIndicatorOperationNotCalled = 2
    };

    TolkUIRequest() : userResponseOption_(0) {}

    bool SetUserResponseOption(unsigned long option) override
    {
        userResponseOption_ = static_cast<std::uint32_t>(option);
        return true;
    }
    std::uint32_t GetUserResponseOption() const { return userResponseOption_; }

private:
    std::uint32_t userResponseOption_;
};
