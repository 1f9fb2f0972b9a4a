// The script function that reads back the relocation data of a storage key.
#include "QENGlobalFunctions.h"

#if __has_include("UninstallDBAccess.h")

#include "QENRelocationQuery.h"
#include "UninstallDBAccess.h"

namespace QENGlobalFunctions {

int QENGetRelocationData(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 1)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    return QENRelocationQuery::GetRelocationData<UninstallDBAccess>(
        globals.Log(), QENGlobalsLC::ToUTF8String(arguments[0]), result);
}

}  // namespace QENGlobalFunctions

#else

namespace QENGlobalFunctions {

// A build whose installation-database library offers no uninstall databases has no relocation
// data to read: the function answers as one that does not exist.
int QENGetRelocationData(QENGlobalsLC&, const Mivor::Array&, Mivor::Variant&)
{
    return QENGlobalsLC::kCodeNoSuchFunction;
}

}  // namespace QENGlobalFunctions

#endif
