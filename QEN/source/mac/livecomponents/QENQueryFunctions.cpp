// The script functions that answer questions about the file system: whether a path exists, the
// names in a folder, the volume that holds a path, whether a file is empty, the browsers'
// folders, shell-pattern matches and whether two files hold the same bytes. None builds a
// command.
#include "QENGlobalFunctions.h"

#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "Common/source/xplat/FileSystemVolume.h"
#include "QEN/source/mac/BrowserAccessor.h"

#include "platform/ShellPattern.h"
#include "platform/files/FileTree.h"
#include "platform/formats/UnicodeText.h"

#include <stdexcept>
#include <vector>

namespace {

void AppendPaths(Mivor::Array& array, const BrowserAccessor::FileSystemPathSet& paths)
{
    for (const FileSystemPath& path : paths)
        QENGlobalsLC::SetUTF8String(array.appendUndefined(), path.AsUTF8String());
}

}  // namespace

namespace QENGlobalFunctions {

int QENPathExists(QENGlobalsLC&, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 1)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    result.setBool(FileSystemUtils::Exists(QENGlobalsLC::ToPath(arguments[0])));
    return QENGlobalsLC::kCodeOK;
}

int QENGetPathChildren(QENGlobalsLC&, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 1)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const FileSystemPath folder = QENGlobalsLC::ToPath(arguments[0]);
    std::vector<FileSystemPath> children;
    if (!FileSystemUtils::ChildrenForDirectory(folder, children))
        return QENGlobalsLC::kCodeOK;
    Mivor::Array& names = result.makeArray();
    for (const FileSystemPath& child : children) {
        // A script's strings hold only Unicode: such a name would reach it as another name, one
        // that no entry has, and the entry would be passed over without a word.
        const std::string name = child.NameAsUTF8String();
        platform::UnicodeText text;
        if (!platform::UnicodeText::FromUTF8(name, text))
            throw std::runtime_error("the name \"" + platform::UnicodeText::ShowBytes(name) + "\" in the folder \"" +
                                     folder.AsUTF8String() + "\" is not UTF-8 text");
        QENGlobalsLC::SetUTF8String(names.appendUndefined(), name);
    }
    return QENGlobalsLC::kCodeOK;
}

int QENGetVolumePathForPath(QENGlobalsLC&, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 1)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    // Throws, ending the call with -29, when no volume holds the path.
    const FileSystemVolume volume(QENGlobalsLC::ToPath(arguments[0]));
    FileSystemPath root(std::string("/"));
    if (volume.RootPath(root))
        QENGlobalsLC::SetUTF8String(result, root.AsUTF8String());
    else
        result.setNull();
    return QENGlobalsLC::kCodeOK;
}

int QENIsFileEmpty(QENGlobalsLC&, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 1)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    std::uint64_t length = 0;
    if (FileSystemUtilsMac::GetDataLength(QENGlobalsLC::ToPath(arguments[0]), length))
        result.setBool(length == 0);
    return QENGlobalsLC::kCodeOK;
}

// Whether two files hold the same bytes, as a repair asks of an installed file and its original
// on the payload image. Undefined when either is no regular file that can be read; links are
// not followed.
int QENFileContentsMatch(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 2)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const FileSystemPath first = QENGlobalsLC::ToPath(arguments[0]);
    const FileSystemPath second = QENGlobalsLC::ToPath(arguments[1]);
    bool same = false;
    if (platform::CompareFileContents(first.AsUTF8String(), second.AsUTF8String(), same))
        result.setBool(same);
    // Whichever of them is the image's file is one more file of the run done.
    globals.ImageProgress().FileRead(first);
    globals.ImageProgress().FileRead(second);
    return QENGlobalsLC::kCodeOK;
}

int QENGetBrowserPaths(QENGlobalsLC&, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 0)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    BrowserAccessor::FileSystemPathSet components;
    BrowserAccessor::FileSystemPathSet plugins;
    BrowserAccessor::GetBrowserPaths(components, plugins);
    Mivor::Array componentPaths;
    Mivor::Array pluginPaths;
    AppendPaths(componentPaths, components);
    AppendPaths(pluginPaths, plugins);
    Mivor::Array& pair = result.makeArray();
    pair.append(componentPaths);
    pair.append(pluginPaths);
    return QENGlobalsLC::kCodeOK;
}

int QENGlobTest(QENGlobalsLC&, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 2)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const std::string text = QENGlobalsLC::ToUTF8String(arguments[0]);
    const std::string pattern = QENGlobalsLC::ToUTF8String(arguments[1]);
    result.setBool(platform::MatchShellPattern(pattern, text, platform::kShellPatternCaseFold) == 0);
    return QENGlobalsLC::kCodeOK;
}

}  // namespace QENGlobalFunctions
