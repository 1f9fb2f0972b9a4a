#include "SorvelCommonTQEngine.h"

#include "Common/source/xplat/LogFactory.h"
#include "Sorvel/source/xplat/SorvelConstants.h"
#include "TesselUtils.h"

#include <stdexcept>

namespace {

const std::uint32_t kEngineType = 0x10000;
// Every published method is a function that takes any number of arguments.
const std::uint32_t kPublishedMethodFlags = 0x10045;
const int kCallFailed = 24;

}  // namespace

SorvelCommonTQEngine::SorvelCommonTQEngine(JSMethodPublisherInterface& publisher) : publisher_(publisher)
{
    engine_ = Pelvo::Engine::createEngine(kEngineType);
    if (!engine_)
        throw std::runtime_error("Unable to create Tessel engine instance");

    Pelvo::LiveObjectAPI* live = engine_->getInterface(Pelvo::Engine::kLiveObjectInterface);
    if (live == nullptr)
        return;  // no script globals: a script's call of a method then fails in the engine
    ScriptGlobals* globals = new ScriptGlobals(publisher_);
    // The back pointer is set before the component is handed over: once the creation reference
    // is dropped, a component that the global object refused is gone.
    globals->SetBridge(this);
    live->getGlobalObject()->addComponent(globals);
    globals->release();
}

SorvelCommonTQEngine::~SorvelCommonTQEngine()
{
    engine_.reset();
}

bool SorvelCommonTQEngine::EvalScript(const std::string& script, Mivor::Variant& result, std::string& errorText)
{
    Logger* logger = LogFactory::Instance().GetLogger(SorvelConstants::kSorvelLog);
    if (logger != nullptr)
        logger->SetLevel(LogAppender::kLogDebug);

    errorText.clear();
    // The whole text: cut at a stray NUL byte, a damaged script would run only its first part
    // and still count as a success.
    const Mivor::String text(script.data(), script.size(), Mivor::Encoder::getUtf8());
    engine_->eval(text, result, -1, 1, 0, 0, 0);
    if (engine_->succeeded())
        return true;
    errorText = TesselUtils::MivorToUTF8(engine_->getError().getFullText());
    engine_->clearError();
    return false;
}

SorvelCommonTQEngine::ScriptGlobals::ScriptGlobals(JSMethodPublisherInterface& publisher) : bridge_(nullptr)
{
    const JSMethodPublisherInterface::MethodMap methods = publisher.GetAllMethods();
    methodNames_.resize(methods.size());
    std::size_t index = 0;
    for (JSMethodPublisherInterface::MethodMap::const_iterator method = methods.begin(); method != methods.end();
         ++method, ++index) {
        methodNames_[index] = method->first;
        const Mivor::LivePropertyInfo info = {methodNames_[index].c_str(), method->second, kPublishedMethodFlags, 0};
        properties_.registerProperty(info);
    }
    setPropertyManager(&properties_);
}

SorvelCommonTQEngine::ScriptGlobals::~ScriptGlobals() {}

int SorvelCommonTQEngine::ScriptGlobals::call(Mivor::LiveObject*, std::uint32_t id, const Mivor::Array& arguments,
                                              Mivor::Variant& result, Mivor::Error* error)
{
    std::vector<std::string> strings;
    strings.reserve(arguments.length());
    for (std::uint32_t index = 0; index < arguments.length(); ++index) {
        Mivor::Variant argument = arguments[index];
        if (!argument.isString())
            argument.doToString(10);
        strings.push_back(TesselUtils::MivorToUTF8(argument.getString()));
    }

    std::string answer;
    const bool invoked = bridge_ != nullptr && bridge_->publisher_.InvokeMethodByID(id, strings, answer);
    if (invoked)
        result.setString(TesselUtils::UTF8ToMivor(answer));
    return setError(invoked ? 0 : kCallFailed, id, error, false);
}
