#include "platform/Bundle.h"

#include "platform/files/Files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <mutex>

namespace platform {

namespace {

std::mutex gMainMutex;  // guards gMainBundlePath
std::string gMainBundlePath;

bool IsFolder(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFile(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

ConstPropertyValuePtr ReadInfo(const std::string& file)
{
    std::string bytes;
    PropertyValuePtr value;
    if (ReadWholeFile(file, bytes) && ParsePropertyList(bytes, value) && value->IsDictionary())
        return value;
    return PropertyValue::MakeDictionary();
}

bool CodeFromString(const std::string& text, std::uint32_t& code)
{
    if (text.size() != 4)
        return false;
    code = 0;
    for (char c : text)
        code = (code << 8) | static_cast<unsigned char>(c);
    return true;
}

std::string Trimmed(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

}  // namespace

BundlePtr Bundle::Create(const std::string& folder)
{
    if (folder.empty() || !IsFolder(folder))
        return BundlePtr();
    const std::string path = Trimmed(folder);
    const bool deep = IsFolder(path + "/Contents");
    const std::string infoFile = deep ? path + "/Contents/Info.plist" : path + "/Resources/Info.plist";
    return BundlePtr(new Bundle(path, deep, ReadInfo(infoFile)));
}

BundlePtr Bundle::Main()
{
    {
        std::lock_guard<std::mutex> lock(gMainMutex);
        if (!gMainBundlePath.empty())
            return Create(gMainBundlePath);
    }
    char executable[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", executable, sizeof(executable) - 1);
    if (length <= 0)
        return BundlePtr();
    std::string path(executable, static_cast<std::size_t>(length));
    std::string folder = path.substr(0, path.find_last_of('/'));
    const std::string suffix = "/Contents/MacOS";
    if (folder.size() > suffix.size() && folder.compare(folder.size() - suffix.size(), suffix.size(), suffix) == 0)
        folder.erase(folder.size() - suffix.size());
    if (folder.empty())
        folder = "/";
    return Create(folder);
}

void Bundle::SetMainBundlePathForTesting(const std::string& folder)
{
    std::lock_guard<std::mutex> lock(gMainMutex);
    gMainBundlePath = folder;
}

bool Bundle::ReadPackageInfo(const std::string& folder, std::uint32_t& type, std::uint32_t& creator)
{
    BundlePtr bundle = Create(folder);
    if (!bundle)
        return false;
    std::string typeText;
    if (bundle->InfoString("CFBundlePackageType", typeText) && CodeFromString(typeText, type)) {
        std::string creatorText;
        if (!bundle->InfoString("CFBundleSignature", creatorText) || !CodeFromString(creatorText, creator))
            creator = 0x3F3F3F3F;  // "????", the unknown creator
        return true;
    }
    std::string pkgInfo;
    if (!ReadWholeFile(bundle->ContentsPath() + "/PkgInfo", pkgInfo) || pkgInfo.size() < 8)
        return false;
    return CodeFromString(pkgInfo.substr(0, 4), type) && CodeFromString(pkgInfo.substr(4, 4), creator);
}

bool Bundle::ExecutablePath(std::string& path) const
{
    std::string name;
    if (!InfoString("CFBundleExecutable", name) || name.empty() || name.find('/') != std::string::npos)
        return false;
    const std::string candidate = deep_ ? path_ + "/Contents/MacOS/" + name : path_ + "/" + name;
    if (!IsFile(candidate))
        return false;
    path = candidate;
    return true;
}

bool Bundle::AuxiliaryExecutablePath(const std::string& name, std::string& path) const
{
    if (name.empty() || name.find('/') != std::string::npos)
        return false;
    const std::string candidate = deep_ ? path_ + "/Contents/MacOS/" + name : path_ + "/" + name;
    if (!IsFile(candidate))
        return false;
    path = candidate;
    return true;
}

std::string Bundle::ContentsPath() const
{
    return deep_ ? path_ + "/Contents" : path_;
}

std::string Bundle::ResourcesPath() const
{
    return ContentsPath() + "/Resources";
}

std::string Bundle::SharedSupportPath() const
{
    return ContentsPath() + "/SharedSupport";
}

std::string Bundle::PrivateFrameworksPath() const
{
    return ContentsPath() + "/Frameworks";
}

}  // namespace platform
