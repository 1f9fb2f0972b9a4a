// The script engine over Duktape: one Duktape heap per engine. Only this file,
// PelvoDuktapeBindings.cpp (the live members) and PelvoDuktapeValues.cpp (values and text) call
// Duktape.
//
// Duktape reports script errors by longjmp. So, everywhere in these files:
// - a function that calls Duktape where it may throw (almost every call: any push can run out
//   of memory, any property read can run a getter) keeps no C++ object with a destructor in its
//   frame: such steps are plain functions that work through raw pointers into objects owned by a
//   caller outside the protected call (duk_safe_call);
// - no C++ exception crosses a Duktape frame: native entries catch everything and hand failures
//   back to scripts as Duktape errors.

#include "platform/FaultInjection.h"
#include "platform/script/Pelvo.h"
#include "platform/script/PelvoDuktapeBindings.h"
#include "platform/script/PelvoDuktapeValues.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <set>
#include <string>
#include <vector>

namespace Pelvo {

namespace {

using namespace detail;

std::atomic<bool> gInitialized{false};
std::atomic<bool> gFailInitForTesting{false};
std::atomic<int> gInitCount{0};

Mivor::String Ascii(const std::string& text)
{
    return Mivor::String(std::u16string(text.begin(), text.end()));
}

// Whether the script may declare anything: only these keywords do, and written with escapes
// they are no keywords to the engine.
bool MayDeclare(const std::string& utf8)
{
    for (const char* word : {"var", "const", "function"}) {
        if (utf8.find(word) != std::string::npos)
            return true;
    }
    return false;
}

void Fatal(void*, const char* message)
{
    std::fprintf(stderr, "Pelvo: fatal script engine error: %s\n", message != nullptr ? message : "");
    std::abort();
}

// ---- The engine.

class DuktapeEngine;

class GlobalObject : public Mivor::LiveObject {
public:
    explicit GlobalObject(DuktapeEngine* engine) : Mivor::LiveObject("global", true), engine_(engine) {}

    int addComponent(Mivor::LiveComponent* component) override;
    void detach() { engine_ = nullptr; }

private:
    ~GlobalObject() override
    {
        for (Mivor::LiveComponent* component : components_)
            component->release();
    }

    DuktapeEngine* engine_;
    std::vector<Mivor::LiveComponent*> components_;  // one reference each
};

class DuktapeEngine : public Engine, public LiveObjectAPI {
public:
    static EnginePtr Create()
    {
        boost::shared_ptr<DuktapeEngine> engine(new DuktapeEngine);
        engine->ctx_ = duk_create_heap(nullptr, nullptr, nullptr, engine.get(), Fatal);
        if (engine->ctx_ == nullptr)
            return EnginePtr();
        engine->global_ = new GlobalObject(engine.get());
        return engine;
    }

    ~DuktapeEngine() override
    {
        if (ctx_ != nullptr)
            duk_destroy_heap(ctx_);  // runs the finalizers of script-made instances
        if (global_ != nullptr) {
            global_->detach();
            global_->release();
        }
    }

    LiveObjectAPI* getInterface(std::uint32_t code) override
    {
        return code == kLiveObjectInterface ? this : nullptr;
    }

    Mivor::LiveObject* getGlobalObject() override { return global_; }

    bool eval(const Mivor::String& script, Mivor::Variant& result, std::int32_t length, std::int32_t firstLine,
              std::uint32_t, std::uint32_t, std::uint32_t) override
    {
        return evaluate(result, [&]() {
            std::string source = LinesBefore(firstLine);
            const std::u16string& units = script.units();
            if (length >= 0 && static_cast<std::size_t>(length) < units.size())
                ToEngineText(units.substr(0, static_cast<std::size_t>(length)), source);
            else
                ToEngineText(units, source);
            EvalJob job{source.data(), source.size(), &result};
            return duk_safe_call(ctx_, EvalSource, &job, 0, 1) == DUK_EXEC_SUCCESS;
        });
    }

    bool evalText(std::string& utf8, Mivor::Variant& result, std::int32_t firstLine,
                  const std::vector<std::string>& keptFunctions) override
    {
        return evaluate(result, [&]() {
            std::string source = LinesBefore(firstLine);
            if (!keptFunctions.empty())
                source += kRestoreKeptStatement;  // on the first line: the lines stay as they are
            {
                // Decoded as a script text given whole is, each copy let go once the next is made.
                std::u16string units;
                Mivor::Encoder::getUtf8().decode(utf8.data(), utf8.size(), units);
                std::string().swap(utf8);
                ToEngineText(units, source);
            }
            EvalJob job{source.data(), source.size(), &result};
            const bool compiled = duk_safe_call(ctx_, CompileSource, &job, 0, 1) == DUK_EXEC_SUCCESS;
            std::string().swap(source);
            if (!compiled)
                return false;
            if (!keptFunctions.empty()) {
                KeepJob keep{&keptFunctions};
                if (duk_safe_call(ctx_, KeepBindings, &keep, 0, 1) != DUK_EXEC_SUCCESS) {
                    duk_remove(ctx_, -2);  // the compiled script, under the error
                    return false;
                }
                duk_pop(ctx_);
            }
            const bool ran = duk_safe_call(ctx_, RunCompiled, &job, 1, 1) == DUK_EXEC_SUCCESS;
            if (!keptFunctions.empty()) {
                duk_safe_call(ctx_, DropKept, nullptr, 0, 1);
                duk_pop(ctx_);
            }
            return ran;
        });
    }

    bool declare(const std::string& utf8, std::int32_t firstLine, std::vector<std::string>& functions,
                 std::vector<std::string>& variables) override
    {
        functions.clear();
        variables.clear();
        Mivor::Variant unused;
        return evaluate(unused, [&]() {
            std::u16string units;
            Mivor::Encoder::getUtf8().decode(utf8.data(), utf8.size(), units);
            std::string source = LinesBefore(firstLine);
            ToEngineText(units, source);
            // The engine hoists the functions of a block to the global code as it does those of
            // the top level. The script, compiled on its own first, cannot end the block early.
            std::string block;
            if (MayDeclare(utf8)) {
                block = LinesBefore(firstLine) + "if (false) {";
                ToEngineText(units, block);
                block += "\n}\n";
            }
            DeclareJob job{source.data(), source.size(), block.data(), block.size(), &functions, &variables};
            return duk_safe_call(ctx_, DeclareSource, &job, 0, 1) == DUK_EXEC_SUCCESS;
        });
    }

    bool runCalls(const std::vector<CallStatement>& statements) override
    {
        error_.clear();
        try {
            installClasses();
            std::string scratch;
            for (const CallStatement& statement : statements) {
                if (statement.condition) {
                    bool holds = false;
                    const bool called = callGlobal(*statement.condition, &holds, scratch);
                    if (!succeeded())
                        break;
                    if (!called || !holds)
                        continue;  // evaluated whole from its text, or its call is not to run
                }
                callGlobal(statement, nullptr, scratch);
                if (!succeeded())
                    break;
            }
        } catch (const std::bad_alloc&) {
            error_.setFullText(Ascii("RangeError: out of memory"));
        }
        return succeeded();
    }

    bool succeeded() const override { return !error_.isSet(); }
    const Mivor::Error& getError() const override { return error_; }
    void clearError() override { error_.clear(); }

    int bindComponent(Mivor::LiveComponent* component, Mivor::LiveObject* owner)
    {
        if (component->getPropertyManager() == nullptr)
            return Mivor::kErrBadParameter;
        return bindings_.defineComponent(ctx_, component, owner) ? Mivor::kNoError : Mivor::kErrScript;
    }

private:
    DuktapeEngine() = default;

    // Calls the statement's function directly where its name holds one: true. Otherwise (or after
    // a failure) evaluates the statement's text instead, as the script would run it: false.
    bool callGlobal(const CallStatement& statement, bool* truth, std::string& scratch)
    {
        bool called = false;
        void* binding = nullptr;
        CallJob job{statement.name.data(),
                    statement.name.size(),
                    &statement.arguments,
                    &scratch,
                    static_cast<duk_int_t>(statement.line),
                    &called,
                    truth,
                    NativeEntry,
                    kBindingKey,
                    &binding};
        if (duk_safe_call(ctx_, CallGlobal, &job, 0, 1) != DUK_EXEC_SUCCESS)
            describeTopError();
        duk_pop(ctx_);
        if (binding != nullptr) {
            const Binding& member = *static_cast<const Binding*>(binding);
            if (member.kind == Binding::kComponentCall) {
                callMember(member, statement, truth);
                return true;
            }
            // Any other member runs through the script engine, with its this and its checks.
            job.native = nullptr;
            if (duk_safe_call(ctx_, CallGlobal, &job, 0, 1) != DUK_EXEC_SUCCESS)
                describeTopError();
            duk_pop(ctx_);
        }
        if (called || !succeeded())
            return called;
        // What the statement's own evaluation says (a name that is missing, or holds no function,
        // or a getter, which must run as the script would run it).
        Mivor::Variant result;
        eval(Mivor::String(statement.text.data(), statement.text.size(), Mivor::Encoder::getUtf8()), result, -1,
             statement.line, 0, 0, 0);
        return false;
    }

    // A component's live function called with the statement's own values, as the script's call
    // would call it, without their round trip through the script engine's values (most
    // statements of a stored uninstall script are such calls, one per file).
    void callMember(const Binding& member, const CallStatement& statement, bool* truth)
    {
        Mivor::Variant result;
        if (!CallComponentMember(ctx_, member, statement.arguments, static_cast<duk_int_t>(statement.line), result)) {
            describeTopError();
            duk_pop(ctx_);
            return;
        }
        if (truth == nullptr)
            return;
        // The value's truth as the script sees it.
        std::string scratch;
        PushJob job{&result, &scratch};
        if (duk_safe_call(ctx_, PushResult, &job, 0, 1) == DUK_EXEC_SUCCESS)
            *truth = duk_to_boolean(ctx_, -1) != 0;
        else
            describeTopError();
        duk_pop(ctx_);
    }

    // Defines a constructor for every class registered since the last look.
    void installClasses()
    {
        const std::uint64_t generation = Mivor::FactoryRegistry::generation();
        if (generation == classGeneration_)
            return;
        for (const std::string& name : Mivor::FactoryRegistry::classNames()) {
            if (classes_.count(name) != 0)
                continue;
            Mivor::LiveObject* prototype = Mivor::FactoryRegistry::copyPrototype(name);
            if (prototype == nullptr)
                continue;
            const bool defined =
                bindings_.defineClass(ctx_, name, prototype->getPropertyManager(), prototype->isEnumerable());
            prototype->release();
            if (defined)
                classes_.insert(name);
        }
        classGeneration_ = generation;
    }

    // The frame of both evaluations: run() leaves one value on the stack and answers whether the
    // script ran; a failure becomes the engine's error, and the result stays empty.
    template <typename Run>
    bool evaluate(Mivor::Variant& result, const Run& run)
    {
        result.clear();
        error_.clear();
        try {
            installClasses();
            if (!run()) {
                result.clear();
                describeTopError();
            }
            duk_pop(ctx_);
        } catch (const std::bad_alloc&) {
            result.clear();
            error_.setFullText(Ascii("RangeError: out of memory"));
        }
        return succeeded();
    }

    // Line breaks that put a script's first line at firstLine in the engine's messages.
    static std::string LinesBefore(std::int32_t firstLine)
    {
        const std::int32_t line = std::min<std::int32_t>(firstLine, 1000000);
        return line > 1 ? std::string(static_cast<std::size_t>(line - 1), '\n') : std::string();
    }

    void describeTopError()
    {
        Mivor::String fullText;
        Mivor::String message;
        int code = 0;
        DescribeJob job{&fullText, &message, &code};
        if (duk_safe_call(ctx_, DescribeError, &job, 0, 1) != DUK_EXEC_SUCCESS || fullText.empty())
            fullText = Ascii("Error: the script failed with a value that has no text");
        duk_pop(ctx_);
        error_.set(code, 0);
        error_.setMessage(message.empty() ? fullText : message);
        error_.setFullText(fullText);
    }

    duk_context* ctx_ = nullptr;
    GlobalObject* global_ = nullptr;
    DuktapeBindings bindings_;       // outlive the heap's functions
    std::set<std::string> classes_;  // classes defined in this engine
    std::uint64_t classGeneration_ = ~std::uint64_t(0);
    Mivor::Error error_;
};

int GlobalObject::addComponent(Mivor::LiveComponent* component)
{
    if (component == nullptr || engine_ == nullptr)
        return Mivor::kErrBadParameter;
    const int code = engine_->bindComponent(component, this);
    // Kept even after a failure: members defined before it point at the component.
    component->addRef();
    components_.push_back(component);
    return code;
}

}  // namespace

EnginePtr Engine::createEngine(std::uint32_t type)
{
    if (type != kTypeJavaScript || !InitTerm::isInitialized())
        return EnginePtr();
    try {
        return DuktapeEngine::Create();
    } catch (const std::bad_alloc&) {
        return EnginePtr();
    }
}

bool InitTerm::init()
{
    if (gFailInitForTesting || platform::InjectedFault("scripting-start", std::string()) != 0 ||
        !Mivor::InitTerm::isInitialized())
        return false;
    // No heap is made here: each engine makes its own and reports when it cannot (a run that only
    // prints its properties never pays for one).
    if (!gInitialized.exchange(true))
        ++gInitCount;
    return true;
}

bool InitTerm::isInitialized()
{
    return gInitialized.load();
}

void InitTerm::exit()
{
    gInitialized = false;
}

void InitTerm::setInitFailureForTesting(bool fail)
{
    gFailInitForTesting = fail;
}

int InitTerm::initCountForTesting()
{
    return gInitCount.load();
}

}  // namespace Pelvo
