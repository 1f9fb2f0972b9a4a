// The media source's platform half: where this system mounts a removable volume.
#include "Sorvel/source/xplat/PayloadMediaSource.h"

#include "platform/SystemRoot.h"

bool PayloadMediaSource::ImplUpdateRemovableMediaPathInfo(const FileSystemPath&, const std::string& mediaName,
                                                          const FileSystemPath&, FileSystemPath& newPath)
{
    FileSystemPath path(platform::SystemRoot::Resolve("/Volumes"));
    path.AppendUTF8Segment(mediaName);
    newPath = path;
    return true;
}
