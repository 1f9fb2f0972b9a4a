// JSMethodPublisher: the base from which each concrete publisher is built. The publisher derives
// from JSMethodPublisher<itself>, registers its handler member functions in its constructor, and
// pages and scripts then call them by name.
#pragma once

#include "JSMethodPublisherInterface.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

template <class T>
class JSMethodPublisher : public JSMethodPublisherInterface {
public:
    // A handler answers the complete answer text (JSON, or empty where there is nothing to say).
    typedef std::string (T::*MethodHandler)(const ArgumentList& arguments);

    MethodMap GetAllMethods() override { return nameIndex_; }

    bool InvokeMethodByName(const std::string& name, const ArgumentList& arguments, std::string& result) override
    {
        MethodMap::const_iterator found = nameIndex_.find(name);
        if (found == nameIndex_.end())
            return false;
        return InvokeMethodByID(found->second, arguments, result);
    }

    bool InvokeMethodByID(std::uint32_t id, const ArgumentList& arguments, std::string& result) override
    {
        if (id >= methods_.size())
            return false;
        try {
            const MethodHandler handler = methods_[id].second;
            std::string answer = (static_cast<T*>(this)->*handler)(arguments);
            result.swap(answer);
            return true;
        } catch (...) {
            // The caller turns the failed call into null for a page or an error for a script;
            // whatever the handler half did is its own business.
            return false;
        }
    }

protected:
    JSMethodPublisher() {}

    // Called only from the concrete publisher's constructor, once per method: the order of the
    // calls fixes the method IDs. A name registered again keeps both entries; the name then
    // reaches the later one, the earlier only by its ID.
    void RegisterJSMemberMethod(const std::string& name, MethodHandler handler)
    {
        methods_.push_back(std::make_pair(name, handler));
        nameIndex_[name] = static_cast<std::uint32_t>(methods_.size() - 1);
    }

private:
    std::vector<std::pair<std::string, MethodHandler> > methods_;  // a method's ID is its index
    MethodMap nameIndex_;
};
