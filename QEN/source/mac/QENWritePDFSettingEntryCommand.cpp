#include "QENWritePDFSettingEntryCommand.h"

#include "PDFSettingUtils.h"
#include "QENRemovePDFSettingEntryCommand.h"

#include <boost/format.hpp>

QENWritePDFSettingEntryCommand::QENWritePDFSettingEntryCommand(LogAppender& log, const std::string& language,
                                                               const std::string& name,
                                                               const std::string& translation)
    : QENCommand(log), language_(language), name_(name), translation_(translation), hadOld_(false)
{
}

std::string QENWritePDFSettingEntryCommand::GetName() const
{
    return "QENWritePDFSettingEntryCommand";
}

bool QENWritePDFSettingEntryCommand::DoPerform()
{
    hadOld_ = PDFSettingUtils::GetPDFSetting(language_, name_, oldTranslation_);
    if (hadOld_) {
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Preserved old PDF Setting translation for name \"%1%\" in language \"%2%\" of "
                                        "\"%3%\"") %
                          name_ % language_ % oldTranslation_)
                             .str());
    }
    if (PDFSettingUtils::SetPDFSetting(language_, name_, translation_)) {
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("PDF Setting translation for name \"%1%\" in language \"%2%\" set to \"%3%\"") %
                          name_ % language_ % translation_)
                             .str());
        return true;
    }
    log_.AppendToLog(LogAppender::kLogError,
                     (boost::format("Unable to set PDF Setting translation for name \"%1%\" in language \"%2%\" to "
                                    "\"%3%\"") %
                      name_ % language_ % translation_)
                         .str());
    return false;
}

bool QENWritePDFSettingEntryCommand::DoRollback()
{
    if (hadOld_)
        return QENRemovePDFSettingEntryCommand::RestoreOldTranslation(log_, language_, name_, oldTranslation_);

    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("No prior PDF Setting translation existed for name \"%1%\" in language \"%2%\" "
                                    "existed, removing") %
                      name_ % language_)
                         .str());
    return QENRemovePDFSettingEntryCommand::RemoveTranslation(log_, language_, name_);
}

bool QENWritePDFSettingEntryCommand::DoCommit()
{
    return true;
}
