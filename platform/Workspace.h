// Workspace: what the desktop does for the program: open a URL or a file with its default
// application and eject a removable medium. There is no desktop session behind this program, so
// the default workspace opens nothing: it records each request (RecordedWorkspaceRequests) and
// answers as a desktop would. Tests and a desktop build may install a workspace of their own.
#pragma once

#include <boost/shared_ptr.hpp>

#include <string>
#include <vector>

namespace platform {

class WorkspaceInterface {
public:
    virtual ~WorkspaceInterface() = default;
    // 0 when the URL was handed to its application, else an error number.
    virtual int OpenURL(const std::string& url) = 0;
    // 0 when the file was handed to its application; ENOENT when there is no such file.
    virtual int OpenFile(const std::string& path) = 0;
    // Whether the medium at the path was unmounted and ejected.
    virtual bool UnmountAndEjectDevice(const std::string& path) = 0;
};

// The workspace of this process; never null.
boost::shared_ptr<WorkspaceInterface> Workspace();
// Replaces it (null restores the default).
void SetWorkspace(const boost::shared_ptr<WorkspaceInterface>& workspace);

// What the default workspace was asked, oldest first: "open-url <url>", "open-file <path>",
// "eject <path>". ClearRecordedWorkspaceRequests forgets them.
std::vector<std::string> RecordedWorkspaceRequests();
void ClearRecordedWorkspaceRequests();

}  // namespace platform
