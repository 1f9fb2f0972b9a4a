#include "QENCommand.h"

QENCommand::QENCommand(LogAppender& log) : log_(log), performed_(false) {}

QENCommand::~QENCommand() {}

bool QENCommand::Perform()
{
    const bool result = DoPerform();
    performed_ = true;
    return result;
}

bool QENCommand::Rollback()
{
    const bool result = DoRollback();
    performed_ = false;
    return result;
}

bool QENCommand::Commit()
{
    const bool result = DoCommit();
    performed_ = false;
    return result;
}

QENCommand::Records QENCommand::HeldRecords() const
{
    return kNoRecords;
}

bool QENCommand::FailureEndsRun() const
{
    return HeldRecords() != kNoRecords;
}

bool QENCommand::UndoBeforePerform(QENUndoStep&) const
{
    return false;
}

bool QENCommand::UndoAfterPerform(QENUndoStep&) const
{
    return false;
}
