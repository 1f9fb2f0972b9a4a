// Durability. What the journal must survive is the death of the run's process (kill -9, a crash,
// the machine's memory running out): every record goes whole into the system's cache, stored
// into a shared mapping of the journal (or, where no space could be reserved for one, with one
// write(2)), which outlives the process, so no record is ever lost that way and neither a system
// call nor a flush is needed per command (the mark of a command performed as intended rides with
// the next record: until then its intent stands open, which a recovery takes back all the same).
// A power cut is met at the points where it matters, once per run, not per file: the journal's
// first record is flushed when it is made (the next run knows a run was going on); the
// files the run wrote and the journal are flushed once before the records are committed (the
// records never name files that are not on disk); and the mark of the committed records is
// flushed (a finished run is finished, not taken back). In between, a power cut may lose the
// last records together with the changes they describe, as file systems that keep the order of
// such changes (ext4's default, XFS, btrfs) do; a change whose record was lost is then not taken
// back. The records themselves: QENRunJournalFile.h.
#include "QENRunJournal.h"

#include "Common/source/mac/DiskImageMounter.h"
#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "QENCAPSRunSession.h"
#include "caps/caps.h"

#include "platform/files/ChangedObject.h"
#include "platform/files/DiskNames.h"
#include "platform/files/LockedFile.h"

#include <boost/format.hpp>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <set>
#include <vector>

namespace {

// The object of a step that names one (see QENUndoStep).
platform::ObjectIdentity Identity(const QENUndoStep& step)
{
    return platform::ObjectIdentity{step.device, step.inode, step.other};
}

using InterruptedRun = QENRunJournalFile::InterruptedRun;

std::string ParentOf(const std::string& path)
{
    const std::string::size_type slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

// The names in the folder; none when it cannot be read.
std::vector<std::string> NamesIn(const std::string& folder)
{
    std::vector<FileSystemPath> entries;
    try {
        if (!FileSystemUtils::ChildrenForDirectory(FileSystemPath(folder), entries))
            return std::vector<std::string>();
    } catch (const std::exception&) {
        return std::vector<std::string>();
    }
    std::vector<std::string> names;
    for (const FileSystemPath& entry : entries) {
        const std::string path = entry.AsUTF8String();
        names.push_back(path.substr(path.find_last_of('/') + 1));
    }
    return names;
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The run journals in the folder, by name.
std::vector<std::string> JournalNamesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const std::string& name : NamesIn(folder)) {
        if (QENRunJournalFile::IsJournalName(name))
            names.push_back(name);
    }
    return names;
}

// The names as the database's list of runs to keep takes them (the strings must outlive it).
std::vector<const char*> NullTerminated(const std::vector<std::string>& names)
{
    std::vector<const char*> list;
    for (const std::string& name : names)
        list.push_back(name.c_str());
    list.push_back(nullptr);
    return list;
}

// Drops from the installation database the marks of the runs whose journals are gone; a run
// still going, or one that waits to be recovered, keeps its own. What cannot be dropped now is
// dropped when a later run ends or Setup starts again.
void ForgetEndedRunMarks(const std::string& folder)
{
    const std::vector<std::string> names = JournalNamesIn(folder);
    const std::vector<const char*> keep = NullTerminated(names);
    capsiSession* session = nullptr;
    if (capsOpenSessionNoCreate(&session) != kCapsOK)
        return;
    if (capsForgetRunMarks(session, keep.data()) == kCapsOK)
        capsSessionCommit(session);
    else
        capsSessionRollback(session);
    capsCloseSession(session);
}

bool IsDirectory(const FileSystemPath& path)
{
    bool directory = false;
    return FileSystemUtils::IsDirectory(path, directory) && directory;
}

// Makes the missing folders above the path, each with the mode and owner of the nearest folder
// there (their own went with the records that a power cut took); false when one cannot be made.
bool MakeFoldersAbove(const std::string& path)
{
    const std::string parent = ParentOf(path);
    struct stat info;
    if (lstat(parent.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    if (parent == "/" || !MakeFoldersAbove(parent) || lstat(ParentOf(parent).c_str(), &info) != 0)
        return false;
    return mkdir(parent.c_str(), info.st_mode & 07777) == 0 && chown(parent.c_str(), info.st_uid, info.st_gid) == 0;
}

// Removes a folder with everything in it, links as links; false when something stays.
bool RemoveTree(const std::string& folder)
{
    struct stat info;
    if (lstat(folder.c_str(), &info) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(info.st_mode))
        return unlink(folder.c_str()) == 0;
    if (DIR* entries = opendir(folder.c_str())) {
        while (const struct dirent* entry = readdir(entries)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                RemoveTree(folder + "/" + name);
        }
        closedir(entries);
    }
    return rmdir(folder.c_str()) == 0;
}

// Takes one step back; each step first looks whether it is still to be done, so that a step
// taken back already (by the run's own rollback before it died, or by a recovery that died) is
// passed over. Answers a line for the log, empty when nothing was to be done.
std::string TakeBack(const QENUndoStep& step, bool& failed)
{
    const FileSystemPath path(step.path);
    const bool exists = FileSystemUtils::Exists(path);
    failed = false;
    switch (step.kind) {
    case QENUndoStep::kRemoveFile:
        if (!exists || IsDirectory(path))
            return std::string();
        failed = !FileSystemUtils::DeleteFile(path, false);
        return "Removed \"" + step.path + "\"";
    case QENUndoStep::kRemoveDirectory:
        if (!exists)
            return std::string();
        // The run made it: what a power cut took the records of lies in it and goes with it.
        failed = !FileSystemUtilsMac::DeleteDirectory(path, false) && !RemoveTree(step.path);
        return "Removed folder \"" + step.path + "\"";
    case QENUndoStep::kReplaceFile: {
        const FileSystemPath backup(step.other);
        if (!FileSystemUtils::Exists(backup))
            return std::string();
        failed = rename(step.other.c_str(), step.path.c_str()) != 0;
        return "Put back \"" + step.path + "\" from \"" + step.other + "\"";
    }
    case QENUndoStep::kRestoreFile: {
        const FileSystemPath backup(step.other);
        if (!FileSystemUtils::Exists(backup))
            return std::string();
        // Something else took the place meanwhile: the backup stays where it is, for a person.
        // Its folder may be gone with records that a power cut took.
        failed = exists || !MakeFoldersAbove(step.path) || !FileSystemUtils::MoveFile(backup, path);
        return "Restored \"" + step.path + "\" from \"" + step.other + "\"";
    }
    case QENUndoStep::kRecreateDirectory:
        if (exists)
            return std::string();
        // Only in the folder it was removed from, where the journal names it.
        failed = platform::MakeFolderAgain(platform::OnDiskPath(step.path), Identity(step), step.mode, step.owner,
                                           step.group) != 0;
        return "Recreated folder \"" + step.path + "\"";
    case QENUndoStep::kRecreateSymlink:
        if (exists)
            return std::string();
        failed = !FileSystemUtilsMac::CreateSymlink(path, step.other);
        return "Recreated link \"" + step.path + "\"";
    // Given back only to the object the value was read from, where the journal names it.
    case QENUndoStep::kSetMode: {
        bool setIdKept = true;
        failed = step.inode != 0 ? platform::GiveBackMode(platform::OnDiskPath(step.path), Identity(step), step.mode,
                                                          setIdKept) != 0
                                 : !FileSystemUtilsMac::SetMode(path, static_cast<unsigned short>(step.mode));
        return (boost::format("Set the mode of \"%1%\" back to %2$04o") % step.path % step.mode).str();
    }
    case QENUndoStep::kSetOwner: {
        bool setIdKept = true;
        bool modeKept = true;
        failed = step.inode != 0 ? platform::GiveBackOwner(platform::OnDiskPath(step.path), Identity(step), step.owner,
                                                           step.group, step.mode, setIdKept, modeKept) != 0
                                 : !FileSystemUtilsMac::SetOwnerGroup(path, step.owner, step.group);
        return (boost::format("Set the owner of \"%1%\" back to %2% and its group to %3%") % step.path % step.owner %
                step.group)
            .str();
    }
    }
    return std::string();
}

void DeleteIfThere(const std::string& pathText, LogAppender& log)
{
    const FileSystemPath path(pathText);
    if (!FileSystemUtils::Exists(path))
        return;
    if (FileSystemUtils::DeleteFile(path, false))
        log.AppendToLog(LogAppender::kLogDebug, "Deleted \"" + pathText + "\"");
    else
        log.AppendToLog(LogAppender::kLogWarn, "Unable to delete \"" + pathText + "\"");
}

// Whether an interrupted run committed its records: its journal's mark, or else the mark that the
// same transaction wrote into the installation database. Unknown when the database cannot be read.
enum class Commit { kCommitted, kNotCommitted, kUnknown };

Commit CommitOf(const std::string& name, const InterruptedRun& run, std::string& problem)
{
    if (run.committed)
        return Commit::kCommitted;
    capsiSession* session = nullptr;
    const capsStatus opened = capsOpenSessionNoCreate(&session);
    if (opened == kCapsNotFound)
        return Commit::kNotCommitted;  // no database: nothing was ever committed to it
    if (opened != kCapsOK) {
        problem = "the installation database cannot be opened (status " + std::to_string(opened) + ")";
        return Commit::kUnknown;
    }
    const capsStatus marked = capsGetRunMark(session, name.c_str());
    capsSessionRollback(session);
    capsCloseSession(session);
    if (marked == kCapsOK)
        return Commit::kCommitted;
    if (marked == kCapsNotFound)
        return Commit::kNotCommitted;
    problem = "the installation database cannot be read (status " + std::to_string(marked) + ")";
    return Commit::kUnknown;
}

void Recover(const std::string& journal, const InterruptedRun& run, bool committed, LogAppender& log)
{
    if (committed) {
        log.AppendToLog(LogAppender::kLogInfo, "Finishing an interrupted run whose records were committed (" +
                                                   run.description + ", journal " + journal + ")");
        for (const InterruptedRun::Command& command : run.commands) {
            if (command.hasStep &&
                (command.step.kind == QENUndoStep::kRestoreFile || command.step.kind == QENUndoStep::kReplaceFile))
                DeleteIfThere(command.step.other, log);
        }
        for (const std::string& path : run.deletions)
            DeleteIfThere(path, log);
    } else {
        log.AppendToLog(LogAppender::kLogInfo,
                        "Rolling back an interrupted run (" + run.description + ", journal " + journal + ")");
        for (auto command = run.commands.rbegin(); command != run.commands.rend(); ++command) {
            if (!command->hasStep) {
                log.AppendToLog(LogAppender::kLogWarn, "Unable to take back " + command->name + " of the interrupted run");
                continue;
            }
            bool failed = false;
            std::string done;
            try {
                done = TakeBack(command->step, failed);
            } catch (const std::exception& error) {
                done = std::string("A step of the interrupted run: ") + error.what();
                failed = true;
            }
            if (failed)
                log.AppendToLog(LogAppender::kLogWarn, "Unable to complete: " + done);
            else if (!done.empty())
                log.AppendToLog(LogAppender::kLogDebug, done);
        }
    }
    for (auto mount = run.mounts.rbegin(); mount != run.mounts.rend(); ++mount) {
        if (DiskImageMounter::EjectLeftOver(FileSystemPath(*mount)))
            log.AppendToLog(LogAppender::kLogDebug, "Ejected the image at \"" + *mount + "\"");
    }
}

// Whether the name is the stem followed by the six characters of a temporary name.
bool IsTemporaryName(const std::string& name, const std::string& stem)
{
    return name.size() == stem.size() + 6 && name.compare(0, stem.size(), stem) == 0;
}

void RemoveAbandoned(const std::string& path, LogAppender& log)
{
    if (platform::RemoveIfAbandoned(path))
        log.AppendToLog(LogAppender::kLogDebug, "Removed \"" + path + "\", left by a run that died");
}

// What writers that died left of the files they were replacing: the temporary copies of the
// installation database's backup and of uninstall scripts (with SQLite's journal of the copy).
// A copy whose writer lives is locked, and stays.
void RemoveAbandonedCopies(LogAppender& log)
{
    std::string database;
    std::string backup;
    if (!capsGetDatabaseFiles(database, backup))
        return;
    const std::string backupFolder = ParentOf(backup);
    const std::string backupStem = backup.substr(backupFolder.size() + 1) + ".";
    const std::string uninstallFolder = ParentOf(ParentOf(database)) + "/Uninstall";
    for (const std::string& folder : {backupFolder, uninstallFolder}) {
        for (const std::string& name : NamesIn(folder)) {
            const std::string path = folder + "/" + name;
            if (folder == backupFolder && IsTemporaryName(name, backupStem)) {
                RemoveAbandoned(path, log);
            } else if (folder == backupFolder && EndsWith(name, "-journal") &&
                       IsTemporaryName(name.substr(0, name.size() - 8), backupStem)) {
                // SQLite's journal of a copy: of no use once the copy is gone.
                if (!FileSystemUtils::Exists(FileSystemPath(path.substr(0, path.size() - 8))) && unlink(path.c_str()) == 0)
                    log.AppendToLog(LogAppender::kLogDebug, "Removed \"" + path + "\", left by a run that died");
            } else if (folder == uninstallFolder) {
                const std::string::size_type marker = name.rfind(".new");
                if (marker != std::string::npos && marker > 0 && name.size() == marker + 4 + 6)
                    RemoveAbandoned(path, log);
            }
        }
    }
}

}  // namespace

QENRunJournal::QENRunJournal(LogAppender& log) : log_(log) {}

QENRunJournal::~QENRunJournal()
{
    Finish();
}

bool QENRunJournal::JournalFolder(std::string& folder)
{
    std::string database;
    std::string backup;
    if (!capsGetDatabaseFiles(database, backup))
        return false;
    const std::string::size_type slash = database.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return false;
    folder = database.substr(0, slash);
    return true;
}

bool QENRunJournal::Begin(const std::string& description)
{
    Finish();
    folders_.clear();
    lastFolder_.clear();
    madeFolders_.clear();
    intendedFolder_.clear();
    std::string folder;
    try {
        if (!JournalFolder(folder) || !FileSystemUtilsMac::CreateDirectoryPath(FileSystemPath(folder), 0755, false))
            return false;
    } catch (const std::exception&) {
        return false;
    }
    RecoverInterruptedRuns(folder, log_);
    if (!file_.Create(folder, description))
        return false;
    description_ = description;
    return true;
}

void QENRunJournal::NoteFolderOf(const std::string& path)
{
    const std::string::size_type slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
    if (folder != lastFolder_) {
        folders_.insert(folder);
        lastFolder_ = folder;
    }
}

void QENRunJournal::Intend(const QENUndoStep& step)
{
    NoteFolderOf(step.path);
    file_.Intent(step);
    intendedFolder_.clear();
    const bool makes = step.kind == QENUndoStep::kRemoveFile || step.kind == QENUndoStep::kRemoveDirectory;
    if (!makes || !file_.IsOpen())
        return;
    if (madeFolders_.count(ParentOf(step.path)) == 0)
        file_.Sync();
    if (step.kind == QENUndoStep::kRemoveDirectory)
        intendedFolder_ = step.path;
}

void QENRunJournal::Performed(const QENUndoStep& step)
{
    NoteFolderOf(step.path);
    file_.Performed(step);
}

void QENRunJournal::PerformedAsIntended()
{
    if (!intendedFolder_.empty()) {
        madeFolders_.insert(intendedFolder_);
        intendedFolder_.clear();
    }
    // Written with the next record, in one write: until then the intent stands open, and an
    // intent left open is taken back just as one performed as intended, so a run that dies in
    // between is recovered the same.
    file_.PerformedAsIntended();
}

void QENRunJournal::PerformedWithoutUndo(const std::string& commandName)
{
    file_.PerformedWithoutUndo(commandName);
}

void QENRunJournal::Abandoned()
{
    intendedFolder_.clear();
    file_.Abandoned();
}

void QENRunJournal::NoteMount(const FileSystemPath& mountPoint)
{
    // On disk before the mount: a mount outlives a power cut where its image is a copy.
    file_.Mount(mountPoint.AsUTF8String());
    if (file_.IsOpen())
        file_.Sync();
}

void QENRunJournal::DeleteWhenCommitted(const FileSystemPath& path)
{
    file_.DeleteWhenCommitted(path.AsUTF8String());
}

void QENRunJournal::FlushChanges()
{
    std::vector<std::string> folders(folders_.begin(), folders_.end());
    if (file_.IsOpen()) {
        file_.WriteWaiting();
        folders.push_back(file_.Path());
    }
    platform::FlushFileSystems(folders);
}

bool QENRunJournal::MarkRecordsInDatabase()
{
    if (!file_.IsOpen())
        return true;
    // Every journal in the folder keeps its run's mark: a run still going, or one that died and
    // waits to be recovered, needs it; the marks of runs whose journals are gone are dropped.
    const std::vector<std::string> names = JournalNamesIn(ParentOf(file_.Path()));
    const std::vector<const char*> keep = NullTerminated(names);

    capsiSession* session = nullptr;
    capsStatus status = QENCAPSRunSession::Open(&session, true);
    if (status == kCapsOK)
        status = capsMarkRunCommitted(session, file_.Name().c_str(), description_.c_str(), keep.data());
    if (session != nullptr) {
        // Kept, the mark joins the run's transaction; a failure undoes only the mark's part.
        if (status == kCapsOK)
            status = capsSessionCommit(session);
        else
            capsSessionRollback(session);
        capsCloseSession(session);
    }
    if (status != kCapsOK)
        log_.AppendToLog(LogAppender::kLogError, "Unable to mark the run's records in the installation database (status " +
                                                     std::to_string(status) + ")");
    return status == kCapsOK;
}

void QENRunJournal::RecordsCommitted()
{
    if (!file_.IsOpen())
        return;
    file_.Committed();
    file_.Sync();
    recordsCommitted_ = true;
}

void QENRunJournal::Finish()
{
    const bool marked = file_.IsOpen() && recordsCommitted_;
    const std::string folder = ParentOf(file_.Path());
    file_.Remove();
    // With its journal gone, the run's mark in the installation database says nothing any more.
    if (marked)
        ForgetEndedRunMarks(folder);
    recordsCommitted_ = false;
}

void QENRunJournal::RecoverInterruptedRuns(LogAppender& log)
{
    std::string folder;
    if (JournalFolder(folder) && access(folder.c_str(), W_OK) == 0)
        RecoverInterruptedRuns(folder, log);
}

void QENRunJournal::RecoverInterruptedRuns(const std::string& folder, LogAppender& log)
{
    for (const std::string& name : NamesIn(folder)) {
        const std::string path = folder + "/" + name;
        const bool journal = QENRunJournalFile::IsJournalName(name);
        const bool unnamed = QENRunJournalFile::IsNewJournalName(name);
        if (!journal && !unnamed)
            continue;
        platform::LockedFile file;
        std::string untrusted;
        if (!file.TakeOver(path, untrusted)) {
            // Its run is still going, or it is no journal that this user's runs could have written:
            // what it says is not done, and it stays for an administrator to look at.
            if (!untrusted.empty())
                log.AppendToLog(LogAppender::kLogError, "Refusing the run journal " + path + ": " + untrusted);
            continue;
        }
        std::string text;
        if (journal && file.ReadAll(text)) {
            InterruptedRun run;
            QENRunJournalFile::Read(text, run);
            std::string problem;
            const Commit commit = CommitOf(name, run, problem);
            if (commit == Commit::kUnknown) {
                // Taken back, a run whose records are in would leave them naming what is gone;
                // finished, one whose records are not would leave its files unrecorded.
                log.AppendToLog(LogAppender::kLogWarn, "The interrupted run of " + path +
                                                           " is left for a later run: " + problem);
                continue;
            }
            try {
                Recover(path, run, commit == Commit::kCommitted, log);
            } catch (const std::exception& error) {
                // A path in it that is no path: what could be done is done.
                log.AppendToLog(LogAppender::kLogWarn, std::string("Recovery of ") + path + " stopped: " + error.what());
            }
        }
        unlink(path.c_str());
    }
    RemoveAbandonedCopies(log);
    ForgetEndedRunMarks(folder);
    capsClearStaleJournal();
    // A process that died between a commit and the copy left the backup copy behind the database.
    if (capsRefreshStaleBackup() != kCapsOK)
        log.AppendToLog(LogAppender::kLogWarn, "Unable to bring the installation database's backup copy up to date");
}
