// QENRemovePDFSettingEntryCommand: removes the translation of one PDF setting name in one
// language of the PDF admin settings, keeping it for the rollback.
#pragma once

#include "QENCommand.h"

#include <string>

class QENRemovePDFSettingEntryCommand : public QENCommand {
public:
    QENRemovePDFSettingEntryCommand(LogAppender& log, const std::string& language, const std::string& name);

    std::string GetName() const override;

    // The rollback of both PDF setting commands when a translation was there before: writes it
    // back, logging as it goes.
    static bool RestoreOldTranslation(LogAppender& log, const std::string& language, const std::string& name,
                                      const std::string& oldTranslation);
    // The removal of both PDF setting commands (the remove's perform, the write's rollback when
    // nothing was there before), logging its outcome.
    static bool RemoveTranslation(LogAppender& log, const std::string& language, const std::string& name);

protected:
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    std::string language_;
    std::string name_;
    bool hadOld_;
    std::string oldTranslation_;
};
