#include "platform/SystemRoot.h"

#include <cstdlib>

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
