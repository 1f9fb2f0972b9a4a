// The half of FileSystemPath that asks the file system: path equality.
#include "Common/source/xplat/FileSystemPath.h"

#include "MacUtils.h"

#include "platform/files/FileRef.h"
#include "platform/files/Volumes.h"
#include "platform/formats/UnicodeText.h"

#include <stdexcept>

namespace {

// The longest leading part of the path that exists, and the text after it.
bool FindExistingPrefix(const FileSystemPath& path, platform::FileRef& prefix, std::string& rest)
{
    FileSystemPath current = path;
    for (;;) {
        const int error = platform::MakeFileRef(current.AsUTF8String(), prefix);
        if (error == platform::kNoErr)
            break;
        if (error != platform::kFileNotFoundErr)
            return false;
        FileSystemPath parent = current.Parent();
        if (parent.AsUTF8String() == current.AsUTF8String())
            return false;
        current = parent;
    }
    const std::string& whole = path.AsUTF8String();
    const std::string& found = current.AsUTF8String();
    if (found.size() >= whole.size())
        rest.clear();
    else if (found == "/")
        rest = whole.substr(1);
    else
        rest = whole.substr(found.size() + 1);
    return true;
}

bool VolumeIsCaseSensitive(const platform::FileRef& ref)
{
    platform::VolumeStatus status;
    if (platform::StatVolume(ref.path, status) != 0)
        throw std::runtime_error("Comparison of paths cannot succeed due to FSGetCatalogInfo errors.");
    platform::VolumeParameters parameters;
    if (!platform::GetVolumeParameters(status.mountPoint, parameters))
        return false;
    return parameters.caseSensitive;
}

}  // namespace

bool FileSystemPath::operator==(const FileSystemPath& other) const
{
    platform::FileRef leftPrefix;
    platform::FileRef rightPrefix;
    std::string leftRest;
    std::string rightRest;
    if (!FindExistingPrefix(*this, leftPrefix, leftRest))
        throw std::runtime_error("Comparison of paths cannot succeed because the left-hand-side is invalid.");
    if (!FindExistingPrefix(other, rightPrefix, rightRest))
        throw std::runtime_error("Comparison of paths cannot succeed because the right-hand-side is invalid.");
    if (!platform::SameFileRef(leftPrefix, rightPrefix))
        return false;
    const bool caseSensitive = VolumeIsCaseSensitive(leftPrefix);
    platform::UnicodeText left;
    platform::UnicodeText right;
    if (!platform::UnicodeText::FromUTF8(leftRest, left) || !platform::UnicodeText::FromUTF8(rightRest, right))
        throw std::runtime_error("Unable to form CFStringRef of paths for comparison.");
    return platform::UnicodeText::Compare(left, right, !caseSensitive) == 0;
}
