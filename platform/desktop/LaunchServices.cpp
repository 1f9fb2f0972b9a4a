#include "platform/desktop/LaunchServices.h"

#include "platform/Bundle.h"
#include "platform/SystemRoot.h"
#include "platform/files/Files.h"
#include "platform/files/TrustedFiles.h"
#include "platform/files/TrustedPath.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
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

std::string Lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Whether the bundle's document types claim the extension (already lower-cased).
bool ClaimsExtension(const std::string& application, const std::string& extension)
{
    BundlePtr bundle = Bundle::Create(application);
    if (!bundle)
        return false;
    ConstPropertyValuePtr types = bundle->InfoDictionary()->Get("CFBundleDocumentTypes");
    if (!types || types->GetType() != PropertyValue::kArray)
        return false;
    for (const PropertyValuePtr& type : types->ArrayItems()) {
        ConstPropertyValuePtr extensions = type ? type->Get("CFBundleTypeExtensions") : ConstPropertyValuePtr();
        if (!extensions || extensions->GetType() != PropertyValue::kArray)
            continue;
        for (const PropertyValuePtr& claimed : extensions->ArrayItems()) {
            if (claimed && claimed->GetType() == PropertyValue::kString &&
                (claimed->StringValue() == "*" || Lowered(claimed->StringValue()) == extension))
                return true;
        }
    }
    return false;
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
    if (const int error = MakeFolders(registry.substr(0, registry.find_last_of('/')), 0755))
        return error;
    if (const int refused = CheckWrite(registry))
        return refused;
    const int fd = open(registry.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
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

bool ApplicationsForDocument(const std::string& path, std::vector<std::string>& applications)
{
    struct stat info;
    if (path.empty() || stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        return false;
    const std::string::size_type slash = path.find_last_of('/');
    const std::string::size_type dot = path.find_last_of('.');
    const std::string extension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash) ? Lowered(path.substr(dot + 1)) : "";

    std::vector<RegisteredApplication> registered;
    if (!ReadApplicationRegistry(registered))
        return false;
    std::vector<std::string> candidates;
    for (const RegisteredApplication& application : registered)
        candidates.push_back(application.path);
    const std::string folder = SystemRoot::Resolve("/Applications");
    if (DIR* listing = opendir(folder.c_str())) {
        std::vector<std::string> bundles;
        while (struct dirent* entry = readdir(listing)) {
            const std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".app") == 0)
                bundles.push_back(folder + "/" + name);
        }
        closedir(listing);
        // Directory order is the file system's; sort so that answers do not depend on it.
        std::sort(bundles.begin(), bundles.end());
        candidates.insert(candidates.end(), bundles.begin(), bundles.end());
    }

    std::vector<std::string> found;
    std::set<std::string> seen;
    for (const std::string& candidate : candidates) {
        if (!seen.insert(candidate).second)
            continue;
        if (ClaimsExtension(candidate, extension))
            found.push_back(candidate);
    }
    applications.swap(found);
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
