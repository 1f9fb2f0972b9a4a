#include "BrowserAccessor.h"

#include "Common/source/mac/MacUtils.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "SimpleBrowserAccessor.h"

#include "platform/Folders.h"
#include "platform/desktop/LaunchServices.h"

#include <algorithm>
#include <string>

namespace {

// The local domain's Internet plug-ins folder, where Safari (and every browser of the
// Netscape family) looks for plug-ins.
const std::uint32_t kInternetPlugInFolderType = 0xC46E6574;  // '\xC4net'

boost::shared_ptr<FileSystemPath> InternetPlugInsFolder()
{
    boost::shared_ptr<FileSystemPath> folder;
    std::string path;
    if (MacUtils::StdStringFindFolder(platform::kLocalDomain, kInternetPlugInFolderType, true, path) &&
        FileSystemUtils::ValidateUTF8FullPathString(path) == FileSystemUtils::kPathValid)
        folder.reset(new FileSystemPath(path));
    return folder;
}

// The application the system knows by these marks; empty when it knows none.
boost::shared_ptr<FileSystemPath> LocateAppWithLaunchServices(std::uint32_t creator, const char* bundleID,
                                                              const char* name)
{
    boost::shared_ptr<FileSystemPath> application;
    const std::string identifier = bundleID != nullptr ? bundleID : "";
    const std::string fileName = name != nullptr ? name : "";
    std::string path;
    if (platform::FindApplication(creator, bundleID != nullptr ? &identifier : nullptr,
                                  name != nullptr ? &fileName : nullptr, path) != 0)
        return application;
    // The system's answer must fit a path buffer of 1024 bytes, its terminating NUL included.
    if (path.size() >= 1024 || FileSystemUtils::ValidateUTF8FullPathString(path) != FileSystemUtils::kPathValid)
        return application;
    application.reset(new FileSystemPath(path));
    return application;
}

// A browser of the Netscape family keeps its components inside its bundle and takes its
// plug-ins from the Internet plug-ins folder.
boost::shared_ptr<BrowserAccessor> MakeNetscapeFamilyAccessorForPath(const FileSystemPath& applicationPath)
{
    FileSystemPath components(applicationPath);
    components.AppendUTF8Segment("Contents").AppendUTF8Segment("MacOS").AppendUTF8Segment("Components");
    const boost::shared_ptr<FileSystemPath> plugins = InternetPlugInsFolder();
    return boost::shared_ptr<BrowserAccessor>(new SimpleBrowserAccessor(&components, plugins.get()));
}

class BrowserPathCollecter {
public:
    BrowserPathCollecter(BrowserAccessor::FileSystemPathSet& components, BrowserAccessor::FileSystemPathSet& plugins)
        : components_(components), plugins_(plugins)
    {
    }

    void operator()(const boost::shared_ptr<BrowserAccessor>& browser) const
    {
        if (const boost::shared_ptr<FileSystemPath> folder = browser->GetXPTDirectory())
            components_.insert(*folder);
        if (const boost::shared_ptr<FileSystemPath> folder = browser->GetPluginDirectory())
            plugins_.insert(*folder);
    }

private:
    BrowserAccessor::FileSystemPathSet& components_;
    BrowserAccessor::FileSystemPathSet& plugins_;
};

}  // namespace

bool BrowserAccessor::FileSystemPathSetLess::operator()(const FileSystemPath& a, const FileSystemPath& b) const
{
    const std::string left = a.AsNative();
    const std::string right = b.AsNative();
    return left.compare(right) < 0;
}

BrowserAccessor::BrowserList BrowserAccessor::GetAllBrowsers()
{
    BrowserList browsers;
    if (const boost::shared_ptr<FileSystemPath> plugins = InternetPlugInsFolder())
        browsers.push_back(boost::shared_ptr<BrowserAccessor>(new SimpleBrowserAccessor(plugins.get(), plugins.get())));
    if (const boost::shared_ptr<FileSystemPath> netscape =
            LocateAppWithLaunchServices(platform::FourCharCode('M', 'O', 'S', 'S'), nullptr, "Netscape.app"))
        browsers.push_back(MakeNetscapeFamilyAccessorForPath(*netscape));
    if (const boost::shared_ptr<FileSystemPath> mozilla =
            LocateAppWithLaunchServices(platform::FourCharCode('M', 'O', 'Z', 'Z'), nullptr, "Mozilla.app"))
        browsers.push_back(MakeNetscapeFamilyAccessorForPath(*mozilla));
    return browsers;
}

void BrowserAccessor::GetBrowserPaths(FileSystemPathSet& componentFolders, FileSystemPathSet& pluginFolders)
{
    componentFolders.clear();
    pluginFolders.clear();
    const BrowserList browsers = GetAllBrowsers();
    std::for_each(browsers.begin(), browsers.end(), BrowserPathCollecter(componentFolders, pluginFolders));
}
