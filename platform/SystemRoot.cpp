#include "platform/SystemRoot.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace platform {

const char* const SystemRoot::kEnvironmentVariable = "TOLK_SYSTEM_ROOT";

std::string SystemRoot::Path()
{
    // Read every time: tests point the process at a new root per fixture.
    const char* value = std::getenv(kEnvironmentVariable);
    std::string root = (value != nullptr && value[0] == '/') ? value : "/";
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    return root;
}

bool SystemRoot::CheckEnvironment(std::string& problem)
{
    problem.clear();
    const char* value = std::getenv(kEnvironmentVariable);
    if (value == nullptr)
        return true;
    const std::string named = std::string(kEnvironmentVariable) + "=\"" + value + "\"";
    if (value[0] != '/') {
        problem = named + (value[0] == '\0' ? " is empty" : " is not an absolute path") +
                  ": it must name the system root folder by its absolute path (unset it for \"/\")";
        return false;
    }
    struct stat info;
    if (stat(value, &info) != 0) {
        problem = named + " cannot be used: " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        problem = named + " is not a folder";
        return false;
    }
    if (access(value, X_OK) != 0) {
        problem = named + " cannot be searched: " + std::strerror(errno);
        return false;
    }
    return true;
}

void SystemRoot::SetPath(const std::string& root)
{
    setenv(kEnvironmentVariable, root.c_str(), 1);
}

std::string SystemRoot::Resolve(const std::string& systemPath)
{
    const std::string root = Path();
    if (root == "/")
        return systemPath;
    if (systemPath.empty() || systemPath == "/")
        return root;
    if (systemPath[0] != '/')
        return root + "/" + systemPath;
    return root + systemPath;
}

std::string SystemRoot::Unresolve(const std::string& path)
{
    const std::string root = Path();
    if (root == "/")
        return path;
    if (path == root)
        return "/";
    if (path.size() > root.size() && path.compare(0, root.size(), root) == 0 && path[root.size()] == '/')
        return path.substr(root.size());
    return path;
}

std::string SystemRoot::SettingsFilePath()
{
    return Resolve("/.tolk/platform.plist");
}

}  // namespace platform
