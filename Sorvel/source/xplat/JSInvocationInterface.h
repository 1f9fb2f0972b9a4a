// JSInvocationInterface: a single script-callable method implemented by a native window object,
// the smaller sibling of a publisher (see JSObjCInvocation for the one implementation).
#pragma once

#include <string>
#include <vector>

class JSInvocationInterface {
public:
    virtual ~JSInvocationInterface() {}

    // True with the answer in result; false, result untouched, when the object gave no answer.
    virtual bool InvokeJSMethod(const std::vector<std::string>& arguments, std::string& result) = 0;
};
