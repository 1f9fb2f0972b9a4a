// Workspace: what the desktop does for the program: open a URL or a file with its default
// application and eject a removable medium. Once the GUI has opened a display it puts the
// desktop's own workspace in place (GuiWorkspace.h), which opens what it is given as the desktop
// does; before that, and in runs without a display, the workspace opens nothing and says so.
// Tests may install a workspace of their own.
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

// The workspace of a process without a desktop: it records every request
// (RecordedWorkspaceRequests) and does none of them. Opening answers ENXIO (ENOENT for a missing
// file) and ejecting false.
class HeadlessWorkspace : public WorkspaceInterface {
public:
    int OpenURL(const std::string& url) override;
    int OpenFile(const std::string& path) override;
    bool UnmountAndEjectDevice(const std::string& path) override;
};

// The workspace of this process; never null: the one a test installed, else the desktop's, else
// a HeadlessWorkspace.
boost::shared_ptr<WorkspaceInterface> Workspace();
// Replaces it (null restores the desktop's or the headless one).
void SetWorkspace(const boost::shared_ptr<WorkspaceInterface>& workspace);
// The GUI's workspace, once it has a display (null when it lets go of it).
void SetDesktopWorkspace(const boost::shared_ptr<WorkspaceInterface>& workspace);

// What a HeadlessWorkspace was asked, oldest first: "open-url <url>", "open-file <path>",
// "eject <path>". ClearRecordedWorkspaceRequests forgets them.
std::vector<std::string> RecordedWorkspaceRequests();
void ClearRecordedWorkspaceRequests();

}  // namespace platform
