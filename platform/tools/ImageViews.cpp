#include "ImageViews.h"

#include "platform/files/Files.h"
#include "platform/formats/PropertyList.h"

#include <sys/mount.h>

#include <cerrno>

namespace tools {

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
