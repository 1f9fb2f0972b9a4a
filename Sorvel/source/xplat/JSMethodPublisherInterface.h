// JSMethodPublisherInterface: what pages and scripts call into. A publisher offers methods by
// name; a call hands over the method's name (or ID) and a list of strings and gets back one
// string, the JSON answer.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class JSMethodPublisherInterface {
public:
    typedef std::map<std::string, std::uint32_t> MethodMap;
    typedef std::vector<std::string> ArgumentList;

    virtual ~JSMethodPublisherInterface() {}

    // Every method name with its ID, in ascending (byte-wise) name order.
    virtual MethodMap GetAllMethods() = 0;

    // True when the method ran to its end and its answer is in result. False for an unknown
    // name or ID and for a method that ended with an exception; result is then left as it was.
    // A method reports its own failures inside the answer, never through this result.
    virtual bool InvokeMethodByName(const std::string& name, const ArgumentList& arguments, std::string& result) = 0;
    virtual bool InvokeMethodByID(std::uint32_t id, const ArgumentList& arguments, std::string& result) = 0;
};
