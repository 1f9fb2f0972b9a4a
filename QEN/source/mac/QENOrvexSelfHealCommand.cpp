#include "QENOrvexSelfHealCommand.h"

#include "Common/source/mac/BundleUtils.h"
#include "Common/source/mac/MacUtils.h"

#include "platform/BundleCode.h"
#include "platform/Folders.h"
#include "platform/formats/PropertyList.h"

#include <boost/format.hpp>

#include <stdexcept>

using platform::PropertyValue;

const char* const QENOrvexSelfHealCommand::kRepairFunctionName = "SHRepair";

QENOrvexSelfHealCommand::QENOrvexSelfHealCommand(LogAppender& log, const FileSystemPath& path,
                                                 const std::string& installMode)
    : QENCommand(log), path_(path), installMode_(installMode)
{
}

std::string QENOrvexSelfHealCommand::GetName() const
{
    return "QENOrvexSelfHealCommand";
}

bool QENOrvexSelfHealCommand::DoPerform()
{
    const std::string path = path_.AsUTF8String();
    platform::BundlePtr framework =
        BundleUtils::CreateEnclosingCFBundleOfType(path_, platform::FourCharCode('F', 'M', 'W', 'K'), true);
    if (!framework) {
        log_.AppendToLog(LogAppender::kLogError,
                         (boost::format("Unable to locate enclosing framework bundle for path \"%1%\"") % path).str());
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("Found framework bundle containing path \"%1%\"") % path).str());

    // The application only has to be there; the framework finds its own way to it.
    platform::BundlePtr application =
        BundleUtils::CreateEnclosingCFBundleOfType(path_, platform::FourCharCode('A', 'P', 'P', 'L'), true);
    if (!application) {
        log_.AppendToLog(LogAppender::kLogError,
                         (boost::format("Unable to locate enclosing application bundle for path \"%1%\"") % path).str());
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("Found application bundle containing path \"%1%\"") % path).str());

    platform::PropertyValuePtr options = PropertyValue::MakeDictionary();
    options->Set("SUPPRESS_PREFERENCE_UI", PropertyValue::MakeBoolean(true));
    options->Set("RUN_SILENT_INSTALL", PropertyValue::MakeBoolean(true));
    if (!installMode_.empty()) {
        try {
            MacUtils::UTF8StdStringCreateCFStringRef(installMode_);
        } catch (const std::runtime_error&) {
            log_.AppendToLog(LogAppender::kLogError,
                             (boost::format("Unable to create string for install mode \"%1%\"") % installMode_).str());
            return false;
        }
        options->Set("INSTALL_MODE", PropertyValue::MakeString(installMode_));
        log_.AppendToLog(LogAppender::kLogDebug, (boost::format("Using install mode \"%1%\"") % installMode_).str());
    }
    std::string optionsText;
    if (!platform::SerializePropertyListXML(*options, optionsText)) {
        log_.AppendToLog(LogAppender::kLogError, "Unable to allocate self healing arguments");
        return false;
    }

    const SHRepairFunction repair =
        reinterpret_cast<SHRepairFunction>(platform::BundleFunctionPointerForName(*framework, kRepairFunctionName));
    if (repair == nullptr) {
        log_.AppendToLog(LogAppender::kLogError,
                         (boost::format("Unable to load SHRepair from framework with executable at \"%1%\"") % path)
                             .str());
        return false;
    }

    const char* frameworkArgument = framework->Path().c_str();
    const char* optionsArgument = optionsText.c_str();
    const int result = repair(&frameworkArgument, nullptr, &optionsArgument);
    if (result != 0) {
        log_.AppendToLog(LogAppender::kLogError,
                         (boost::format("OrvexSelfHealing SHRepair failed with error code %1%") % result).str());
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, (boost::format("Self healing with \"%1%\" succeeded") % path).str());
    return true;
}

bool QENOrvexSelfHealCommand::DoRollback()
{
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("Rollback of self-healed assets is not supported for OrvexSelfHealing at \"%1%\" and "
                                    "install mode \"%2%\"") %
                      path_.AsUTF8String() % installMode_)
                         .str());
    return false;
}

bool QENOrvexSelfHealCommand::DoCommit()
{
    return true;
}
