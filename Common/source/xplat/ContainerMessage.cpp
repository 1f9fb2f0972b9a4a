#include "ContainerMessage.h"

ContainerMessage::ContainerMessage(int code, const NamedArguments& arguments)
    : code_(code), arguments_(arguments)
{
}

void ContainerMessage::SetNamedArguments(const NamedArguments& arguments)
{
    arguments_ = arguments;
}

bool ContainerMessage::AddNamedArgument(const std::string& name, const std::string& value, bool replace)
{
    if (name.empty())
        return false;
    NamedArguments::iterator found = arguments_.find(name);
    if (found == arguments_.end())
        arguments_.insert(NamedArguments::value_type(name, value));
    else if (replace)
        found->second = value;
    return true;
}

bool ContainerMessage::ExpandTokens(const std::string& text, std::string& out) const
{
    if (text.empty())
        return false;
    out = text;
    for (NamedArguments::const_iterator it = arguments_.begin(); it != arguments_.end(); ++it) {
        const std::string token = "[" + it->first + "]";
        std::string::size_type position = out.find(token);
        while (position != std::string::npos) {
            out.replace(position, token.size(), it->second);
            position = out.find(token, position + it->second.size());
        }
    }
    return true;
}

std::ostream& operator<<(std::ostream& stream, const ContainerMessage& message)
{
    stream << "Error code: " << message.Code();
    const ContainerMessage::NamedArguments& arguments = message.Arguments();
    for (ContainerMessage::NamedArguments::const_iterator it = arguments.begin(); it != arguments.end(); ++it)
        stream << ", " << it->first << "=" << it->second;
    stream << "\n";
    return stream;
}
