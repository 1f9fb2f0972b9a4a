#include "FileSystemUtils.h"

#include "FileSystemVolume.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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
