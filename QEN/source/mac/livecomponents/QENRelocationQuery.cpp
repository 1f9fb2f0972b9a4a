#include "QENRelocationQuery.h"

#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/xplat/Base64.h"
#include "Common/source/xplat/FileSystemUtils.h"

#include <cstdint>
#include <iterator>
#include <vector>

namespace QENRelocationQuery {

bool AliasDataStringToPath(const std::string& aliasData, FileSystemPath& path)
{
    std::vector<std::uint8_t> record;
    bool ok = false;
    ZEB::Base64Decode(aliasData.begin(), aliasData.end(), std::back_inserter(record), ok);
    if (!ok)
        return false;
    return FileSystemUtilsMac::ResolveMacAliasDataToPath(record, path);
}

bool IsRemapped(const std::string& installPath, const FileSystemPath& presentPath)
{
    // A stored path that is no full path cannot name the item the alias found.
    if (FileSystemUtils::ValidateUTF8FullPathString(installPath) != FileSystemUtils::kPathValid)
        return true;
    return FileSystemPath(installPath) != presentPath;
}

}  // namespace QENRelocationQuery
