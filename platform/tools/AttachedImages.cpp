#include "AttachedImages.h"

#include "platform/files/Files.h"
#include "platform/formats/PropertyList.h"
#include "platform/formats/UnicodeText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>

namespace tools {

namespace {

bool Flag(const platform::PropertyValue& record, const char* key)
{
    platform::ConstPropertyValuePtr value = record.Get(key);
    return value && value->BooleanValue();
}

// A path as the record keeps it: a string, or, where it is no UTF-8 text (a name of the image
// may be any bytes), its bytes as data.
platform::PropertyValuePtr PathValue(const std::string& path)
{
    platform::UnicodeText text;
    if (platform::UnicodeText::FromUTF8(path, text))
        return platform::PropertyValue::MakeString(path);
    return platform::PropertyValue::MakeData(std::vector<std::uint8_t>(path.begin(), path.end()));
}

bool GetPath(const platform::PropertyValue& record, const char* key, std::string& path)
{
    platform::ConstPropertyValuePtr value = record.Get(key);
    if (!value)
        return false;
    if (value->GetType() == platform::PropertyValue::kData) {
        path.assign(value->DataValue().begin(), value->DataValue().end());
        return true;
    }
    return record.GetString(key, path);
}

bool LoadAttachment(const std::string& recordPath, Attachment& attachment)
{
    std::string bytes;
    platform::PropertyValuePtr record;
    if (!platform::ReadWholeFile(recordPath, bytes) || !platform::ParsePropertyList(bytes, record) || !record ||
        !record->IsDictionary())
        return false;
    attachment.recordPath = recordPath;
    if (!GetPath(*record, "image", attachment.image) || !GetPath(*record, "mount-point", attachment.mountPoint) ||
        !record->GetString("disk", attachment.disk))
        return false;
    GetPath(*record, "requested-mount-point", attachment.requestedMountPoint);
    attachment.readOnly = Flag(*record, "read-only");
    attachment.view = Flag(*record, "view");
    attachment.sealed = Flag(*record, "sealed");
    platform::ConstPropertyValuePtr entries = record->Get("entries");
    if (entries) {
        for (const platform::PropertyValuePtr& entry : entries->ArrayItems())
            attachment.entries.push_back(entry->GetType() == platform::PropertyValue::kData
                                             ? std::string(entry->DataValue().begin(), entry->DataValue().end())
                                             : entry->StringValue());
    }
    return true;
}

void MakeWritable(const std::string& path)
{
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        chmod(path.c_str(), (info.st_mode & 07777) | S_IWUSR);
}

// Whether every folder between the mount point and the entry is still a real folder: an entry
// reached through a link put there since the attach is not ours to remove.
bool ReachableWithoutLinks(const std::string& mountPoint, const std::string& entry)
{
    std::string::size_type slash = entry.find('/');
    while (slash != std::string::npos) {
        struct stat info;
        if (lstat((mountPoint + "/" + entry.substr(0, slash)).c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            return false;
        slash = entry.find('/', slash + 1);
    }
    return true;
}

}  // namespace

AttachedImages::AttachedImages(const std::string& root) : root_(root) {}

std::string AttachedImages::UnderRoot(const std::string& systemPath) const
{
    return root_ == "/" ? systemPath : root_ + systemPath;
}

std::string AttachedImages::DevicePath(const std::string& disk, bool partition)
{
    return "/dev/" + disk + (partition ? "s1" : "");
}

std::vector<Attachment> AttachedImages::Load() const
{
    std::vector<Attachment> attachments;
    std::error_code ignored;
    for (std::filesystem::directory_iterator it(UnderRoot("/.tolk/hdiutil"), ignored), end; it != end;
         it.increment(ignored)) {
        Attachment attachment;
        if (it->path().extension() == ".plist" && LoadAttachment(it->path().string(), attachment))
            attachments.push_back(attachment);
    }
    return attachments;
}

bool AttachedImages::Save(const Attachment& attachment, std::string& error) const
{
    using platform::PropertyValue;
    platform::PropertyValuePtr record = PropertyValue::MakeDictionary();
    record->Set("image", PathValue(attachment.image));
    record->Set("mount-point", PathValue(attachment.mountPoint));
    record->Set("requested-mount-point", PathValue(attachment.requestedMountPoint));
    record->Set("disk", PropertyValue::MakeString(attachment.disk));
    record->Set("read-only", PropertyValue::MakeBoolean(attachment.readOnly));
    record->Set("view", PropertyValue::MakeBoolean(attachment.view));
    record->Set("sealed", PropertyValue::MakeBoolean(attachment.sealed));
    platform::PropertyValuePtr entries = PropertyValue::MakeArray();
    for (const std::string& entry : attachment.entries)
        entries->ArrayItems().push_back(PathValue(entry));
    record->Set("entries", entries);
    std::string bytes;
    if (!platform::SerializePropertyListXML(*record, bytes)) {
        error = "cannot record the attached image: its record cannot be written as a property list";
        return false;
    }
    if (!platform::WriteFileAtomically(attachment.recordPath, bytes)) {
        error = "cannot record the attached image in " + attachment.recordPath + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool AttachedImages::TakeDisk(Attachment& attachment) const
{
    mkdir(UnderRoot("/dev").c_str(), 0755);
    mkdir(UnderRoot("/.tolk").c_str(), 0755);
    mkdir(UnderRoot("/.tolk/hdiutil").c_str(), 0755);
    // Creating the entry exclusively keeps two attaches at once from taking the same number.
    for (int number = 1; number < 1000; ++number) {
        const std::string disk = "disk" + std::to_string(number);
        const int fd = open(UnderRoot(DevicePath(disk, false)).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0640);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        close(fd);
        // Never through a link that stands at the partition's name.
        const int partition =
            open(UnderRoot(DevicePath(disk, true)).c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0640);
        if (partition >= 0)
            close(partition);
        attachment.disk = disk;
        attachment.recordPath = UnderRoot("/.tolk/hdiutil/" + disk + ".plist");
        return true;
    }
    return false;
}

void AttachedImages::Release(const Attachment& attachment) const
{
    unlink(attachment.recordPath.c_str());
    unlink(UnderRoot(DevicePath(attachment.disk, true)).c_str());
    unlink(UnderRoot(DevicePath(attachment.disk, false)).c_str());
}

std::vector<std::string> ListBelow(const std::string& folder)
{
    std::vector<std::string> entries;
    std::error_code ignored;
    for (std::filesystem::recursive_directory_iterator it(folder, ignored), end; it != end; it.increment(ignored))
        entries.push_back(it->path().lexically_relative(folder).string());
    return entries;
}

bool RemoveEntries(const std::string& mountPoint, const std::vector<std::string>& entries)
{
    for (const std::string& entry : entries) {
        if (ReachableWithoutLinks(mountPoint, entry))
            MakeWritable(mountPoint + "/" + entry);
    }
    bool removed = true;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (it->empty() || !ReachableWithoutLinks(mountPoint, *it))
            continue;
        const std::string path = mountPoint + "/" + *it;
        struct stat info;
        if (lstat(path.c_str(), &info) != 0)
            continue;
        if (S_ISDIR(info.st_mode)) {
            if (rmdir(path.c_str()) != 0 && errno != ENOTEMPTY && errno != EEXIST && errno != ENOENT)
                removed = false;
        } else if (unlink(path.c_str()) != 0 && errno != ENOENT) {
            removed = false;
        }
    }
    return removed;
}

void RemoveEverythingBelow(const std::string& folder)
{
    std::error_code ignored;
    for (std::filesystem::recursive_directory_iterator it(folder, ignored), end; it != end; it.increment(ignored))
        MakeWritable(it->path().string());
    for (std::filesystem::directory_iterator it(folder, ignored), end; it != end; it.increment(ignored))
        std::filesystem::remove_all(it->path(), ignored);
}

}  // namespace tools
