#include "QENFileSnapshot.h"

#include "FileSystemUtilsMac.h"

#include "platform/Files.h"

namespace QENFileSnapshot {

bool Take(const FileSystemPath& path, bool& existed, std::string& bytes)
{
    bool regular = false;
    if (!FileSystemUtilsMac::IsRegularFile(path, regular) || !regular) {
        existed = false;
        bytes.clear();
        return true;
    }
    std::string contents;
    if (!platform::ReadWholeFile(path.AsUTF8String(), contents))
        return false;
    existed = true;
    bytes.swap(contents);
    return true;
}

}  // namespace QENFileSnapshot
