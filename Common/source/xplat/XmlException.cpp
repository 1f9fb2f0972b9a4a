#include "XmlException.h"

XmlException::XmlException(const std::string& message)
    : std::runtime_error(message)
{
}
