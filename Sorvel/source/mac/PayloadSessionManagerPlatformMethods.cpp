// The payload session's platform half: the folder of the session logs.
#include "Sorvel/source/xplat/PayloadSessionManager.h"

#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/mac/MacUtils.h"
#include "Common/source/xplat/FileSystemUtils.h"

#include "Common/source/xplat/RunReport.h"

#include "platform/Folders.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>

namespace {

const std::uint32_t kDomainLibraryFolderType = platform::FourCharCode('d', 'l', 'i', 'b');
const unsigned short kLogFolderMode = 0755;

}  // namespace

bool PayloadSessionManager::PayloadSessionManagerPlatformMethods::MakeLogDirectory(FileSystemPath& folder)
{
    // Logs of a run as root belong to the system, so that every administrator finds them.
    const short domain = geteuid() == 0 ? platform::kLocalDomain : platform::kUserDomain;
    std::string library;
    if (!MacUtils::StdStringFindFolder(domain, kDomainLibraryFolderType, true, library)) {
        RunReport::NoteNoSessionLog(std::string("the Library folder of the ") +
                                    (domain == platform::kLocalDomain ? "system" : "user") + " cannot be found or made");
        return false;
    }
    try {
        FileSystemPath path(library);
        for (const char* component : {"Logs", "Orvex", "Installers"}) {
            path.AppendUTF8Segment(component);
            if (!FileSystemUtils::Exists(path) && !FileSystemUtilsMac::CreateDirectory(path, kLogFolderMode, true)) {
                RunReport::NoteNoSessionLog("the log folder \"" + path.AsUTF8String() +
                                            "\" could not be made: " + std::strerror(errno));
                return false;
            }
        }
        folder = path;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool PayloadSessionManager::PayloadSessionManagerPlatformMethods::GetLogfilePath(const std::string& fileName,
                                                                                 std::string& path)
{
    // Only a name of one component names a file in the log folder.
    if (fileName != FileSystemUtils::FileNameFromText(fileName, std::string()))
        return false;
    FileSystemPath folder;
    if (!MakeLogDirectory(folder))
        return false;
    folder.AppendUTF8Segment(fileName);
    path = folder.AsUTF8String();
    return true;
}
