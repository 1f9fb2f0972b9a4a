#include "QENStoreRelocationDataCommand.h"

#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/xplat/Base64.h"
#include "Common/source/xplat/FileSystemPath.h"

#include <boost/format.hpp>

#include <cstdint>
#include <exception>

namespace {

// The alias text of the item at the path: the Base64 form of a new alias record. False, text
// unchanged, when no record can be made (no such item, or a text that is no absolute path).
bool PathStringToAliasDataString(const std::string& pathText, std::string& aliasText)
{
    std::vector<std::uint8_t> record;
    try {
        if (!FileSystemUtilsMac::GetMacAliasDataForPath(FileSystemPath(pathText), record))
            return false;
    } catch (const std::exception&) {
        return false;
    }
    aliasText.clear();
    ZEB::Base64Encode(record.begin(), record.end(), aliasText);
    return true;
}

}  // namespace

QENStoreRelocationDataCommand::QENStoreRelocationDataCommand(LogAppender& log, const std::string& storageKey,
                                                             const PathList& installPaths,
                                                             const TokenVolumeMap& tokenVolumes)
    : QENRelocationDataCommand(log, storageKey), installPaths_(installPaths), tokenVolumes_(tokenVolumes)
{
}

std::string QENStoreRelocationDataCommand::GetName() const
{
    return "QENStoreRelocationDataCommand";
}

bool QENStoreRelocationDataCommand::DoPerform()
{
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("Storing relocation data for storage key %1%") % storageKey_).str());
    capsStatus status = OpenDatabase();
    if (status == kCapsOK) {
        // An item that cannot be aliased (it does not exist) is left out, and the others are still
        // stored: a missing item says nothing about the rest.
        for (const std::string& path : installPaths_) {
            std::string aliasText;
            if (!PathStringToAliasDataString(path, aliasText)) {
                log_.AppendToLog(LogAppender::kLogError,
                                 (boost::format("Unable to get alias data for path \"%1%\"") % path).str());
                continue;
            }
            status = accessor_->SetAliasDataForPath(path, aliasText);
            if (status != kCapsOK) {
                log_.AppendToLog(LogAppender::kLogError,
                                 (boost::format("Unable to store alias data for path at \"%1%\" due to error %2%") %
                                  path % status)
                                     .str());
                break;
            }
        }
        for (TokenVolumeMap::const_iterator volume = tokenVolumes_.begin();
             status == kCapsOK && volume != tokenVolumes_.end(); ++volume) {
            std::string aliasText;
            if (!PathStringToAliasDataString(volume->second, aliasText)) {
                log_.AppendToLog(LogAppender::kLogError,
                                 (boost::format("Unable to get alias data for volume path \"%1%\" for token \"%2%\"") %
                                  volume->second % volume->first)
                                     .str());
                continue;
            }
            status = accessor_->SetTokenVolumeData(
                UninstallDBAccess::TokenVolumeData(volume->first, volume->second, aliasText));
            if (status != kCapsOK)
                log_.AppendToLog(LogAppender::kLogError,
                                 (boost::format("Unable to store token volume alias data for token \"%1%\" with volume "
                                                "path at \"%2%\" due to error %3%") %
                                  volume->first % volume->second % status)
                                     .str());
        }
    }
    log_.AppendToLog(LogAppender::kLogDebug, std::string("Stored"));
    return status == kCapsOK;
}
