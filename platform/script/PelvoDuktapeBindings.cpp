// The live members of the script engine (see PelvoDuktapeBindings.h), and the native entry
// through which scripts call them. The rules of PelvoDuktape.cpp hold here.

#include "platform/script/PelvoDuktapeBindings.h"

#include "platform/script/PelvoDuktapeValues.h"

#include <cstdio>
#include <exception>
#include <string>

namespace Pelvo {
namespace detail {

const char* const kBindingKey = DUK_HIDDEN_SYMBOL("tolkBinding");

namespace {

const char* const kObjectKey = DUK_HIDDEN_SYMBOL("tolkObject");

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
        const duk_uint_t enumerable = member->enumerable ? DUK_DEFPROP_SET_ENUMERABLE : DUK_DEFPROP_CLEAR_ENUMERABLE;
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

// The script error of a failure, with its code. No C file and line: made in a native call, the
// error then names the script line that made the call.
void PushFailure(duk_context* ctx, const Failure& failure)
{
    duk_push_error_object_raw(ctx, failure.type, nullptr, 0, "%s", failure.message);
    duk_push_int(ctx, failure.code);
    duk_put_prop_string(ctx, -2, "code");
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
    PushFailure(ctx, *job->failure);
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
        SetFailure(failure, Mivor::kErrNotSupported, DUK_ERR_TYPE_ERROR,
                   binding.name + " must be constructed with new");
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
            SetFailure(failure, Mivor::kErrNotSupported, DUK_ERR_TYPE_ERROR,
                       binding.name + " called without its object");
            return kFailed;
        }
    }
    switch (binding.kind) {
    case Binding::kComponentGet:
        code = Guarded(binding, error,
                       [&]() { return binding.component->get(binding.owner, binding.id, result, &error); });
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

}  // namespace

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
    PushFailure(ctx, failure);
    return duk_throw(ctx);
}

bool DuktapeBindings::defineComponent(duk_context* ctx, Mivor::LiveComponent* component, Mivor::LiveObject* owner)
{
    return define(ctx, component->getPropertyManager(), Binding::kComponentCall, Binding::kComponentGet, component,
                  owner, true, nullptr);
}

bool DuktapeBindings::defineClass(duk_context* ctx, const std::string& name, const Mivor::LivePropertyManager* manager,
                                  bool enumerable)
{
    Binding* constructor = add(Binding::kConstructor, nullptr, nullptr, 0, name, false);
    return define(ctx, manager, Binding::kInstanceCall, Binding::kInstanceGet, nullptr, nullptr, enumerable,
                  constructor);
}

Binding* DuktapeBindings::add(Binding::Kind kind, Mivor::LiveComponent* component, Mivor::LiveObject* owner,
                              std::uint32_t id, const std::string& name, bool enumerable)
{
    bindings_.emplace_back(new Binding{kind, component, owner, id, name, enumerable});
    return bindings_.back().get();
}

// Both kinds of member, a binding for each function and property the manager lists.
bool DuktapeBindings::define(duk_context* ctx, const Mivor::LivePropertyManager* manager, Binding::Kind function,
                             Binding::Kind property, Mivor::LiveComponent* component, Mivor::LiveObject* owner,
                             bool enumerable, Binding* constructor)
{
    std::vector<Binding*> members;
    for (std::size_t i = 0; manager != nullptr && i < manager->count(); ++i) {
        const Mivor::LivePropertyManager::Entry& entry = manager->at(i);
        if (entry.isFunction() || entry.isProperty())
            members.push_back(
                add(entry.isFunction() ? function : property, component, owner, entry.id, entry.name, enumerable));
    }
    DefineJob job{members.data(), members.size(), constructor};
    const bool defined = duk_safe_call(ctx, DefineMembers, &job, 0, 1) == DUK_EXEC_SUCCESS;
    duk_pop(ctx);
    return defined;
}

bool CallComponentMember(duk_context* ctx, const Binding& member, const Mivor::Array& arguments, duk_int_t line,
                         Mivor::Variant& result)
{
    Mivor::Error error;
    const int code = Guarded(
        member, error, [&]() { return member.component->call(member.owner, member.id, arguments, result, &error); });
    if (code == Mivor::kNoError)
        return true;
    Failure failure;
    FailWithCode(failure, member, code, error, "failed");
    ThrowJob job{&failure, line};
    duk_safe_call(ctx, ThrowFailure, &job, 0, 1);
    return false;
}

}  // namespace detail
}  // namespace Pelvo
