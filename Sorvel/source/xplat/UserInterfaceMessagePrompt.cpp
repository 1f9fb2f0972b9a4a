#include "UserInterfaceMessagePrompt.h"

#include "Common/source/xplat/JSONUtilities.h"
#include "UIProviderInterface.h"

#include <sstream>

UserInterfaceMessagePrompt::UserInterfaceMessagePrompt(std::uint32_t statusCode, std::uint32_t buttons,
                                                       UserResponseIndicator indicator)
    : statusCode_(statusCode), buttons_(buttons), indicator_(indicator)
{
}

UserInterfaceMessagePrompt::UserInterfaceMessagePrompt(std::uint32_t statusCode, std::uint32_t buttons,
                                                       UserResponseIndicator indicator,
                                                       const std::vector<std::string>& arguments)
    : statusCode_(statusCode), buttons_(buttons), indicator_(indicator), arguments_(arguments)
{
}

UserInterfaceMessagePrompt::UserInterfaceMessagePrompt(std::uint32_t statusCode, std::uint32_t buttons,
                                                       UserResponseIndicator indicator, const std::string& argument1)
    : UserInterfaceMessagePrompt(statusCode, buttons, indicator, std::vector<std::string>{argument1})
{
}

UserInterfaceMessagePrompt::UserInterfaceMessagePrompt(std::uint32_t statusCode, std::uint32_t buttons,
                                                       UserResponseIndicator indicator, const std::string& argument1,
                                                       const std::string& argument2)
    : UserInterfaceMessagePrompt(statusCode, buttons, indicator, std::vector<std::string>{argument1, argument2})
{
}

UserInterfaceMessagePrompt::UserInterfaceMessagePrompt(std::uint32_t statusCode, std::uint32_t buttons,
                                                       UserResponseIndicator indicator, const std::string& argument1,
                                                       const std::string& argument2, const std::string& argument3)
    : UserInterfaceMessagePrompt(statusCode, buttons, indicator,
                                 std::vector<std::string>{argument1, argument2, argument3})
{
}

void UserInterfaceMessagePrompt::Perform(UIProviderInterface* provider)
{
    if (provider != nullptr)
        (*provider)(this);
}

bool UserInterfaceMessagePrompt::ContentsAsJSON(std::string& json)
{
    static const struct {
        std::uint32_t bit;
        const char* name;
    } kButtons[] = {{kResponseYes, "yes"}, {kResponseNo, "no"}, {kResponseQuit, "quit"}, {kResponseOk, "ok"},
                    {kResponseTryAgain, "tryagain"}};

    JSONUtilities::JSONObject root;
    root.AddProperty("statusCode", statusCode_);
    JSONUtilities::JSONObjectArray* buttons = root.AddObjectArray("Buttons");
    for (const auto& button : kButtons) {
        if ((buttons_ & button.bit) == 0)
            continue;
        JSONUtilities::JSONObject* entry = buttons->AddObject();
        entry->AddProperty("name", button.name);
        entry->AddProperty("value", button.bit);
    }
    root.AddProperty("userIndicator", static_cast<std::int32_t>(indicator_));
    root.AddArray("arguments", arguments_);
    std::ostringstream out;
    root.Serialize(out);
    json = out.str();
    return true;
}
