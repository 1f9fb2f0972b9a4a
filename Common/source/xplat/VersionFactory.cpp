#include "VersionFactory.h"

#include "FileVersioners.h"

#include <sys/stat.h>

#include <cstdio>

namespace {

bool IsFolder(std::FILE* file)
{
    struct stat info;
    return fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool VersionFactory::RegisterVersionMethod(VersionerFunc factory)
{
    GetVersionerFuncs().push_back(factory);
    return true;
}

VersionFactory::VersionerFuncs& VersionFactory::GetVersionerFuncs()
{
    static VersionerFuncs funcs = StandardVersionerFuncs();
    return funcs;
}

bool VersionFactory::GetFileVersion(const std::string& path, KVR_FileVersion& version, KVR_FileType& type)
{
    const VersionerFuncs& funcs = GetVersionerFuncs();
    for (VersionerFuncs::const_iterator it = funcs.begin(); it != funcs.end(); ++it) {
        std::unique_ptr<VersionerABC> versioner = (*it)();
        if (versioner->VersionFile(path, version, type))
            return true;
    }
    return false;
}

namespace VersionOps {

std::vector<std::int32_t> VersionToVector(const KVR_FileVersion& version)
{
    std::vector<std::int32_t> parts;
    parts.push_back(static_cast<std::int32_t>(version.majorVersion));
    parts.push_back(static_cast<std::int32_t>(version.minorVersion));
    parts.push_back(static_cast<std::int32_t>(version.thirdVersion));
    parts.push_back(static_cast<std::int32_t>(version.fourthVersion));
    return parts;
}

}  // namespace VersionOps

bool ReadFileBytes(const std::string& path, unsigned long count, std::vector<unsigned char>& bytes)
{
    try {
        std::vector<unsigned char> read(count);
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
        // Linux opens a folder for reading; only the read would fail.
        if (!file || IsFolder(file.get()))
            return false;
        const std::size_t got = count == 0 ? 0 : std::fread(read.data(), 1, count, file.get());
        if (std::ferror(file.get()) != 0)
            return false;
        read.resize(got);
        bytes.swap(read);
        return true;
    } catch (...) {
        return false;
    }
}

bool DoesFilePathExist(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    const bool folder = IsFolder(file);
    std::fclose(file);
    return !folder;
}

bool UTF8ToPlatformFilePath(const std::string& utf8Path, std::string& platformPath)
{
    if (utf8Path.empty())
        return false;
    platformPath = utf8Path;
    return true;
}
