#include "FolderResolver.h"

#include "MacUtils.h"

#include "platform/Folders.h"

namespace FolderResolver {

namespace {

using platform::FourCharCode;

struct FolderKey {
    const char* key;
    short domain;
    std::uint32_t folderType;
};

const char kC4 = static_cast<char>(0xC4);

const FolderKey kFolderKeys[] = {
    {"OrvexCommon", platform::kLocalDomain, FourCharCode('a', 's', 'u', 'p')},
    {"OrvexProgramFiles", platform::kLocalDomain, FourCharCode('a', 'p', 'p', 's')},
    {"Common", platform::kLocalDomain, FourCharCode('a', 's', 'u', 'p')},
    {"ProgramFiles", platform::kLocalDomain, FourCharCode('a', 'p', 'p', 's')},
    {"SharedApplicationData", platform::kLocalDomain, FourCharCode('a', 's', 'u', 'p')},
    {"SharedDocuments", platform::kLocalDomain, FourCharCode('s', 'd', 'a', 't')},
    {"Utilities", platform::kLocalDomain, FourCharCode('u', 't', 'i', kC4)},
    {"FontsFolder", platform::kLocalDomain, FourCharCode('f', 'o', 'n', 't')},
    {"Library", platform::kLocalDomain, FourCharCode('d', 'l', 'i', 'b')},
    {"ScriptingAdditions", platform::kLocalDomain, FourCharCode(kC4, 's', 'c', 'r')},
    {"InternetPlugins", platform::kLocalDomain, FourCharCode(kC4, 'n', 'e', 't')},
    {"ColorSyncProfiles", platform::kLocalDomain, FourCharCode('p', 'r', 'o', 'f')},
    {"UserInternetPlugins", platform::kUserDomain, FourCharCode(kC4, 'n', 'e', 't')},
    {"UserPreferences", platform::kUserDomain, FourCharCode('p', 'r', 'e', 'f')},
};

}  // namespace

bool ExpandPathKey(const std::string& key, FileSystemPath& path)
{
    for (const FolderKey& entry : kFolderKeys) {
        if (key != entry.key)
            continue;
        std::string folder;
        if (!MacUtils::StdStringFindFolder(entry.domain, entry.folderType, true, folder))
            return false;
        FileSystemPath result(folder);
        if (key == "OrvexCommon")
            result.AppendUTF8Segment("Orvex");
        path = result;
        return true;
    }
    return false;
}

}  // namespace FolderResolver
