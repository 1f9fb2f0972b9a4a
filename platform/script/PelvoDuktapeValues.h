// Private to the engine's Duktape files: text and values between Duktape and Mivor, and the
// protected steps that move them. The rules of PelvoDuktape.cpp hold here: the steps run inside
// duk_safe_call and keep nothing with a destructor in their frames.
#pragma once

#include "platform/script/MivorVariant.h"

#include <duktape.h>

#include <cstddef>
#include <string>
#include <vector>

namespace Pelvo {
namespace detail {

// Scripts see UTF-16 semantics, so text enters Duktape as CESU-8: every code unit, surrogates
// included, as its own sequence of 1 to 3 bytes. Appends to bytes.
void ToEngineText(const std::u16string& units, std::string& bytes);
// Duktape's text back to code units: the halves of surrogate pairs as they are, sequences beyond
// U+FFFF as pairs, malformed bytes (overlong forms among them) as U+FFFD.
void FromEngineText(const char* bytes, std::size_t length, std::u16string& units);

// The first count values of the current frame (a native call's arguments) into arguments.
struct CollectArgumentsJob {
    Mivor::Array* arguments;
    duk_idx_t count;
};
duk_ret_t CollectArguments(duk_context* ctx, void* udata);

// Pushes the value (scratch: a buffer for its text).
struct PushJob {
    const Mivor::Variant* value;
    std::string* scratch;
};
duk_ret_t PushResult(duk_context* ctx, void* udata);

// Evaluates CESU-8 source as global (eval) code; the completion value goes to result.
struct EvalJob {
    const char* source;
    std::size_t length;
    Mivor::Variant* result;
};
duk_ret_t EvalSource(duk_context* ctx, void* udata);
// EvalSource in two steps: the source compiled into a function left on the stack, then that
// function run as global code (its completion value to the job's result).
duk_ret_t CompileSource(duk_context* ctx, void* udata);
duk_ret_t RunCompiled(duk_context* ctx, void* udata);

// A script that starts with kRestoreKeptStatement gives the global properties of the names back
// what KeepBindings read of them before it ran (their descriptors, or their absence), once its
// own declarations are made: a piece of a larger script whose declarations were made before binds
// its functions anew as it starts, where the one script binds them once. DropKept removes what
// KeepBindings left where the statement did not run (a script that did not compile).
extern const char kRestoreKeptStatement[];
struct KeepJob {
    const std::vector<std::string>* names;
};
duk_ret_t KeepBindings(duk_context* ctx, void* udata);
duk_ret_t DropKept(duk_context* ctx, void* udata);

// Compiles CESU-8 source as global (eval) code, which fails unless it is a script of its own,
// without running it. Then, unless the block is empty, runs the block (the same source inside a
// block that never runs, which makes the source's declarations) twice as global code: first in a
// global environment of its own, emptied, to read the names it declares into functions and
// variables, then in the engine's own.
struct DeclareJob {
    const char* source;
    std::size_t length;
    const char* block;
    std::size_t blockLength;
    std::vector<std::string>* functions;
    std::vector<std::string>* variables;
};
duk_ret_t DeclareSource(duk_context* ctx, void* udata);

// Calls the global object's own plain (data) property of the name with the arguments, when it
// holds a function; called tells whether it did. An error that the call throws without a line of
// its own (a native function's) gets the line given, which a script's call would have named.
struct CallJob {
    const char* name;
    std::size_t nameLength;
    const Mivor::Array* arguments;
    std::string* scratch;
    duk_int_t line;
    bool* called;
    bool* truth;  // where the call's value, converted to a boolean, goes (null: not wanted)
    // A function that runs this C function (every live member does) is not called here: its
    // hidden bindingKey property goes to binding instead, for the caller to run it directly.
    duk_c_function native;
    const char* bindingKey;
    void** binding;
};
duk_ret_t CallGlobal(duk_context* ctx, void* udata);

// Describes the error value at the top of the stack: its code property, its message and its full
// text (its string form, with the line when it names none).
struct DescribeJob {
    Mivor::String* fullText;
    Mivor::String* message;
    int* code;
};
duk_ret_t DescribeError(duk_context* ctx, void* udata);

}  // namespace detail
}  // namespace Pelvo
