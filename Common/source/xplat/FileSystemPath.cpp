#include "FileSystemPath.h"

#include "FileSystemUtils.h"

#include <libgen.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace {

// basename(3) and dirname(3) may write into their argument: hand them a private copy.
std::vector<char> WritableCopy(const std::string& text)
{
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    return buffer;
}

}  // namespace

FileSystemPath::FileSystemPath()
{
    char buffer[1025];
    if (getcwd(buffer, sizeof(buffer)) == nullptr)
        throw std::runtime_error("Unable to get current working directory.");
    path_ = buffer;
}

FileSystemPath::FileSystemPath(const std::string& path)
{
    if (FileSystemUtils::ValidateUTF8FullPathString(path) != FileSystemUtils::kPathValid)
        throw std::runtime_error("Invalid path passed to FileSystemPath constructor.");
    path_ = path;
    while (path_.size() >= 2 && path_.back() == '/')
        path_.pop_back();
}

std::string FileSystemPath::NameAsUTF8String() const
{
    std::vector<char> buffer = WritableCopy(path_);
    const char* name = basename(buffer.data());
    if (name == nullptr)
        throw std::runtime_error("Unable to get path base name.");
    return name;
}

FileSystemPath FileSystemPath::Parent() const
{
    std::vector<char> buffer = WritableCopy(path_);
    const char* parent = dirname(buffer.data());
    if (parent == nullptr)
        throw std::runtime_error("Unable to get path parent.");
    return FileSystemPath(std::string(parent));
}

FileSystemPath& FileSystemPath::AppendUTF8Segment(const std::string& segment)
{
    // Joining is not validated, but a NUL would make the path name another file than it reads.
    if (segment.find('\0') != std::string::npos)
        throw std::runtime_error("Invalid path segment passed to FileSystemPath.");
    std::string::size_type start = segment.find_first_not_of('/');
    if (start == std::string::npos)
        start = segment.size();
    if (path_.empty() || path_.back() != '/')
        path_ += '/';
    path_.append(segment, start, std::string::npos);
    return *this;
}

FileSystemPath FileSystemPath::PathFromUTF8(const std::string& text)
{
    if (!text.empty() && text[0] == '/')
        return FileSystemPath(text);
    FileSystemPath path;
    path.AppendUTF8Segment(text);
    return path;
}
