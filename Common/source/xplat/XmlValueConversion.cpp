#include "XmlValueConversion.h"

#include <boost/lexical_cast/try_lexical_convert.hpp>

namespace XmlValueConversion {

bool ChangeType(const std::string& text, std::string& value)
{
    value = text;
    return true;
}

bool ChangeType(const std::string& text, int& value)
{
    int converted = 0;
    if (!boost::conversion::try_lexical_convert(text, converted))
        return false;
    value = converted;
    return true;
}

bool ChangeType(const std::string& text, bool& value)
{
    if (text == "0")
        value = false;
    else if (text == "1")
        value = true;
    else
        return false;
    return true;
}

}  // namespace XmlValueConversion
