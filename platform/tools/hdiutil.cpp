// The stand-in for the system's disk-image tool. It knows two verbs:
//   hdiutil attach [-private] [-readonly] [-stdinpass] -mountpoint FOLDER [-plist] IMAGE
//   hdiutil eject  DEVICE-OR-MOUNT-POINT
// "attach" shows the image's contents in FOLDER, which must exist and be empty, and reports the
// devices it made as a property list ("system-entities": the whole disk with only its
// "dev-entry", then the partition with "dev-entry" and "mount-point"). A read-only attach of a
// folder image mounts the image itself there, read-only, where it may (see ImageViews.h);
// otherwise the contents are laid out as a copy, which a read-only attach seals with a
// read-only mount where it may. Modes, set-id bits included, and owners stay the image's either
// way (a copy made by a user other than root belongs to that user). "eject" unmounts the
// view, or removes exactly what the copy laid out; anything added to a writable copy since
// stays. The attached images are remembered under the system root in ".tolk/hdiutil", and the
// device entries stand as files in the root's "/dev". Failures print
// "hdiutil: <verb> failed - <reason>" and end with 1.
#include "AttachedImages.h"
#include "ImageViews.h"
#include "ToolSupport.h"

#include "platform/files/DiskImages.h"
#include "platform/files/Files.h"
#include "platform/formats/PropertyList.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kToolPath = "/usr/bin/hdiutil";
const std::size_t kMaxPassphraseLength = 4096;

using tools::AttachedImages;
using tools::Attachment;

std::string gRoot;

int Fail(const std::string& verb, const std::string& reason)
{
    std::fprintf(stderr, "hdiutil: %s failed - %s\n", verb.c_str(), reason.c_str());
    return 1;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: hdiutil attach [-private] [-readonly] [-stdinpass] -mountpoint folder [-plist] image\n"
                 "       hdiutil eject device-or-mount-point\n");
    return 1;
}

std::string Absolute(const std::string& path)
{
    if (!path.empty() && path[0] == '/')
        return path;
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof(cwd)) == nullptr)
        return path;
    return std::string(cwd) + "/" + path;
}

bool RealPath(const std::string& path, std::string& real)
{
    char buffer[PATH_MAX];
    if (realpath(path.c_str(), buffer) == nullptr)
        return false;
    real = buffer;
    return true;
}

bool IsEmptyFolder(const std::string& path)
{
    DIR* folder = opendir(path.c_str());
    if (folder == nullptr)
        return false;
    bool empty = true;
    while (struct dirent* entry = readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            empty = false;
            break;
        }
    }
    closedir(folder);
    return empty;
}


// A folder image ("*.dmg") with its links resolved.
bool IsFolderImage(const std::string& image, std::string& folder)
{
    struct stat info;
    const std::string suffix = ".dmg";
    return image.size() > suffix.size() && image.compare(image.size() - suffix.size(), suffix.size(), suffix) == 0 &&
           RealPath(image, folder) && stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Takes the image away from its mount point: the mount, then what a copy laid out. False, with
// the image still attached, while something holds the mount or a laid-out entry stays.
bool Detach(const Attachment& attachment)
{
    if ((attachment.view || attachment.sealed) && tools::Unbind(attachment.mountPoint) != 0)
        return false;
    return attachment.view || tools::RemoveEntries(attachment.mountPoint, attachment.entries);
}

void PrintAttachReport(const Attachment& attachment, bool asPropertyList)
{
    const std::string whole = AttachedImages::DevicePath(attachment.disk, false);
    const std::string partition = AttachedImages::DevicePath(attachment.disk, true);
    if (!asPropertyList) {
        std::printf("%-20s\tGUID_partition_scheme\t\n%-20s\tApple_HFS\t%s\n", whole.c_str(), partition.c_str(),
                    attachment.requestedMountPoint.c_str());
        return;
    }
    using platform::PropertyValue;
    platform::PropertyValuePtr disk = PropertyValue::MakeDictionary();
    disk->Set("content-hint", PropertyValue::MakeString("GUID_partition_scheme"));
    disk->Set("dev-entry", PropertyValue::MakeString(whole));
    disk->Set("potentially-mountable", PropertyValue::MakeBoolean(false));
    platform::PropertyValuePtr volume = PropertyValue::MakeDictionary();
    volume->Set("content-hint", PropertyValue::MakeString("Apple_HFS"));
    volume->Set("dev-entry", PropertyValue::MakeString(partition));
    volume->Set("mount-point", PropertyValue::MakeString(attachment.requestedMountPoint));
    volume->Set("potentially-mountable", PropertyValue::MakeBoolean(true));
    volume->Set("volume-kind", PropertyValue::MakeString("hfs"));
    platform::PropertyValuePtr entities = PropertyValue::MakeArray();
    entities->ArrayItems().push_back(disk);
    entities->ArrayItems().push_back(volume);
    platform::PropertyValuePtr report = PropertyValue::MakeDictionary();
    report->Set("system-entities", entities);
    std::string bytes;
    if (platform::SerializePropertyListXML(*report, bytes))
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

// Reads the passphrase as the real tool does: up to a NUL byte or the end of the input, less a
// final line end.
bool ReadPassphrase(std::string& passphrase)
{
    const bool whole = platform::ReadUntilEnd(STDIN_FILENO, [&passphrase](const char* piece, std::size_t size) {
        passphrase.append(piece, size);
        return passphrase.size() <= kMaxPassphraseLength;
    });
    if (!whole)
        return false;
    const std::string::size_type nul = passphrase.find('\0');
    if (nul != std::string::npos)
        passphrase.erase(nul);
    if (!passphrase.empty() && passphrase.back() == '\n')
        passphrase.pop_back();
    return true;
}

int Attach(int argc, char** argv)
{
    bool readOnly = false;
    bool stdinPass = false;
    bool asPropertyList = false;
    std::string mountPoint;
    std::string image;
    for (int i = 2; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-private") {
            // Nothing shows volumes here, so there is nothing to hide them from.
        } else if (argument == "-readonly") {
            readOnly = true;
        } else if (argument == "-stdinpass") {
            stdinPass = true;
        } else if (argument == "-plist") {
            asPropertyList = true;
        } else if (argument == "-mountpoint") {
            if (++i == argc)
                return Usage();
            mountPoint = argv[i];
        } else if (!argument.empty() && argument[0] == '-') {
            std::fprintf(stderr, "hdiutil: attach: unknown option %s\n", argument.c_str());
            return Usage();
        } else if (image.empty()) {
            image = argument;
        } else {
            return Usage();
        }
    }
    if (image.empty() || mountPoint.empty())
        return Usage();

    std::string passphrase;
    if (stdinPass && !ReadPassphrase(passphrase))
        return Fail("attach", "cannot read the passphrase");

    Attachment attachment;
    attachment.image = Absolute(image);
    attachment.requestedMountPoint = Absolute(mountPoint);
    attachment.readOnly = readOnly;
    struct stat info;
    if (!RealPath(attachment.requestedMountPoint, attachment.mountPoint) || stat(attachment.mountPoint.c_str(), &info) != 0 ||
        !S_ISDIR(info.st_mode))
        return Fail("attach", "mount point does not exist");
    const AttachedImages attached(gRoot);
    for (const Attachment& other : attached.Load()) {
        if (other.mountPoint == attachment.mountPoint)
            return Fail("attach", "mount point is in use");
    }
    if (!IsEmptyFolder(attachment.mountPoint))
        return Fail("attach", "mount point is not empty");

    if (!attached.TakeDisk(attachment))
        return Fail("attach", "no device available");

    const bool mounts = readOnly && tools::MountsAllowed(gRoot);
    std::string folderImage;
    if (mounts && IsFolderImage(attachment.image, folderImage) &&
        tools::BindReadOnly(folderImage, attachment.mountPoint) == 0) {
        attachment.view = true;
    } else {
        std::string error;
        const platform::DiskImageLayOutResult result =
            platform::LayOutDiskImage(attachment.image, stdinPass, passphrase, attachment.mountPoint, error);
        if (result != platform::kImageLaidOut) {
            passphrase.assign(passphrase.size(), '\0');
            tools::RemoveEverythingBelow(attachment.mountPoint);
            attached.Release(attachment);
            if (result == platform::kImageWrongPassphrase)
                return Fail("attach", "Authentication error");
            if (result == platform::kImageNotRecognized)
                return Fail("attach", error.empty() ? "image not recognized" : "image not recognized: " + error);
            return Fail("attach", error);
        }
        attachment.entries = tools::ListBelow(attachment.mountPoint);
        attachment.sealed = mounts && tools::BindReadOnly(attachment.mountPoint, attachment.mountPoint) == 0;
    }
    passphrase.assign(passphrase.size(), '\0');
    std::string unrecorded;
    if (!attached.Save(attachment, unrecorded)) {
        Detach(attachment);
        attached.Release(attachment);
        return Fail("attach", unrecorded);
    }
    PrintAttachReport(attachment, asPropertyList);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int Eject(int argc, char** argv)
{
    std::string target;
    for (int i = 2; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-force" || argument == "-quiet")
            continue;
        if (!target.empty() || argument.empty() || argument[0] == '-')
            return Usage();
        target = argument;
    }
    if (target.empty())
        return Usage();

    std::string realTarget;
    if (!RealPath(Absolute(target), realTarget))
        realTarget = Absolute(target);
    const AttachedImages attached(gRoot);
    const std::vector<Attachment> attachments = attached.Load();
    const Attachment* found = nullptr;
    for (const Attachment& attachment : attachments) {
        if (target == AttachedImages::DevicePath(attachment.disk, false) ||
            target == AttachedImages::DevicePath(attachment.disk, true) ||
            realTarget == attachment.mountPoint || Absolute(target) == attachment.requestedMountPoint) {
            found = &attachment;
            break;
        }
    }
    if (found == nullptr)
        return Fail("eject", "No such file or directory");

    if (!Detach(*found))
        return Fail("eject", "Resource busy");
    attached.Release(*found);
    std::printf("\"%s\" unmounted.\n\"%s\" ejected.\n", found->disk.c_str(), found->disk.c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!tools::FindSystemRoot(kToolPath, gRoot)) {
        std::fprintf(stderr, "hdiutil: not installed at %s under a system root\n", kToolPath);
        return 1;
    }
    tools::RecordToolCall(gRoot, kToolPath, argc, argv);
    if (argc < 2)
        return Usage();
    const std::string verb = argv[1];
    if (verb == "attach")
        return Attach(argc, argv);
    if (verb == "eject" || verb == "detach")
        return Eject(argc, argv);
    return Usage();
}
