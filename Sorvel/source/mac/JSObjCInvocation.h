// JSObjCInvocation: a script-callable method implemented by a native window object. The object
// takes the arguments as platform strings and answers a platform string, or nothing (nil).
#pragma once

#include "Sorvel/source/xplat/JSInvocationInterface.h"

#include "platform/formats/UnicodeText.h"

#include <boost/bind/bind.hpp>
#include <boost/function.hpp>
#include <boost/optional.hpp>
#include <boost/shared_ptr.hpp>

#include <string>
#include <vector>

class JSObjCInvocation_t : public JSInvocationInterface {
public:
    typedef std::vector<platform::UnicodeText> ArgumentArray;
    // The message sent to the target: the argument array in, the answer or nothing out.
    typedef boost::function<boost::optional<platform::UnicodeText>(const ArgumentArray&)> Selector;

    // The target is not retained: it must outlive this invocation.
    JSObjCInvocation_t(const void* target, const Selector& selector) : target_(target), selector_(selector) {}

    // False, result untouched, when an argument is not UTF-8 (it has no platform string), when
    // the target answers nothing, or when the answer has no UTF-8 form.
    bool InvokeJSMethod(const std::vector<std::string>& arguments, std::string& result) override;

    const void* Target() const { return target_; }

private:
    const void* target_;
    Selector selector_;
};

// A new invocation of the target's member function.
template <class Target>
boost::shared_ptr<JSInvocationInterface> JSObjCInvocation(
    Target* target, boost::optional<platform::UnicodeText> (Target::*selector)(const JSObjCInvocation_t::ArgumentArray&))
{
    using boost::placeholders::_1;
    return boost::shared_ptr<JSInvocationInterface>(
        new JSObjCInvocation_t(target, JSObjCInvocation_t::Selector(boost::bind(selector, target, _1))));
}
