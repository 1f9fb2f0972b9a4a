// CAPSSessionPtr: a scoped session on the installation database. Destroying an open one closes
// it, and closing commits: a road that must not keep its writes rolls back before it closes.
#pragma once

#include "capsTypes.h"

#include <boost/noncopyable.hpp>

class CAPSSessionPtr : private boost::noncopyable {
public:
    // Closed, with status 0.
    CAPSSessionPtr();
    // Close.
    ~CAPSSessionPtr();

    // False when already open; otherwise opens a session (status = the open's status) and
    // answers whether that worked.
    bool Open();
    // False without touching the database when not open; otherwise commits, which also
    // refreshes the backup copy. The session stays open either way.
    bool Commit();
    // False without touching the database when not open; otherwise rolls back the open
    // transaction. The session stays open either way.
    bool Rollback();
    // When open: commits and closes (status = the close's status). Afterwards the wrapper is
    // closed and the handle gone, whatever the status says.
    void Close();

    bool IsOpen() const { return open_; }
    // The status of the last database call.
    capsStatus GetStatus() const { return status_; }
    // The handle for the caps functions; null while closed.
    capsiSession* Get() const { return handle_; }
    operator capsiSession*() const { return handle_; }

private:
    capsiSession* handle_;
    bool open_;
    capsStatus status_;
};
