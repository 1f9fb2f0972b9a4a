#include "QENGlobalsLC.h"

#include "QEN/source/mac/QENScUtils.h"

#include "Common/source/xplat/FileSystemUtils.h"

#include <stdexcept>

namespace {

// The values of the constants: flags and domains as signed integers, file types as unsigned.
bool SetConstant(std::uint32_t id, Mivor::Variant& result)
{
    if (id == QENGlobalsLC::kID_DISPLAY_ATTRIBUTE_IS_INVISIBLE)
        result.setInt(1);
    else if (id == QENGlobalsLC::kID_DISPLAY_ATTRIBUTE_HAS_CUSTOM_ICON)
        result.setInt(2);
    else if (id >= QENGlobalsLC::kID_ORVEX_FILE_TYPE_UNKNOWN && id <= QENGlobalsLC::kID_ORVEX_FILE_TYPE_JSX)
        result.setUInt(id - QENGlobalsLC::kID_ORVEX_FILE_TYPE_UNKNOWN);
    else if (id == QENGlobalsLC::kID_ORVEX_FILE_TYPE_RESERVED)
        result.setUInt(0xFFFFFFFFu);
    else if (id == QENGlobalsLC::kID_kCapsDomainInstaller)
        result.setInt(kCapsDomainInstaller);
    else if (id == QENGlobalsLC::kID_kCapsDomainKuv)
        result.setInt(kCapsDomainScripts);
    else if (id == QENGlobalsLC::kID_kCapsDomainInstallProperties)
        result.setInt(kCapsDomainProperties);
    else
        return false;
    return true;
}

QENGlobalsLC::Function FindFunction(std::uint32_t id)
{
    for (const QENGlobalsLC::FunctionEntry* entry = QENGlobalsLC::myFunctions; entry->body != nullptr; ++entry) {
        if (entry->id == id)
            return entry->body;
    }
    return nullptr;
}

std::string FunctionName(std::uint32_t id)
{
    for (const Mivor::LivePropertyInfo* entry = QENGlobalsLC::myTable; entry->name != nullptr; ++entry) {
        if (entry->id == id)
            return entry->name;
    }
    return std::string();
}

}  // namespace

QENGlobalsLC::QENGlobalsLC(QENEngine& engine, QENController& controller, LogAppender& log)
    : propertyManager_(myTable), engine_(engine), controller_(controller), log_(log), capsLocked_(false),
      imageProgress_(engine, controller)
{
    setPropertyManager(&propertyManager_);
}

QENGlobalsLC::~QENGlobalsLC()
{
    setPropertyManager(nullptr);
}

int QENGlobalsLC::get(Mivor::LiveObject*, std::uint32_t id, Mivor::Variant& result, Mivor::Error* error)
{
    int code = kCodeOK;
    try {
        result.clear();
        SetConstant(id, result);
    } catch (...) {
        code = kCodeException;
    }
    return setError(code, id, error, false);
}

int QENGlobalsLC::call(Mivor::LiveObject*, std::uint32_t id, const Mivor::Array& arguments, Mivor::Variant& result,
                       Mivor::Error* error)
{
    int code = kCodeOK;
    try {
        result.clear();
        const Function body = FindFunction(id);
        code = body != nullptr ? body(*this, arguments, result) : static_cast<int>(kCodeNoSuchFunction);
    } catch (const std::exception& thrown) {
        // Whatever a body throws ends only this call; the script sees the code, and its error
        // says why.
        code = kCodeException;
        if (error != nullptr)
            error->setMessage(QENScUtils::UTF8StdStringToMivorString(FunctionName(id) + ": " + thrown.what()));
    } catch (...) {
        code = kCodeException;
    }
    return setError(code, id, error, false);
}

int QENGlobalsLC::ProcessCommand(const QENCommandPtr& command, Mivor::Variant& result)
{
    return SetProcessingResult(engine_.ProcessCommand(command), result);
}

int QENGlobalsLC::SetProcessingResult(QENEngine::ProcessCommandResult processed, Mivor::Variant& result)
{
    switch (processed) {
    case QENEngine::kCommandPerformed:
        result.setBool(true);
        return kCodeOK;
    case QENEngine::kCommandFailed:
        result.setBool(false);
        return kCodeOK;
    case QENEngine::kCommandTerminated:
        result.setBool(false);
        return kCodeTerminated;
    }
    result.setBool(false);
    return kCodeUnexpectedResult;
}

int QENGlobalsLC::RefuseWhileCAPSLocked(const std::string& functionName)
{
    if (!capsLocked_)
        return kCodeOK;
    log_.AppendToLog(LogAppender::kLogError, "Unexpected call to " + functionName + " after CAPS has been locked.");
    return kCodeCAPSLocked;
}

std::string QENGlobalsLC::ToUTF8String(const Mivor::Variant& value)
{
    if (value.isString())
        return QENScUtils::MivorStringToUTF8StdString(value.getString());
    return QENScUtils::MivorStringToUTF8StdString(value.toString());
}

FileSystemPath QENGlobalsLC::ToPath(const Mivor::Variant& value)
{
    const std::string text = ToUTF8String(value);
    const std::string refusal = FileSystemUtils::InvalidPathReason(text);
    if (!refusal.empty())
        throw std::runtime_error(refusal);
    return FileSystemPath(text);
}

std::string QENGlobalsLC::ToOptionalUTF8String(const Mivor::Variant& value)
{
    if (value.isUndefined() || value.isNull())
        return std::string();
    return ToUTF8String(value);
}

bool QENGlobalsLC::ToUTF8StringList(const Mivor::Variant& value, std::vector<std::string>& strings)
{
    Mivor::Array elements;
    if (!value.getArray(elements))
        return false;
    std::vector<std::string> converted;
    for (std::uint32_t i = 0; i < elements.length(); ++i)
        converted.push_back(ToUTF8String(elements[i]));
    strings.swap(converted);
    return true;
}

bool QENGlobalsLC::VariantToCapsDomain(const Mivor::Variant& value, capsDomain& domain)
{
    const std::int32_t number = value.getInt();
    if (number != kCapsDomainInstaller && number != kCapsDomainScripts && number != kCapsDomainProperties)
        return false;
    domain = number;
    return true;
}

void QENGlobalsLC::SetUTF8String(Mivor::Variant& result, const std::string& text)
{
    result.setString(QENScUtils::UTF8StdStringToMivorString(text));
}
