#include "QENEngine.h"

#include "QENRunJournal.h"

#include "Common/source/xplat/FileSystemUtils.h"

#include <csignal>
#include <cstdlib>
#include <vector>

// ---- EngineLogFilter ----

QENEngine::EngineLogFilter::EngineLogFilter(LogAppender& inner) : inner_(inner), commandNumber_(0) {}

QENEngine::EngineLogFilter::~EngineLogFilter() {}

void QENEngine::EngineLogFilter::AppendToLog(LogLevel level, const std::string& text)
{
    if (commandNumber_ == 0)
        inner_.AppendToLog(level, text);
    else
        inner_.AppendNumberedToLog(level, commandNumber_, text);
}

unsigned long QENEngine::EngineLogFilter::SetCommandNumber(unsigned long number)
{
    const unsigned long previous = commandNumber_;
    commandNumber_ = number;
    return previous;
}

// ---- QENEngine ----

QENEngine::QENEngine(QENController& controller, LogAppender& log, const FileSystemPath& payloadPath,
                     const PropertyMap& clientProperties)
    : controller_(controller),
      logFilter_(log),
      log_(&logFilter_),
      hasPayloadPath_(true),
      payloadPath_(payloadPath),
      clientProperties_(clientProperties),
      journal_(nullptr)
{
}

QENEngine::QENEngine(QENController& controller, LogAppender& log, const std::string& identifier,
                     const PropertyMap& clientProperties)
    : controller_(controller),
      logFilter_(log),
      log_(&logFilter_),
      hasPayloadPath_(false),
      payloadPath_(std::string("/")),  // never used; the root spares a look at the working folder
      identifier_(identifier),
      clientProperties_(clientProperties),
      journal_(nullptr)
{
}

QENEngine::~QENEngine() {}

namespace {

// Test hook, built only with the test hooks (TOLK_TEST_HOOKS): TOLK_KILL_AT names the point of a
// run at which the process kills itself, as kill -9 would: "command<n>@<identifier>" just before
// the n-th command of the payload's run is performed (its intent journaled),
// "records@<identifier>" once the run's records are committed, before the journal says so, and
// "committed@<identifier>" after it does.
#ifdef TOLK_TEST_HOOKS
void KillPoint(const std::string& point, const std::string& identifier)
{
    static const char* const wanted = std::getenv("TOLK_KILL_AT");
    if (wanted != nullptr && point + "@" + identifier == wanted)
        std::raise(SIGKILL);
}
#define TOLK_KILL_POINT(point, identifier) KillPoint(point, identifier)
#else
#define TOLK_KILL_POINT(point, identifier) static_cast<void>(0)
#endif

// Puts the log filter's number back to 0 however processing ends, an exception included.
class CommandNumberScope {
public:
    CommandNumberScope(QENEngine::EngineLogFilter& filter, unsigned long number) : filter_(filter)
    {
        filter_.SetCommandNumber(number);
    }
    ~CommandNumberScope() { filter_.SetCommandNumber(0); }

private:
    QENEngine::EngineLogFilter& filter_;
};

}  // namespace

QENEngine::ProcessCommandResult QENEngine::ProcessCommand(const QENCommandPtr& command)
{
    CommandNumberScope number(logFilter_, performedCommands_.size() + 1);
    // What the file layer notes as the reason of a failure (a refusal, the system's error) is this
    // command's alone.
    FileSystemUtils::ClearFailureReason();
    ProcessCommandResult result;
    if (!controller_.HandleControlMessages()) {
        log_->AppendToLog(LogAppender::kLogInfo, "Termination request received; stopping command processing.");
        terminated_ = true;
        result = kCommandTerminated;
    } else if (PerformJournaled(command)) {
        performedCommands_.push(command);
        result = kCommandPerformed;
    } else {
        log_->AppendToLog(LogAppender::kLogError, "Command " + command->GetName() + " failed.");
        if (command->FailureEndsRun() && failedEssentialCommand_.empty())
            failedEssentialCommand_ = command->GetName();
        result = kCommandFailed;
    }
    return result;
}

bool QENEngine::PerformJournaled(const QENCommandPtr& command)
{
    // The installation database takes its records back itself; the relocation data are kept as
    // they were in a copy that the journal names.
    if (journal_ == nullptr || command->HeldRecords() == QENCommand::kInstallationRecords)
        return command->Perform();
    QENUndoStep step;
    const bool intended = command->UndoBeforePerform(step);
    if (intended)
        journal_->Intend(step);
    TOLK_KILL_POINT("command" + std::to_string(performedCommands_.size() + 1), identifier_);
    const bool performed = command->Perform();
    if (!performed) {
        if (intended)
            journal_->Abandoned();
    } else if (command->UndoAfterPerform(step)) {
        journal_->Performed(step);
    } else if (intended) {
        journal_->PerformedAsIntended();
    } else {
        journal_->PerformedWithoutUndo(command->GetName());
    }
    return performed;
}

bool QENEngine::GetProperty(const std::string& name, std::string& value)
{
    const PropertyMap* maps[] = {&determinedProperties_, &clientProperties_, &scriptProperties_};
    for (const PropertyMap* map : maps) {
        PropertyMap::const_iterator found = map->find(name);
        if (found != map->end()) {
            value = found->second;
            return true;
        }
    }
    return false;
}

void QENEngine::SetProperty(const std::string& name, const std::string& value)
{
    scriptProperties_[name] = value;
}

QENEngine::PropertyMap QENEngine::GetAllProperties()
{
    // insert never replaces: the first source that names a property decides its value.
    PropertyMap all(clientProperties_);
    all.insert(determinedProperties_.begin(), determinedProperties_.end());
    all.insert(scriptProperties_.begin(), scriptProperties_.end());
    return all;
}

QENEngine::PropertyMap QENEngine::GetClientProperties()
{
    return clientProperties_;
}

bool QENEngine::AddToUninstallInstructions(const std::string&, const std::string&)
{
    return false;
}

bool QENEngine::SaveUninstallInstructions()
{
    return false;
}

bool QENEngine::InstallQENPayload()
{
    if (!hasPayloadPath_)
        return false;
    log_->AppendToLog(LogAppender::kLogInfo, "Beginning installation for payload at " + payloadPath_.AsUTF8String());
    controller_.InstallStarted();
    log_->AppendToLog(LogAppender::kLogInfo, "Completing installation for payload at " + payloadPath_.AsUTF8String());
    controller_.InstallComplete(true);
    return true;
}

bool QENEngine::RollbackPerformedCommands()
{
    return FinishPerformedCommands(false);
}

bool QENEngine::CommitPerformedCommands()
{
    return FinishPerformedCommands(true);
}

bool QENEngine::FinishPerformedCommands(bool commit)
{
    log_->AppendToLog(LogAppender::kLogDebug, commit ? "Committing prior actions..." : "Rolling back prior actions...");
    bool failed = false;
    for (unsigned long number = performedCommands_.size(); !performedCommands_.empty(); --number) {
        if (!FinishCommand(performedCommands_.top(), number, commit))
            failed = true;
        performedCommands_.pop();
    }
    return !failed;
}

bool QENEngine::FinishCommand(const QENCommandPtr& command, unsigned long number, bool commit)
{
    logFilter_.SetCommandNumber(number);
    bool done = false;
    try {
        done = commit ? command->Commit() : command->Rollback();
    } catch (...) {
        // Counted as a failure of this command: the commands below it still get their turn.
    }
    if (!done)
        log_->AppendToLog(LogAppender::kLogError,
                          (commit ? "Error committing command " : "Error rolling back command ") + command->GetName());
    logFilter_.SetCommandNumber(0);
    return done;
}

bool QENEngine::EndRun(bool succeeded)
{
    if (succeeded && !failedEssentialCommand_.empty()) {
        log_->AppendToLog(LogAppender::kLogError, "The run cannot succeed without the failed command " +
                                                      failedEssentialCommand_ + "; rolling the run back.");
        succeeded = false;
    }
    if (!succeeded) {
        RollbackPerformedCommands();
        return false;
    }
    // Newest first, each with its number (its place on the stack counted from the oldest).
    std::vector<QENCommandPtr> commands;
    for (; !performedCommands_.empty(); performedCommands_.pop())
        commands.push_back(performedCommands_.top());
    const unsigned long count = commands.size();

    log_->AppendToLog(LogAppender::kLogDebug, "Committing prior actions...");
    // The records must never name files that are not on disk yet.
    if (journal_ != nullptr)
        journal_->FlushChanges();
    // The records decide the run: everything else stays undoable until they are kept.
    std::vector<bool> committed(commands.size(), false);
    bool recordsKept = true;
    for (QENCommand::Records records : {QENCommand::kUninstallRecords, QENCommand::kInstallationRecords}) {
        // The mark that the records are in commits with them, in the one transaction of the
        // installation database: no crash can leave the records without the mark, or the mark
        // without the records.
        if (records == QENCommand::kInstallationRecords && recordsKept && journal_ != nullptr)
            recordsKept = journal_->MarkRecordsInDatabase();
        for (std::size_t i = 0; recordsKept && i < commands.size(); ++i) {
            if (commands[i]->HeldRecords() == records)
                recordsKept = committed[i] = FinishCommand(commands[i], count - i, true);
        }
    }
    if (!recordsKept) {
        log_->AppendToLog(LogAppender::kLogError,
                          "The records of the run could not be committed; rolling the run back.");
        log_->AppendToLog(LogAppender::kLogDebug, "Rolling back prior actions...");
        // The relocation data committed before the records go back with them.
        for (std::size_t i = 0; i < commands.size(); ++i) {
            if (!committed[i] || commands[i]->HeldRecords() == QENCommand::kUninstallRecords)
                FinishCommand(commands[i], count - i, false);
        }
        return false;
    }
    TOLK_KILL_POINT("records", identifier_);
    if (journal_ != nullptr)
        journal_->RecordsCommitted();
    TOLK_KILL_POINT("committed", identifier_);
    for (std::size_t i = 0; i < commands.size(); ++i) {
        if (commands[i]->HeldRecords() == QENCommand::kNoRecords)
            FinishCommand(commands[i], count - i, true);
    }
    return true;
}

void QENEngine::InsertDeterminedProperty(const std::string& name, const std::string& value)
{
    determinedProperties_.insert(PropertyMap::value_type(name, value));
}
