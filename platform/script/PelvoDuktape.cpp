// The script engine over Duktape: one Duktape heap per engine. Only this file and
// PelvoDuktapeValues.cpp (values and text) call Duktape.
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
#include "platform/script/PelvoDuktapeValues.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
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

const char* const kBindingKey = DUK_HIDDEN_SYMBOL("tolkBinding");
const char* const kObjectKey = DUK_HIDDEN_SYMBOL("tolkObject");

Mivor::String Ascii(const std::string& text)
{
    return Mivor::String(std::u16string(text.begin(), text.end()));
}

// ---- Bindings: what a native function or accessor stands for. The engine owns them; the
// Duktape function keeps a pointer under kBindingKey.

struct Binding {
    enum Kind { kComponentGet, kComponentCall, kInstanceGet, kInstanceCall, kConstructor };
    Kind kind;
    Mivor::LiveComponent* component;  // component kinds
    Mivor::LiveObject* owner;         // component kinds: the object asked
    std::uint32_t id;
    std::string name;  // the member's name, or the class's for a constructor
    bool enumerable;

    bool isGetter() const { return kind == kComponentGet || kind == kInstanceGet; }
};

// ---- Protected steps (run through duk_safe_call; plain data only in their frames).

duk_ret_t FindThisObject(duk_context* ctx, void* udata)
{
    Mivor::LiveObject** out = static_cast<Mivor::LiveObject**>(udata);
    duk_push_this(ctx);
    *out = nullptr;
    if (duk_is_object(ctx, -1)) {
        duk_get_prop_string(ctx, -1, kObjectKey);
        *out = static_cast<Mivor::LiveObject*>(duk_get_pointer(ctx, -1));
        duk_pop(ctx);
    }
    duk_pop(ctx);
    return 0;
}

duk_ret_t FinalizeInstance(duk_context* ctx)
{
    duk_get_prop_string(ctx, 0, kObjectKey);
    Mivor::LiveObject* object = static_cast<Mivor::LiveObject*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    if (object != nullptr) {
        // Cleared first: a finalizer can run again on a resurrected object.
        duk_push_pointer(ctx, nullptr);
        duk_put_prop_string(ctx, 0, kObjectKey);
        object->release();
    }
    return 0;
}

duk_ret_t AttachInstance(duk_context* ctx, void* udata)
{
    duk_push_this(ctx);
    // The finalizer first: once the pointer is stored, nothing below may fail.
    duk_push_c_function(ctx, FinalizeInstance, 2);
    duk_set_finalizer(ctx, -2);
    duk_push_pointer(ctx, udata);
    duk_put_prop_string(ctx, -2, kObjectKey);
    duk_pop(ctx);
    return 0;
}

duk_ret_t NativeEntry(duk_context* ctx);

void PushNative(duk_context* ctx, Binding* binding)
{
    duk_push_c_function(ctx, NativeEntry, DUK_VARARGS);
    duk_push_pointer(ctx, binding);
    duk_put_prop_string(ctx, -2, kBindingKey);
}

void PushName(duk_context* ctx, const Binding* binding)
{
    duk_push_lstring(ctx, binding->name.data(), binding->name.size());
}

struct DefineJob {
    Binding* const* members;
    std::size_t count;
    Binding* constructor;  // set: the members go to a new class's prototype object
};

duk_ret_t DefineMembers(duk_context* ctx, void* udata)
{
    DefineJob* job = static_cast<DefineJob*>(udata);
    duk_push_global_object(ctx);
    const duk_idx_t global = duk_get_top(ctx) - 1;
    duk_idx_t target = global;
    duk_idx_t constructor = 0;
    if (job->constructor != nullptr) {
        PushNative(ctx, job->constructor);
        constructor = duk_get_top(ctx) - 1;
        duk_push_object(ctx);
        target = constructor + 1;
    }
    for (std::size_t i = 0; i < job->count; ++i) {
        Binding* member = job->members[i];
        PushName(ctx, member);
        PushNative(ctx, member);
        const duk_uint_t enumerable =
            member->enumerable ? DUK_DEFPROP_SET_ENUMERABLE : DUK_DEFPROP_CLEAR_ENUMERABLE;
        if (member->isGetter())
            duk_def_prop(ctx, target, DUK_DEFPROP_HAVE_GETTER | DUK_DEFPROP_SET_CONFIGURABLE | enumerable);
        else
            duk_def_prop(ctx, target,
                         DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE | DUK_DEFPROP_SET_CONFIGURABLE | enumerable);
    }
    if (job->constructor != nullptr) {
        duk_push_string(ctx, "constructor");
        duk_dup(ctx, constructor);
        duk_def_prop(ctx, target,
                     DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE | DUK_DEFPROP_SET_CONFIGURABLE |
                         DUK_DEFPROP_CLEAR_ENUMERABLE);
        duk_push_string(ctx, "prototype");
        duk_dup(ctx, target);
        duk_def_prop(ctx, constructor,
                     DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_CLEAR_WRITABLE | DUK_DEFPROP_CLEAR_CONFIGURABLE |
                         DUK_DEFPROP_CLEAR_ENUMERABLE);
        PushName(ctx, job->constructor);
        duk_dup(ctx, constructor);
        duk_def_prop(ctx, global,
                     DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE | DUK_DEFPROP_SET_CONFIGURABLE |
                         DUK_DEFPROP_CLEAR_ENUMERABLE);
    }
    return 0;
}

// ---- Native calls.

enum Outcome { kReturned, kFailed, kRethrow };

struct Failure {
    int code;
    duk_errcode_t type;
    char message[512];
};

void SetFailure(Failure& failure, int code, duk_errcode_t type, const std::string& utf8) noexcept
{
    failure.code = code;
    failure.type = type;
    failure.message[0] = '\0';
    try {
        std::u16string units;
        Mivor::Encoder::getUtf8().decode(utf8.data(), utf8.size(), units);
        std::string text;
        ToEngineText(units, text);
        std::snprintf(failure.message, sizeof(failure.message), "%s", text.c_str());
    } catch (...) {
        std::snprintf(failure.message, sizeof(failure.message), "error %d", code);
    }
}

// Runs a live member, turning a C++ exception into the framework's exception code.
template <typename Member>
int Guarded(const Binding& binding, Mivor::Error& error, Member member) noexcept
{
    try {
        return member();
    } catch (const std::exception& e) {
        try {
            error.setMessage(Mivor::String((binding.name + ": " + e.what()).c_str(), Mivor::Encoder::getUtf8()));
        } catch (...) {
        }
    } catch (...) {
    }
    error.set(Mivor::kErrException, binding.id);
    return Mivor::kErrException;
}

void FailWithCode(Failure& failure, const Binding& binding, int code, const Mivor::Error& error, const char* what)
{
    std::string text;
    if (!error.getMessage().empty())
        text = error.getMessage().encode(Mivor::Encoder::getUtf8());
    else
        text = binding.name + " " + what + " with error code " + std::to_string(code);
    SetFailure(failure, code, DUK_ERR_ERROR, text);
}

// Throws the failure of a live member called directly, as NativeEntry would have, with the line
// of the statement that called it.
struct ThrowJob {
    const Failure* failure;
    duk_int_t line;
};

duk_ret_t ThrowFailure(duk_context* ctx, void* udata)
{
    const ThrowJob* job = static_cast<const ThrowJob*>(udata);
    duk_push_error_object_raw(ctx, job->failure->type, nullptr, 0, "%s", job->failure->message);
    duk_push_int(ctx, job->failure->code);
    duk_put_prop_string(ctx, -2, "code");
    duk_get_prop_string(ctx, -1, "lineNumber");
    const bool lineless = duk_is_undefined(ctx, -1);
    duk_pop(ctx);
    if (lineless) {
        duk_push_string(ctx, "lineNumber");
        duk_push_int(ctx, job->line);
        duk_def_prop(ctx, -3, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE | DUK_DEFPROP_SET_CONFIGURABLE);
    }
    return duk_throw(ctx);
}

struct ObjectReference {
    Mivor::LiveObject* object = nullptr;
    ~ObjectReference()
    {
        if (object != nullptr)
            object->release();
    }
};

Outcome RunConstructor(duk_context* ctx, const Binding& binding, const Mivor::Array& arguments, Failure& failure)
{
    if (!duk_is_constructor_call(ctx)) {
        SetFailure(failure, Mivor::kErrNotSupported, DUK_ERR_TYPE_ERROR, binding.name + " must be constructed with new");
        return kFailed;
    }
    ObjectReference prototype;
    prototype.object = Mivor::FactoryRegistry::copyPrototype(binding.name);
    if (prototype.object == nullptr) {
        SetFailure(failure, Mivor::kErrNotSupported, DUK_ERR_TYPE_ERROR, binding.name + " is no registered class");
        return kFailed;
    }
    Mivor::Error error;
    ObjectReference instance;
    int code = Guarded(binding, error, [&]() { return prototype.object->clone(instance.object, true); });
    if (code == Mivor::kNoError && instance.object == nullptr)
        code = Mivor::kErrNotSupported;
    if (code == Mivor::kNoError)
        code = Guarded(binding, error, [&]() { return instance.object->initialize(arguments); });
    if (code != Mivor::kNoError) {
        FailWithCode(failure, binding, code, error, "construction failed");
        return kFailed;
    }
    if (duk_safe_call(ctx, AttachInstance, instance.object, 0, 1) != DUK_EXEC_SUCCESS)
        return kRethrow;
    duk_pop(ctx);
    instance.object = nullptr;  // the script object holds it now
    return kReturned;
}

Outcome RunMember(duk_context* ctx, const Binding& binding, const Mivor::Array& arguments, Failure& failure)
{
    Mivor::Variant result;
    Mivor::Error error;
    int code = Mivor::kNoError;
    ObjectReference self;
    if (binding.kind == Binding::kInstanceGet || binding.kind == Binding::kInstanceCall) {
        if (duk_safe_call(ctx, FindThisObject, &self.object, 0, 1) != DUK_EXEC_SUCCESS)
            return kRethrow;
        duk_pop(ctx);
        if (self.object != nullptr)
            self.object->addRef();
        else if (binding.kind == Binding::kInstanceCall) {
            SetFailure(failure, Mivor::kErrNotSupported, DUK_ERR_TYPE_ERROR, binding.name + " called without its object");
            return kFailed;
        }
    }
    switch (binding.kind) {
    case Binding::kComponentGet:
        code = Guarded(binding, error, [&]() { return binding.component->get(binding.owner, binding.id, result, &error); });
        break;
    case Binding::kComponentCall:
        code = Guarded(binding, error,
                       [&]() { return binding.component->call(binding.owner, binding.id, arguments, result, &error); });
        break;
    case Binding::kInstanceGet:
        if (self.object != nullptr)
            code = Guarded(binding, error, [&]() { return self.object->get(binding.id, result, &error); });
        break;
    case Binding::kInstanceCall:
        code = Guarded(binding, error, [&]() { return self.object->call(binding.id, arguments, result, &error); });
        break;
    case Binding::kConstructor:
        break;
    }
    if (code != Mivor::kNoError) {
        FailWithCode(failure, binding, code, error, "failed");
        return kFailed;
    }
    std::string scratch;
    PushJob job{&result, &scratch};
    if (duk_safe_call(ctx, PushResult, &job, 0, 1) != DUK_EXEC_SUCCESS)
        return kRethrow;
    return kReturned;  // the result stays on the stack
}

Outcome RunNative(duk_context* ctx, const Binding& binding, Failure& failure) noexcept
{
    try {
        Mivor::Array arguments;
        if (!binding.isGetter()) {
            CollectArgumentsJob job{&arguments, duk_get_top(ctx)};
            if (duk_safe_call(ctx, CollectArguments, &job, 0, 1) != DUK_EXEC_SUCCESS)
                return kRethrow;
            duk_pop(ctx);
        }
        if (binding.kind == Binding::kConstructor)
            return RunConstructor(ctx, binding, arguments, failure);
        return RunMember(ctx, binding, arguments, failure);
    } catch (...) {
        SetFailure(failure, Mivor::kErrException, DUK_ERR_RANGE_ERROR, "out of memory");
        return kFailed;
    }
}

// Every live function, accessor and constructor enters here. Nothing in this frame has a
// destructor: the error paths leave it by longjmp.
duk_ret_t NativeEntry(duk_context* ctx)
{
    Failure failure;
    failure.code = 0;
    failure.type = DUK_ERR_ERROR;
    failure.message[0] = '\0';
    duk_push_current_function(ctx);
    duk_get_prop_string(ctx, -1, kBindingKey);
    const Binding* binding = static_cast<const Binding*>(duk_get_pointer(ctx, -1));
    duk_pop_2(ctx);
    if (binding == nullptr)
        return duk_error(ctx, DUK_ERR_TYPE_ERROR, "live member without binding");
    switch (RunNative(ctx, *binding, failure)) {
    case kReturned:
        return binding->kind == Binding::kConstructor ? 0 : 1;
    case kRethrow:
        return duk_throw(ctx);
    case kFailed:
        break;
    }
    // No C file and line: the error then names the script line that made the call.
    duk_push_error_object_raw(ctx, failure.type, nullptr, 0, "%s", failure.message);
    duk_push_int(ctx, failure.code);
    duk_put_prop_string(ctx, -2, "code");
    return duk_throw(ctx);
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

    bool evalText(std::string& utf8, Mivor::Variant& result, std::int32_t firstLine) override
    {
        return evaluate(result, [&]() {
            std::string source = LinesBefore(firstLine);
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
            return compiled && duk_safe_call(ctx_, RunCompiled, &job, 1, 1) == DUK_EXEC_SUCCESS;
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
        const Mivor::LivePropertyManager* manager = component->getPropertyManager();
        if (manager == nullptr)
            return Mivor::kErrBadParameter;
        std::vector<Binding*> members;
        for (std::size_t i = 0; i < manager->count(); ++i) {
            const Mivor::LivePropertyManager::Entry& entry = manager->at(i);
            if (entry.isFunction() || entry.isProperty())
                members.push_back(addBinding(entry.isFunction() ? Binding::kComponentCall : Binding::kComponentGet,
                                             component, owner, entry.id, entry.name, true));
        }
        DefineJob job{members.data(), members.size(), nullptr};
        const bool defined = duk_safe_call(ctx_, DefineMembers, &job, 0, 1) == DUK_EXEC_SUCCESS;
        duk_pop(ctx_);
        return defined ? Mivor::kNoError : Mivor::kErrScript;
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
        Mivor::Error error;
        const int code = Guarded(member, error, [&]() {
            return member.component->call(member.owner, member.id, statement.arguments, result, &error);
        });
        if (code != Mivor::kNoError) {
            Failure failure;
            FailWithCode(failure, member, code, error, "failed");
            ThrowJob job{&failure, static_cast<duk_int_t>(statement.line)};
            duk_safe_call(ctx_, ThrowFailure, &job, 0, 1);
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

    Binding* addBinding(Binding::Kind kind, Mivor::LiveComponent* component, Mivor::LiveObject* owner,
                        std::uint32_t id, const std::string& name, bool enumerable)
    {
        bindings_.emplace_back(new Binding{kind, component, owner, id, name, enumerable});
        return bindings_.back().get();
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
            Binding* constructor = addBinding(Binding::kConstructor, nullptr, nullptr, 0, name, false);
            std::vector<Binding*> members;
            if (const Mivor::LivePropertyManager* manager = prototype->getPropertyManager()) {
                for (std::size_t i = 0; i < manager->count(); ++i) {
                    const Mivor::LivePropertyManager::Entry& entry = manager->at(i);
                    if (entry.isFunction() || entry.isProperty())
                        members.push_back(addBinding(entry.isFunction() ? Binding::kInstanceCall : Binding::kInstanceGet,
                                                     nullptr, nullptr, entry.id, entry.name, prototype->isEnumerable()));
                }
            }
            prototype->release();
            DefineJob job{members.data(), members.size(), constructor};
            if (duk_safe_call(ctx_, DefineMembers, &job, 0, 1) == DUK_EXEC_SUCCESS)
                classes_.insert(name);
            duk_pop(ctx_);
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
    std::vector<std::unique_ptr<Binding>> bindings_;  // outlive the heap's functions
    std::set<std::string> classes_;                   // classes defined in this engine
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
