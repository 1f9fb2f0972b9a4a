// QENCopyFileCommand: copies one file of a payload into place; its rollback deletes the copy.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "QENCommand.h"

#include <memory>

class QENCopyFileCommand : public QENCommand {
public:
    QENCopyFileCommand(LogAppender& log, const FileSystemPath& source, const FileSystemPath& destination);
    ~QENCopyFileCommand() override;

    std::string GetName() const override;
    bool UndoBeforePerform(QENUndoStep& step) const override;

protected:
    // Copies every fork and the catalog information into a new file; an existing destination is
    // a failure and is left alone.
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    FileSystemPath source_;
    FileSystemPath destination_;
    // The destination as the check before the perform found it, for the perform to copy into
    // (one lookup for both); gone once the perform has run.
    mutable std::unique_ptr<FileSystemUtils::NewFilePlace> place_;
};
