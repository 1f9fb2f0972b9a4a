#include "FileSystemUtils.h"

#include "FileSystemVolume.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>

namespace FileSystemUtils {

bool Exists(const FileSystemPath& path)
{
    struct stat info;
    return lstat(path.AsUTF8String().c_str(), &info) == 0;
}

bool IsDirectory(const FileSystemPath& path, bool& isDirectory)
{
    struct stat info;
    if (lstat(path.AsUTF8String().c_str(), &info) != 0)
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

unsigned int ValidateUTF8FullPathString(const std::string& text)
{
    if (text.empty() || text[0] != '/')
        return kPathNotFullPath;
    if (text.size() > kMaxPathLength)
        return kPathTooLong;
    std::string::size_type start = 1;
    while (start <= text.size()) {
        std::string::size_type end = text.find('/', start);
        if (end == std::string::npos)
            end = text.size();
        if (end - start > kMaxComponentLength)
            return kPathTooLong;
        start = end + 1;
    }
    return kPathValid;
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
    DIR* directory = opendir(folder.AsUTF8String().c_str());
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
    return chdir(path.AsUTF8String().c_str()) == 0;
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

}  // namespace FileSystemUtils
