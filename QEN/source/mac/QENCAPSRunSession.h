// QENCAPSRunSession: the one connection to the installation database that the database commands
// of an engine run share. A command keeps its transaction open until the engine commits or rolls
// back the whole run; on connections of their own, a second command would wait for the first
// one's write lock and fail. An install writes the database in several payload sections (the
// removal that each upgraded payload's stored script records, then the new payload's record), so
// its commands write into one transaction instead, each in a part of its own that it keeps or
// undoes alone.
#pragma once

#include "caps/caps.h"

#include <boost/noncopyable.hpp>

class QENCAPSRunSession : private boost::noncopyable {
public:
    // Makes this the run of the calling thread until it is destroyed (runs do not nest).
    QENCAPSRunSession();
    // Lets go of the run's connection; commands still holding a handle keep it open.
    ~QENCAPSRunSession();

    // A session for a database command or query: during a run, a new handle on the run's
    // connection (opened on first use), with a part of its own begun when withPart is true;
    // outside a run, a session of its own. On failure out is null.
    static capsStatus Open(capsiSession** out, bool withPart);

private:
    capsiSession* connection_;  // the run's handle; null until a command needs one
    QENCAPSRunSession* previous_;
};
