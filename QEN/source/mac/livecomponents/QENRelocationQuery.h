// QENRelocationQuery: reads back the relocation data of a storage key (the path aliases and
// token volumes its uninstall database keeps) and resolves every alias to where its item is
// now, for the script function QENGetRelocationData. Written over any accessor with the
// uninstall database's interface, so that its rules can be checked on a database in memory.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "Common/source/xplat/LogAppender.h"
#include "QENGlobalsLC.h"
#include "caps/caps.h"

#include "platform/script/Mivor.h"

#include <boost/format.hpp>
#include <boost/shared_ptr.hpp>

#include <map>
#include <set>
#include <string>

namespace QENRelocationQuery {

// The present path of the item whose alias record the Base64 text holds; false when the text
// is no Base64 or the record cannot be resolved.
bool AliasDataStringToPath(const std::string& aliasData, FileSystemPath& path);

// Whether the resolved path names another item than the install path.
bool IsRemapped(const std::string& installPath, const FileSystemPath& presentPath);

// [paths, tokens]: paths holds [install path, present path] for every alias whose item has
// moved, in install-path order; tokens holds [token, volume path, present path or null] for
// every token, in token order. A key without a database answers [[], []]. Answers the call's
// code: 1 when the database cannot be opened or read (result undefined), else 0.
template <typename Accessor>
int GetRelocationData(LogAppender& log, const std::string& storageKey, Mivor::Variant& result)
{
    typedef typename Accessor::TokenVolumeData TokenVolumeData;
    typedef std::set<TokenVolumeData, typename TokenVolumeData::LtComparator> TokenVolumeDataSet;

    boost::shared_ptr<Accessor> accessor;
    capsStatus status = Accessor::Create(storageKey, accessor);
    if (status != kCapsOK || !accessor) {
        log.AppendToLog(LogAppender::kLogError,
                        (boost::format("Unable to access uninstall database for storage key %1% due to error %2%") %
                         storageKey % status)
                            .str());
        Mivor::Array& empty = result.makeArray();
        empty.append(Mivor::Array());
        empty.append(Mivor::Array());
        return QENGlobalsLC::kCodeOK;
    }
    if (!accessor->Exists()) {
        log.AppendToLog(
            LogAppender::kLogDebug,
            (boost::format("No alias data for storage key %1% because the uninstall database does not exist") % storageKey)
                .str());
        Mivor::Array& empty = result.makeArray();
        empty.append(Mivor::Array());
        empty.append(Mivor::Array());
        return QENGlobalsLC::kCodeOK;
    }
    status = accessor->Open();
    if (status != kCapsOK) {
        log.AppendToLog(LogAppender::kLogError,
                        (boost::format("Unable to open uninstall database for storage key %1% due to error %2%") %
                         storageKey % status)
                            .str());
        return QENGlobalsLC::kCodeRelocationReadFailed;
    }
    std::map<std::string, std::string> aliases;
    status = accessor->GetAliasDataForAllPaths(aliases);
    if (status != kCapsOK && status != kCapsNotFound) {
        log.AppendToLog(LogAppender::kLogError,
                        (boost::format("Unable to get alias data from uninstall db for storage key %1% due to error %2%") %
                         storageKey % status)
                            .str());
        return QENGlobalsLC::kCodeRelocationReadFailed;
    }
    if (status == kCapsNotFound)
        aliases.clear();
    TokenVolumeDataSet tokens;
    status = accessor->GetTokenVolumeDataForAllTokens(tokens);
    if (status != kCapsOK && status != kCapsNotFound) {
        log.AppendToLog(
            LogAppender::kLogError,
            (boost::format("Unable to get token volume data from uninstall db for storage key %1% due to error %2%") %
             storageKey % status)
                .str());
        return QENGlobalsLC::kCodeRelocationReadFailed;
    }
    if (status == kCapsNotFound)
        tokens.clear();

    Mivor::Array paths;
    for (const std::map<std::string, std::string>::value_type& alias : aliases) {
        FileSystemPath present(std::string("/"));
        if (!AliasDataStringToPath(alias.second, present)) {
            log.AppendToLog(
                LogAppender::kLogWarn,
                (boost::format("Unable to resolve alias for original path \"%1%\" with alias data \"%2%\", not remapping...") %
                 alias.first % alias.second)
                    .str());
            continue;
        }
        if (!IsRemapped(alias.first, present))
            continue;
        Mivor::Array& pair = paths.appendUndefined().makeArray();
        QENGlobalsLC::SetUTF8String(pair.appendUndefined(), alias.first);
        QENGlobalsLC::SetUTF8String(pair.appendUndefined(), present.AsUTF8String());
    }
    Mivor::Array volumes;
    for (const TokenVolumeData& token : tokens) {
        Mivor::Array& entry = volumes.appendUndefined().makeArray();
        QENGlobalsLC::SetUTF8String(entry.appendUndefined(), token.token);
        QENGlobalsLC::SetUTF8String(entry.appendUndefined(), token.volumePath);
        FileSystemPath present(std::string("/"));
        if (AliasDataStringToPath(token.volumeAliasData, present)) {
            QENGlobalsLC::SetUTF8String(entry.appendUndefined(), present.AsUTF8String());
        } else {
            entry.appendUndefined().setNull();
            log.AppendToLog(
                LogAppender::kLogWarn,
                (boost::format("Unable to resolve alias for token [%1%] with original path \"%2%\" and alias data \"%3%\"") %
                 token.token % token.volumePath % token.volumeAliasData)
                    .str());
        }
    }
    Mivor::Array& answer = result.makeArray();
    answer.append(paths);
    answer.append(volumes);
    return QENGlobalsLC::kCodeOK;
}

}  // namespace QENRelocationQuery
