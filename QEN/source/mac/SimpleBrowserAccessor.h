// SimpleBrowserAccessor: a browser whose two folders are known up front.
#pragma once

#include "BrowserAccessor.h"

class SimpleBrowserAccessor : public BrowserAccessor {
public:
    // Each folder given is copied; a null one stays empty.
    SimpleBrowserAccessor(const FileSystemPath* xptDirectory, const FileSystemPath* pluginDirectory);

    boost::shared_ptr<FileSystemPath> GetXPTDirectory() const override { return xptDirectory_; }
    boost::shared_ptr<FileSystemPath> GetPluginDirectory() const override { return pluginDirectory_; }

private:
    boost::shared_ptr<FileSystemPath> xptDirectory_;
    boost::shared_ptr<FileSystemPath> pluginDirectory_;
};
