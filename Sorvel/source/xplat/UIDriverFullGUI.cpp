#include "UIDriverFullGUI.h"

#include "Common/source/mac/AuthExec.h"
#include "Common/source/xplat/FileSystemPath.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "Common/source/xplat/LocalizationUtilities.h"
#include "Common/source/xplat/LogFactory.h"
#include "Common/source/xplat/RunReport.h"
#include "InstallerEngine.h"
#include "JSMethodPublisherGroup.h"
#include "Sorvel/source/mac/PrivilegedCopy.h"
#include "Sorvel/source/mac/SorvelCommonTQEngine.h"
#include "Sorvel/source/mac/TesselUtils.h"
#include "SorvelConstants.h"
#include "SorvelDataAccess.h"
#include "SorvelMutationAccess.h"
#include "caps/caps.h"

#include "platform/Bundle.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iostream>

namespace {

const char* const kLanguageScripts[] = {"utils.js", "ContainerProxy.js", "localization.js"};
const char kLanguageProbeCall[] = "_tesselGetSingleLanguage();";

// The files are evaluated as one text; a file whose last line has no line end would run into
// the next one, so it gets one.
void AppendScript(std::string& script, const std::string& piece)
{
    if (!script.empty() && script[script.size() - 1] != '\n')
        script += '\n';
    script += piece;
}

// "utils.js", "ContainerProxy.js" and "localization.js" from the wizard's scripts folder (a file
// that cannot be read is left out), then the call that answers the payload language.
std::string LanguageProbeScript(const FileSystemPath& installerParent)
{
    FileSystemPath folder(installerParent);
    folder.AppendUTF8Segment("resources").AppendUTF8Segment("common").AppendUTF8Segment("scripts");
    std::string script;
    for (const char* name : kLanguageScripts) {
        FileSystemPath path(folder);
        path.AppendUTF8Segment(name);
        std::vector<std::uint8_t> bytes;
        if (FileSystemUtils::LoadFileContents(path, bytes))
            AppendScript(script, std::string(bytes.begin(), bytes.end()));
    }
    AppendScript(script, kLanguageProbeCall);
    return script;
}

// The publishers the probe's scripts may call: data access, then mutation access.
JSMethodPublisherGroup::PublisherList MakeProbePublishers(InstallerEngine& engine, Logger* logger)
{
    JSMethodPublisherGroup::PublisherList publishers;
    publishers.push_back(JSMethodPublisherGroup::PublisherPtr(new SorvelDataAccess(&engine, logger)));
    publishers.push_back(JSMethodPublisherGroup::PublisherPtr(new SorvelMutationAccess(&engine, logger)));
    return publishers;
}

}  // namespace

InstallerEngine* UIDriverFullGUI::UIDriverFullGUIData::sInstallerEngine = nullptr;
bool UIDriverFullGUI::UIDriverFullGUIData::sGUIInitialized = false;

UIDriverFullGUI::UIDriverFullGUI(InstallerEngine& engine) : UIDriver(engine), data_(new UIDriverFullGUIData)
{
    UIDriverFullGUIData::sInstallerEngine = &engine;
    UIDriverFullGUIData::sGUIInitialized = false;
}

bool UIDriverFullGUI::Run()
{
    if (!engine_.GetPayloadSessionManager()) {
        RunReport::NoteError("Unable to initialize the session manager");
        return false;
    }

    // The probe's publishers and engine stay alive for the whole wizard run; the bridge is
    // declared after the group because its script globals point into it.
    Logger* logger = LogFactory::Instance().GetLogger(SorvelConstants::kSorvelLog);
    JSMethodPublisherGroup publishers(MakeProbePublishers(engine_, logger));
    SorvelCommonTQEngine bridge(publishers);
    Mivor::Variant result;
    std::string errorText;
    if (bridge.EvalScript(LanguageProbeScript(engine_.GetInstallerParentPath()), result, errorText) &&
        !result.isUndefined()) {
        if (!result.isString())
            result.doToString(10);
        const std::string language = TesselUtils::MivorToUTF8(result.getString());
        if (!language.empty())
            engine_.SetEngineLocale(language);
    }

    RespawnAndAuthorizeIfNeeded(engine_);
    // Only a wizard told not to relaunch runs here without administrator rights. Whether its
    // operations fail for that depends on who may write the installation database's folders: in a
    // system root of the user's own (as the example runners make them) the user installs there.
    if (geteuid() != 0) {
        std::string database;
        std::string backup;
        const bool mayWriteDatabase =
            capsGetDatabaseFiles(database, backup) &&
            access(FileSystemPath(database).Parent().AsUTF8String().c_str(), W_OK | X_OK) == 0 &&
            access(FileSystemPath(backup).Parent().AsUTF8String().c_str(), W_OK | X_OK) == 0;
        const std::string warning =
            mayWriteDatabase
                ? "Setup runs without administrator rights (-norespawn), as user ID " + std::to_string(geteuid()) +
                      ", who may write the installation database of this system root: it installs, repairs and "
                      "removes payloads there as that user, and fails wherever that user may not write."
                : "Setup runs without administrator rights (-norespawn): installing, repairing and removing payloads "
                  "will fail. Start it without -norespawn so that it relaunches itself with them.";
        std::cerr << "Setup: " << warning << std::endl;
        if (logger != nullptr)
            logger->AppendToLog(LogAppender::kLogWarn, warning);
    }
    if (!RunApplicationMain(engine_.GetRawArguments())) {
        RunReport::NoteError("Unable to open a display for the wizard.");
        return false;
    }
    return true;
}

void UIDriverFullGUI::RespawnAndAuthorizeIfNeeded(InstallerEngine& engine)
{
    std::string interfaceLanguage;
    LocalizationUtilities::GetUserInterfaceLanguage(interfaceLanguage);
    std::string payloadLanguage;
    engine.GetEngineLocale(payloadLanguage);
    const RelaunchDecision decision =
        DecideRelaunch(engine.GetRawArguments(), geteuid(), interfaceLanguage, payloadLanguage);
    if (!decision.relaunch)
        return;

    AuthExec exec;
    const int authorized = exec.preAuthorize();
    if (authorized != 0)
        std::exit(RelaunchExitCode(authorized, false, 0));

    Logger* logger = LogFactory::Instance().GetLogger(SorvelConstants::kSorvelLog);
    if (logger != nullptr && geteuid() != 0) {
        logger->AppendToLog(LogAppender::kLogInfo, "Starting authenticated installer...");
        logger->AppendToLog(LogAppender::kLogInfo,
                            "See the system-wide log file under /Library/... for additional log messages.");
    }
    std::string executable;
    platform::BundlePtr bundle = platform::Bundle::Main();
    if (bundle)
        bundle->ExecutablePath(executable);
    std::string command;
    std::vector<std::string> commandArguments;
    if (!executable.empty())
        PrivilegedCommand(executable, decision.arguments, command, commandArguments);
    exec.setArguments(commandArguments);
    exec.setCommand(command);
    const bool ran = exec.execute();
    std::exit(RelaunchExitCode(0, ran, exec.waitStatus()));
}

UIDriverFullGUI::RelaunchDecision UIDriverFullGUI::DecideRelaunch(const std::vector<std::string>& rawArguments,
                                                                  uid_t effectiveUser,
                                                                  const std::string& interfaceLanguage,
                                                                  const std::string& payloadLanguage)
{
    RelaunchDecision decision;
    const bool languageGiven =
        std::find(rawArguments.begin(), rawArguments.end(), "-AppleLanguages") != rawArguments.end();
    decision.languagesDiffer =
        !languageGiven && !interfaceLanguage.empty() && !payloadLanguage.empty() && interfaceLanguage != payloadLanguage;
    if (!decision.languagesDiffer && effectiveUser == 0)
        return decision;
    if (std::find(rawArguments.begin(), rawArguments.end(), "-norespawn") != rawArguments.end())
        return decision;
    decision.relaunch = true;
    if (!rawArguments.empty())
        decision.arguments.assign(rawArguments.begin() + 1, rawArguments.end());
    if (decision.languagesDiffer) {
        decision.arguments.push_back("-AppleLanguages");
        decision.arguments.push_back("(" + payloadLanguage + ")");
    }
    return decision;
}

void UIDriverFullGUI::PrivilegedCommand(const std::string& executable, const std::vector<std::string>& arguments,
                                        std::string& command, std::vector<std::string>& commandArguments)
{
    // The authoriser runs Setup itself (its prompt and rules name Setup), which takes the values
    // it is handed from its arguments and checks them.
    command = executable;
    commandArguments = PrivilegedCopy::ValueArguments();
    commandArguments.insert(commandArguments.end(), arguments.begin(), arguments.end());
}

int UIDriverFullGUI::RelaunchExitCode(int preAuthorizeResult, bool copyRan, int copyWaitStatus)
{
    if (preAuthorizeResult == 1)
        return 0;
    if (preAuthorizeResult != 0 || !copyRan || !WIFEXITED(copyWaitStatus))
        return 4;
    return WEXITSTATUS(copyWaitStatus);
}
