// UserInterfaceMessagePrompt: the question that travels from the install thread to the
// interface: a status code, the buttons offered, an indicator and texts to insert.
#pragma once

#include "TolkUIRequest.h"

#include <cstdint>
#include <string>
#include <vector>

class UserInterfaceMessagePrompt : public TolkUIRequest {
public:
    UserInterfaceMessagePrompt(std::uint32_t statusCode, std::uint32_t buttons, UserResponseIndicator indicator);
    UserInterfaceMessagePrompt(std::uint32_t statusCode, std::uint32_t buttons, UserResponseIndicator indicator,
                               const std::vector<std::string>& arguments);
    UserInterfaceMessagePrompt(std::uint32_t statusCode, std::uint32_t buttons, UserResponseIndicator indicator,
                               const std::string& argument1);
    UserInterfaceMessagePrompt(std::uint32_t statusCode, std::uint32_t buttons, UserResponseIndicator indicator,
                               const std::string& argument1, const std::string& argument2);
    UserInterfaceMessagePrompt(std::uint32_t statusCode, std::uint32_t buttons, UserResponseIndicator indicator,
                               const std::string& argument1, const std::string& argument2,
                               const std::string& argument3);

    // Has the provider show the prompt (nothing without a provider).
    void Perform(UIProviderInterface* provider) override;
    // {"statusCode":..,"Buttons":[{"name":..,"value":..}..],"userIndicator":..,"arguments":[..]}
    bool ContentsAsJSON(std::string& json) override;

    std::uint32_t GetStatusCode() const { return statusCode_; }
    std::uint32_t GetButtons() const { return buttons_; }
    UserResponseIndicator GetIndicator() const { return indicator_; }
    const std::vector<std::string>& GetArguments() const { return arguments_; }

private:
    std::uint32_t statusCode_;
    std::uint32_t buttons_;
    UserResponseIndicator indicator_;
    std::vector<std::string> arguments_;
};
