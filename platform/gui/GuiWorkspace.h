// GuiWorkspace: the desktop's workspace, for a process that has opened a display. A URL or a file
// goes to the application the desktop has for it, as the desktop's own launcher hands it over
// (the user's default applications and MIME database); ejecting is left to the headless
// workspace's answer. GuiApplication::Load puts it in place.
#pragma once

#include "platform/desktop/Workspace.h"

namespace platform {

class GuiWorkspace : public HeadlessWorkspace {
public:
    // 0 when the desktop handed the URL to an application; EIO when it has none or could not
    // start it.
    int OpenURL(const std::string& url) override;
    // As OpenURL for the file's URL; ENOENT when there is no such file.
    int OpenFile(const std::string& path) override;
};

}  // namespace platform
