// QENRunJournal: what a rollback of a run needs, kept on disk beside the installation database
// while the run goes, so that a run whose process died (a kill, a crash, a power cut) can be
// taken back by the next run: the performed commands' undo steps, the image it mounted, and
// whether its records were committed (then the run is finished instead: the backups go).
//
// One file per run in the database's folder, "run-XXXXXX.journal", locked by its run for as long
// as the run's process lives. A run appends one line per command, to the system's cache only
// (a process that dies loses nothing written; see Durability in QENRunJournal.cpp); the
// journal goes when the run has ended. Without a journal (no database folder, not allowed to
// write there) a run goes on as before, only without this protection.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "Common/source/xplat/LogAppender.h"
#include "QENRunJournalFile.h"
#include "QENUndoStep.h"

#include <boost/noncopyable.hpp>

#include <set>
#include <string>

class QENRunJournal : private boost::noncopyable {
public:
    explicit QENRunJournal(LogAppender& log);
    // Ends the run's journal (Finish).
    ~QENRunJournal();

    // First takes back (or finishes) every run whose process died with its journal open, then
    // starts this run's journal. False when no journal could be started (the run goes on).
    bool Begin(const std::string& description);
    bool IsOpen() const { return file_.IsOpen(); }

    // ---- Commands, in the order the engine performs them ----

    // The change a command is about to make, which a kill in its middle could leave half made.
    // The intent of something new made outside the folders this run made reaches the disk before
    // the change can: after a power cut, what the run made is found again (what it made inside
    // its own folders goes with them).
    void Intend(const QENUndoStep& step);
    // The command was performed: what takes it back (replacing the intent, if any).
    void Performed(const QENUndoStep& step);
    // The command was performed, and its intent says what takes it back.
    void PerformedAsIntended();
    // The command was performed, and nothing here can take it back after a crash.
    void PerformedWithoutUndo(const std::string& commandName);
    // The command's perform failed and undid itself: its intent is void.
    void Abandoned();

    // ---- The run ----

    // An image the run mounted: ejected when the run is taken back or finished after a crash.
    void NoteMount(const FileSystemPath& mountPoint);
    // A file the run deletes once its records are committed (a stored uninstall script, say).
    void DeleteWhenCommitted(const FileSystemPath& path);
    // Before the run's records are committed: the files the run wrote, and the journal, are
    // flushed to disk, so that the records never name files that a power cut would lose.
    void FlushChanges();
    // Writes the mark that the run has committed its records into the run's transaction of the
    // installation database, so that the records and the mark are committed together: a run whose
    // records are in is finished by a recovery, never taken back. True without a journal (there is
    // nothing to recover then); false when the mark could not be written.
    bool MarkRecordsInDatabase();
    // The run's records are committed: from here on the run is finished, not taken back.
    void RecordsCommitted();
    // The run has ended (committed or rolled back): the journal goes.
    void Finish();

    // Takes back or finishes every run whose journal lies in the folder and whose process is gone,
    // and removes what such runs left half written; what it does goes to the log.
    static void RecoverInterruptedRuns(const std::string& folder, LogAppender& log);
    // The same in the journals' folder, when this process may change it (a process that may not
    // could take back nothing there).
    static void RecoverInterruptedRuns(LogAppender& log);
    // The folder of the journals: the installation database's folder. False when it is unknown.
    static bool JournalFolder(std::string& folder);

private:
    void NoteFolderOf(const std::string& path);

    LogAppender& log_;
    QENRunJournalFile file_;
    std::string description_;
    // The folders the run changed, flushed once before its records are committed.
    std::set<std::string> folders_;
    // The folders this run made, their intents on disk: what is made in them needs no flush of
    // its own, since a recovery removes such a folder with all it holds.
    std::set<std::string> madeFolders_;
    // The folder whose intent was recorded last, until its command is performed.
    std::string intendedFolder_;
    std::string lastFolder_;
    bool recordsCommitted_ = false;  // since the run's mark went into the installation database
};
