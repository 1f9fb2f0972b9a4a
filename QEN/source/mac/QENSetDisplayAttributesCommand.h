// QENSetDisplayAttributesCommand: sets or clears the Finder's invisible and custom-icon flags of
// a file or folder. Only the flags named by the mask change, and the rollback puts only those
// back to what they were.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "QENCommand.h"

#include <cstdint>

class QENSetDisplayAttributesCommand : public QENCommand {
public:
    // Attribute and mask bits: 1 invisible, 2 has custom icon; higher bits have no effect.
    QENSetDisplayAttributesCommand(LogAppender& log, const FileSystemPath& path, std::uint32_t attributes,
                                   std::uint32_t mask);
    ~QENSetDisplayAttributesCommand() override;

    std::string GetName() const override;

protected:
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    FileSystemPath path_;
    std::uint32_t attributes_;
    std::uint32_t mask_;
    std::uint32_t savedAttributes_;
};
