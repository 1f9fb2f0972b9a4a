// Private to the engine's Duktape files: the live members that scripts see (a component's
// functions and properties as globals, a script class as a constructor with its members on the
// prototype of its instances), the native entry that every one of them runs, and the error a
// failing member throws. The rules of PelvoDuktape.cpp hold here.
#pragma once

#include "platform/script/MivorLive.h"

#include <duktape.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Pelvo {
namespace detail {

// What a native function or accessor stands for. Its Duktape function keeps a pointer under
// kBindingKey.
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

// The C function of every live member, and the hidden property that holds its binding.
duk_ret_t NativeEntry(duk_context* ctx);
extern const char* const kBindingKey;

// The bindings of one engine, which owns them for as long as its heap's functions may point at
// them (so they go after the heap).
class DuktapeBindings {
public:
    // Defines the component's functions and properties as globals that call it for owner.
    bool defineComponent(duk_context* ctx, Mivor::LiveComponent* component, Mivor::LiveObject* owner);
    // Defines the global constructor of a script class, with the functions and properties of its
    // prototype's manager (none without one) on the prototype of the instances it makes.
    bool defineClass(duk_context* ctx, const std::string& name, const Mivor::LivePropertyManager* manager,
                     bool enumerable);

private:
    Binding* add(Binding::Kind kind, Mivor::LiveComponent* component, Mivor::LiveObject* owner, std::uint32_t id,
                 const std::string& name, bool enumerable);
    bool define(duk_context* ctx, const Mivor::LivePropertyManager* manager, Binding::Kind function,
                Binding::Kind property, Mivor::LiveComponent* component, Mivor::LiveObject* owner, bool enumerable,
                Binding* constructor);

    std::vector<std::unique_ptr<Binding> > bindings_;
};

// Calls a component's live function directly, as a script's call on the line given would: true.
// On a failure, leaves the error that call would have thrown on the stack: false.
bool CallComponentMember(duk_context* ctx, const Binding& member, const Mivor::Array& arguments, duk_int_t line,
                         Mivor::Variant& result);

}  // namespace detail
}  // namespace Pelvo
