#include "platform/Workspace.h"

#include <sys/stat.h>

#include <cerrno>
#include <mutex>

namespace platform {

namespace {

std::mutex gMutex;  // guards gWorkspace, gRequests
boost::shared_ptr<WorkspaceInterface> gWorkspace;
std::vector<std::string> gRequests;

void Record(const std::string& request)
{
    std::lock_guard<std::mutex> lock(gMutex);
    gRequests.push_back(request);
}

class RecordingWorkspace : public WorkspaceInterface {
public:
    int OpenURL(const std::string& url) override
    {
        Record("open-url " + url);
        return 0;
    }

    int OpenFile(const std::string& path) override
    {
        struct stat info;
        if (::stat(path.c_str(), &info) != 0)
            return ENOENT;
        Record("open-file " + path);
        return 0;
    }

    bool UnmountAndEjectDevice(const std::string& path) override
    {
        Record("eject " + path);
        return false;
    }
};

}  // namespace

boost::shared_ptr<WorkspaceInterface> Workspace()
{
    std::lock_guard<std::mutex> lock(gMutex);
    if (!gWorkspace)
        gWorkspace.reset(new RecordingWorkspace);
    return gWorkspace;
}

void SetWorkspace(const boost::shared_ptr<WorkspaceInterface>& workspace)
{
    std::lock_guard<std::mutex> lock(gMutex);
    gWorkspace = workspace;
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
