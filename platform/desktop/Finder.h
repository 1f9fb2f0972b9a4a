// The Finder as the system talks to it: the update event that makes it redraw an item, and the
// create-alias event. Nothing on Linux shows these items, so the default Finder accepts every
// update and creates no aliases; tests install a recording Finder in its place.
#pragma once

#include "platform/files/FileRef.h"

#include <boost/shared_ptr.hpp>

#include <string>

namespace platform {

class FinderInterface {
public:
    virtual ~FinderInterface() = default;
    // Sends the update event for an item: 0 when sent (and, when waiting, when the reply carries
    // no error), else the send error or the reply's error number.
    virtual int SendUpdateEvent(const FileRef& item, bool waitForReply) = 0;
    // Sends the create-alias event and waits for the reply: 0 on success.
    virtual int SendCreateAliasEvent(const FileRef& target, const FileRef& folder, const std::string& name) = 0;
};

// The Finder of this process; never null.
boost::shared_ptr<FinderInterface> Finder();
// Replaces it (null restores the default).
void SetFinder(const boost::shared_ptr<FinderInterface>& finder);

// The Process Manager's answer when the addressed application is not running.
const int kProcessNotFoundErr = -600;

}  // namespace platform
