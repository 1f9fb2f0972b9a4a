#include "platform/desktop/Workspace.h"

#include <sys/stat.h>

#include <cerrno>
#include <mutex>

namespace platform {

namespace {

std::mutex gMutex;  // guards gWorkspace, gDesktop, gHeadless, gRequests
boost::shared_ptr<WorkspaceInterface> gWorkspace;
boost::shared_ptr<WorkspaceInterface> gDesktop;
boost::shared_ptr<WorkspaceInterface> gHeadless;
std::vector<std::string> gRequests;

void Record(const std::string& request)
{
    std::lock_guard<std::mutex> lock(gMutex);
    gRequests.push_back(request);
}

}  // namespace

int HeadlessWorkspace::OpenURL(const std::string& url)
{
    Record("open-url " + url);
    return ENXIO;
}

int HeadlessWorkspace::OpenFile(const std::string& path)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return ENOENT;
    Record("open-file " + path);
    return ENXIO;
}

bool HeadlessWorkspace::UnmountAndEjectDevice(const std::string& path)
{
    Record("eject " + path);
    return false;
}

boost::shared_ptr<WorkspaceInterface> Workspace()
{
    std::lock_guard<std::mutex> lock(gMutex);
    if (gWorkspace)
        return gWorkspace;
    if (gDesktop)
        return gDesktop;
    if (!gHeadless)
        gHeadless.reset(new HeadlessWorkspace);
    return gHeadless;
}

void SetWorkspace(const boost::shared_ptr<WorkspaceInterface>& workspace)
{
    std::lock_guard<std::mutex> lock(gMutex);
    gWorkspace = workspace;
}

void SetDesktopWorkspace(const boost::shared_ptr<WorkspaceInterface>& workspace)
{
    std::lock_guard<std::mutex> lock(gMutex);
    gDesktop = workspace;
}

std::vector<std::string> RecordedWorkspaceRequests()
{
    std::lock_guard<std::mutex> lock(gMutex);
    return gRequests;
}

void ClearRecordedWorkspaceRequests()
{
    std::lock_guard<std::mutex> lock(gMutex);
    gRequests.clear();
}

}  // namespace platform
