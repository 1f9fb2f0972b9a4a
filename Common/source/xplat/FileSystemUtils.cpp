#include "FileSystemUtils.h"

#include "FileSystemVolume.h"
#include "LogFactory.h"

#include "platform/files/DiskNames.h"
#include "platform/files/Files.h"
#include "platform/files/TrustedPath.h"
#include "platform/formats/UnicodeText.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>

namespace FileSystemUtils {

bool Exists(const FileSystemPath& path)
{
    struct stat info;
    const std::string text = path.AsUTF8String();
    if (lstat(text.c_str(), &info) == 0)
        return true;
    if (errno != ENOENT)
        return false;
    // Another spelling of the name, on a volume that ignores case.
    const std::string onDisk = platform::OnDiskPathOfMissing(text);
    return onDisk != text && lstat(onDisk.c_str(), &info) == 0;
}

bool IsDirectory(const FileSystemPath& path, bool& isDirectory)
{
    struct stat info;
    std::string onDisk;
    if (platform::LookUpOnDisk(path.AsUTF8String(), onDisk, info) != 0)
        return false;
    isDirectory = S_ISDIR(info.st_mode);
    return true;
}

bool IsVolumeRoot(const FileSystemPath& path, bool& isVolumeRoot)
{
    FileSystemVolume volume(path);
    FileSystemPath root;
    volume.RootPath(root);
    isVolumeRoot = root == path;
    return true;
}

namespace {

// The check of ValidateUTF8FullPathString; for a name that is too long, where it lies.
unsigned int CheckFullPath(const std::string& text, std::string::size_type& nameStart, std::string::size_type& nameEnd)
{
    if (text.empty() || text[0] != '/')
        return kPathNotFullPath;
    if (text.size() > kMaxPathLength)
        return kPathTooLong;
    // The system reads a path up to its first NUL: what follows would silently name another file.
    if (text.find('\0') != std::string::npos)
        return kPathBadCharacters;
    std::string::size_type start = 1;
    while (start <= text.size()) {
        std::string::size_type end = text.find('/', start);
        if (end == std::string::npos)
            end = text.size();
        if (end - start > kMaxComponentLength) {
            nameStart = start;
            nameEnd = end;
            return kPathTooLong;
        }
        start = end + 1;
    }
    return kPathValid;
}

bool IsContinuationByte(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// Text for a message: a long one keeps its beginning and its end, cut between characters.
std::string Shown(const std::string& text)
{
    const std::size_t kKept = 60;
    if (text.size() <= 2 * kKept + 3)
        return platform::UnicodeText::ShowBytes(text);
    std::size_t head = kKept;
    while (head > 0 && IsContinuationByte(text[head]))
        --head;
    std::size_t tail = text.size() - kKept;
    while (tail < text.size() && IsContinuationByte(text[tail]))
        ++tail;
    return platform::UnicodeText::ShowBytes(text.substr(0, head)) + "..." +
           platform::UnicodeText::ShowBytes(text.substr(tail));
}

}  // namespace

unsigned int ValidateUTF8FullPathString(const std::string& text)
{
    std::string::size_type nameStart = 0;
    std::string::size_type nameEnd = 0;
    return CheckFullPath(text, nameStart, nameEnd);
}

std::string InvalidPathReason(const std::string& text)
{
    std::string::size_type nameStart = 0;
    std::string::size_type nameEnd = 0;
    const std::string path = "the path \"" + Shown(text) + "\"";
    switch (CheckFullPath(text, nameStart, nameEnd)) {
    case kPathValid:
        return std::string();
    case kPathNotFullPath:
        return path + " is not a full path";
    case kPathBadCharacters:
        return path + " holds a NUL byte";
    default:
        break;
    }
    if (nameEnd == 0)
        return path + " is longer than " + std::to_string(kMaxPathLength) + " bytes";
    return "the name \"" + Shown(text.substr(nameStart, nameEnd - nameStart)) + "\" in " + path + " is longer than " +
           std::to_string(kMaxComponentLength) + " bytes";
}

std::string FileNameFromText(const std::string& text, const std::string& suffix)
{
    std::string name(text);
    for (char& c : name)
        if (c == '/' || c == '\0')
            c = '-';
    const std::size_t room = suffix.size() < kMaxComponentLength ? kMaxComponentLength - suffix.size() : 0;
    if (name.size() > room) {
        std::size_t cut = room;
        // Not inside a character: back up over UTF-8 continuation bytes.
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        name.resize(cut);
    }
    name += suffix;
    if (name.empty() || name == "." || name == "..")
        name = "-" + suffix;
    return name;
}

namespace {

// atoi's reading, with numbers beyond 32 bits held at the nearest value that fits.
std::int32_t LeadingNumber(const std::string& text)
{
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return static_cast<std::int32_t>(value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : value);
}

// Up to four parts of a version text. A component counts when a delimiter ends it, or when it
// is the non-empty rest of the text after the last delimiter (so that 1.2.3 and 1.2.4 differ);
// an empty component ends the reading.
void ReadVersionParts(const std::string& text, const std::string& delimiter, std::int32_t (&parts)[4])
{
    for (int i = 0; i < 4; ++i)
        parts[i] = INT32_MIN;
    int count = 0;
    std::string::size_type start = 0;
    std::string::size_type found = text.find(delimiter);
    while (found != std::string::npos && found != start && count < 4) {
        parts[count++] = LeadingNumber(text.substr(start, found - start));
        start = found + delimiter.size();
        found = text.find(delimiter, start + 1);
    }
    if (found == std::string::npos && count < 4 && start < text.size())
        parts[count] = LeadingNumber(text.substr(start));
}

}  // namespace

int CompareVersionStrings(const std::string& a, const std::string& b, const std::string& delimiter)
{
    std::int32_t partsA[4];
    std::int32_t partsB[4];
    ReadVersionParts(a, delimiter, partsA);
    ReadVersionParts(b, delimiter, partsB);
    for (int i = 0; i < 4; ++i) {
        if (partsA[i] > partsB[i])
            return 1;
        if (partsA[i] < partsB[i])
            return -1;
    }
    return 0;
}

bool ChildrenForDirectory(const FileSystemPath& folder, std::vector<FileSystemPath>& children)
{
    DIR* directory = opendir(platform::OnDiskPath(folder.AsUTF8String()).c_str());
    if (directory == nullptr)
        return false;
    children.clear();
    bool ok = true;
    for (;;) {
        errno = 0;
        struct dirent* entry = readdir(directory);
        if (entry == nullptr) {
            ok = errno == 0;
            break;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        FileSystemPath child(folder);
        children.push_back(child.AppendUTF8Segment(name));
    }
    closedir(directory);
    return ok;
}

bool SetWorkingDirectory(const FileSystemPath& path)
{
    return chdir(platform::OnDiskPath(path.AsUTF8String()).c_str()) == 0;
}

bool GetTempDirectory(FileSystemPath& path)
{
    path = FileSystemPath("/tmp");
    return true;
}

bool ExpandInlineFolderTokens(const std::string&, FileSystemPath&)
{
    return false;
}

bool GetRemovableDrives(std::vector<std::string>&)
{
    return false;
}

// ---- File operations ----

namespace {

const char kTempNamePrefix[] = ".temp";
const int kTempNameRandomCharacters = 6;
// As many names as mktemp(3) tries before it gives up.
const int kTempNameAttempts = 62 * 62 * 62;

thread_local std::string tFailureReason;

// The session log, which the installer engine points at the session's log file; until it does,
// the logger drops what it is given.
const char kSessionLogName[] = "Sorvel";

}  // namespace

std::string LastFailureReason()
{
    return tFailureReason;
}

void NoteFailureReason(const std::string& reason)
{
    tFailureReason = reason;
    if (Logger* logger = LogFactory::Instance().GetLogger(kSessionLogName))
        logger->AppendToLog(LogAppender::kLogError, reason);
}

void ClearFailureReason()
{
    tFailureReason.clear();
}

namespace {

// The file layer below refuses links and files that another user planted where others can write;
// each refusal is the reason of the failure it causes, and goes to the session log.
[[maybe_unused]] const bool gRefusalsNoted = (platform::SetRefusalListener(&NoteFailureReason), true);

// A number below the limit from the system's random bytes, read a block at a time (a name is
// made for every file an uninstall moves aside). A byte that would favour the lower numbers is
// dropped.
unsigned RandomBelow(unsigned limit)
{
    thread_local unsigned char bytes[64];
    thread_local std::size_t used = sizeof(bytes);
    for (;;) {
        if (used == sizeof(bytes)) {
            if (getrandom(bytes, sizeof(bytes), 0) != static_cast<ssize_t>(sizeof(bytes))) {
                std::random_device source;
                for (unsigned char& byte : bytes)
                    byte = static_cast<unsigned char>(source());
            }
            used = 0;
        }
        const unsigned byte = bytes[used++];
        if (byte < 256 - 256 % limit)
            return byte % limit;
    }
}

}  // namespace

namespace {

std::mutex gTempNameMutex;  // guards gTempNameSource
std::function<std::string()> gTempNameSource;

}  // namespace

void SetTempNameSourceForTesting(const std::function<std::string()>& source)
{
    std::lock_guard<std::mutex> lock(gTempNameMutex);
    gTempNameSource = source;
}

std::string RandomTempName()
{
    {
        std::lock_guard<std::mutex> lock(gTempNameMutex);
        if (gTempNameSource)
            return gTempNameSource();
    }
    static const char kCharacters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const unsigned kAlphabet = sizeof(kCharacters) - 1;
    std::string name = kTempNamePrefix;
    for (int i = 0; i < kTempNameRandomCharacters; ++i)
        name += kCharacters[RandomBelow(kAlphabet)];
    return name;
}

bool TempFilenameInDirectory(const FileSystemPath& folder, FileSystemPath& path)
{
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        FileSystemPath candidate(folder);
        candidate.AppendUTF8Segment(RandomTempName());
        struct stat info;
        if (lstat(candidate.AsUTF8String().c_str(), &info) == 0)
            continue;
        if (errno != ENOENT && errno != ENOTDIR)
            return false;
        path = candidate;
        return true;
    }
    return false;
}

bool CopyFileToTemp(const FileSystemPath& source, FileSystemPath& copy)
{
    struct stat info;
    std::string onDisk;
    if (platform::LookUpOnDisk(source.AsUTF8String(), onDisk, info) != 0 || !S_ISREG(info.st_mode))
        return false;
    FileSystemPath temp;
    FileSystemPath name;
    if (!GetTempDirectory(temp) || !TempFilenameInDirectory(temp, name))
        return false;
    copy = name;
    return CopyFile(source, name);
}

namespace {

// remove(3) of the last name, in its folder reached without following a link that another user
// planted where others can write, and the change noted in the names known of that folder: 0 or
// the errno value.
int RemoveName(const std::string& path)
{
    platform::TrustedPath place;
    int error = place.Walk(path, false);
    if (error == EPERM)
        NoteFailureReason(place.Refusal());
    if (error != 0)
        return error;
    if (unlinkat(place.Folder(), place.Name().c_str(), 0) != 0) {
        error = errno;
        if (error != EISDIR)
            return error;
        if (unlinkat(place.Folder(), place.Name().c_str(), AT_REMOVEDIR) != 0)
            return errno;
    }
    platform::NoteNameChange(path, false, place.Folder());
    return 0;
}

}  // namespace

bool DeleteFile(const FileSystemPath& path, bool)
{
    // Removed as given where it exists so (the commit of an uninstall removes every file it
    // moved aside: through the temporary folder held open, where it is one); another spelling of
    // the name is looked for only when nothing is there.
    std::string onDisk = path.AsUTF8String();
    const std::string::size_type slash = onDisk.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && slash + 1 < onDisk.size()) {
        if (const std::shared_ptr<platform::HeldFolder> held = platform::FindHeldFolder(onDisk.substr(0, slash))) {
            const int error = held->Remove(onDisk.substr(slash + 1));
            if (error != ENOENT)
                return error == 0;
        }
    }
    int error = RemoveName(onDisk);
    if (error == ENOENT && !onDisk.empty() && onDisk[0] == '/') {
        std::string spelled = platform::OnDiskPathOfMissing(onDisk);
        if (spelled != onDisk && (error = RemoveName(spelled)) == 0)
            onDisk.swap(spelled);
    }
    if (error != 0) {
        errno = error;
        return false;
    }
    return true;
}

namespace {

template <typename Bytes>
bool LoadWholeFile(const FileSystemPath& path, Bytes& contents)
{
    const std::string onDisk = platform::OnDiskPath(path.AsUTF8String());
    struct stat info;
    // A pipe or a device in the file's place is no file, and no empty one: it is not read.
    if (stat(onDisk.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    if (info.st_size == 0) {
        contents.clear();
        return true;
    }
    // Not blocking, and only a regular file: what the stat saw may have been replaced meanwhile.
    const int fd = open(onDisk.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat opened;
    if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_size != info.st_size) {
        close(fd);
        return false;
    }
    Bytes bytes(static_cast<std::size_t>(info.st_size), 0);
    // One read(2) returns at most about 2 GB, so a large file takes several.
    std::size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        const ssize_t count = read(fd, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(count);
    }
    close(fd);
    if (!ok)
        return false;
    contents.swap(bytes);
    return true;
}

}  // namespace

bool LoadFileContents(const FileSystemPath& path, std::vector<std::uint8_t>& contents)
{
    return LoadWholeFile(path, contents);
}

bool LoadFileContents(const FileSystemPath& path, std::string& contents)
{
    return LoadWholeFile(path, contents);
}

bool LoadKeptFileContents(const FileSystemPath& path, std::string& contents)
{
    std::string refusal;
    if (platform::ReadKeptFile(path.AsUTF8String(), contents, refusal))
        return true;
    if (!refusal.empty())
        NoteFailureReason(refusal);
    return false;
}

}  // namespace FileSystemUtils
