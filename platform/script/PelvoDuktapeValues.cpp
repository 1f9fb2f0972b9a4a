// Text and values between Duktape and Mivor for the script engine (see PelvoDuktape.cpp for the
// rules that every function here keeps).

#include "platform/script/PelvoDuktapeValues.h"

#include "platform/formats/UnicodeText.h"

#include <string>

namespace Pelvo {
namespace detail {

namespace {

const int kMaxArrayDepth = 64;              // deeper (or cyclic) arrays are refused
const duk_size_t kMaxArrayLength = 1 << 24;  // a sparse array's length is no reason to allocate

// ---- Small C++ steps that the protected functions call. Each completes (or fails with false)
// before the caller touches Duktape again, and none lets an exception out.

bool SetText(Mivor::Variant* out, const char* bytes, std::size_t length, bool object) noexcept
{
    try {
        std::u16string units;
        FromEngineText(bytes, length, units);
        if (object)
            out->setObject(Mivor::String(units));
        else
            out->setString(Mivor::String(units));
        return true;
    } catch (...) {
        return false;
    }
}

Mivor::Array* MakeArray(Mivor::Variant* out) noexcept
{
    try {
        return &out->makeArray();
    } catch (...) {
        return nullptr;
    }
}

Mivor::Variant* AppendSlot(Mivor::Array* array) noexcept
{
    try {
        return &array->appendUndefined();
    } catch (...) {
        return nullptr;
    }
}

bool EncodeVariantText(const Mivor::Variant* value, std::string* scratch) noexcept
{
    try {
        scratch->clear();
        ToEngineText(value->getString().units(), *scratch);
        return true;
    } catch (...) {
        return false;
    }
}

bool SetStringOut(Mivor::String* out, const char* bytes, std::size_t length) noexcept
{
    try {
        std::u16string units;
        FromEngineText(bytes, length, units);
        *out = Mivor::String(units);
        return true;
    } catch (...) {
        return false;
    }
}

bool AppendName(std::vector<std::string>* names, const char* bytes, std::size_t length) noexcept
{
    try {
        std::u16string units;
        FromEngineText(bytes, length, units);
        std::string name;
        Mivor::Encoder::getUtf8().encode(units, name);
        names->push_back(name);
        return true;
    } catch (...) {
        return false;
    }
}

bool HasLineNote(const Mivor::String* text) noexcept
{
    static const std::u16string note = u"(line ";
    return text->units().find(note) != std::u16string::npos;
}

bool AppendLineNote(Mivor::String* text, long line) noexcept
{
    try {
        std::u16string units = text->units();
        const std::string note = " (line " + std::to_string(line) + ")";
        units.append(note.begin(), note.end());
        *text = Mivor::String(units);
        return true;
    } catch (...) {
        return false;
    }
}

// ---- Values between Duktape and Mivor, inside protected calls.

void ToVariant(duk_context* ctx, duk_idx_t index, Mivor::Variant* out, int depth)
{
    index = duk_normalize_index(ctx, index);
    duk_require_stack(ctx, 4);
    switch (duk_get_type(ctx, index)) {
    case DUK_TYPE_NONE:
    case DUK_TYPE_UNDEFINED:
        out->clear();
        return;
    case DUK_TYPE_NULL:
        out->setNull();
        return;
    case DUK_TYPE_BOOLEAN:
        out->setBool(duk_get_boolean(ctx, index) != 0);
        return;
    case DUK_TYPE_NUMBER:
        out->setDouble(duk_get_number(ctx, index));
        return;
    case DUK_TYPE_STRING: {
        duk_size_t length = 0;
        const char* bytes = duk_get_lstring(ctx, index, &length);
        if (!SetText(out, bytes, length, false))
            duk_error(ctx, DUK_ERR_RANGE_ERROR, "out of memory");
        return;
    }
    default:
        break;
    }
    if (duk_is_array(ctx, index)) {
        if (depth >= kMaxArrayDepth)
            duk_error(ctx, DUK_ERR_RANGE_ERROR, "array nesting too deep (or cyclic)");
        const duk_size_t length = duk_get_length(ctx, index);
        if (length > kMaxArrayLength)
            duk_error(ctx, DUK_ERR_RANGE_ERROR, "array too long");
        Mivor::Array* array = MakeArray(out);
        if (array == nullptr)
            duk_error(ctx, DUK_ERR_RANGE_ERROR, "out of memory");
        for (duk_size_t i = 0; i < length; ++i) {
            duk_get_prop_index(ctx, index, static_cast<duk_uarridx_t>(i));
            Mivor::Variant* element = AppendSlot(array);
            if (element == nullptr)
                duk_error(ctx, DUK_ERR_RANGE_ERROR, "out of memory");
            ToVariant(ctx, -1, element, depth + 1);
            duk_pop(ctx);
        }
        return;
    }
    // Any other object (and buffers, pointers): its text, as the script would see it.
    duk_dup(ctx, index);
    duk_size_t length = 0;
    const char* bytes = duk_to_lstring(ctx, -1, &length);
    if (!SetText(out, bytes, length, true))
        duk_error(ctx, DUK_ERR_RANGE_ERROR, "out of memory");
    duk_pop(ctx);
}

void PushVariant(duk_context* ctx, const Mivor::Variant* value, std::string* scratch)
{
    duk_require_stack(ctx, 4);
    switch (value->getType()) {
    case Mivor::Variant::kUndefined:
        duk_push_undefined(ctx);
        return;
    case Mivor::Variant::kNull:
        duk_push_null(ctx);
        return;
    case Mivor::Variant::kBoolean:
        duk_push_boolean(ctx, value->getBool() ? 1 : 0);
        return;
    case Mivor::Variant::kNumber:
        duk_push_number(ctx, value->getDouble());
        return;
    case Mivor::Variant::kString:
    case Mivor::Variant::kObject:
        if (!EncodeVariantText(value, scratch))
            duk_error(ctx, DUK_ERR_RANGE_ERROR, "out of memory");
        duk_push_lstring(ctx, scratch->data(), scratch->size());
        return;
    case Mivor::Variant::kArray: {
        const Mivor::Array* array = value->peekArray();
        duk_push_array(ctx);
        for (std::uint32_t i = 0; i < array->length(); ++i) {
            PushVariant(ctx, &(*array)[i], scratch);
            duk_put_prop_index(ctx, -2, i);
        }
        return;
    }
    }
}

}  // namespace

void ToEngineText(const std::u16string& units, std::string& bytes)
{
    for (char16_t unit : units) {
        const unsigned value = unit;
        if (value < 0x80) {
            bytes.push_back(static_cast<char>(value));
        } else if (value < 0x800) {
            bytes.push_back(static_cast<char>(0xC0 | (value >> 6)));
            bytes.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        } else {
            bytes.push_back(static_cast<char>(0xE0 | (value >> 12)));
            bytes.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
            bytes.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        }
    }
}

// Duktape may hold sequences longer than CESU-8's (String.fromCharCode beyond U+FFFF).
void FromEngineText(const char* bytes, std::size_t length, std::u16string& units)
{
    units.clear();
    units.reserve(length);
    for (std::size_t i = 0; i < length;) {
        const platform::UnicodeText::UTF8Sequence sequence =
            platform::UnicodeText::DecodeUTF8(bytes + i, length - i, platform::UnicodeText::kSurrogateHalves);
        i += sequence.length;
        platform::UnicodeText::AppendUTF16(sequence.valid ? sequence.codePoint : 0xFFFD, units);
    }
}

// ---- Protected steps.

duk_ret_t CollectArguments(duk_context* ctx, void* udata)
{
    CollectArgumentsJob* job = static_cast<CollectArgumentsJob*>(udata);
    for (duk_idx_t i = 0; i < job->count; ++i) {
        Mivor::Variant* slot = AppendSlot(job->arguments);
        if (slot == nullptr)
            duk_error(ctx, DUK_ERR_RANGE_ERROR, "out of memory");
        ToVariant(ctx, i, slot, 0);
    }
    return 0;
}

duk_ret_t PushResult(duk_context* ctx, void* udata)
{
    PushJob* job = static_cast<PushJob*>(udata);
    PushVariant(ctx, job->value, job->scratch);
    return 1;
}

duk_ret_t EvalSource(duk_context* ctx, void* udata)
{
    EvalJob* job = static_cast<EvalJob*>(udata);
    duk_eval_lstring(ctx, job->source, job->length);
    ToVariant(ctx, -1, job->result, 0);
    return 1;
}

duk_ret_t CompileSource(duk_context* ctx, void* udata)
{
    EvalJob* job = static_cast<EvalJob*>(udata);
    duk_compile_lstring(ctx, DUK_COMPILE_EVAL, job->source, job->length);
    return 1;
}

duk_ret_t RunCompiled(duk_context* ctx, void* udata)
{
    // As duk_eval runs what it compiled: with the global object for this.
    EvalJob* job = static_cast<EvalJob*>(udata);
    duk_push_global_object(ctx);
    duk_call_method(ctx, 0);
    ToVariant(ctx, -1, job->result, 0);
    return 1;
}

namespace {

// The global property under which the restoring function waits for the script's first statement:
// a name that no identifier can spell.
const char kKeptKey[] = "\0PelvoKept";
const duk_size_t kKeptKeyLength = sizeof(kKeptKey) - 1;
// Where that function holds what it gives back: a hidden key, which no script can reach.
const char kKeptValues[] = DUK_HIDDEN_SYMBOL("kept");

duk_ret_t RestoreKept(duk_context* ctx)
{
    duk_push_current_function(ctx);
    duk_get_prop_string(ctx, -1, kKeptValues);
    const duk_idx_t kept = duk_get_top_index(ctx);
    duk_push_global_object(ctx);
    const duk_idx_t global = kept + 1;
    const duk_uarridx_t count = static_cast<duk_uarridx_t>(duk_get_length(ctx, kept));
    for (duk_uarridx_t i = 0; i < count; i += 2) {
        duk_get_prop_index(ctx, kept, i);
        duk_get_prop_index(ctx, kept, i + 1);
        if (!duk_is_object(ctx, -1)) {
            duk_pop(ctx);
            duk_del_prop(ctx, global);
            continue;
        }
        const duk_idx_t descriptor = duk_get_top_index(ctx);
        duk_dup(ctx, descriptor - 1);
        const auto flag = [&](const char* field, duk_uint_t have, duk_uint_t set) {
            duk_get_prop_string(ctx, descriptor, field);
            const bool on = duk_to_boolean(ctx, -1) != 0;
            duk_pop(ctx);
            return have | (on ? set : 0);
        };
        duk_uint_t flags = DUK_DEFPROP_FORCE | flag("enumerable", DUK_DEFPROP_HAVE_ENUMERABLE, DUK_DEFPROP_ENUMERABLE) |
                           flag("configurable", DUK_DEFPROP_HAVE_CONFIGURABLE, DUK_DEFPROP_CONFIGURABLE);
        if (duk_has_prop_string(ctx, descriptor, "value")) {
            duk_get_prop_string(ctx, descriptor, "value");
            flags |= DUK_DEFPROP_HAVE_VALUE | flag("writable", DUK_DEFPROP_HAVE_WRITABLE, DUK_DEFPROP_WRITABLE);
        } else {
            duk_get_prop_string(ctx, descriptor, "get");
            duk_get_prop_string(ctx, descriptor, "set");
            flags |= DUK_DEFPROP_HAVE_GETTER | DUK_DEFPROP_HAVE_SETTER;
        }
        duk_def_prop(ctx, global, flags);
        duk_pop_2(ctx);
    }
    duk_push_lstring(ctx, kKeptKey, kKeptKeyLength);
    duk_del_prop(ctx, global);
    return 0;
}

const duk_uint_t kOwnProperties = DUK_ENUM_OWN_PROPERTIES_ONLY | DUK_ENUM_INCLUDE_NONENUMERABLE;

// Pushes the field of the descriptor of the object's own property whose key is at the top (read
// from the descriptor, so that no getter runs), in place of the key.
void PushOwnPropertyField(duk_context* ctx, duk_idx_t object, const char* field)
{
    duk_get_prop_desc(ctx, object, 0);
    duk_get_prop_string(ctx, -1, field);
    duk_remove(ctx, -2);
}

// Runs the job's block as global code of the context's global environment.
void RunBlock(duk_context* ctx, const DeclareJob* job)
{
    duk_compile_lstring(ctx, DUK_COMPILE_EVAL, job->block, job->blockLength);
    duk_push_global_object(ctx);
    duk_call_method(ctx, 0);
    duk_pop(ctx);
}

// In a global environment of its own: what the block declares is what its global object holds
// after it, but for the few properties that cannot be deleted before.
duk_ret_t NameDeclarations(duk_context* ctx, void* udata)
{
    DeclareJob* job = static_cast<DeclareJob*>(udata);
    duk_push_global_object(ctx);
    const duk_idx_t global = duk_get_top_index(ctx);
    duk_push_bare_object(ctx);
    const duk_idx_t kept = global + 1;
    duk_enum(ctx, global, kOwnProperties);
    while (duk_next(ctx, -1, 0)) {
        duk_dup_top(ctx);
        PushOwnPropertyField(ctx, global, "configurable");
        const bool configurable = duk_to_boolean(ctx, -1) != 0;
        duk_pop(ctx);
        if (configurable) {
            duk_del_prop(ctx, global);
        } else {
            duk_push_true(ctx);
            duk_put_prop(ctx, kept);
        }
    }
    duk_pop(ctx);

    RunBlock(ctx, job);

    duk_enum(ctx, global, kOwnProperties);
    while (duk_next(ctx, -1, 0)) {
        duk_dup_top(ctx);
        if (!duk_has_prop(ctx, kept)) {
            duk_dup_top(ctx);
            PushOwnPropertyField(ctx, global, "value");
            duk_size_t length = 0;
            const char* name = duk_get_lstring(ctx, -2, &length);
            if (!AppendName(duk_is_function(ctx, -1) ? job->functions : job->variables, name, length))
                duk_error(ctx, DUK_ERR_RANGE_ERROR, "out of memory");
            duk_pop(ctx);
        }
        duk_pop(ctx);
    }
    duk_pop_3(ctx);
    duk_push_undefined(ctx);
    return 1;
}

}  // namespace

const char kRestoreKeptStatement[] = "this[\"\\u0000PelvoKept\"]();";

duk_ret_t KeepBindings(duk_context* ctx, void* udata)
{
    const KeepJob* job = static_cast<KeepJob*>(udata);
    duk_push_global_object(ctx);
    const duk_idx_t global = duk_get_top_index(ctx);
    duk_push_lstring(ctx, kKeptKey, kKeptKeyLength);
    duk_push_c_function(ctx, RestoreKept, 0);
    duk_push_array(ctx);
    duk_uarridx_t at = 0;
    for (const std::string& name : *job->names) {
        duk_push_lstring(ctx, name.data(), name.size());
        duk_dup_top(ctx);
        duk_put_prop_index(ctx, -3, at++);
        duk_get_prop_desc(ctx, global, 0);
        // The piece's declaration binds the name anew, which the engine refuses where it cannot
        // be changed (one script binds it once, before anything made it so): it can, until the
        // piece's first statement gives back what was here.
        bool fixed = false;
        if (duk_is_object(ctx, -1)) {
            duk_get_prop_string(ctx, -1, "configurable");
            fixed = duk_to_boolean(ctx, -1) == 0;
            duk_pop(ctx);
        }
        duk_put_prop_index(ctx, -2, at++);
        if (fixed) {
            duk_push_lstring(ctx, name.data(), name.size());
            duk_def_prop(ctx, global, DUK_DEFPROP_HAVE_CONFIGURABLE | DUK_DEFPROP_CONFIGURABLE | DUK_DEFPROP_FORCE);
        }
    }
    duk_put_prop_string(ctx, -2, kKeptValues);
    duk_def_prop(ctx, global,
                 DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE | DUK_DEFPROP_SET_CONFIGURABLE |
                     DUK_DEFPROP_CLEAR_ENUMERABLE | DUK_DEFPROP_FORCE);
    duk_pop(ctx);
    duk_push_undefined(ctx);
    return 1;
}

duk_ret_t DropKept(duk_context* ctx, void*)
{
    duk_push_global_object(ctx);
    duk_push_lstring(ctx, kKeptKey, kKeptKeyLength);
    duk_del_prop(ctx, -2);
    duk_pop(ctx);
    duk_push_undefined(ctx);
    return 1;
}

duk_ret_t DeclareSource(duk_context* ctx, void* udata)
{
    DeclareJob* job = static_cast<DeclareJob*>(udata);
    duk_compile_lstring(ctx, DUK_COMPILE_EVAL, job->source, job->length);
    duk_pop(ctx);
    if (job->blockLength != 0) {
        duk_push_thread_new_globalenv(ctx);
        duk_context* own = duk_get_context(ctx, -1);
        if (duk_safe_call(own, NameDeclarations, job, 0, 1) != DUK_EXEC_SUCCESS) {
            duk_xmove_top(ctx, own, 1);
            duk_throw(ctx);
        }
        duk_pop(own);
        duk_pop(ctx);
        RunBlock(ctx, job);
    }
    duk_push_undefined(ctx);
    return 1;
}

namespace {

duk_ret_t DefineLine(duk_context* ctx, void* udata)
{
    duk_push_string(ctx, "lineNumber");
    duk_push_int(ctx, *static_cast<duk_int_t*>(udata));
    duk_def_prop(ctx, -3, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE | DUK_DEFPROP_SET_CONFIGURABLE);
    return 0;
}

}  // namespace

duk_ret_t CallGlobal(duk_context* ctx, void* udata)
{
    CallJob* job = static_cast<CallJob*>(udata);
    *job->called = false;
    duk_push_global_object(ctx);
    duk_push_lstring(ctx, job->name, job->nameLength);
    // The descriptor, not the value: a getter must not run here, as the statement runs it itself.
    duk_get_prop_desc(ctx, -2, 0);
    if (!duk_is_object(ctx, -1) || !duk_has_prop_string(ctx, -1, "value"))
        return 0;
    duk_get_prop_string(ctx, -1, "value");
    if (!duk_is_callable(ctx, -1))
        return 0;
    *job->called = true;
    if (job->native != nullptr && duk_get_c_function(ctx, -1) == job->native) {
        duk_get_prop_string(ctx, -1, job->bindingKey);
        *job->binding = duk_get_pointer(ctx, -1);
        if (*job->binding != nullptr)
            return 0;
        duk_pop(ctx);
    }
    const duk_idx_t count = static_cast<duk_idx_t>(job->arguments->length());
    duk_require_stack(ctx, count + 4);
    for (duk_idx_t i = 0; i < count; ++i)
        PushVariant(ctx, &(*job->arguments)[static_cast<std::uint32_t>(i)], job->scratch);
    if (duk_pcall(ctx, count) == DUK_EXEC_SUCCESS) {
        if (job->truth != nullptr)
            *job->truth = duk_to_boolean(ctx, -1) != 0;
        return 0;
    }
    if (duk_is_error(ctx, -1)) {
        duk_get_prop_string(ctx, -1, "lineNumber");
        const bool lineless = duk_is_undefined(ctx, -1);
        duk_pop(ctx);
        if (lineless) {
            // Given a copy: the error stays as it was where it takes no property.
            duk_dup(ctx, -1);
            duk_safe_call(ctx, DefineLine, &job->line, 1, 1);
            duk_pop(ctx);
        }
    }
    return duk_throw(ctx);
}

// Describes the error value at the top of the stack.
duk_ret_t DescribeError(duk_context* ctx, void* udata)
{
    DescribeJob* job = static_cast<DescribeJob*>(udata);
    const duk_idx_t value = duk_get_top(ctx) - 1;
    duk_size_t length = 0;
    const char* bytes = nullptr;
    if (duk_is_object(ctx, value)) {
        duk_get_prop_string(ctx, value, "code");
        if (duk_is_number(ctx, -1))
            *job->code = duk_get_int(ctx, -1);
        duk_pop(ctx);
        duk_get_prop_string(ctx, value, "message");
        if (duk_is_string(ctx, -1)) {
            bytes = duk_get_lstring(ctx, -1, &length);
            if (!SetStringOut(job->message, bytes, length))
                duk_error(ctx, DUK_ERR_RANGE_ERROR, "out of memory");
        }
        duk_pop(ctx);
    }
    duk_dup(ctx, value);
    bytes = duk_to_lstring(ctx, -1, &length);
    if (!SetStringOut(job->fullText, bytes, length))
        duk_error(ctx, DUK_ERR_RANGE_ERROR, "out of memory");
    duk_pop(ctx);
    if (duk_is_object(ctx, value)) {
        duk_get_prop_string(ctx, value, "lineNumber");
        if (duk_is_number(ctx, -1) && !HasLineNote(job->fullText)) {
            if (!AppendLineNote(job->fullText, static_cast<long>(duk_get_number(ctx, -1))))
                duk_error(ctx, DUK_ERR_RANGE_ERROR, "out of memory");
        }
        duk_pop(ctx);
    }
    return 0;
}

}  // namespace detail
}  // namespace Pelvo
