// The script functions that build the file and folder commands: copy and delete files, create
// and delete folders, change modes and owners.
#include "QENGlobalFunctions.h"

#include "QEN/source/mac/QENChmodCommand.h"
#include "QEN/source/mac/QENChownCommand.h"
#include "QEN/source/mac/QENCopyFileCommand.h"
#include "QEN/source/mac/QENCreateDirectoryCommand.h"
#include "QEN/source/mac/QENDeleteDirectoryCommand.h"
#include "QEN/source/mac/QENDeleteFileCommand.h"

#include <boost/make_shared.hpp>

namespace {

// octal 0775
const unsigned short kDefaultDirectoryMode = 0775;

// A permission mode keeps the low 16 bits of the script's integer.
unsigned short ToMode(const Mivor::Variant& value)
{
    return static_cast<unsigned short>(static_cast<std::uint32_t>(QENGlobalsLC::ToInteger(value)) & 0xFFFFu);
}

}  // namespace

namespace QENGlobalFunctions {

int QENChmodCommand(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 2)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const FileSystemPath path = QENGlobalsLC::ToPath(arguments[0]);
    const unsigned short mode = ToMode(arguments[1]);
    return globals.ProcessCommand(QENCommandPtr(new ::QENChmodCommand(globals.Log(), path, mode)), result);
}

int QENChownCommand(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 3)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const FileSystemPath path = QENGlobalsLC::ToPath(arguments[0]);
    const std::string user = QENGlobalsLC::ToUTF8String(arguments[1]);
    const std::string group = QENGlobalsLC::ToUTF8String(arguments[2]);
    return globals.ProcessCommand(QENCommandPtr(new ::QENChownCommand(globals.Log(), path, user, group)), result);
}

int QENCreateDirectory(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 1 && arguments.length() != 2)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const FileSystemPath path = QENGlobalsLC::ToPath(arguments[0]);
    const unsigned short mode = arguments.length() == 2 ? ToMode(arguments[1]) : kDefaultDirectoryMode;
    return globals.ProcessCommand(QENCommandPtr(new QENCreateDirectoryCommand(globals.Log(), path, mode)), result);
}

int QENDeleteDirectory(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 1)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const FileSystemPath path = QENGlobalsLC::ToPath(arguments[0]);
    return globals.ProcessCommand(QENCommandPtr(new QENDeleteDirectoryCommand(globals.Log(), path)), result);
}

int QENCopyFile(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 2)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const FileSystemPath source = QENGlobalsLC::ToPath(arguments[0]);
    const FileSystemPath destination = QENGlobalsLC::ToPath(arguments[1]);
    // One allocation for the command and its count: a payload keeps one per file until it ends.
    const int code =
        globals.ProcessCommand(boost::make_shared<QENCopyFileCommand>(globals.Log(), source, destination), result);
    globals.ImageProgress().FileRead(source);
    return code;
}

int QENDeleteFile(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 1)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const FileSystemPath path = QENGlobalsLC::ToPath(arguments[0]);
    return globals.ProcessCommand(boost::make_shared<QENDeleteFileCommand>(globals.Log(), path), result);
}

}  // namespace QENGlobalFunctions
