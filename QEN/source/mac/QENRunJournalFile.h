// QENRunJournalFile: the file of one run's journal (see QENRunJournal.h): how it is named in the
// journals' folder, the records its run appends to it, and what such a file, left by a run that
// died, says of that run. The file stays locked by its run for as long as the run's process
// lives. When the records reach the disk is the run's to say (Sync), but for the first: the file
// takes its journal name only once that record is on disk.
//
// Records, one per line, fields separated by tabs (tab, line feed, backslash and NUL escaped: the
// records end at the first NUL, where the zero-filled space reserved for more begins):
//   H description pid     the run                    M mount-point      an image it mounted
//   I step                a command's intent         P [step]           the command was performed
//   N name                performed, no undo step    X                  the perform failed
//   F path                deleted once committed     C                  the records are committed
// where a step is its kind, path, other, mode (octal), owner and group, and for a step that
// names the object it changed (or the folder that held a folder removed), its device and inode.
#pragma once

#include "QENUndoStep.h"

#include "platform/files/LockedFile.h"

#include <boost/noncopyable.hpp>

#include <string>
#include <vector>

class QENRunJournalFile : private boost::noncopyable {
public:
    // ---- Names ----

    // Whether a name in the journals' folder is that of a run's journal.
    static bool IsJournalName(const std::string& name);
    // Whether it is that of a journal being made, not named yet: recoveries only clear it away.
    static bool IsNewJournalName(const std::string& name);

    // ---- Writing, by the run ----

    // Makes the run's journal in the folder, its first record on disk before it takes its
    // journal name. False when it cannot be made.
    bool Create(const std::string& folder, const std::string& description);
    bool IsOpen() const { return file_.IsOpen(); }
    const std::string& Path() const { return path_; }
    // The journal's file name, which names the run in the database's mark.
    std::string Name() const;

    // Each appends one record, to the system's cache; nothing without an open journal.
    void Intent(const QENUndoStep& step);
    void Performed(const QENUndoStep& step);
    // Its record waits for the next one, to go in the same write.
    void PerformedAsIntended();
    void PerformedWithoutUndo(const std::string& commandName);
    void Abandoned();
    void Mount(const std::string& mountPoint);
    void DeleteWhenCommitted(const std::string& path);
    void Committed();
    // Writes the record that waits for the next one, if any, now.
    void WriteWaiting();
    // Makes the records appended so far durable.
    bool Sync();
    // Removes the journal, while still locked so that no recovery takes it for a dead run's, and
    // closes it.
    void Remove();

    // ---- Reading back ----

    // What a journal says of its run.
    struct InterruptedRun {
        std::string description;
        // The performed commands in order: an undo step, or the name of a command without one.
        struct Command {
            bool hasStep;
            QENUndoStep step;
            std::string name;
        };
        std::vector<Command> commands;
        std::vector<std::string> mounts;
        std::vector<std::string> deletions;
        bool committed = false;
    };
    // Reads a journal's text; records it does not know are passed over.
    static void Read(const std::string& text, InterruptedRun& run);

private:
    void Append(const std::string& record);

    platform::LockedFile file_;
    std::string path_;
    // A "performed as intended" record not written yet: it goes with the next record.
    bool waiting_ = false;
};
