// The platform half of the user-interface publisher: the window calls go to the window
// controller, the rest to the workspace, the pasteboard and the user's Desktop folder.
#include "Sorvel/source/xplat/SorvelUserInterfaceJSPublisher.h"

#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/mac/MacUtils.h"
#include "Common/source/xplat/FileSystemPath.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "SVLSorvelUIDelegateProtocol.h"

#include "platform/Folders.h"
#include "platform/desktop/Workspace.h"
#include "platform/files/FileRef.h"
#include "platform/files/Files.h"

#include <exception>

namespace {

const char kErrorPagesFolderName[] = "Tolk Setup Errors";

SVLSorvelUIDelegateProtocol* Controller(SorvelUserInterfaceJSPublisher::PlatformData* data)
{
    return data != nullptr ? data->windowController : nullptr;
}

}  // namespace

bool SorvelUserInterfaceJSPublisher::ImplResizeWindow(PlatformData* data, std::uint32_t width, std::uint32_t height)
{
    SVLSorvelUIDelegateProtocol* controller = Controller(data);
    return controller != nullptr && controller->setViewWidth(width, height);
}

bool SorvelUserInterfaceJSPublisher::ImplShowWindow(PlatformData* data, bool visible)
{
    SVLSorvelUIDelegateProtocol* controller = Controller(data);
    return controller != nullptr && controller->setVisibility(visible);
}

bool SorvelUserInterfaceJSPublisher::ImplSetWindowTitle(PlatformData* data, const std::string& title)
{
    SVLSorvelUIDelegateProtocol* controller = Controller(data);
    if (controller == nullptr)
        return false;
    controller->setTitle(title);
    return true;
}

bool SorvelUserInterfaceJSPublisher::ImplSetCloseBoxEnabled(PlatformData* data, bool enabled)
{
    // The alert window has no close box of its own to switch.
    SVLCloseBoxControl* closeBox = dynamic_cast<SVLCloseBoxControl*>(Controller(data));
    if (closeBox == nullptr)
        return false;
    closeBox->setCloseBoxEnabled(enabled);
    return true;
}

bool SorvelUserInterfaceJSPublisher::ImplSelectLocation(PlatformData* data, const std::string& startFolder,
                                                        const std::string& title, const std::string& subtitle,
                                                        std::string& result)
{
    SVLSorvelUIDelegateProtocol* controller = Controller(data);
    return controller != nullptr && controller->selectLocation(startFolder, title, subtitle, result);
}

bool SorvelUserInterfaceJSPublisher::ImplExitDialog(PlatformData* data, const ArgumentList& arguments)
{
    SVLSorvelUIDelegateProtocol* controller = Controller(data);
    return controller != nullptr && !arguments.empty() && controller->exitDialog(arguments[0]);
}

bool SorvelUserInterfaceJSPublisher::ImplShowModalAlert(PlatformData* data, const std::string& html,
                                                        std::string& result)
{
    SVLSorvelUIDelegateProtocol* controller = Controller(data);
    return controller != nullptr && controller->showHTMLAlert(html, result);
}

bool SorvelUserInterfaceJSPublisher::ImplEjectRemovableMedia(PlatformData* data, const std::string& path)
{
    if (Controller(data) == nullptr)
        return false;
    platform::Workspace()->UnmountAndEjectDevice(path);
    return true;
}

bool SorvelUserInterfaceJSPublisher::ImplGetPasteboardValue(PlatformData* data, std::string& result)
{
    // The pasteboard belongs to the windowing application, which the controller's module holds.
    SVLPasteboardAccess* pasteboard = dynamic_cast<SVLPasteboardAccess*>(Controller(data));
    return pasteboard != nullptr && pasteboard->readPasteboardText(result);
}

bool SorvelUserInterfaceJSPublisher::ImplSavePagesAndLaunch(PlatformData* data,
                                                            const std::map<std::string, std::string>& pages,
                                                            const std::string& launchName)
{
    if (Controller(data) == nullptr)
        return false;
    std::string desktop;
    if (!MacUtils::StdStringFindFolder(platform::kUserDomain, platform::FourCharCode('d', 'e', 's', 'k'), true,
                                       desktop))
        return false;

    std::string launchPath;
    try {
        // What is written to the user's Desktop for that user is that user's, also where another
        // process of ours acts for the user (the wizard that runs as root).
        const platform::UserDomainIdentity identity;
        if (!identity.Taken())
            return false;
        FileSystemPath folder(desktop);
        folder.AppendUTF8Segment(kErrorPagesFolderName);
        if (!FileSystemUtils::Exists(folder) && !FileSystemUtilsMac::CreateDirectory(folder, 0775, true))
            return false;
        for (const auto& page : pages) {
            FileSystemPath file(folder);
            file.AppendUTF8Segment(page.first);
            // The user's Desktop is the user's: a page is written the way every file of a run is, so
            // that a link, a second name or a pipe that another user put there is no way in.
            if (!platform::WriteFileAtomically(file.AsUTF8String(), page.second))
                return false;
            if (page.first == launchName)
                launchPath = file.AsUTF8String();
        }
    } catch (const std::exception&) {
        return false;
    }
    if (launchPath.empty())
        return false;
    platform::FileRef ref;
    if (platform::MakeFileRef(launchPath, ref) != platform::kNoErr)
        return false;
    return platform::Workspace()->OpenFile(launchPath) == 0;
}
