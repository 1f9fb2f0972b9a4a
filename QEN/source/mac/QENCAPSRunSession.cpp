#include "QENCAPSRunSession.h"

namespace {

// The run of this thread (the engine and its commands use one thread only).
thread_local QENCAPSRunSession* tCurrentRun = nullptr;

}  // namespace

QENCAPSRunSession::QENCAPSRunSession() : connection_(nullptr), previous_(tCurrentRun)
{
    tCurrentRun = this;
}

QENCAPSRunSession::~QENCAPSRunSession()
{
    tCurrentRun = previous_;
    if (connection_ != nullptr)
        capsCloseSession(connection_);
}

capsStatus QENCAPSRunSession::Open(capsiSession** out, bool withPart)
{
    if (out == nullptr)
        return kCapsBadArgument;
    *out = nullptr;
    QENCAPSRunSession* run = tCurrentRun;
    if (run == nullptr)
        return capsOpenSession(out);
    if (run->connection_ == nullptr) {
        const capsStatus opened = capsOpenSession(&run->connection_);
        if (opened != kCapsOK) {
            run->connection_ = nullptr;
            return opened;
        }
    }
    capsiSession* handle = nullptr;
    capsStatus status = capsShareSession(run->connection_, &handle);
    if (status == kCapsOK && withPart)
        status = capsSessionBeginPart(handle);
    if (status != kCapsOK) {
        if (handle != nullptr)
            capsCloseSession(handle);
        return status;
    }
    *out = handle;
    return kCapsOK;
}
