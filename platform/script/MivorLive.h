// Mivor live objects: native objects that scripts see. A LiveComponent adds global constants and
// functions to an engine's global object; a LiveObject is a script class whose instances a
// registered prototype clones. Both are reference counted and live on the Mivor heap.
//
// Declaring one: derive, give the base a LivePropertyManager (a table of name, ID, flags, 0
// entries ended by a null name, or entries added with registerProperty), override get and call,
// and end each of them with setError(code, id, error, false): 0 succeeds, any other code makes
// the script's call fail with an Error whose "code" property is that code.
#pragma once

#include "platform/script/MivorVariant.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Mivor {

// Codes of the framework itself; live objects report their own codes (the callers' 19, 20, 24,
// -29 and the rest) the same way.
enum ErrorCode {
    kNoError = 0,
    kErrNoSuchMember = 24,  // what an object without such a function answers
    kErrException = -29,    // a C++ exception left a live call
    kErrNotInitialized = 1001,
    kErrBadParameter = 1002,
    kErrNotSupported = 1003,
    kErrDuplicate = 1004,
    kErrScript = 1005,  // the engine could not define the object's members
};

// Property-entry flags.
enum : std::uint32_t {
    kLiveFlagDefined = 0x10000,
    kLiveFlagReadable = 0x0001,
    kLiveFlagFunction = 0x0004,
    kLiveFlagVarArgs = 0x0040,  // accepted for the wizard's tables; every live function is varargs
    kLiveReadOnlyProperty = 0x10001,
    kLiveFunction = 0x10005,
};

// One entry of a property table. Tables end with an entry whose name is null.
struct LivePropertyInfo {
    const char* name;
    std::uint32_t id;
    std::uint32_t flags;
    std::uint32_t reserved;
};

// The failure record of one script-visible call, and an engine's last error.
class Error {
public:
    bool isSet() const { return set_; }
    int getCode() const { return code_; }
    std::uint32_t getID() const { return id_; }
    const String& getMessage() const { return message_; }
    // The whole text: for a script error its kind, message and line.
    String getFullText() const;

    // A live object may word its failure before it reports the code.
    void setMessage(const String& message);
    void set(int code, std::uint32_t id);
    void setFullText(const String& text);
    void clear();

private:
    bool set_ = false;
    int code_ = 0;
    std::uint32_t id_ = 0;
    String message_;
    String fullText_;
};

// The names, IDs and flags through which the engine finds an object's members. The names are
// copied, so entries made from temporary text stay valid.
class LivePropertyManager {
public:
    struct Entry {
        std::string name;
        std::uint32_t id;
        std::uint32_t flags;
        bool isFunction() const { return (flags & kLiveFlagFunction) != 0; }
        bool isProperty() const { return !isFunction() && (flags & kLiveFlagReadable) != 0; }
    };

    LivePropertyManager() = default;
    explicit LivePropertyManager(const LivePropertyInfo* table);

    // 0, kErrBadParameter for an entry without name, or kErrDuplicate when the name or the ID
    // is taken.
    int registerProperty(const LivePropertyInfo& info);

    std::size_t count() const { return entries_.size(); }
    const Entry& at(std::size_t index) const { return entries_[index]; }
    const Entry* findByName(const std::string& name) const;
    const Entry* findByID(std::uint32_t id) const;

private:
    std::vector<Entry> entries_;
};

// Allocation of live objects. The count of live blocks lets tests find leaked objects.
class Heap {
public:
    static void* alloc(std::size_t size);
    static void free(void* block);
    static std::size_t liveBlocks();
};

class LiveBase {
public:
    // Live objects are made with new (on the Mivor heap) and start with one reference, the
    // creator's, which it releases once it has handed the object over.
    static void* operator new(std::size_t size) { return Heap::alloc(size); }
    static void operator delete(void* block) { Heap::free(block); }

    void addRef();
    void release();
    int refCount() const { return refs_.load(); }

    void setPropertyManager(LivePropertyManager* manager) { manager_ = manager; }
    LivePropertyManager* getPropertyManager() const { return manager_; }

    // Ends a get or call: records a non-zero code with the member's ID in the error record
    // (when there is one) and answers the code, which the object returns to the engine. The
    // last argument is reserved (pass false).
    int setError(int code, std::uint32_t id, Error* error, bool reserved);

protected:
    LiveBase() = default;
    virtual ~LiveBase();

private:
    LiveBase(const LiveBase&) = delete;
    LiveBase& operator=(const LiveBase&) = delete;

    std::atomic<int> refs_{1};
    LivePropertyManager* manager_ = nullptr;
};

class LiveObject;

// Members added to another object (an engine's global object): its properties become that
// object's. The object asked is passed to every get and call.
class LiveComponent : public LiveBase {
public:
    virtual int get(LiveObject* object, std::uint32_t id, Variant& result, Error* error);
    virtual int call(LiveObject* object, std::uint32_t id, const Array& arguments, Variant& result,
                     Error* error);

protected:
    LiveComponent() = default;
};

class LiveObject : public LiveBase {
public:
    // The type that addFactory takes: a script class constructed with new.
    static const std::uint32_t kFactoryScriptClass = 0x10000;

    // className is what scripts construct (new className(...)); enumerable makes the
    // properties show in for-in loops.
    explicit LiveObject(const char* className, bool enumerable = true);

    const std::string& getClassName() const { return className_; }
    bool isEnumerable() const { return enumerable_; }

    // A new instance for a script's construction (with one reference, handed to the engine);
    // kErrNotSupported unless overridden.
    virtual int clone(LiveObject*& out, bool deep);
    // The script's constructor arguments; a non-zero code makes the construction fail.
    virtual int initialize(const Array& arguments);
    // Default: undefined, code 0.
    virtual int get(std::uint32_t id, Variant& result, Error* error);
    // Default: code kErrNoSuchMember.
    virtual int call(std::uint32_t id, const Array& arguments, Variant& result, Error* error);
    // Adds a component's members to this object (an engine's global object takes them);
    // kErrNotSupported for other objects. The object keeps its own reference on success.
    virtual int addComponent(LiveComponent* component);

    // Registers prototype's class for every engine of the process: scripts construct it with
    // new, which clones the prototype and initializes the clone with the arguments. A class
    // registered again replaces the earlier prototype. The registry keeps its own reference.
    static int addFactory(LiveObject* prototype, std::uint32_t type);

protected:
    ~LiveObject() override;

private:
    std::string className_;
    bool enumerable_;
};

// The engine's view of the classes registered with addFactory.
class FactoryRegistry {
public:
    // Changes whenever a class is registered, so an engine knows when to look again.
    static std::uint64_t generation();
    static std::vector<std::string> classNames();
    // The class's prototype with a reference for the caller, or null.
    static LiveObject* copyPrototype(const std::string& className);
};

// Start-up and shut-down of the scripting core. The registry and the reference counts are
// thread-safe in any mode; setMT records that engines run on several threads.
class InitTerm {
public:
    static bool init();
    static void setMT();
    static bool isMT();
    static bool isInitialized();
    // Releases the registered prototypes.
    static void exit();
};

}  // namespace Mivor
