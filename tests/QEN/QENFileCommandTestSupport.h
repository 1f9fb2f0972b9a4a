// Helpers of the tests of the file, link, alias and registration commands: a fixture with a
// system root whose "/Applications/Sample" folder the tests work in, a recording log, and small
// readers of file contents, modes, owners, link texts, alias targets and Finder flags.
#pragma once

#include "QENTestSupport.h"

#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/xplat/FileSystemPath.h"

#include "platform/files/ExtendedAttributes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace qentest {

// The file's text, or "<missing>".
inline std::string ContentOf(const std::string& path)
{
    std::ifstream file(path);
    if (!file)
        return "<missing>";
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The twelve low mode bits of the entry itself, in octal; "<missing>" when there is none.
inline std::string ModeOf(const std::string& path)
{
    struct stat info;
    if (lstat(path.c_str(), &info) != 0)
        return "<missing>";
    std::ostringstream text;
    text << std::oct << (info.st_mode & 07777);
    return text.str();
}

// "owner:group" of the entry itself.
inline std::string OwnerOf(const std::string& path)
{
    struct stat info;
    if (lstat(path.c_str(), &info) != 0)
        return "<missing>";
    return std::to_string(info.st_uid) + ":" + std::to_string(info.st_gid);
}

inline std::string LinkText(const std::string& path)
{
    char buffer[4096];
    const ssize_t length = readlink(path.c_str(), buffer, sizeof(buffer));
    return length < 0 ? std::string("<no link>") : std::string(buffer, static_cast<std::size_t>(length));
}

inline std::string AliasTargetOf(const std::string& path)
{
    FileSystemPath target("/none");
    return FileSystemUtilsMac::GetMacAliasTarget(FileSystemPath(path), target) ? target.AsUTF8String() : "<no alias>";
}

inline std::string DisplayAttributesOf(const std::string& path)
{
    std::uint32_t attributes = 0;
    return FileSystemUtilsMac::GetDisplayAttributes(FileSystemPath(path), attributes) ? std::to_string(attributes)
                                                                                      : "<unreadable>";
}

class QENFileCommandTest : public tolktest::SystemRootTest {
protected:
    void SetUp() override
    {
        folder_ = sysroot_.Path("/Applications/Sample");
        tolktest::MakeFolders(folder_);
    }

    // A path in the work folder, as text and as a FileSystemPath.
    std::string At(const std::string& name) const { return folder_ + "/" + name; }
    FileSystemPath P(const std::string& name) const { return FileSystemPath(At(name)); }
    bool HasExtendedAttributes() const { return platform::FolderSupportsExtendedAttributes(folder_); }

    // The log lines written since the last call.
    std::vector<std::string> NewLines()
    {
        std::vector<std::string> lines(log_.lines.begin() + static_cast<std::ptrdiff_t>(mark_), log_.lines.end());
        mark_ = log_.lines.size();
        return lines;
    }

    std::string folder_;
    RecordingLog log_;
    std::size_t mark_ = 0;
};

}  // namespace qentest
