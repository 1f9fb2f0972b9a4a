#include "platform/script/MivorLive.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <new>

namespace Mivor {

namespace {

std::atomic<std::size_t> gLiveBlocks{0};
std::atomic<bool> gInitialized{false};
std::atomic<bool> gMultiThreaded{false};

struct Registry {
    std::mutex mutex;                              // guards prototypes, generation
    std::map<std::string, LiveObject*> prototypes;  // one reference each
    std::uint64_t generation = 0;
};

Registry& TheRegistry()
{
    static Registry* registry = new Registry;  // engines on other threads may outlive statics
    return *registry;
}

}  // namespace

String Error::getFullText() const
{
    if (!fullText_.empty())
        return fullText_;
    return message_;
}

void Error::setMessage(const String& message)
{
    message_ = message;
    set_ = true;
}

void Error::set(int code, std::uint32_t id)
{
    code_ = code;
    id_ = id;
    set_ = true;
}

void Error::setFullText(const String& text)
{
    fullText_ = text;
    set_ = true;
}

void Error::clear()
{
    *this = Error();
}

LivePropertyManager::LivePropertyManager(const LivePropertyInfo* table)
{
    for (const LivePropertyInfo* info = table; info != nullptr && info->name != nullptr; ++info)
        registerProperty(*info);
}

int LivePropertyManager::registerProperty(const LivePropertyInfo& info)
{
    if (info.name == nullptr || info.name[0] == '\0')
        return kErrBadParameter;
    if (findByName(info.name) != nullptr || findByID(info.id) != nullptr)
        return kErrDuplicate;
    entries_.push_back(Entry{info.name, info.id, info.flags});
    return kNoError;
}

const LivePropertyManager::Entry* LivePropertyManager::findByName(const std::string& name) const
{
    for (const Entry& entry : entries_) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

const LivePropertyManager::Entry* LivePropertyManager::findByID(std::uint32_t id) const
{
    for (const Entry& entry : entries_) {
        if (entry.id == id)
            return &entry;
    }
    return nullptr;
}

void* Heap::alloc(std::size_t size)
{
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr)
        throw std::bad_alloc();
    ++gLiveBlocks;
    return block;
}

void Heap::free(void* block)
{
    if (block == nullptr)
        return;
    --gLiveBlocks;
    std::free(block);
}

std::size_t Heap::liveBlocks()
{
    return gLiveBlocks.load();
}

LiveBase::~LiveBase() = default;

void LiveBase::addRef()
{
    refs_.fetch_add(1);
}

void LiveBase::release()
{
    if (refs_.fetch_sub(1) == 1)
        delete this;
}

int LiveBase::setError(int code, std::uint32_t id, Error* error, bool)
{
    if (code != kNoError && error != nullptr)
        error->set(code, id);
    return code;
}

int LiveComponent::get(LiveObject*, std::uint32_t id, Variant& result, Error* error)
{
    result.clear();
    return setError(kNoError, id, error, false);
}

int LiveComponent::call(LiveObject*, std::uint32_t id, const Array&, Variant& result, Error* error)
{
    result.clear();
    return setError(kErrNoSuchMember, id, error, false);
}

LiveObject::LiveObject(const char* className, bool enumerable)
    : className_(className != nullptr ? className : ""), enumerable_(enumerable)
{
}

LiveObject::~LiveObject() = default;

int LiveObject::clone(LiveObject*& out, bool)
{
    out = nullptr;
    return kErrNotSupported;
}

int LiveObject::initialize(const Array&)
{
    return kNoError;
}

int LiveObject::get(std::uint32_t id, Variant& result, Error* error)
{
    result.clear();
    return setError(kNoError, id, error, false);
}

int LiveObject::call(std::uint32_t id, const Array&, Variant& result, Error* error)
{
    result.clear();
    return setError(kErrNoSuchMember, id, error, false);
}

int LiveObject::addComponent(LiveComponent*)
{
    return kErrNotSupported;
}

int LiveObject::addFactory(LiveObject* prototype, std::uint32_t type)
{
    if (!InitTerm::isInitialized())
        return kErrNotInitialized;
    if (prototype == nullptr || type != kFactoryScriptClass || prototype->getClassName().empty())
        return kErrBadParameter;
    Registry& registry = TheRegistry();
    LiveObject* replaced = nullptr;
    prototype->addRef();
    {
        std::lock_guard<std::mutex> lock(registry.mutex);
        LiveObject*& slot = registry.prototypes[prototype->getClassName()];
        replaced = slot;
        slot = prototype;
        ++registry.generation;
    }
    if (replaced != nullptr)
        replaced->release();  // outside the lock: a destructor may register classes itself
    return kNoError;
}

std::uint64_t FactoryRegistry::generation()
{
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    return registry.generation;
}

std::vector<std::string> FactoryRegistry::classNames()
{
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    std::vector<std::string> names;
    for (const auto& entry : registry.prototypes)
        names.push_back(entry.first);
    return names;
}

LiveObject* FactoryRegistry::copyPrototype(const std::string& className)
{
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    const auto found = registry.prototypes.find(className);
    if (found == registry.prototypes.end())
        return nullptr;
    found->second->addRef();
    return found->second;
}

bool InitTerm::init()
{
    gInitialized = true;
    return true;
}

void InitTerm::setMT()
{
    gMultiThreaded = true;
}

bool InitTerm::isMT()
{
    return gMultiThreaded.load();
}

bool InitTerm::isInitialized()
{
    return gInitialized.load();
}

void InitTerm::exit()
{
    gInitialized = false;
    std::map<std::string, LiveObject*> prototypes;
    Registry& registry = TheRegistry();
    {
        std::lock_guard<std::mutex> lock(registry.mutex);
        prototypes.swap(registry.prototypes);
        ++registry.generation;
    }
    for (auto& entry : prototypes)
        entry.second->release();
}

}  // namespace Mivor
