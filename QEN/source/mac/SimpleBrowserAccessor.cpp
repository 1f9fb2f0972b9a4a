#include "SimpleBrowserAccessor.h"

SimpleBrowserAccessor::SimpleBrowserAccessor(const FileSystemPath* xptDirectory, const FileSystemPath* pluginDirectory)
{
    if (xptDirectory != nullptr)
        xptDirectory_.reset(new FileSystemPath(*xptDirectory));
    if (pluginDirectory != nullptr)
        pluginDirectory_.reset(new FileSystemPath(*pluginDirectory));
}
