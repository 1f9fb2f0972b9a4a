// SorvelCommonTQEngine: one script engine whose global functions are the methods of one publisher
// (or publisher group). Scripts call a method by its name with any arguments, which reach the
// publisher as strings, and get the JSON answer back as a string.
#pragma once

#include "Sorvel/source/xplat/JSMethodPublisherInterface.h"

#include "platform/script/Pelvo.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>
#include <vector>

class SorvelCommonTQEngine {
public:
    // Needs the scripting frameworks started (TQInitManager). The publisher is not owned and
    // must outlive the bridge. Throws std::runtime_error "Unable to create Tessel engine
    // instance" when no engine can be made.
    explicit SorvelCommonTQEngine(JSMethodPublisherInterface& publisher);
    // Releases the engine, and with it the script globals; the publisher is not touched.
    ~SorvelCommonTQEngine();

    // Evaluates the UTF-8 script as global code of this bridge's engine. True with the script's
    // value in result; false with the engine's full error text in errorText (the engine's error
    // is cleared, so the bridge can be used again). Raises the "Sorvel" logger to debug.
    bool EvalScript(const std::string& script, Mivor::Variant& result, std::string& errorText);

    // The component through which the engine's global object publishes the methods. It lives
    // on the scripting core's heap and belongs to the global object once added.
    class ScriptGlobals : public Mivor::LiveComponent {
    public:
        explicit ScriptGlobals(JSMethodPublisherInterface& publisher);

        // Reached when a script calls a published function: the property ID is the method's
        // publisher ID. A failed invocation (unknown ID, a method that threw) is a script error
        // of code 24; a method's own failures come back as its JSON error answer.
        int call(Mivor::LiveObject* object, std::uint32_t id, const Mivor::Array& arguments, Mivor::Variant& result,
                 Mivor::Error* error) override;

        void SetBridge(SorvelCommonTQEngine* bridge) { bridge_ = bridge; }

    protected:
        ~ScriptGlobals() override;

    private:
        Mivor::LivePropertyManager properties_;
        SorvelCommonTQEngine* bridge_;
        std::vector<std::string> methodNames_;
    };

private:
    SorvelCommonTQEngine(const SorvelCommonTQEngine&) = delete;
    SorvelCommonTQEngine& operator=(const SorvelCommonTQEngine&) = delete;

    boost::shared_ptr<Pelvo::Engine> engine_;
    JSMethodPublisherInterface& publisher_;
};
