#include "QENRemovePDFSettingEntryCommand.h"

#include "PDFSettingUtils.h"

#include <boost/format.hpp>

QENRemovePDFSettingEntryCommand::QENRemovePDFSettingEntryCommand(LogAppender& log, const std::string& language,
                                                                 const std::string& name)
    : QENCommand(log), language_(language), name_(name), hadOld_(false)
{
}

std::string QENRemovePDFSettingEntryCommand::GetName() const
{
    return "QENRemovePDFSettingEntryCommand";
}

bool QENRemovePDFSettingEntryCommand::RemoveTranslation(LogAppender& log, const std::string& language,
                                                        const std::string& name)
{
    if (PDFSettingUtils::RemovePDFSetting(language, name)) {
        log.AppendToLog(LogAppender::kLogDebug,
                        (boost::format("PDF Setting translation for name \"%1%\" in language \"%2%\" removed") % name %
                         language)
                            .str());
        return true;
    }
    log.AppendToLog(LogAppender::kLogError,
                    (boost::format("Unable to remove PDF Setting translation for name \"%1%\" in language \"%2%\"") %
                     name % language)
                        .str());
    return false;
}

bool QENRemovePDFSettingEntryCommand::RestoreOldTranslation(LogAppender& log, const std::string& language,
                                                            const std::string& name, const std::string& oldTranslation)
{
    log.AppendToLog(LogAppender::kLogDebug,
                    (boost::format("Restoring old PDF Setting translation for name \"%1%\" in language \"%2%\" to "
                                   "\"%3%\"") %
                     name % language % oldTranslation)
                        .str());
    if (PDFSettingUtils::SetPDFSetting(language, name, oldTranslation)) {
        log.AppendToLog(LogAppender::kLogDebug,
                        (boost::format("Restored PDF Setting translation for name \"%1%\" in language \"%2%\" to "
                                       "\"%3%\"") %
                         name % language % oldTranslation)
                            .str());
        return true;
    }
    log.AppendToLog(LogAppender::kLogError,
                    (boost::format("Unable to restore PDF Setting translation for name \"%1%\" in language \"%2%\" to "
                                   "\"%3%\"") %
                     name % language % oldTranslation)
                        .str());
    return false;
}

bool QENRemovePDFSettingEntryCommand::DoPerform()
{
    hadOld_ = PDFSettingUtils::GetPDFSetting(language_, name_, oldTranslation_);
    if (!hadOld_) {
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Old PDF Setting entry for name \"%1%\" in language \"%2%\" not found, not "
                                        "removing.") %
                          name_ % language_)
                             .str());
        return true;
    }
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("Preserved old PDF Setting translation for name \"%1%\" in language \"%2%\" of "
                                    "\"%3%\"") %
                      name_ % language_ % oldTranslation_)
                         .str());
    return RemoveTranslation(log_, language_, name_);
}

bool QENRemovePDFSettingEntryCommand::DoRollback()
{
    if (hadOld_)
        return RestoreOldTranslation(log_, language_, name_, oldTranslation_);
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("No prior PDF Setting translation existed for name \"%1%\" in language \"%2%\" "
                                    "existed; skipping restore") %
                      name_ % language_)
                         .str());
    return true;
}

bool QENRemovePDFSettingEntryCommand::DoCommit()
{
    return true;
}
