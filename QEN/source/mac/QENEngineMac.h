// QENEngineMac: the command engine the system runs. It mounts a command payload image, offers
// the scripts the engine properties, evaluates the setup program's support scripts and the
// payload's scripts in one script engine whose globals create commands, commits or rolls back
// what they performed, and records, saves and plays back the payload's uninstall script.
#pragma once

#include "Common/source/mac/DiskImageMounter.h"
#include "Common/source/mac/TQInitManager.h"
#include "QENEngine.h"
#include "QENRunJournal.h"
#include "Shared/ProxyFileDataStore.h"

#include "platform/script/Pelvo.h"

#include <boost/shared_ptr.hpp>

class QENGlobalsLC;

#include <set>
#include <string>
#include <vector>

class QENEngineMac : public QENEngine {
public:
    // Names of the determined properties the scripts see.
    static const char* const kPropPayload;       // "QEN_PAYLOAD": the payload image
    static const char* const kPropOverrides;     // "QEN_OVERRIDES": "overrides" beside the image
    static const char* const kPropAssets;        // "QEN_ASSETS": "Assets" on the mounted image
    static const char* const kPropInstallMode;   // "INSTALL_MODE": "install", "repair" or "remove"
    static const char* const kPropOrvexCode;     // "orvexCode": the payload code of the image
    static const char* const kDefaultInstallLanguage;  // "en_US"

    // The payload image's own files, and the setup program's support scripts.
    static const char* const kProxyFileName;       // "Proxy.xml"
    static const char* const kAssetsFolderName;    // "Assets"
    static const char* const kConditionsScript;    // "Conditions.js"
    static const char* const kInstructionsScript;  // "Instructions.js"
    static const char* const kSetupScript;               // "InstallSetup.js"
    static const char* const kConditionsPrefixScript;    // "InstallConditionsPrefix.js"
    static const char* const kConditionsSuffixScript;    // "InstallConditionsSuffix.js"

    // Both throw std::runtime_error when the scripting frameworks cannot be started.
    QENEngineMac(QENController& controller, LogAppender& log, const FileSystemPath& payloadPath,
                 const PropertyMap& clientProperties);
    QENEngineMac(QENController& controller, LogAppender& log, const std::string& identifier,
                 const PropertyMap& clientProperties);
    // Releases the script engine (and with it the globals that refer to this engine) first, then
    // the payload data store; the mounter's release ejects the image.
    ~QENEngineMac() override;

    // ---- Runs: each reports its start and end to the controller and answers its result ----

    bool InstallQENPayload() override;
    virtual bool RepairQENPayload();
    virtual bool UninstallQENPayload();

    // ---- Uninstall scripts ----

    // Pushes one entry: "if (condition)\t{\n\tcommand\n}\n", or "command\n" without condition.
    bool AddToUninstallInstructions(const std::string& command, const std::string& condition) override;
    // Writes the prelude and the recorded entries, newest first, each followed by its fraction
    // line, to the script file of the engine's identifier. The first save of an install run
    // replaces a script left from an earlier install of the payload (which the run puts back if
    // it rolls back); any other save appends. The prelude is written once per engine: a second
    // save adds only the entries recorded since the first. All or nothing: on failure the file is
    // left as it was and the entries stay recorded.
    bool SaveUninstallInstructions() override;
    // The prelude of saved scripts: the support conditions prefix, the payload's "Conditions.js"
    // and the support conditions suffix; empty when the image has no conditions script.
    bool LoadUninstallConditionalData(const FileSystemPath& mountPoint);

    // "<local Application Support>/Orvex/Uninstall/<identifier>.js" (or ".db"); false when that
    // folder cannot be found or the identifier cannot name a file there (empty, or holding "/").
    static bool GetUninstallInstructionsPathForIdentifier(const std::string& identifier, FileSystemPath& path);
    static bool GetUninstallDBPathForIdentifier(const std::string& identifier, FileSystemPath& path);
    // The same for the engine's identifier; false when it has none.
    bool GetUninstallInstructionsPath(FileSystemPath& path);
    bool GetUninstallDBPath(FileSystemPath& path);

    // ---- Properties, payload and scripts ----

    bool LoadDeterminedProperties();
    bool AddPropertyForPathToken(const std::string& token);

    // The run's script engine, made on first use with the engine's globals; empty when it cannot
    // be made (the next call tries again).
    Pelvo::EnginePtr GetJavaScriptEngine();
    // firstLine: the number of the text's first line in error messages.
    bool ProcessUTF8JavaScriptInstructions(const std::string& text, std::int32_t firstLine = 1);
    // The same, the engine taking the text over (it is left empty): a payload's script may list
    // every file of the payload, and is then held only as the engine's compiled code while it runs.
    // keptFunctions: see Pelvo::Engine::evalText.
    bool ProcessUTF8JavaScriptText(std::string& text, std::int32_t firstLine = 1,
                                   const std::vector<std::string>& keptFunctions = std::vector<std::string>());
    // Runs call statements whose arguments are literals as ProcessUTF8JavaScriptInstructions
    // would run their text, without compiling it (see Pelvo::Engine::runCalls).
    bool ProcessJavaScriptCalls(const std::vector<Pelvo::Engine::CallStatement>& statements);
    bool ProcessJavaScriptInstructionsFile(const FileSystemPath& path);
    // Logs the engine's last error as a failed script and clears it.
    void ReportScriptFailure(Pelvo::Engine& engine);
    // Plays a stored uninstall script back: as ProcessJavaScriptInstructionsFile, but a script of
    // many entries is evaluated in pieces, in order, on the same engine (the script engine
    // compiles at most 65 535 constants per script, and every entry holds some). A piece made of
    // nothing but calls with literal arguments (one an entry, as the scripts record files) runs
    // without being compiled. Pieces that would not run as the one script does run whole.
    bool ProcessStoredUninstallScript(const FileSystemPath& path);
    bool ProcessPayloadScript(const FileSystemPath& folder, const std::string& fileName);
    bool ProcessSorvelScript(const std::string& fileName);
    // The file of that name in the SharedSupport folder of the running bundle; false when it
    // does not exist.
    static bool GetSorvelScriptPath(const std::string& fileName, FileSystemPath& path);

    // The image's "Proxy.xml", mounting the image when needed; empty when it cannot be loaded.
    boost::shared_ptr<PayloadProxy::ProxyFileDataStore> GetPayloadDataStorePtr();
    // The engine's identifier, else the "OrvexCode" installer property of the proxy file (which
    // then becomes the identifier).
    bool GetPayloadOrvexCode(std::string& code);
    // GetPayloadOrvexCode, else the property "sessionID".
    bool GetPayloadIdentifier(std::string& identifier);
    // The installed payloads this payload replaces and the collections such payloads drive.
    bool GetUpgradeOrvexCodes(std::set<std::string>& codes, std::set<std::string>& sessionIDs);

private:
    // Reads a script file whole, logging what it reads (or that it cannot). A script that Setup
    // keeps (a stored uninstall script: keptBySetup) is read only where no other user can have
    // written or replaced it (FileSystemUtils::LoadKeptFileContents); the payload's and the
    // bundle's scripts are read as they are.
    bool ReadInstructions(const FileSystemPath& path, std::string& text, bool keptBySetup = true);
    // Mounts the image unless it is mounted already and answers where.
    bool MountPayloadImage(FileSystemPath& mountPoint);
    // The start shared by the install and repair runs: the determined properties, then the image
    // mounted (inside a script phase, so that an exception fails the run cleanly).
    bool PrepareImageRun(FileSystemPath& mountPoint);
    // The properties of an image run: the assets folder, the run's mode and the payload's code.
    void InsertImageRunProperties(const FileSystemPath& mountPoint, const std::string& mode);
    // Plays the stored uninstall scripts of the payloads this one upgrades; collects the script
    // and database files to delete once the install has committed.
    bool RemoveUpgradedPayloads(std::vector<FileSystemPath>& removalList);
    bool RemoveUpgradedPayload(const std::string& identifier, const std::string& label,
                               std::vector<FileSystemPath>& removalList, bool& played);
    // The text that starts a payload's section of the run (the played-back script of an upgraded
    // payload, or the payload's own scripts): "PayloadPrefix('<identifier>', '<mode>');\n". Each
    // section may write the installation database once.
    bool ProcessPayloadPrefix(const std::string& identifier, const std::string& mode);
    // The end of the uninstall scripts this run saved: after the run committed, the earlier
    // scripts kept for a rollback go; after it rolled back, they go back (and a script that was
    // not there before goes).
    void FinishSavedUninstallScripts(bool committed);
    // Before the first save of a script in this run: keeps the script there (when existed) under a
    // second name, for the rollback. False when it cannot.
    bool KeepEarlierUninstallScript(const std::string& path, bool existed);
    // Runs the script phase of a run; an exception out of it counts as a failure of the run, so
    // that what was performed is rolled back rather than left half done.
    template <typename Steps>
    bool RunScriptPhase(Steps steps);
    // What the body of a run leaves to its end: whether it got as far as performing commands,
    // whether they all succeeded, and the files to delete once the run has committed.
    struct RunOutcome {
        struct Deletion {
            FileSystemPath path;
            std::string failure;  // logged with the path when it cannot be deleted
            bool missingIsFine;   // a file that is not there needs no deleting
        };
        bool prepared = false;
        bool succeeded = false;
        std::vector<Deletion> deletions;
    };
    // The frame every run shares: its journal, its one database transaction and the volumes it
    // asks for; the commit or rollback of what the body performed, with the scripts it saved and
    // the files to delete; the image ejected before the journal ends. The log lines begin and
    // complete it; description names it in the journal.
    template <typename Body>
    bool RunFrame(const std::string& beginning, const std::string& completing, const std::string& description,
                  Body body);
    void NotifyFoldersChanged();

    // What a crash recovery needs of the current run; finished when the run ends.
    QENRunJournal runJournal_;
    // The entries recorded since the last save, one after another in the order recorded (saved
    // last first), and where each ends: one buffer instead of a string each, since a large
    // payload records one entry per file.
    std::string uninstallEntries_;
    std::vector<std::size_t> uninstallEntryEnds_;
    std::string uninstallPrelude_;
    // Whether a save has written the prelude yet.
    bool preludeSaved_;
    // Set by the install run before its payload's own scripts: the next save replaces the file.
    bool replaceStoredScript_;
    // The scripts this run saved, each with the link that keeps its earlier self (empty when there
    // was none), in the order of their first saves.
    std::vector<std::pair<std::string, std::string> > savedScripts_;
    boost::shared_ptr<DiskImageMounter> imageMounter_;
    TQInitManager scriptingStartUp_;
    Pelvo::EnginePtr scriptEngine_;
    // The globals in scriptEngine_ (which keeps them alive); null while there is none.
    QENGlobalsLC* globals_;
    boost::shared_ptr<PayloadProxy::ProxyFileDataStore> payloadDataStore_;
};
