// QENCreateMacAliasCommand: makes a Finder alias file referring to a target, optionally showing
// the custom icon of a third item; its rollback deletes the alias file.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "QENCommand.h"

#include <boost/shared_ptr.hpp>

class QENCreateMacAliasCommand : public QENCommand {
public:
    // A given icon source is copied; null means none.
    QENCreateMacAliasCommand(LogAppender& log, const FileSystemPath& aliasPath, const FileSystemPath& targetPath,
                             const FileSystemPath* iconSourcePath);
    ~QENCreateMacAliasCommand() override;

    std::string GetName() const override;

protected:
    // The target must exist; anything already at the alias path is a failure and stays.
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    FileSystemPath aliasPath_;
    FileSystemPath targetPath_;
    boost::shared_ptr<FileSystemPath> iconSourcePath_;
};
