#include "DiskImageMounter.h"

#include "Common/source/xplat/FileSystemUtils.h"
#include "ExecUtils.h"
#include "FileSystemUtilsMac.h"

#include "platform/SystemRoot.h"
#include "platform/formats/PropertyList.h"

#include <cerrno>
#include <string>

namespace {

const char* const kDiskImageTool = "/usr/bin/hdiutil";
const char* const kDigestTool = "/sbin/md5";
// How many names MountHidden tries for its folder.
const int kMountFolderAttempts = 5;

FileSystemPath ToolPath(const char* systemPath)
{
    return FileSystemPath(platform::SystemRoot::Resolve(systemPath));
}

// The passphrase must not outlive the attach in memory that is handed back to the allocator.
template <typename Container>
void Wipe(Container& bytes)
{
    volatile char* data = bytes.empty() ? nullptr : &bytes[0];
    for (std::size_t i = 0; i < bytes.size(); ++i)
        data[i] = 0;
    bytes.clear();
}

// Payload images are encrypted with the MD5 of their file name (as the digest tool prints it),
// so they open without asking anyone; the name itself stands in when the tool fails.
std::string PassphraseForImage(const FileSystemPath& image)
{
    const std::string name = image.NameAsUTF8String();
    std::vector<std::string> args;
    args.push_back(ToolPath(kDigestTool).AsUTF8String());
    args.push_back("-q");
    std::vector<char> digest;
    bool ioError = false;
    const int status = ExecUtils::RunExecutable(args, name.data(), name.size(), &digest, ioError, true);
    std::string passphrase = name;
    if (status == 0 && !ioError)
        passphrase.assign(digest.begin(), digest.end());
    Wipe(digest);
    return passphrase;
}

// A string value of an entity that passes as a path: present, a string, not empty, and a full
// path (anything else cannot be a mount point or a device).
bool EntityPath(const platform::PropertyValue& entity, const char* key, std::string& text)
{
    platform::ConstPropertyValuePtr value = entity.Get(key);
    if (!value || value->GetType() != platform::PropertyValue::kString || value->StringValue().empty())
        return false;
    if (FileSystemUtils::ValidateUTF8FullPathString(value->StringValue()) != FileSystemUtils::kPathValid)
        return false;
    text = value->StringValue();
    return true;
}

// The lines of a tool's standard error as one line.
std::string OneLine(const std::vector<char>& text)
{
    std::string line;
    std::string::size_type start = 0;
    const std::string whole(text.begin(), text.end());
    while (start < whole.size()) {
        std::string::size_type end = whole.find('\n', start);
        if (end == std::string::npos)
            end = whole.size();
        if (end > start)
            line += (line.empty() ? "" : "; ") + whole.substr(start, end - start);
        start = end + 1;
    }
    return line;
}

}  // namespace

namespace {

// "eject" of the disk-image tool on a device entry or a mount point.
bool Eject(const FileSystemPath& target, std::vector<char>& output)
{
    const FileSystemPath diskImageTool = ToolPath(kDiskImageTool);
    if (!FileSystemUtils::Exists(diskImageTool))
        return false;
    std::vector<std::string> args;
    args.push_back(diskImageTool.AsUTF8String());
    args.push_back("eject");
    args.push_back(target.AsUTF8String());
    bool ioError = false;
    return ExecUtils::RunExecutable(args, nullptr, 0, &output, ioError, false) == 0;
}

}  // namespace

bool DiskImageMounter::EjectLeftOver(const FileSystemPath& mountPoint)
{
    if (!FileSystemUtils::Exists(mountPoint))
        return false;
    std::vector<char> output;
    const bool ejected = Eject(mountPoint, output);
    FileSystemUtilsMac::DeleteDirectory(mountPoint, false);
    return ejected;
}

DiskImageMounter::DiskImageMounter(const FileSystemPath& image) : image_(image), mounted_(false) {}

DiskImageMounter::~DiskImageMounter()
{
    Release();
}

void DiskImageMounter::Release()
{
    Unmount();
    if (temporaryMountFolderMade_ && !mounted_ && FileSystemUtilsMac::DeleteDirectory(*temporaryMountFolder_, false))
        temporaryMountFolderMade_ = false;
}

bool DiskImageMounter::PlanHiddenMountPoint(FileSystemPath& mountPoint)
{
    if (!temporaryMountFolder_) {
        FileSystemPath folder;
        if (!FileSystemUtilsMac::NewTemporaryDirectoryName(folder))
            return false;
        temporaryMountFolder_.reset(new FileSystemPath(folder));
    }
    mountPoint = *temporaryMountFolder_;
    return true;
}

bool DiskImageMounter::MountHidden(const FolderNote& noteFolder)
{
    if (mounted_)
        return false;
    // A name chosen can be taken before the folder is made (by another process, or a folder left
    // behind): another one is chosen then, a few times. No other failure to make it goes away
    // with another name.
    FileSystemPath folder;
    for (int attempt = 1;; ++attempt) {
        if (!PlanHiddenMountPoint(folder))
            return false;
        if (noteFolder)
            noteFolder(folder);
        if (temporaryMountFolderMade_)
            break;
        if (FileSystemUtilsMac::CreateTemporaryDirectoryAt(folder)) {
            temporaryMountFolderMade_ = true;
            break;
        }
        if (errno != EEXIST || attempt == kMountFolderAttempts)
            return false;
        temporaryMountFolder_.reset();
    }
    return MountAtPath(folder, kMountPrivate | kMountReadOnly);
}

bool DiskImageMounter::MountAtPath(const FileSystemPath& mountPoint, int flags)
{
    if (mounted_)
        return false;
    const FileSystemPath diskImageTool = ToolPath(kDiskImageTool);
    const FileSystemPath digestTool = ToolPath(kDigestTool);
    if (!FileSystemUtils::Exists(diskImageTool) || !FileSystemUtils::Exists(digestTool))
        return false;
    // Both run with our rights; a digest tool that may not run must not leave the attach to go on
    // with the name as the passphrase.
    if (!ExecUtils::MayRunProgram(digestTool.AsUTF8String()) || !ExecUtils::MayRunProgram(diskImageTool.AsUTF8String()))
        return false;

    std::string passphrase = PassphraseForImage(image_);

    std::vector<std::string> args;
    args.push_back(diskImageTool.AsUTF8String());
    args.push_back("attach");
    if (flags & kMountPrivate)
        args.push_back("-private");
    if (flags & kMountReadOnly)
        args.push_back("-readonly");
    args.push_back("-stdinpass");
    args.push_back("-mountpoint");
    args.push_back(mountPoint.AsUTF8String());
    args.push_back("-plist");
    args.push_back(image_.AsUTF8String());

    // Output left over from an earlier failed attach would spoil the parse of this one.
    toolOutput_.clear();
    attachFailure_.clear();
    bool ioError = false;
    std::vector<char> errors;
    const int status =
        ExecUtils::RunExecutable(args, passphrase.data(), passphrase.size(), &toolOutput_, &errors, ioError, true);
    Wipe(passphrase);

    mounted_ = status == 0;
    if (!mounted_)
        attachFailure_ = OneLine(errors);
    if (ioError)
        toolOutput_.clear();
    if (mounted_) {
        requestedMountPoint_ = mountPoint;
        FileSystemPath reportedMountPoint;
        FileSystemPath reportedDevEntry;
        if (ExtractInfoFromMountOutput(toolOutput_, reportedMountPoint, reportedDevEntry)) {
            mountPoint_ = reportedMountPoint;
            devEntry_ = reportedDevEntry;
        }
    }
    return mounted_;
}

bool DiskImageMounter::Unmount()
{
    if (!mounted_) {
        toolOutput_.clear();
        return true;
    }
    // The device entry names the attached image best; the mount point does as well. When the
    // attach report could not be read, the folder we asked for is where the image went.
    FileSystemPath target;
    if (devEntry_)
        target = *devEntry_;
    else if (mountPoint_)
        target = *mountPoint_;
    else if (requestedMountPoint_)
        target = *requestedMountPoint_;
    else
        return false;

    if (!Eject(target, toolOutput_))
        return false;

    mounted_ = false;
    toolOutput_.clear();
    mountPoint_ = boost::none;
    devEntry_ = boost::none;
    requestedMountPoint_ = boost::none;
    return true;
}

bool DiskImageMounter::GetMountPoint(FileSystemPath& mountPoint) const
{
    if (!mounted_ || !mountPoint_)
        return false;
    mountPoint = *mountPoint_;
    return true;
}

bool DiskImageMounter::GetDevEntry(FileSystemPath& devEntry) const
{
    if (!mounted_ || !devEntry_)
        return false;
    devEntry = *devEntry_;
    return true;
}

bool DiskImageMounter::ExtractInfoFromMountOutput(const std::vector<char>& output, FileSystemPath& mountPoint,
                                                  FileSystemPath& devEntry)
{
    platform::PropertyValuePtr root;
    if (output.empty() || !platform::ParsePropertyList(std::string(output.begin(), output.end()), root) || !root)
        return false;
    platform::ConstPropertyValuePtr entities = root->Get("system-entities");
    if (!entities || entities->GetType() != platform::PropertyValue::kArray || entities->ArrayItems().empty())
        return false;
    for (const platform::PropertyValuePtr& entity : entities->ArrayItems()) {
        if (!entity || !entity->IsDictionary())
            continue;
        std::string mountPointText;
        std::string devEntryText;
        if (!EntityPath(*entity, "mount-point", mountPointText) || !EntityPath(*entity, "dev-entry", devEntryText))
            continue;
        mountPoint = FileSystemPath(mountPointText);
        devEntry = FileSystemPath(devEntryText);
        return true;
    }
    return false;
}
