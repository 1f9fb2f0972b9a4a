// QENEngine: the platform-neutral core of the command engine: the engine, client and script
// property maps, the stack of performed commands with their commit and rollback, the log filter
// that numbers the lines of the command being processed, and the three static entry points
// through which the rest of the system runs a command payload.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "Common/source/xplat/LogAppender.h"
#include "QENCommand.h"
#include "QENController.h"

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include <map>
#include <stack>
#include <string>

class QENRunJournal;

class QENEngine : private boost::noncopyable {
public:
    typedef std::map<std::string, std::string> PropertyMap;

    enum ProcessCommandResult {
        kCommandPerformed = 0,   // performed and pushed on the stack of performed commands
        kCommandFailed = 1,      // its perform failed; not on the stack
        kCommandTerminated = 2,  // the controller asked to stop; the command was not run
    };

    // Wraps the log an engine was given: while a command is processed, committed or rolled back,
    // every line gets the command's number (its place on the stack, oldest first) in front.
    class EngineLogFilter : public LogAppender {
    public:
        explicit EngineLogFilter(LogAppender& inner);
        ~EngineLogFilter() override;

        using LogAppender::AppendToLog;
        void AppendToLog(LogLevel level, const std::string& text) override;

        // Stores the number (0: lines pass unchanged) and answers the previous one.
        virtual unsigned long SetCommandNumber(unsigned long number);

    private:
        LogAppender& inner_;
        unsigned long commandNumber_;
    };

    // ---- Static entry points: each builds the engine that runs, runs it and destroys it ----
    //
    // The scripting frameworks failing to start throws (std::runtime_error); every other
    // failure is the false result.

    // Installs the command payload of the image: removes the payloads it upgrades, runs the
    // support and payload scripts, then commits every performed command or rolls them all back.
    static bool InstallPayload(QENController& controller, LogAppender& log, const FileSystemPath& payloadPath,
                               const PropertyMap& clientProperties);
    // The repair run of the same image (no upgrade removal, no uninstall prelude).
    static bool RepairPayload(QENController& controller, LogAppender& log, const FileSystemPath& payloadPath,
                              const PropertyMap& clientProperties);
    // Plays back the uninstall script stored for the identifier (the client property
    // "sessionID" when the identifier is empty) and, on success, deletes it and its uninstall
    // database.
    static bool UninstallPayload(QENController& controller, LogAppender& log, const std::string& identifier,
                                 const PropertyMap& clientProperties);

    // An engine on a payload image, and one on a payload identifier (no image).
    QENEngine(QENController& controller, LogAppender& log, const FileSystemPath& payloadPath,
              const PropertyMap& clientProperties);
    QENEngine(QENController& controller, LogAppender& log, const std::string& identifier,
              const PropertyMap& clientProperties);
    // Commands still on the stack are released, neither committed nor rolled back.
    virtual ~QENEngine();

    // Asks the controller whether to go on, then performs the command; the messages of both
    // carry the command's number.
    virtual ProcessCommandResult ProcessCommand(const QENCommandPtr& command);

    // The value of the first map that holds the name: determined, client, then script
    // properties. False, value untouched, when none does.
    virtual bool GetProperty(const std::string& name, std::string& value);
    // Sets the name in the script properties only, so a script cannot change what the engine or
    // the caller set.
    virtual void SetProperty(const std::string& name, const std::string& value);
    // All properties in one map; for a name held by several maps the client value wins over the
    // determined one, which wins over the script one.
    virtual PropertyMap GetAllProperties();
    virtual PropertyMap GetClientProperties();

    // Recording and saving the uninstall script; the core records nothing and answers false.
    virtual bool AddToUninstallInstructions(const std::string& command, const std::string& condition);
    virtual bool SaveUninstallInstructions();

    // The install run. The core only reports the start and end of a run to the controller and
    // answers true; false at once (no controller call) for an engine without payload image.
    virtual bool InstallQENPayload();

    // Rolls back (or commits) every performed command, newest first, each exactly once, and
    // empties the stack; false when any of them failed.
    virtual bool RollbackPerformedCommands();
    virtual bool CommitPerformedCommands();

    // Ends a run. After failure, or after a command failed that the run cannot do without (see
    // QENCommand::FailureEndsRun), rolls every performed command back. After success commits the
    // commands that hold the run's records first: when one of them cannot commit (the database
    // stayed locked, the disk is full), the run has failed after all and every command not yet
    // committed is rolled back; otherwise the rest are committed. Answers whether the run's
    // changes stand.
    bool EndRun(bool succeeded);

    // The journal the engine keeps of the run's commands (none: no journal is kept).
    void SetRunJournal(QENRunJournal* journal) { journal_ = journal; }

    // The engine's log: the log filter over the log it was given.
    LogAppender& Log() { return *log_; }
    QENController& Controller() { return controller_; }
    std::size_t PerformedCommandCount() const { return performedCommands_.size(); }
    // Whether the controller stopped the run (a cancel among others) before one of its commands.
    bool WasTerminated() const { return terminated_; }

protected:
    // Adds to the determined properties unless the name is there already (the first value wins).
    void InsertDeterminedProperty(const std::string& name, const std::string& value);

    QENController& controller_;
    EngineLogFilter logFilter_;
    LogAppender* log_;
    bool hasPayloadPath_;
    FileSystemPath payloadPath_;
    std::string identifier_;
    PropertyMap determinedProperties_;
    PropertyMap clientProperties_;
    PropertyMap scriptProperties_;
    std::stack<QENCommandPtr> performedCommands_;
    QENRunJournal* journal_;
    // The name of the first command of the run whose failure ends the run; empty while none did.
    std::string failedEssentialCommand_;
    bool terminated_ = false;

private:
    // The walk shared by commit and rollback.
    bool FinishPerformedCommands(bool commit);
    // Performs the command, telling the run's journal (when there is one) what takes it back.
    bool PerformJournaled(const QENCommandPtr& command);
    // Commits or rolls back one command under its number; a failure (or an exception) is logged.
    bool FinishCommand(const QENCommandPtr& command, unsigned long number, bool commit);
};
