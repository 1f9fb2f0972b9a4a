// XmlException: the one error that the XML tree operations raise.
#pragma once

#include <stdexcept>
#include <string>

class XmlException : public std::runtime_error {
public:
    explicit XmlException(const std::string& message);
};
