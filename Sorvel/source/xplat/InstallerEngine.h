// InstallerEngine: the one engine object of a Setup run. It owns the command line, the UI mode,
// the payload session, the install thread and the request queue, and turns every outcome of the
// run into the process exit code.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "Shared/PayloadOperationConstants.h"
#include "TolkMessage.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

class Logger;
class PayloadSessionManager;
class ThreadOperation;
class ThreadPayloadOperation;
class ThreadPayloadOperationState;
class TQInitManager;
class UIDriver;
class UIThreadOperationManager;
class UserInterfaceMessagePrompt;

// Enters every argument that begins with "--" into the map: the key runs from the dashes to the
// first "=" (or the end), the value is the rest. The first occurrence of a key wins.
template <class InputIterator, class InsertIterator>
void ArgumentsToArgumentKeyValuePairs(InputIterator first, InputIterator last, InsertIterator inserter)
{
    for (; first != last; ++first) {
        const std::string& argument = *first;
        if (argument.compare(0, 2, "--") != 0)
            continue;
        const std::string::size_type equals = argument.find('=', 2);
        const std::string key = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const std::string value = equals == std::string::npos ? std::string() : argument.substr(equals + 1);
        *inserter++ = std::make_pair(key, value);
    }
}

class InstallerEngine {
public:
    typedef std::map<std::string, std::string> StringMap;

    explicit InstallerEngine(const FileSystemPath& installerParent);
    ~InstallerEngine();
    InstallerEngine(const InstallerEngine&) = delete;
    InstallerEngine& operator=(const InstallerEngine&) = delete;

    // Runs the whole setup and answers the exit code.
    int Main(const std::vector<std::string>& arguments);
    // Builds the argument map and the UI mode; false for a "mode" value that is not accepted.
    bool ProcessArgumentVector(const std::vector<std::string>& arguments);

    std::vector<std::string> GetRawArguments() const { return rawArguments_; }
    boost::shared_ptr<StringMap> GetArgumentMap() const { return argumentMap_; }
    boost::shared_ptr<StringMap> GetPropertyMap() const { return propertyMap_; }
    FileSystemPath GetInstallerParentPath() const { return installerParent_; }
    std::int32_t GetUIMode() const { return uiMode_; }
    void SetExitCode(int code) { exitCode_ = code; }
    int GetExitCode() const { return exitCode_; }
    void SetSessionInitialized(bool initialized) { sessionInitialized_ = initialized; }
    bool GetSessionInitialized() const { return sessionInitialized_; }
    void SetEngineLocale(const std::string& locale) { engineLocale_.reset(new std::string(locale)); }
    void GetEngineLocale(std::string& locale) const
    {
        if (engineLocale_)
            locale = *engineLocale_;
    }
    boost::shared_ptr<UIThreadOperationManager> GetUIThreadOperationManager() const { return uiOperationManager_; }

    // ---- The payload session ----

    // The process-wide payload session, set up on first use; empty when it cannot be set up
    // (every later call tries again).
    boost::shared_ptr<PayloadSessionManager> GetPayloadSessionManager();
    // Initialises the session (full proxy files only in silent mode) and points its payloads at
    // the installation source; the engine keeps no session when either fails.
    boost::shared_ptr<PayloadSessionManager> InitializePayloadSessionManager();
    // Points the session's payloads at the installation source: the installer parent when the
    // command line names it, else the source path recorded for the session's collection, else
    // the installer parent. False without a session.
    bool UpdatePayloadMediaData();

    // ---- The install thread (interface thread only) ----

    // Starts the operation on a new install thread and takes over the caller's pointer. False,
    // starting nothing, while an operation runs, for an empty operation, before the request
    // queue exists, or when no thread can be started. Clears the bootstrapping flag in any case.
    bool InstallPayload(boost::shared_ptr<ThreadOperation>& operation);
    // Installs (action 0, from "Bootstrapper.dmg" in the installer parent) or uninstalls (action
    // 2) the session's bootstrapper on the install thread, for the session id of the properties
    // or else the session's key. With a "sessionID" the "Sorvel" log moves to a log of its own.
    // False while an operation runs, without a session id, for another action, without the image,
    // or when the thread cannot start. Sets the bootstrapping flag unless refused at once.
    bool InstallBootstrapper(PayloadOperationConstants::InstallAction action, const StringMap& properties);
    // The last status of the install thread and whether it still runs; false, with the outputs
    // unchanged, before the first operation.
    bool GetInstallThreadStatus(bool& running, ThreadPayloadOperationState& state);
    // Queues a message for the running operation; false when none runs.
    bool PostThreadMessage(TolkMessage message);
    // The oldest question of the install thread (its JSON and message id); true with nothing
    // waiting when there is no request queue.
    bool PeekInstallThreadMessage(bool& waiting, std::string& messageId, std::string& json);
    // Answers the oldest question when the id matches it; true when there is no request queue.
    bool PostInstallThreadMessageResult(const std::string& messageId, unsigned long option);
    // Returns once no operation runs on the install thread, serving the run loop meanwhile. With
    // cancel, the running operation is asked to stop (it still rolls back what it did) and its
    // question whether to is answered yes; without, it runs to its end and each question it asks
    // gets no answer (0). The final status goes to state; false when no operation ever ran.
    bool FinishInstallThread(bool cancel, ThreadPayloadOperationState& state);
    // Returns once no operation runs on the install thread: each question it asks is answered
    // with the answer (after onQuestion has seen its JSON), and between looks the caller's run
    // loop is served for up to pollSeconds (afterSleep is told each time a whole interval
    // passed; a look ends early once the thread stops or asks). The final status goes to state;
    // false when no operation ever ran.
    typedef std::function<void(const std::string& json)> QuestionObserver;
    bool WaitForInstallThread(unsigned long answer, unsigned long pollSeconds, ThreadPayloadOperationState& state,
                              const QuestionObserver& onQuestion = QuestionObserver(),
                              const std::function<void()>& afterSleep = std::function<void()>());

    // ---- Bootstrapper and media ----

    // The parameters of the session's bootstrapper: the driver payload's add/remove entries,
    // product name, install folder and the flags of a bootstrapper install. False only without
    // a payload session.
    bool GetBootstrapperInstallParams(StringMap& params);
    // The media-optimisation workflow: 0, 3 (scripting engine) or 13.
    int DoMediaOptimizationWorkflow();

    // ---- Kept without callers ----

    // The number of session payloads and each code by its position; existing keys stay. False
    // without a session or payloads.
    bool AddCAPSPropertiesToPropertyMap();
    // Each refuses while an operation runs, sets up the payload session and answers false.
    bool BeginInstallation();
    bool BeginBootstrap();
    bool InitializePropertyMapDefaults();
    // Uninstalls the session's bootstrapper on the install thread when the session's collection
    // is recorded without an installed payload; the start's result, false in every other case.
    bool BeginUninstallBootstrap();

    // Test hook: the request queue that Main creates before it runs the driver.
    void SetUIThreadOperationManagerForTesting(const boost::shared_ptr<UIThreadOperationManager>& manager)
    {
        uiOperationManager_ = manager;
    }

    // The engine's platform half: the minimum-system check, the bootstrapper's image and folder.
    class InstallerEnginePlatformMethods {
    public:
        // 0, or 9 (system too old), 10 (start-up volume unsuitable), 12 (database damaged),
        // each after an alert through the driver when there is one.
        static int ValidateBareMinimumOSRequirements(boost::shared_ptr<UIDriver> driver);
        // base joined with "Bootstrapper.dmg"; false when base is missing, else whether that exists.
        static bool GetBootstrapperPayloadPath(const FileSystemPath& base, FileSystemPath& path);
        // The "OrvexCommon" folder, then "Installers", then the session key.
        static bool GetBootstrapperINSTALLDIR(const std::string& sessionKey, FileSystemPath& path);
        // Nothing to prepare on this platform: logs so and answers true.
        static bool OptimizeForMedia(const StringMap& arguments, const StringMap& parameters, Logger* logger);
        // Takes back (or finishes) the payload runs whose processes died, before anything reads
        // the installation database; what it does goes to the log. Nothing when this process
        // could not change what they changed (it may not write their journals' folder).
        static void RecoverInterruptedRuns(Logger* logger);
    };

    // Read by the wizard's quit handler: the bootstrapper is uninstalled again only when false.
    bool bootstrapping_;

private:
    // Creates the driver of the UI mode and answers the name printed for it.
    std::string CreateUIDriver();
    // Starts the scripting frameworks once for the process; false when they cannot start.
    bool StartScriptingEngine();
    void ReleasePayloadSession();
    bool InstallThreadRunning() const;
    bool SleepUnlessThreadEnds(unsigned long seconds);
    // Starts the operation on a new install thread (replacing the finished one) and takes over
    // the pointer; false without the request queue or when no thread can be started.
    bool StartInstallThread(boost::shared_ptr<ThreadOperation>& operation);

    std::vector<std::string> rawArguments_;
    boost::shared_ptr<StringMap> argumentMap_;
    std::int32_t uiMode_;
    boost::shared_ptr<PayloadSessionManager> sessionManager_;
    FileSystemPath installerParent_;
    boost::shared_ptr<StringMap> propertyMap_;
    boost::shared_ptr<UIDriver> uiDriver_;
    boost::shared_ptr<ThreadPayloadOperation> installThread_;
    boost::shared_ptr<UIThreadOperationManager> uiOperationManager_;
    boost::shared_ptr<std::vector<UserInterfaceMessagePrompt> > promptList_;
    boost::shared_ptr<TQInitManager> scriptingGuard_;
    boost::shared_ptr<std::string> engineLocale_;
    int exitCode_;
    bool sessionInitialized_;
};
