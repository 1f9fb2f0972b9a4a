// Pelvo: the script engine library. An Engine evaluates ES5 scripts (legacy octal literals
// included) in a global object of its own; native members reach scripts as Mivor live objects.
// Each engine is used on one thread at a time; engines on different threads, and an engine made
// and run inside a native call of another, are independent.
#pragma once

#include "platform/script/Mivor.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Pelvo {

// Start-up of the engine library; engines can be made only while it is initialised, which
// needs the scripting core initialised first.
class InitTerm {
public:
    static bool init();
    static bool isInitialized();
    static void exit();

    // Test hooks: make init leave the library uninitialised; count the initialisations.
    static void setInitFailureForTesting(bool fail);
    static int initCountForTesting();
};

// The live-object interface of an engine.
class LiveObjectAPI {
public:
    // The engine's global object (owned by the engine). Components added to it with
    // addComponent become script globals: read-only properties and functions.
    virtual Mivor::LiveObject* getGlobalObject() = 0;

protected:
    virtual ~LiveObjectAPI() = default;
};

class Engine;
typedef boost::shared_ptr<Engine> EnginePtr;

class Engine {
public:
    static const std::uint32_t kTypeJavaScript = 0x10000;
    static const std::uint32_t kLiveObjectInterface = 0x6C697665;  // 'live'

    // A new engine of the type; null for another type, when the library is not initialised or
    // when no engine can be made.
    static EnginePtr createEngine(std::uint32_t type);

    virtual ~Engine() = default;

    // The interface of the code; only kLiveObjectInterface is offered, other codes answer null.
    virtual LiveObjectAPI* getInterface(std::uint32_t code) = 0;

    // Evaluates the script as global code. result gets the completion value (undefined after a
    // failure). length: the number of code units to take, -1 for all; firstLine: the line number
    // of the text's first line in error messages; the last three are reserved (pass 0). Answers
    // succeeded().
    virtual bool eval(const Mivor::String& script, Mivor::Variant& result, std::int32_t length = -1,
                      std::int32_t firstLine = 1, std::uint32_t flags = 0, std::uint32_t reserved1 = 0,
                      std::uint32_t reserved2 = 0) = 0;
    // The same for a script given as UTF-8 text, which the engine takes over (utf8 is left empty):
    // the text is let go as soon as it is compiled, so that a large script (an install script
    // that lists every file of its payload) is not held in several copies while it runs.
    // keptFunctions: for a piece of a larger script whose declarations were made before (declare),
    // the functions it declares, whose bindings stay as they are before it runs, where its own
    // declarations would bind them anew as it starts.
    virtual bool evalText(std::string& utf8, Mivor::Variant& result, std::int32_t firstLine = 1,
                          const std::vector<std::string>& keptFunctions = std::vector<std::string>()) = 0;
    // Makes the declarations of a script, given as UTF-8 text, as its evaluation makes them at its
    // start (its functions, and its variables where the global object has no such property yet),
    // without running any of its statements: functions and variables get the names it declares
    // as each (a name declared as both is a function's). The text is compiled first as a script
    // of its own: one that is no script fails with the engine's error and declares nothing. A
    // text without the words "var", "const" and "function" costs that compilation only (the
    // engine knows no other way to declare). Answers succeeded().
    virtual bool declare(const std::string& utf8, std::int32_t firstLine, std::vector<std::string>& functions,
                         std::vector<std::string>& variables) = 0;

    // A statement "name(arguments);" of global code whose arguments are all literals: their
    // values, the statement's own text and the line it stands on. With a condition, the statement
    // "if (condition) { name(arguments); }": the condition is a call of the same kind (its text
    // is the whole statement's, its line the one the statement begins on), and the statement's
    // own text and line are those of the call inside.
    struct CallStatement {
        std::string name;
        Mivor::Array arguments;
        std::string text;  // UTF-8
        std::int32_t line = 1;
        std::shared_ptr<const CallStatement> condition;
    };
    // Runs the statements in order as eval runs them as one script, without compiling them: a
    // statement whose name is an own plain (data) property of the global object that holds a
    // function calls it directly (an error thrown without a line of its own names the statement's,
    // as it would in the script); any other statement is evaluated from its text. A condition is
    // called the same way, and the call inside runs only when the condition's value converts to
    // true; a condition whose name holds no such function has the whole statement evaluated from
    // its text. The first that fails ends the run. Answers succeeded().
    virtual bool runCalls(const std::vector<CallStatement>& statements) = 0;

    // Whether the last evaluation ended without error.
    virtual bool succeeded() const = 0;
    // The last evaluation's error; its full text names the kind, the message and the line.
    virtual const Mivor::Error& getError() const = 0;
    virtual void clearError() = 0;
};

}  // namespace Pelvo
