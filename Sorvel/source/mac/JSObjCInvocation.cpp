#include "JSObjCInvocation.h"

bool JSObjCInvocation_t::InvokeJSMethod(const std::vector<std::string>& arguments, std::string& result)
{
    if (!selector_)
        return false;
    ArgumentArray array;
    array.reserve(arguments.size());
    for (std::vector<std::string>::const_iterator argument = arguments.begin(); argument != arguments.end();
         ++argument) {
        // A text without a platform string would be a hole in the array; refuse the call
        // rather than hand the target fewer arguments than the script gave.
        platform::UnicodeText text;
        if (!platform::UnicodeText::FromUTF8(*argument, text))
            return false;
        array.push_back(text);
    }
    const boost::optional<platform::UnicodeText> answer = selector_(array);
    if (!answer)
        return false;
    std::string utf8;
    if (!answer->ToUTF8(utf8))
        return false;
    result.swap(utf8);
    return true;
}
