#include "QENEngineMac.h"

#include "Common/source/mac/FolderResolver.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "QEN/source/mac/livecomponents/QENGlobalsLC.h"
#include "QEN/source/mac/livecomponents/QENPathAttributesLO.h"
#include "QENCAPSRunSession.h"
#include "QENScUtils.h"
#include "Shared/TolkConstants.h"

#include "platform/Bundle.h"
#include "platform/PlatformSettings.h"
#include "platform/files/FileNotifications.h"
#include "platform/files/TrustedPath.h"

#include <boost/format.hpp>

#include <exception>
#include <vector>

const char* const QENEngineMac::kPropPayload = "QEN_PAYLOAD";
const char* const QENEngineMac::kPropOverrides = "QEN_OVERRIDES";
const char* const QENEngineMac::kPropAssets = "QEN_ASSETS";
const char* const QENEngineMac::kPropInstallMode = "INSTALL_MODE";
const char* const QENEngineMac::kPropOrvexCode = "orvexCode";
const char* const QENEngineMac::kDefaultInstallLanguage = "en_US";
const char* const QENEngineMac::kProxyFileName = "Proxy.xml";
const char* const QENEngineMac::kAssetsFolderName = "Assets";
const char* const QENEngineMac::kConditionsScript = "Conditions.js";
const char* const QENEngineMac::kInstructionsScript = "Instructions.js";
const char* const QENEngineMac::kSetupScript = "InstallSetup.js";
const char* const QENEngineMac::kConditionsPrefixScript = "InstallConditionsPrefix.js";
const char* const QENEngineMac::kConditionsSuffixScript = "InstallConditionsSuffix.js";

namespace {

// The folder keys every run resolves, in the order they are set.
const char* const kPathTokens[] = {
    "OrvexCommon", "OrvexProgramFiles", "Common",           "ProgramFiles",     "SharedApplicationData",
    "SharedDocuments", "Utilities",     "FontsFolder",      "Library",          "ScriptingAdditions",
    "InternetPlugins", "ColorSyncProfiles", "UserInternetPlugins", "UserPreferences",
};

const std::size_t kMaxScriptPathLength = 1024;

const char* const kInstallSuffix = "InstallSuffix();\n";
const char* const kRepairSuffix = "RepairSuffix();\n";
const char* const kUninstallSuffix = "UninstallSuffix();\n";
const char* const kPayloadSuffix = "PayloadSuffix();\n";

}  // namespace

// ---- Static entry points ----

bool QENEngine::InstallPayload(QENController& controller, LogAppender& log, const FileSystemPath& payloadPath,
                               const PropertyMap& clientProperties)
{
    QENEngineMac engine(controller, log, payloadPath, clientProperties);
    return engine.InstallQENPayload();
}

bool QENEngine::RepairPayload(QENController& controller, LogAppender& log, const FileSystemPath& payloadPath,
                              const PropertyMap& clientProperties)
{
    QENEngineMac engine(controller, log, payloadPath, clientProperties);
    return engine.RepairQENPayload();
}

bool QENEngine::UninstallPayload(QENController& controller, LogAppender& log, const std::string& identifier,
                                 const PropertyMap& clientProperties)
{
    QENEngineMac engine(controller, log, identifier, clientProperties);
    return engine.UninstallQENPayload();
}

// ---- Construction ----

QENEngineMac::QENEngineMac(QENController& controller, LogAppender& log, const FileSystemPath& payloadPath,
                           const PropertyMap& clientProperties)
    : QENEngine(controller, log, payloadPath, clientProperties),
      runJournal_(*log_), preludeSaved_(false), replaceStoredScript_(false),
      imageMounter_(new DiskImageMounter(payloadPath)), globals_(nullptr)
{
    SetRunJournal(&runJournal_);
}

QENEngineMac::QENEngineMac(QENController& controller, LogAppender& log, const std::string& identifier,
                           const PropertyMap& clientProperties)
    : QENEngine(controller, log, identifier, clientProperties),
      runJournal_(*log_), preludeSaved_(false), replaceStoredScript_(false), globals_(nullptr)
{
    SetRunJournal(&runJournal_);
}

QENEngineMac::~QENEngineMac()
{
    globals_ = nullptr;
    scriptEngine_.reset();
    payloadDataStore_.reset();
}

// ---- Runs ----

template <typename Steps>
bool QENEngineMac::RunScriptPhase(Steps steps)
{
    try {
        return steps();
    } catch (const std::exception& error) {
        log_->AppendToLog(LogAppender::kLogFatal, std::string("Payload processing stopped by an exception: ") + error.what());
    } catch (...) {
        log_->AppendToLog(LogAppender::kLogFatal, "Payload processing stopped by an unknown exception.");
    }
    return false;
}

bool QENEngineMac::PrepareImageRun(FileSystemPath& mountPoint)
{
    return RunScriptPhase([&]() {
        if (!LoadDeterminedProperties()) {
            log_->AppendToLog(LogAppender::kLogError, "Unable to initialize default properties.");
            return false;
        }
        return MountPayloadImage(mountPoint);
    });
}

void QENEngineMac::InsertImageRunProperties(const FileSystemPath& mountPoint, const std::string& mode)
{
    InsertDeterminedProperty(kPropAssets, FileSystemPath(mountPoint).AppendUTF8Segment(kAssetsFolderName).AsUTF8String());
    InsertDeterminedProperty(kPropInstallMode, mode);
    std::string code;
    if (GetPayloadOrvexCode(code))
        InsertDeterminedProperty(kPropOrvexCode, code);
}

template <typename Body>
bool QENEngineMac::RunFrame(const std::string& beginning, const std::string& completing,
                            const std::string& description, Body body)
{
    log_->AppendToLog(LogAppender::kLogInfo, beginning);
    controller_.InstallStarted();
    runJournal_.Begin(description);
    bool result = false;
    {
        QENCAPSRunSession runSession;  // the database commands of every section write in one transaction
        platform::DeclaredVolumesHold volumes;  // every file operation of the run asks for its volume
        platform::WalkedFoldersHold walks;      // and walks to the same few folders
        RunOutcome outcome;
        body(outcome);
        if (outcome.prepared) {
            if (outcome.succeeded) {
                for (const RunOutcome::Deletion& deletion : outcome.deletions)
                    runJournal_.DeleteWhenCommitted(deletion.path);
            }
            result = EndRun(outcome.succeeded);
            FinishSavedUninstallScripts(result);
            if (result) {
                for (const RunOutcome::Deletion& deletion : outcome.deletions) {
                    if (!FileSystemUtils::DeleteFile(deletion.path, false) &&
                        (!deletion.missingIsFine || FileSystemUtils::Exists(deletion.path)))
                        log_->AppendToLog(LogAppender::kLogError, deletion.failure + deletion.path.AsUTF8String());
                }
            }
            NotifyFoldersChanged();
        }
    }
    // The image goes before the journal does, which the next run would need to find it.
    if (imageMounter_)
        imageMounter_->Release();
    runJournal_.Finish();
    log_->AppendToLog(LogAppender::kLogInfo, completing);
    controller_.InstallComplete(result);
    return result;
}

bool QENEngineMac::InstallQENPayload()
{
    if (!hasPayloadPath_)
        return false;
    const std::string image = payloadPath_.AsUTF8String();
    return RunFrame("Beginning installation for payload at " + image, "Completing installation for payload at " + image,
                    "install " + image, [&](RunOutcome& outcome) {
        FileSystemPath mountPoint(std::string("/"));
        if (!PrepareImageRun(mountPoint))
            return;
        outcome.prepared = true;
        std::vector<FileSystemPath> removalList;
        outcome.succeeded = RunScriptPhase([&]() {
            InsertImageRunProperties(mountPoint, "install");
            std::string identifier;
            if (!ProcessSorvelScript(kSetupScript) || !RemoveUpgradedPayloads(removalList) ||
                !LoadUninstallConditionalData(mountPoint) || !GetPayloadIdentifier(identifier))
                return false;
            // A fresh install records the payload anew: what an earlier install of it stored is
            // replaced, not extended (its entries would run twice, and its database removal a
            // second time, which the one-write rule refuses).
            replaceStoredScript_ = true;
            return ProcessPayloadPrefix(identifier, "install") && ProcessSorvelScript(kConditionsPrefixScript) &&
                   ProcessPayloadScript(mountPoint, kConditionsScript) && ProcessSorvelScript(kConditionsSuffixScript) &&
                   ProcessPayloadScript(mountPoint, kInstructionsScript) &&
                   ProcessUTF8JavaScriptInstructions(kPayloadSuffix) && ProcessUTF8JavaScriptInstructions(kInstallSuffix);
        });
        // A payload that upgrades its own code has just stored its new script and data there.
        FileSystemPath ownScript(std::string("/"));
        FileSystemPath ownDatabase(std::string("/"));
        GetUninstallInstructionsPath(ownScript);
        GetUninstallDBPath(ownDatabase);
        for (const FileSystemPath& path : removalList) {
            if (path != ownScript && path != ownDatabase)
                outcome.deletions.push_back({path, "Unable to delete uninstall data file at", false});
        }
    });
}

bool QENEngineMac::RepairQENPayload()
{
    if (!hasPayloadPath_)
        return false;
    const std::string image = payloadPath_.AsUTF8String();
    return RunFrame("Beginning repair for payload at " + image, "Completing repair for payload at " + image,
                    "repair " + image, [&](RunOutcome& outcome) {
        FileSystemPath mountPoint(std::string("/"));
        if (!PrepareImageRun(mountPoint))
            return;
        outcome.prepared = true;
        outcome.succeeded = RunScriptPhase([&]() {
            InsertImageRunProperties(mountPoint, "repair");
            std::string identifier;
            return ProcessSorvelScript(kSetupScript) && GetPayloadIdentifier(identifier) &&
                   ProcessPayloadPrefix(identifier, "repair") && ProcessSorvelScript(kConditionsPrefixScript) &&
                   ProcessPayloadScript(mountPoint, kConditionsScript) && ProcessSorvelScript(kConditionsSuffixScript) &&
                   ProcessPayloadScript(mountPoint, kInstructionsScript) &&
                   ProcessUTF8JavaScriptInstructions(kPayloadSuffix) && ProcessUTF8JavaScriptInstructions(kRepairSuffix);
        });
    });
}

bool QENEngineMac::UninstallQENPayload()
{
    return RunFrame("Beginning uninstallation for payload.", "Completing uninstallation for payload.",
                    "uninstall " + identifier_, [&](RunOutcome& outcome) {
        FileSystemPath scriptPath(std::string("/"));
        outcome.prepared = RunScriptPhase([&]() {
            if (!LoadDeterminedProperties()) {
                log_->AppendToLog(LogAppender::kLogError, "Unable to initialize default properties.");
                return false;
            }
            if (!GetUninstallInstructionsPath(scriptPath)) {
                log_->AppendToLog(LogAppender::kLogError, "Unable to locate uninstall instructions.");
                return false;
            }
            return true;
        });
        if (!outcome.prepared)
            return;
        outcome.succeeded = RunScriptPhase([&]() {
            InsertDeterminedProperty(kPropInstallMode, "remove");
            log_->AppendToLog(LogAppender::kLogInfo, "BEGIN - QEN Uninstall properties");
            const PropertyMap all = GetAllProperties();
            for (const PropertyMap::value_type& entry : all)
                log_->AppendToLog(LogAppender::kLogInfo, (boost::format("%1%=%2%") % entry.first % entry.second).str());
            log_->AppendToLog(LogAppender::kLogInfo, "END - QEN Uninstall properties");
            std::string identifier;
            return ProcessSorvelScript(kSetupScript) && GetPayloadIdentifier(identifier) &&
                   ProcessPayloadPrefix(identifier, "remove") && ProcessSorvelScript(kConditionsPrefixScript) &&
                   ProcessStoredUninstallScript(scriptPath) && ProcessUTF8JavaScriptInstructions(kPayloadSuffix) &&
                   ProcessUTF8JavaScriptInstructions(kUninstallSuffix);
        });
        outcome.deletions.push_back({scriptPath, "Unable to delete uninstall instructions at", false});
        // A payload that never made an uninstall database has none to delete.
        FileSystemPath databasePath(std::string("/"));
        if (GetUninstallDBPath(databasePath))
            outcome.deletions.push_back({databasePath, "Unable to delete uninstall db at ", true});
    });
}

bool QENEngineMac::MountPayloadImage(FileSystemPath& mountPoint)
{
    log_->AppendToLog(LogAppender::kLogDebug, "Mounting payload image at " + payloadPath_.AsUTF8String());
    if (!imageMounter_)
        return false;
    FileSystemPath planned(std::string("/"));
    if (!imageMounter_->IsMounted()) {
        // Noted before the folder is made: whenever the run dies, the next one finds the mount.
        FileSystemUtils::ClearFailureReason();
        const bool mounted = imageMounter_->MountHidden([this, &planned](const FileSystemPath& folder) {
            planned = folder;
            runJournal_.NoteMount(folder);
        });
        if (!mounted) {
            // The tool's words are the run's reason (an image cut short, damaged or not copied
            // whole), or why the tool was not run at all (another user could have planted it).
            std::string reason = imageMounter_->AttachFailure();
            if (reason.empty())
                reason = FileSystemUtils::LastFailureReason();
            log_->AppendToLog(LogAppender::kLogError, "Unable to mount the payload image " +
                                                          payloadPath_.AsUTF8String() +
                                                          (reason.empty() ? "" : ": " + reason));
            return false;
        }
    }
    if (!imageMounter_->GetMountPoint(mountPoint))
        return false;
    if (mountPoint != planned)
        runJournal_.NoteMount(mountPoint);
    log_->AppendToLog(LogAppender::kLogDebug, "Payload mounted at " + mountPoint.AsUTF8String());
    return true;
}

bool QENEngineMac::ProcessPayloadPrefix(const std::string& identifier, const std::string& mode)
{
    if (globals_ != nullptr)
        globals_->BeginPayloadSection();
    // The identifier goes into a quoted script literal: a quote, backslash or line break in it
    // must not end the literal early or add code of its own.
    std::string literal;
    for (char c : identifier) {
        switch (c) {
        case '\\': literal += "\\\\"; break;
        case '\'': literal += "\\'"; break;
        case '\n': literal += "\\n"; break;
        case '\r': literal += "\\r"; break;
        default: literal += c;
        }
    }
    // U+2028 and U+2029 end a line in scripts too.
    for (const char* separator : {"\xE2\x80\xA8", "\xE2\x80\xA9"}) {
        std::string::size_type at;
        while ((at = literal.find(separator)) != std::string::npos)
            literal.replace(at, 3, separator[2] == '\xA8' ? "\\u2028" : "\\u2029");
    }
    return ProcessUTF8JavaScriptInstructions((boost::format("PayloadPrefix('%1%', '%2%');\n") % literal % mode).str());
}

void QENEngineMac::NotifyFoldersChanged()
{
    platform::NotifyAll(platform::kNotifyDirectoryModified, 0);
}

// ---- Properties ----

bool QENEngineMac::LoadDeterminedProperties()
{
    log_->AppendToLog(LogAppender::kLogDebug, "Setting determined properties...");
    if (hasPayloadPath_) {
        InsertDeterminedProperty(kPropPayload, payloadPath_.AsUTF8String());
        InsertDeterminedProperty(kPropOverrides, payloadPath_.Parent().AppendUTF8Segment("overrides").AsUTF8String());
    }
    if (clientProperties_.find(TolkConstants::kPropInstallLanguage) == clientProperties_.end())
        InsertDeterminedProperty(TolkConstants::kPropInstallLanguage, kDefaultInstallLanguage);
    for (const char* token : kPathTokens) {
        if (!AddPropertyForPathToken(token))
            return false;
    }
    return true;
}

bool QENEngineMac::AddPropertyForPathToken(const std::string& token)
{
    FileSystemPath folder(std::string("/"));
    if (!FolderResolver::ExpandPathKey(token, folder)) {
        log_->AppendToLog(LogAppender::kLogError, "Unable to locate folder for token " + token + ".");
        return false;
    }
    InsertDeterminedProperty(token, folder.AsUTF8String());
    return true;
}

// ---- Scripts ----

Pelvo::EnginePtr QENEngineMac::GetJavaScriptEngine()
{
    if (scriptEngine_)
        return scriptEngine_;
    Pelvo::EnginePtr engine = Pelvo::Engine::createEngine(Pelvo::Engine::kTypeJavaScript);
    if (!engine)
        return scriptEngine_;
    QENPathAttributesLO* pathAttributes = new QENPathAttributesLO;
    const int registered = Mivor::LiveObject::addFactory(pathAttributes, Mivor::LiveObject::kFactoryScriptClass);
    pathAttributes->release();
    if (registered != 0)
        return scriptEngine_;
    Pelvo::LiveObjectAPI* live = engine->getInterface(Pelvo::Engine::kLiveObjectInterface);
    if (live == nullptr)
        return scriptEngine_;
    Mivor::LiveObject* global = live->getGlobalObject();
    QENGlobalsLC* globals = new QENGlobalsLC(*this, controller_, *log_);
    const int added = global->addComponent(globals);
    globals->release();
    if (added == 0) {
        scriptEngine_ = engine;
        globals_ = globals;
    }
    return scriptEngine_;
}

bool QENEngineMac::ProcessUTF8JavaScriptInstructions(const std::string& text, std::int32_t firstLine)
{
    std::string copy(text);
    return ProcessUTF8JavaScriptText(copy, firstLine);
}

bool QENEngineMac::ProcessUTF8JavaScriptText(std::string& text, std::int32_t firstLine,
                                             const std::vector<std::string>& keptFunctions)
{
    Pelvo::EnginePtr engine = GetJavaScriptEngine();
    if (!engine) {
        log_->AppendToLog(LogAppender::kLogError, "Unable to initialize JavaScript engine for processing commands.");
        return false;
    }
    Mivor::Variant result;
    if (engine->evalText(text, result, firstLine, keptFunctions))
        return true;
    ReportScriptFailure(*engine);
    return false;
}

bool QENEngineMac::ProcessJavaScriptCalls(const std::vector<Pelvo::Engine::CallStatement>& statements)
{
    Pelvo::EnginePtr engine = GetJavaScriptEngine();
    if (!engine) {
        log_->AppendToLog(LogAppender::kLogError, "Unable to initialize JavaScript engine for processing commands.");
        return false;
    }
    if (engine->runCalls(statements))
        return true;
    ReportScriptFailure(*engine);
    return false;
}

void QENEngineMac::ReportScriptFailure(Pelvo::Engine& engine)
{
    const std::string error = QENScUtils::MivorStringToUTF8StdString(engine.getError().getFullText());
    engine.clearError();
    // A run stopped on request (the user cancelled it) ends its script through the command that
    // was refused: that is how a stop works, not an error of the script.
    if (WasTerminated()) {
        log_->AppendToLog(LogAppender::kLogInfo, "JavaScript processing stopped on request: " + error);
        return;
    }
    log_->AppendToLog(LogAppender::kLogFatal, "JavaScript processing failed with error:");
    log_->AppendToLog(LogAppender::kLogFatal, error);
}

bool QENEngineMac::ReadInstructions(const FileSystemPath& path, std::string& text, bool keptBySetup)
{
    log_->AppendToLog(LogAppender::kLogInfo, "Reading instructions from " + path.AsUTF8String());
    // What Setup stored is played as root: only a script that no other user can have written or
    // put in its place is read, and the refusal is the run's reason.
    FileSystemUtils::ClearFailureReason();
    if (keptBySetup ? FileSystemUtils::LoadKeptFileContents(path, text) : FileSystemUtils::LoadFileContents(path, text))
        return true;
    const std::string reason = FileSystemUtils::LastFailureReason();
    log_->AppendToLog(LogAppender::kLogError, "Unable to read instructions from " + path.AsUTF8String() +
                                                  (reason.empty() ? "" : ": " + reason));
    return false;
}

bool QENEngineMac::ProcessJavaScriptInstructionsFile(const FileSystemPath& path)
{
    std::string text;
    return ReadInstructions(path, text, false) && ProcessUTF8JavaScriptText(text);
}

bool QENEngineMac::ProcessPayloadScript(const FileSystemPath& folder, const std::string& fileName)
{
    FileSystemPath path(folder);
    path.AppendUTF8Segment(fileName);
    if (!FileSystemUtils::Exists(path)) {
        log_->AppendToLog(LogAppender::kLogError, "Unable to locate payload script " + fileName);
        return false;
    }
    return ProcessJavaScriptInstructionsFile(path);
}

bool QENEngineMac::ProcessSorvelScript(const std::string& fileName)
{
    FileSystemPath path(std::string("/"));
    if (!GetSorvelScriptPath(fileName, path)) {
        log_->AppendToLog(LogAppender::kLogError, "Unable to locate Sorvel script " + fileName);
        return false;
    }
    return ProcessJavaScriptInstructionsFile(path);
}

bool QENEngineMac::GetSorvelScriptPath(const std::string& fileName, FileSystemPath& path)
{
    platform::BundlePtr bundle = platform::Bundle::Main();
    if (!bundle)
        return false;
    const std::string folder = bundle->SharedSupportPath();
    bool isDirectory = false;
    if (folder.empty() || folder.size() >= kMaxScriptPathLength || folder[0] != '/')
        return false;
    FileSystemPath script(folder);
    if (!FileSystemUtils::IsDirectory(script, isDirectory) || !isDirectory)
        return false;
    script.AppendUTF8Segment(fileName);
    if (!FileSystemUtils::Exists(script))
        return false;
    path = script;
    return true;
}

// ---- The payload ----

boost::shared_ptr<PayloadProxy::ProxyFileDataStore> QENEngineMac::GetPayloadDataStorePtr()
{
    if (!payloadDataStore_ && imageMounter_) {
        FileSystemPath mountPoint(std::string("/"));
        if ((imageMounter_->IsMounted() || imageMounter_->MountHidden()) && imageMounter_->GetMountPoint(mountPoint)) {
            mountPoint.AppendUTF8Segment(kProxyFileName);
            boost::shared_ptr<PayloadProxy::ProxyFileDataStore> store(new PayloadProxy::ProxyFileDataStore);
            if (store->Load(mountPoint.AsUTF8String()))
                payloadDataStore_ = store;
        }
    }
    return payloadDataStore_;
}

bool QENEngineMac::GetPayloadOrvexCode(std::string& code)
{
    if (!identifier_.empty()) {
        code = identifier_;
        return true;
    }
    boost::shared_ptr<PayloadProxy::ProxyFileDataStore> store = GetPayloadDataStorePtr();
    if (!store)
        return false;
    std::map<std::string, std::string> properties;
    if (!store->InstallerProperties().Get(properties))
        return false;
    std::map<std::string, std::string>::const_iterator found = properties.find("OrvexCode");
    // An empty code names no payload: the session's identifier is then the better name.
    if (found == properties.end() || found->second.empty())
        return false;
    identifier_ = found->second;
    code = identifier_;
    return true;
}

bool QENEngineMac::GetPayloadIdentifier(std::string& identifier)
{
    return GetPayloadOrvexCode(identifier) || GetProperty(TolkConstants::kPropSessionID, identifier);
}
