#include "platform/LaunchServices.h"

#include "platform/Bundle.h"
#include "platform/Files.h"
#include "platform/SystemRoot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <set>
#include <sstream>

namespace platform {

namespace {

std::mutex gHookMutex;  // guards gRegistrationHook
RegistrationHook gRegistrationHook;

std::string CreatorText(std::uint32_t creator)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8)
        text += static_cast<char>((creator >> shift) & 0xFF);
    return text;
}

bool OneLine(const std::string& text)
{
    return text.find_first_of("\t\n\r") == std::string::npos;
}

bool CreateFolders(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    const std::string::size_type slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !CreateFolders(path.substr(0, slash)))
        return false;
    return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

}  // namespace

std::string ApplicationRegistryPath()
{
    return SystemRoot::Resolve("/Library/Caches/com.apple.LaunchServices/registry");
}

int RegisterApplication(const std::string& path, bool update)
{
    RegistrationHook hook;
    {
        std::lock_guard<std::mutex> lock(gHookMutex);
        hook = gRegistrationHook;
    }
    if (hook)
        return hook(path, update);

    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return errno;
    RegisteredApplication entry;
    entry.path = path;
    entry.creator = "????";
    if (S_ISDIR(info.st_mode)) {
        if (BundlePtr bundle = Bundle::Create(path))
            bundle->InfoString("CFBundleIdentifier", entry.identifier);
        std::uint32_t type = 0, creator = 0;
        if (Bundle::ReadPackageInfo(path, type, creator) && creator != 0)
            entry.creator = CreatorText(creator);
    }
    if (!OneLine(entry.path) || !OneLine(entry.identifier) || !OneLine(entry.creator))
        return EINVAL;

    if (!update) {
        std::vector<RegisteredApplication> known;
        if (ReadApplicationRegistry(known)) {
            for (const RegisteredApplication& application : known) {
                if (application.path == path)
                    return 0;
            }
        }
    }
    const std::string registry = ApplicationRegistryPath();
    if (!CreateFolders(registry.substr(0, registry.find_last_of('/'))))
        return EACCES;
    const int fd = open(registry.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    // One write per line, so that lines of two processes never interleave.
    const std::string line = entry.path + "\t" + entry.identifier + "\t" + entry.creator + "\n";
    const ssize_t written = write(fd, line.data(), line.size());
    const int writeError = errno;
    if (close(fd) != 0 && written >= 0)
        return errno;
    if (written < 0)
        return writeError;
    return static_cast<std::size_t>(written) == line.size() ? 0 : EIO;
}

bool ReadApplicationRegistry(std::vector<RegisteredApplication>& applications)
{
    std::string text;
    struct stat info;
    const std::string registry = ApplicationRegistryPath();
    if (stat(registry.c_str(), &info) != 0) {
        if (errno != ENOENT)
            return false;
    } else if (!ReadWholeFile(registry, text)) {
        return false;
    }
    std::vector<RegisteredApplication> read;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        RegisteredApplication entry;
        if (std::getline(fields, entry.path, '\t') && std::getline(fields, entry.identifier, '\t') &&
            std::getline(fields, entry.creator) && !entry.path.empty())
            read.push_back(entry);
    }
    applications.swap(read);
    return true;
}

void SetRegistrationHookForTesting(const RegistrationHook& hook)
{
    std::lock_guard<std::mutex> lock(gHookMutex);
    gRegistrationHook = hook;
}

int FindApplication(std::uint32_t creator, const std::string* identifier, const std::string* name, std::string& path)
{
    if (creator == 0 && identifier == nullptr && name == nullptr)
        return kApplicationNotFoundErr;
    std::vector<RegisteredApplication> applications;
    if (!ReadApplicationRegistry(applications))
        return kApplicationNotFoundErr;
    std::set<std::string> superseded;
    for (std::vector<RegisteredApplication>::const_reverse_iterator entry = applications.rbegin();
         entry != applications.rend(); ++entry) {
        if (!superseded.insert(entry->path).second)
            continue;
        const std::string::size_type slash = entry->path.find_last_of('/');
        const std::string fileName = slash == std::string::npos ? entry->path : entry->path.substr(slash + 1);
        if (creator != 0 && entry->creator != CreatorText(creator))
            continue;
        if (identifier != nullptr && entry->identifier != *identifier)
            continue;
        if (name != nullptr && fileName != *name)
            continue;
        struct stat info;
        if (stat(entry->path.c_str(), &info) != 0)
            continue;
        path = entry->path;
        return 0;
    }
    return kApplicationNotFoundErr;
}

}  // namespace platform
