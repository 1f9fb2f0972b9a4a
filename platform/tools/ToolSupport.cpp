#include "ToolSupport.h"

#include "platform/formats/PropertyList.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

namespace tools {

bool FindSystemRoot(const std::string& toolPath, std::string& root)
{
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0)
        return false;
    const std::string self(buffer, static_cast<std::size_t>(length));
    if (self.size() < toolPath.size() || self.compare(self.size() - toolPath.size(), toolPath.size(), toolPath) != 0)
        return false;
    root = self.substr(0, self.size() - toolPath.size());
    if (root.empty())
        root = "/";
    return true;
}

void RecordToolCall(const std::string& root, const std::string& toolPath, int argc, char** argv)
{
    const std::string folder = (root == "/" ? std::string() : root) + "/.tolk/tool-calls";
    struct stat info;
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return;

    platform::PropertyValuePtr record = platform::PropertyValue::MakeDictionary();
    record->Set("tool", platform::PropertyValue::MakeString(toolPath));
    platform::PropertyValuePtr arguments = platform::PropertyValue::MakeArray();
    for (int i = 0; i < argc; ++i)
        arguments->ArrayItems().push_back(platform::PropertyValue::MakeString(argv[i]));
    record->Set("arguments", arguments);
    std::string bytes;
    if (!platform::SerializePropertyListXML(*record, bytes))
        return;

    // Numbered in call order; creating the name exclusively keeps two calls from sharing one.
    for (int number = 1; number < 1000000; ++number) {
        char file[32];
        std::snprintf(file, sizeof(file), "/%06d.plist", number);
        const std::string path = folder + file;
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return;
        }
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t count = write(fd, bytes.data() + written, bytes.size() - written);
            if (count <= 0 && errno != EINTR)
                break;
            if (count > 0)
                written += static_cast<std::size_t>(count);
        }
        close(fd);
        return;
    }
}

}  // namespace tools
