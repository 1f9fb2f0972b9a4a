// BrowserAccessor: where a web browser takes its plug-ins and its components, for the scripts
// that install into every browser of the machine.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"

#include <boost/shared_ptr.hpp>

#include <set>
#include <vector>

class BrowserAccessor {
public:
    // Orders paths by their native text, byte by byte: two paths of the same text are one entry,
    // and case matters.
    struct FileSystemPathSetLess {
        bool operator()(const FileSystemPath& a, const FileSystemPath& b) const;
    };
    typedef std::set<FileSystemPath, FileSystemPathSetLess> FileSystemPathSet;
    typedef std::vector<boost::shared_ptr<BrowserAccessor> > BrowserList;

    virtual ~BrowserAccessor() {}

    // The browser's component folder and plug-in folder; empty when it has none.
    virtual boost::shared_ptr<FileSystemPath> GetXPTDirectory() const = 0;
    virtual boost::shared_ptr<FileSystemPath> GetPluginDirectory() const = 0;

    // The browsers found on this machine: Safari when the local Internet plug-ins folder can be
    // found (or made), then Netscape and Mozilla when the system knows the application.
    static BrowserList GetAllBrowsers();
    // Empties both sets, then fills them with the folders of every browser found.
    static void GetBrowserPaths(FileSystemPathSet& componentFolders, FileSystemPathSet& pluginFolders);
};
