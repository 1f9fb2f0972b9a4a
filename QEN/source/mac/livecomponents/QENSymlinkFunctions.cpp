// The script functions that build the symbolic link commands: create, delete and copy links.
#include "QENGlobalFunctions.h"

#include "QEN/source/mac/QENCopySymlinkCommand.h"
#include "QEN/source/mac/QENCreateSymlinkCommand.h"
#include "QEN/source/mac/QENDeleteSymlinkCommand.h"

namespace QENGlobalFunctions {

int QENCreateSymlink(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 2)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const FileSystemPath link = QENGlobalsLC::ToPath(arguments[0]);
    // The target is kept exactly as written: it may be relative and need not exist.
    const std::string target = QENGlobalsLC::ToUTF8String(arguments[1]);
    return globals.ProcessCommand(QENCommandPtr(new QENCreateSymlinkCommand(globals.Log(), link, target)), result);
}

int QENDeleteSymlink(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 1)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const FileSystemPath link = QENGlobalsLC::ToPath(arguments[0]);
    return globals.ProcessCommand(QENCommandPtr(new QENDeleteSymlinkCommand(globals.Log(), link)), result);
}

int QENCopySymlink(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 2)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const FileSystemPath source = QENGlobalsLC::ToPath(arguments[0]);
    const FileSystemPath destination = QENGlobalsLC::ToPath(arguments[1]);
    return globals.ProcessCommand(QENCommandPtr(new QENCopySymlinkCommand(globals.Log(), source, destination)), result);
}

}  // namespace QENGlobalFunctions
