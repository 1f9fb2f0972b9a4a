// Finder aliases, display flags and application registration of FileSystemUtilsMac: alias files
// and records, the Finder's hidden and custom-icon flags, and Launch Services registration.
#include "FileSystemUtilsMac.h"

#include "Common/source/xplat/FileSystemUtils.h"
#include "MacUtils.h"
#include "RefreshInFinderObject.h"

#include "platform/Folders.h"
#include "platform/desktop/LaunchServices.h"
#include "platform/files/ExtendedAttributes.h"
#include "platform/files/FileAlias.h"
#include "platform/files/FileRef.h"
#include "platform/files/ResourceFork.h"
#include "platform/files/TrustedPath.h"

#include <boost/format.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace FileSystemUtilsMac {

namespace {

using platform::FourCharCode;

const std::uint16_t kFinderFlagIsAlias = 0x8000;
const std::uint16_t kFinderFlagIsInvisible = 0x4000;
const std::uint16_t kFinderFlagHasCustomIcon = 0x0400;

const std::uint32_t kAliasResourceType = FourCharCode('a', 'l', 'i', 's');
const std::int16_t kAliasResourceID = 0;
const std::int16_t kCustomIconResourceID = -16496;

const std::uint32_t kApplicationType = FourCharCode('A', 'P', 'P', 'L');
const std::uint32_t kBundleType = FourCharCode('B', 'N', 'D', 'L');
const std::uint32_t kUnknownCreator = FourCharCode('?', '?', '?', '?');
const std::uint32_t kApplicationPackageAliasType = FourCharCode('f', 'a', 'p', 'a');
const std::uint32_t kPackageAliasType = FourCharCode('f', 'p', 'k', 'a');
const std::uint32_t kFolderAliasType = FourCharCode('f', 'd', 'r', 'p');
const std::uint32_t kApplicationAliasType = FourCharCode('a', 'd', 'r', 'p');

// The custom-icon resource types in the order they are copied into an alias file.
const std::vector<std::uint32_t>& GetCustomIconResTypes()
{
    static const std::vector<std::uint32_t> types = {
        FourCharCode('i', 'c', 'n', 's'), FourCharCode('I', 'C', 'N', '#'), FourCharCode('i', 'c', 'l', '4'),
        FourCharCode('i', 'c', 'l', '8'), FourCharCode('i', 'l', '3', '2'), FourCharCode('l', '8', 'm', 'k'),
        FourCharCode('i', 'c', 's', '#'), FourCharCode('i', 'c', 's', '4'), FourCharCode('i', 'c', 's', '8'),
        FourCharCode('i', 's', '3', '2'), FourCharCode('s', '8', 'm', 'k'), FourCharCode('i', 'c', 'm', '#'),
        FourCharCode('i', 'c', 'm', '4'), FourCharCode('i', 'c', 'm', '8')};
    return types;
}

void NoteAttributeFailure(const char* what, const std::string& path, int error)
{
    FileSystemUtils::NoteFailureReason(boost::str(boost::format("Unable to write the %1% of \"%2%\": %3%") % what % path %
                                                  platform::ExtendedAttributeErrorText(error)));
}

// Type and creator of an alias file: what the Finder shows for the kind of target.
void ChooseTypeAndCreator(const FileSystemPath& target, bool isFolder, const platform::FinderInfo& targetInfo,
                          platform::FinderInfo& aliasInfo)
{
    if (isFolder) {
        std::uint32_t packageType = 0;
        std::uint32_t creator = 0;
        if (!MacUtils::GetPackageInfo(target, packageType, creator)) {
            aliasInfo.SetFileType(kFolderAliasType);
            aliasInfo.SetCreator(kUnknownCreator);
            return;
        }
        aliasInfo.SetFileType(packageType == kApplicationType ? kApplicationPackageAliasType
                              : packageType == kBundleType    ? kPackageAliasType
                                                              : kFolderAliasType);
        aliasInfo.SetCreator(creator);
        return;
    }
    aliasInfo.SetFileType(targetInfo.FileType() == kApplicationType ? kApplicationAliasType : targetInfo.FileType());
    aliasInfo.SetCreator(targetInfo.Creator());
}

bool MakeAliasResource(const FileSystemPath& target, const std::string& startingPoint, platform::Resource& resource)
{
    platform::FileAlias record;
    std::string bytes;
    if (platform::FileAlias::Make(target.AsUTF8String(), startingPoint, record) != 0 || !record.ToBytes(bytes))
        return false;
    resource.type = kAliasResourceType;
    resource.id = kAliasResourceID;
    resource.name.clear();
    resource.data = bytes;
    return true;
}

// Everything of a new alias file after its creation; false leaves the caller to remove it.
bool FillAliasFile(int fd, const FileSystemPath& aliasPath, const FileSystemPath& targetPath,
                   const FileSystemPath* iconSourcePath, platform::FinderInfo& info)
{
    if (const int error = platform::WriteFinderInfo(fd, info)) {
        NoteAttributeFailure("Finder information", aliasPath.AsUTF8String(), error);
        return false;
    }
    platform::ResourceMap fork;
    platform::Resource alias;
    if (!MakeAliasResource(targetPath, aliasPath.AsUTF8String(), alias) || !fork.Add(alias))
        return false;

    if (iconSourcePath != nullptr) {
        platform::ResourceMap icons;
        if (platform::ReadResourceFork(iconSourcePath->AsUTF8String(), icons) != 0)
            return false;
        for (std::uint32_t type : GetCustomIconResTypes()) {
            const platform::Resource* icon = icons.Find(type, kCustomIconResourceID);
            if (icon == nullptr)
                continue;
            platform::Resource copy = *icon;
            copy.name.clear();
            if (!fork.Add(copy))
                return false;
        }
        info.SetFlags(kFinderFlagIsAlias | kFinderFlagHasCustomIcon);
    }
    if (const int error = platform::WriteResourceFork(fd, fork)) {
        NoteAttributeFailure("resource fork", aliasPath.AsUTF8String(), error);
        return false;
    }
    if (iconSourcePath != nullptr) {
        if (const int error = platform::WriteFinderInfo(fd, info)) {
            NoteAttributeFailure("Finder information", aliasPath.AsUTF8String(), error);
            return false;
        }
    }
    return true;
}

bool ReadFileAlias(const std::string& aliasFile, platform::FileAlias& record)
{
    platform::ResourceMap fork;
    if (platform::ReadResourceFork(aliasFile, fork) != 0)
        return false;
    const platform::Resource* resource = fork.Find(kAliasResourceType, kAliasResourceID);
    return resource != nullptr && platform::FileAlias::FromBytes(resource->data, record);
}

// A resolved path as the system's paths must be: absolute, not too long.
bool PathFromResolved(const std::string& resolved, FileSystemPath& path)
{
    if (FileSystemUtils::ValidateUTF8FullPathString(resolved) != FileSystemUtils::kPathValid)
        return false;
    path = FileSystemPath(resolved);
    return true;
}

}  // namespace

bool CreateMacAlias(const FileSystemPath& aliasPath, const FileSystemPath& targetPath, const FileSystemPath* iconSourcePath)
{
    FileSystemUtils::ClearFailureReason();
    platform::FileRef targetRef;
    if (platform::MakeFileRef(targetPath.AsUTF8String(), targetRef) != platform::kNoErr)
        return false;
    struct stat targetStat;
    platform::FinderInfo targetInfo;
    if (stat(targetRef.path.c_str(), &targetStat) != 0 || platform::ReadFinderInfo(targetRef.path, targetInfo) != 0)
        return false;

    platform::FinderInfo aliasInfo;
    ChooseTypeAndCreator(targetPath, S_ISDIR(targetStat.st_mode), targetInfo, aliasInfo);
    aliasInfo.SetFlags(kFinderFlagIsAlias);
    aliasInfo.SetLocation(0, 0);
    aliasInfo.SetReservedField(0);

    // A missing parent folder shows here, as does anything already at the alias path.
    const std::string aliasText = aliasPath.AsUTF8String();
    if (platform::CheckNameChange(aliasText) != 0)
        return false;
    const int fd = open(aliasText.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    const bool filled = FillAliasFile(fd, aliasPath, targetPath, iconSourcePath, aliasInfo);
    if (close(fd) != 0 || !filled) {
        unlink(aliasText.c_str());
        return false;
    }
    RefreshInFinder(targetPath);
    return true;
}

bool RetargetMacAlias(const FileSystemPath& aliasPath, const FileSystemPath& newTargetPath)
{
    FileSystemUtils::ClearFailureReason();
    platform::FileRef aliasRef;
    platform::FileRef targetRef;
    if (platform::MakeFileRef(aliasPath.AsUTF8String(), aliasRef) != platform::kNoErr ||
        platform::MakeFileRef(newTargetPath.AsUTF8String(), targetRef) != platform::kNoErr)
        return false;
    platform::ResourceMap fork;
    if (platform::ReadResourceFork(aliasRef.path, fork) != 0 || !fork.Remove(kAliasResourceType, kAliasResourceID))
        return false;
    platform::Resource alias;
    if (!MakeAliasResource(newTargetPath, aliasRef.path, alias) || !fork.Add(alias))
        return false;
    // The fork is written whole, so a refused write leaves the old record in place.
    if (platform::CheckWrite(aliasRef.path) != 0)
        return false;
    if (const int error = platform::WriteResourceFork(aliasRef.path, fork)) {
        NoteAttributeFailure("resource fork", aliasRef.path, error);
        return false;
    }
    return true;
}

bool IsMacAlias(const FileSystemPath& path, bool& isAlias)
{
    platform::FileRef ref;
    if (platform::MakeFileRef(path.AsUTF8String(), ref) != platform::kNoErr)
        return false;
    struct stat info;
    platform::FinderInfo finderInfo;
    if (stat(ref.path.c_str(), &info) != 0 || platform::ReadFinderInfo(ref.path, finderInfo) != 0)
        return false;
    isAlias = !S_ISDIR(info.st_mode) && (finderInfo.Flags() & kFinderFlagIsAlias) != 0;
    return true;
}

bool GetMacAliasTarget(const FileSystemPath& aliasPath, FileSystemPath& targetPath)
{
    platform::FileRef ref;
    bool isAlias = false;
    if (platform::MakeFileRef(aliasPath.AsUTF8String(), ref) != platform::kNoErr || !IsMacAlias(aliasPath, isAlias) ||
        !isAlias)
        return false;
    platform::FileAlias record;
    std::string resolved;
    if (!ReadFileAlias(ref.path, record) || record.Resolve(ref.path, resolved) != 0)
        return false;
    return PathFromResolved(resolved, targetPath);
}

bool GetMacAliasDataForPath(const FileSystemPath& path, std::vector<std::uint8_t>& data)
{
    platform::FileRef ref;
    if (platform::MakeFileRef(path.AsUTF8String(), ref) != platform::kNoErr)
        return false;
    platform::FileAlias record;
    std::string bytes;
    if (platform::FileAlias::Make(ref.path, std::string(), record) != 0 || !record.ToBytes(bytes) || bytes.empty())
        return false;
    data.assign(bytes.begin(), bytes.end());
    return true;
}

bool ResolveMacAliasDataToPath(const std::vector<std::uint8_t>& data, FileSystemPath& path)
{
    platform::FileAlias record;
    std::string resolved;
    if (!platform::FileAlias::FromBytes(std::string(data.begin(), data.end()), record) ||
        record.Resolve(std::string(), resolved) != 0)
        return false;
    return PathFromResolved(resolved, path);
}

bool GetDisplayAttributes(const FileSystemPath& path, std::uint32_t& attributes)
{
    platform::FileRef ref;
    platform::FinderInfo info;
    if (platform::MakeFileRef(path.AsUTF8String(), ref) != platform::kNoErr || platform::ReadFinderInfo(ref.path, info) != 0)
        return false;
    const std::uint16_t flags = info.Flags();
    attributes = ((flags & kFinderFlagIsInvisible) != 0 ? kDisplayAttributeHidden : 0) |
                 ((flags & kFinderFlagHasCustomIcon) != 0 ? kDisplayAttributeCustomIcon : 0);
    return true;
}

bool SetDisplayAttributes(const FileSystemPath& path, std::uint32_t values, std::uint32_t mask)
{
    FileSystemUtils::ClearFailureReason();
    platform::FileRef ref;
    platform::FinderInfo info;
    if (platform::MakeFileRef(path.AsUTF8String(), ref) != platform::kNoErr || platform::ReadFinderInfo(ref.path, info) != 0)
        return false;
    std::uint16_t flags = info.Flags();
    const struct {
        std::uint32_t attribute;
        std::uint16_t flag;
    } kMapping[] = {{kDisplayAttributeHidden, kFinderFlagIsInvisible}, {kDisplayAttributeCustomIcon, kFinderFlagHasCustomIcon}};
    for (const auto& entry : kMapping) {
        if ((mask & entry.attribute) == 0)
            continue;
        if ((values & entry.attribute) != 0)
            flags |= entry.flag;
        else
            flags &= static_cast<std::uint16_t>(~entry.flag);
    }
    info.SetFlags(flags);
    // Refused (and the refusal noted) before the write would give a reason of its own.
    if (platform::CheckWrite(ref.path) != 0)
        return false;
    if (const int error = platform::WriteFinderInfo(ref.path, info)) {
        NoteAttributeFailure("Finder information", ref.path, error);
        return false;
    }
    MacUtils::RefreshInFinder(ref);
    return true;
}

bool RegisterApplication(const FileSystemPath& path)
{
    platform::FileRef ref;
    const bool registered = platform::MakeFileRef(path.AsUTF8String(), ref) == platform::kNoErr &&
                            platform::RegisterApplication(ref.path, true) == 0;
    RefreshInFinder(path);
    return registered;
}

}  // namespace FileSystemUtilsMac
