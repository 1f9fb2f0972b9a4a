#include "FileSystemUtilsMac.h"

#include "FileSystemUtils.h"

#include "platform/FileRef.h"
#include "platform/Volumes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace FileSystemUtilsMac {

bool GetAllVolumes(std::vector<boost::shared_ptr<FileSystemVolume> >& volumes)
{
    std::vector<platform::VolumeStatus> mounted;
    if (!platform::ListVolumes(mounted) || mounted.empty())
        return false;
    for (const platform::VolumeStatus& status : mounted) {
        platform::FileRef ref;
        if (platform::MakeFileRef(status.mountPoint, ref) != platform::kNoErr ||
            FileSystemUtils::ValidateUTF8FullPathString(status.mountPoint) != FileSystemUtils::kPathValid)
            continue;
        volumes.push_back(boost::shared_ptr<FileSystemVolume>(new FileSystemVolume(FileSystemPath(status.mountPoint))));
    }
    return true;
}

bool IsRegularFile(const FileSystemPath& path, bool& isRegularFile)
{
    struct stat info;
    if (lstat(path.AsUTF8String().c_str(), &info) != 0)
        return false;
    isRegularFile = S_ISREG(info.st_mode);
    return true;
}

bool IsSymlink(const FileSystemPath& path, bool& isSymlink)
{
    struct stat info;
    if (lstat(path.AsUTF8String().c_str(), &info) != 0)
        return false;
    isSymlink = S_ISLNK(info.st_mode);
    return true;
}

bool UnlockPathObject(const FileSystemPath&)
{
    return true;
}

bool CreateTemporaryDirectory(FileSystemPath& path)
{
    const std::string pattern = "/tmp/.tempdirXXXXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.resize(1024, '\0');
    if (mkdtemp(name.data()) == nullptr)
        return false;
    path = FileSystemPath(std::string(name.data()));
    return true;
}

bool DeleteDirectory(const FileSystemPath& path, bool)
{
    return rmdir(path.AsUTF8String().c_str()) == 0;
}

}  // namespace FileSystemUtilsMac
