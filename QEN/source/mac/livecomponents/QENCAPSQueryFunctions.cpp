// The script functions that read a collection's or a payload's data from the installation
// database. Both are refused once a database-writing function of the payload's section has locked
// it; they read through the run's connection, so they see what earlier sections wrote.
#include "QENGlobalFunctions.h"

#include "QEN/source/mac/QENCAPSRunSession.h"
#include "caps/caps.h"

namespace {

typedef capsStatus (*KeysAndValuesQuery)(capsiSession* session, const char* identifier, capsDomain domain,
                                         capsStringList* out);

// Closes the session on every way out; closing commits (or, on the run's connection, lets go),
// which a read leaves with nothing to do.
class ScopedCAPSSession {
public:
    ScopedCAPSSession() : session_(nullptr), status_(QENCAPSRunSession::Open(&session_, false)) {}
    ~ScopedCAPSSession()
    {
        if (session_ != nullptr)
            capsCloseSession(session_);
    }
    bool IsOpen() const { return status_ == kCapsOK && session_ != nullptr; }
    capsiSession* Get() const { return session_; }

private:
    ScopedCAPSSession(const ScopedCAPSSession&) = delete;
    ScopedCAPSSession& operator=(const ScopedCAPSSession&) = delete;

    capsiSession* session_;
    const capsStatus status_;
};

// Both queries: [keys, values] of the identifier's data in the domain; undefined when the
// database cannot be opened or has nothing for it.
int GetDataKeysAndValues(QENGlobalsLC& globals, const char* functionName, KeysAndValuesQuery query,
                         const Mivor::Array& arguments, Mivor::Variant& result)
{
    const int refused = globals.RefuseWhileCAPSLocked(functionName);
    if (refused != QENGlobalsLC::kCodeOK)
        return refused;
    if (arguments.length() != 2)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const std::string identifier = QENGlobalsLC::ToUTF8String(arguments[0]);
    capsDomain domain = kCapsDomainInstaller;
    if (!QENGlobalsLC::VariantToCapsDomain(arguments[1], domain))
        return QENGlobalsLC::kCodeBadArgumentValue;

    ScopedCAPSSession session;
    if (!session.IsOpen())
        return QENGlobalsLC::kCodeOK;
    capsStringList pairs = nullptr;
    if (query(session.Get(), identifier.c_str(), domain, &pairs) != kCapsOK || pairs == nullptr)
        return QENGlobalsLC::kCodeOK;
    Mivor::Array keys;
    Mivor::Array values;
    for (capsStringList pair = pairs; pair[0] != nullptr && pair[1] != nullptr; pair += 2) {
        QENGlobalsLC::SetUTF8String(keys.appendUndefined(), pair[0]);
        QENGlobalsLC::SetUTF8String(values.appendUndefined(), pair[1]);
    }
    Mivor::Array& answer = result.makeArray();
    answer.append(keys);
    answer.append(values);
    return QENGlobalsLC::kCodeOK;
}

}  // namespace

namespace QENGlobalFunctions {

int QENGetCapsCollectionDataKeysAndValues(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    return GetDataKeysAndValues(globals, "QENGetCapsCollectionDataKeysAndValues", &capsGetCollectionDataKeysAndValues,
                                arguments, result);
}

int QENGetCapsPayloadDataKeysAndValues(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    return GetDataKeysAndValues(globals, "QENGetCapsPayloadDataKeysAndValues", &capsGetPayloadDataKeysAndValues,
                                arguments, result);
}

}  // namespace QENGlobalFunctions
