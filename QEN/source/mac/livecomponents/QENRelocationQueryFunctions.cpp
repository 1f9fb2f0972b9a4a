// The script function that reads back the relocation data of a storage key.
#include "QENGlobalFunctions.h"

#include "QENRelocationQuery.h"
#include "caps/UninstallDBAccess.h"

namespace QENGlobalFunctions {

int QENGetRelocationData(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 1)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    return QENRelocationQuery::GetRelocationData<UninstallDBAccess>(globals.Log(),
                                                                    QENGlobalsLC::ToUTF8String(arguments[0]), result);
}

}  // namespace QENGlobalFunctions
