#include "ImageViews.h"

#include "platform/files/Files.h"
#include "platform/formats/PropertyList.h"

#include <ftw.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tools {

namespace {

// nftw hands its callback no context of its own; the walk runs on one thread.
uid_t gOwner;
gid_t gGroup;

int CheckEntry(const char*, const struct stat* info, int type, struct FTW*)
{
    if (type == FTW_NS || type == FTW_DNR)
        return 1;
    if (info->st_uid != gOwner || info->st_gid != gGroup)
        return 1;
    if (!S_ISLNK(info->st_mode) && (info->st_mode & (S_ISUID | S_ISGID)) != 0)
        return 1;
    return 0;
}

}  // namespace

bool MountsAllowed(const std::string& root)
{
    std::string bytes;
    platform::PropertyValuePtr settings;
    const std::string path = (root == "/" ? std::string() : root) + "/.tolk/platform.plist";
    if (!platform::ReadWholeFile(path, bytes) || !platform::ParsePropertyList(bytes, settings) || !settings ||
        !settings->IsDictionary())
        return true;
    platform::ConstPropertyValuePtr allowed = settings->Get("disk-image-mounts");
    return !allowed || allowed->GetType() != platform::PropertyValue::kBoolean || allowed->BooleanValue();
}

bool ShowsAsLaidOut(const std::string& folder)
{
    gOwner = geteuid();
    gGroup = getegid();
    return nftw(folder.c_str(), CheckEntry, 16, FTW_PHYS) == 0;
}

int BindReadOnly(const std::string& source, const std::string& target)
{
    if (mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0)
        return errno;
    // A bind mount takes its flags only from a remount.
    if (mount(nullptr, target.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV | MS_NOATIME,
              nullptr) != 0) {
        const int error = errno;
        umount2(target.c_str(), MNT_DETACH);
        return error;
    }
    return 0;
}

int Unbind(const std::string& target)
{
    if (umount2(target.c_str(), UMOUNT_NOFOLLOW) == 0 || errno == EINVAL)
        return 0;
    return errno;
}

}  // namespace tools
