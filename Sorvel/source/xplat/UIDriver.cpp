#include "UIDriver.h"

#include "InstallerEngine.h"
#include "UserInterfaceMessagePrompt.h"

bool UIDriver::operator()(UserInterfaceMessagePrompt* prompt)
{
    return prompt->SetUserResponseOption(TolkUIRequest::kResponseUnknown);
}

bool UIDriver::Run()
{
    // A driver without work of its own ends the run as a driver failure.
    return false;
}

bool UIDriver::Alert(const std::string&, const std::string&, const std::string&)
{
    return false;
}
