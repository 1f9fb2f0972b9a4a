// UIProviderInterface: what the engine asks of a user-interface driver: show a worker's prompt,
// run the mode's whole work, and show a start-up alert.
#pragma once

#include <string>

class UserInterfaceMessagePrompt;

class UIProviderInterface {
public:
    virtual bool operator()(UserInterfaceMessagePrompt* prompt) = 0;
    virtual ~UIProviderInterface() {}
    virtual bool Run() = 0;
    virtual bool Alert(const std::string& title, const std::string& body, const std::string& button) = 0;
};
