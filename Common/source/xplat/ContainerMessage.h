// ContainerMessage: the status message a worker reports to the user interface, an integer code
// and named text arguments.
#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>

class ContainerMessage {
public:
    typedef std::map<std::string, std::string> NamedArguments;

    ContainerMessage(int code, const NamedArguments& arguments);

    int Code() const { return code_; }
    const NamedArguments& Arguments() const { return arguments_; }

    // Replaces every named argument.
    void SetNamedArguments(const NamedArguments& arguments);

    // Adds an argument, or sets an existing one when replace is true (an existing one is kept
    // otherwise). False only for an empty name.
    bool AddNamedArgument(const std::string& name, const std::string& value, bool replace);

    // Replaces every "[name]" in text by that argument's value, arguments taken in name order.
    // Inserted values are not searched again, so a value holding its own token stays as it is.
    // False, with out untouched, for an empty text.
    bool ExpandTokens(const std::string& text, std::string& out) const;

private:
    std::int32_t code_;
    NamedArguments arguments_;
};

// One line: "Error code: <code>" and ", name=value" per argument, then a line feed.
std::ostream& operator<<(std::ostream& stream, const ContainerMessage& message);
