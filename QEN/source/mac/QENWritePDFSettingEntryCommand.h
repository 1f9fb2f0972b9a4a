// QENWritePDFSettingEntryCommand: sets the translation of one PDF setting name in one language
// of the PDF admin settings, keeping the translation it replaced for the rollback.
#pragma once

#include "QENCommand.h"

#include <string>

class QENWritePDFSettingEntryCommand : public QENCommand {
public:
    QENWritePDFSettingEntryCommand(LogAppender& log, const std::string& language, const std::string& name,
                                   const std::string& translation);

    std::string GetName() const override;

protected:
    bool DoPerform() override;
    // Writes the old translation back, or removes the name when it had none.
    bool DoRollback() override;
    bool DoCommit() override;

private:
    std::string language_;
    std::string name_;
    std::string translation_;
    bool hadOld_;
    std::string oldTranslation_;
};
