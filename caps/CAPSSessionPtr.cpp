#include "CAPSSessionPtr.h"

#include "caps.h"

CAPSSessionPtr::CAPSSessionPtr() : handle_(nullptr), open_(false), status_(kCapsOK)
{
}

CAPSSessionPtr::~CAPSSessionPtr()
{
    Close();
}

bool CAPSSessionPtr::Open()
{
    if (open_)
        return false;
    capsiSession* handle = nullptr;
    status_ = capsOpenSession(&handle);
    if (status_ != kCapsOK)
        return false;
    handle_ = handle;
    open_ = true;
    return true;
}

bool CAPSSessionPtr::Commit()
{
    if (!open_)
        return false;
    status_ = capsSessionCommit(handle_);
    return status_ == kCapsOK;
}

bool CAPSSessionPtr::Rollback()
{
    if (!open_)
        return false;
    status_ = capsSessionRollback(handle_);
    return status_ == kCapsOK;
}

void CAPSSessionPtr::Close()
{
    if (!open_)
        return;
    // capsCloseSession frees the handle whatever it reports, so the wrapper may never use it
    // again: keeping it "open" after a failed close would hand out a dangling handle.
    status_ = capsCloseSession(handle_);
    handle_ = nullptr;
    open_ = false;
}
