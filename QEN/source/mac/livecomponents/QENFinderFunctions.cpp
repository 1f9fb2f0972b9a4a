// The script functions that build the commands of what the Finder shows: alias files, display
// flags, and the registration of applications.
#include "QENGlobalFunctions.h"

#include "QEN/source/mac/QENCreateMacAliasCommand.h"
#include "QEN/source/mac/QENRegisterApplicationsCommand.h"
#include "QEN/source/mac/QENRetargetMacAliasCommand.h"
#include "QEN/source/mac/QENSetDisplayAttributesCommand.h"

#include <boost/scoped_ptr.hpp>

#include <vector>

namespace QENGlobalFunctions {

int QENCreateMacAlias(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 3)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const FileSystemPath alias = QENGlobalsLC::ToPath(arguments[0]);
    const FileSystemPath target = QENGlobalsLC::ToPath(arguments[1]);
    boost::scoped_ptr<FileSystemPath> iconSource;
    if (!arguments[2].isUndefined() && !arguments[2].isNull())
        iconSource.reset(new FileSystemPath(QENGlobalsLC::ToPath(arguments[2])));
    return globals.ProcessCommand(
        QENCommandPtr(new QENCreateMacAliasCommand(globals.Log(), alias, target, iconSource.get())), result);
}

int QENRetargetMacAlias(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 2)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const FileSystemPath alias = QENGlobalsLC::ToPath(arguments[0]);
    const FileSystemPath newTarget = QENGlobalsLC::ToPath(arguments[1]);
    return globals.ProcessCommand(QENCommandPtr(new QENRetargetMacAliasCommand(globals.Log(), alias, newTarget)),
                                  result);
}

int QENSetDisplayAttributes(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 3)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const FileSystemPath path = QENGlobalsLC::ToPath(arguments[0]);
    const std::uint32_t attributes = static_cast<std::uint32_t>(QENGlobalsLC::ToInteger(arguments[1]));
    const std::uint32_t mask = static_cast<std::uint32_t>(QENGlobalsLC::ToInteger(arguments[2]));
    return globals.ProcessCommand(
        QENCommandPtr(new QENSetDisplayAttributesCommand(globals.Log(), path, attributes, mask)), result);
}

int QENRegisterApplications(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 1)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    std::vector<std::string> texts;
    if (!QENGlobalsLC::ToUTF8StringList(arguments[0], texts))
        return QENGlobalsLC::kCodeBadArgumentValue;
    std::vector<FileSystemPath> applications;
    for (const std::string& text : texts)
        applications.push_back(FileSystemPath(text));
    return globals.ProcessCommand(QENCommandPtr(new QENRegisterApplicationsCommand(globals.Log(), applications)),
                                  result);
}

}  // namespace QENGlobalFunctions
