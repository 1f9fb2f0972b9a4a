// DiskImageMounter: attaches one disk image with the system's disk-image tool, tells where it
// was mounted, and detaches it again (at the latest when the mounter goes away).
#pragma once

#include "Common/source/xplat/FileSystemPath.h"

#include <boost/function.hpp>
#include <boost/noncopyable.hpp>
#include <boost/optional.hpp>
#include <boost/shared_ptr.hpp>

#include <string>
#include <vector>

class DiskImageMounter : private boost::noncopyable {
public:
    // Bits of MountAtPath's flags.
    static const int kMountPrivate = 0x1;   // not shown in the Finder or on the desktop
    static const int kMountReadOnly = 0x2;

    // Binds the mounter to the image; nothing is mounted yet.
    explicit DiskImageMounter(const FileSystemPath& image);
    // Detaches the image if this mounter has it attached, then removes the temporary mount
    // folder if it is empty (a still-attached image keeps its folder).
    ~DiskImageMounter();

    bool IsMounted() const { return mounted_; }

    // Called with the folder that MountHidden is about to make or attach on, before it does: a
    // caller that must find the mount again after a crash notes it there.
    typedef boost::function<void(const FileSystemPath& folder)> FolderNote;
    // Attaches the image private and read-only on a folder of this mounter's own in the system
    // root's "/tmp", made on first use (under another name when the one chosen is taken by
    // then) and reused by later calls. False when already mounted or on failure.
    bool MountHidden(const FolderNote& noteFolder = FolderNote());
    // The folder MountHidden attaches on next, chosen now if it is not yet.
    bool PlanHiddenMountPoint(FileSystemPath& mountPoint);
    // Attaches the image on an existing folder; flags as above. False when already mounted,
    // when a tool is missing or when the attach fails.
    bool MountAtPath(const FileSystemPath& mountPoint, int flags);
    // Detaches the image; true also when nothing was mounted. A failed eject leaves the
    // mounter mounted.
    bool Unmount();
    // Detaches the image and removes the folder MountHidden made, as the destructor does.
    void Release();

    // Where the image was mounted and its device entry, as the attach reported them; false
    // when not mounted or when the tool's report could not be read.
    bool GetMountPoint(FileSystemPath& mountPoint) const;
    bool GetDevEntry(FileSystemPath& devEntry) const;
    // Why the last attach failed, as the disk-image tool said on its standard error (its lines
    // joined by "; "); empty when it said nothing or the attach succeeded.
    const std::string& AttachFailure() const { return attachFailure_; }

    // Ejects an image that a process attached at the mount point and left attached when it died,
    // then removes the mount point if it is an empty folder. True when the image was ejected.
    static bool EjectLeftOver(const FileSystemPath& mountPoint);

    // Reads the attach report (an XML property list): the first of its "system-entities" that
    // has both a "mount-point" and a "dev-entry" gives them. False, with both outputs
    // untouched, when there is none.
    static bool ExtractInfoFromMountOutput(const std::vector<char>& output, FileSystemPath& mountPoint,
                                           FileSystemPath& devEntry);

private:
    FileSystemPath image_;
    boost::shared_ptr<FileSystemPath> temporaryMountFolder_;
    bool temporaryMountFolderMade_ = false;
    bool mounted_;
    // The standard output of the tools since the last attach began.
    std::vector<char> toolOutput_;
    std::string attachFailure_;
    // Kept from the attach, so that later tool output cannot make the image impossible to eject.
    boost::optional<FileSystemPath> mountPoint_;
    boost::optional<FileSystemPath> devEntry_;
    // The folder the attach asked for: what the eject names when the report was unreadable.
    boost::optional<FileSystemPath> requestedMountPoint_;
};
