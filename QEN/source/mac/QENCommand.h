// QENCommand: the base of every change a command payload makes. The engine performs a command
// as soon as a script creates it and, when the scripts end, commits or rolls back every command
// it performed, newest first.
#pragma once

#include "Common/source/xplat/LogAppender.h"
#include "QENUndoStep.h"

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include <string>

class QENCommand : private boost::noncopyable {
public:
    // The sink the command writes its messages to: the engine's log filter, so that every line
    // carries the command's number.
    explicit QENCommand(LogAppender& log);
    virtual ~QENCommand();

    // The logged name: each command answers its own class name.
    virtual std::string GetName() const = 0;

    // What the engine calls. Each answers what the Do operation answered; Perform marks the
    // command performed whatever DoPerform gave, Rollback and Commit clear the mark.
    bool Perform();
    bool Rollback();
    bool Commit();

    bool IsPerformed() const { return performed_; }

    // What the command keeps in a database transaction until its commit: nothing (files and the
    // system), the uninstall database's relocation data, or the installation database's records.
    // Such a commit can fail, and it decides the run: the engine commits these before anything
    // else, the installation database last as the one that says what is installed, and rolls the
    // run back when one of them cannot commit.
    enum Records { kNoRecords, kUninstallRecords, kInstallationRecords };
    virtual Records HeldRecords() const;

    // Whether the failure of the last perform makes the run fail, whatever the script that made
    // the command does with the answer: a record that was not written (the database says what is
    // installed), or a change the command found to be needed and could not make, which would
    // otherwise be left behind for good. By default, every command that holds records.
    virtual bool FailureEndsRun() const;

    // For the run's journal, which takes a run back when its process died and this object with
    // it: before the perform, the change about to be made where a kill in its middle could leave
    // part of it behind; after a successful perform, what takes the change back. False: nothing
    // to say (the journal then names the command as one it cannot take back, unless the intent
    // says it all). Records are the database's to take back, and need neither.
    virtual bool UndoBeforePerform(QENUndoStep& step) const;
    virtual bool UndoAfterPerform(QENUndoStep& step) const;

protected:
    // Makes the change, keeping what the rollback needs. A failing perform must leave nothing
    // behind: the engine never rolls back a command whose perform failed.
    virtual bool DoPerform() = 0;
    // Undoes the change.
    virtual bool DoRollback() = 0;
    // Makes the change final (removes backups and the like).
    virtual bool DoCommit() = 0;

    LogAppender& log_;

private:
    bool performed_;
};

typedef boost::shared_ptr<QENCommand> QENCommandPtr;
