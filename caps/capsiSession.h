// capsiSession: the handle that every caps function takes first. It holds the store it works
// on; capsOpenSession's handles own theirs, an uninstall database accessor shares its store
// with the handle it makes.
#pragma once

#include "CapsiDataStore.h"

#include <boost/shared_ptr.hpp>

struct capsiSession {
    boost::shared_ptr<CapsiDataStore> store;
    // Set for sessions on "caps.db": only their commits can change what its backup copy holds.
    bool backsUpInstallationDatabase = false;
};

// The store of a session, or null for a session without one.
inline CapsiDataStore* capsiStoreOf(capsiSession* session)
{
    return session != nullptr ? session->store.get() : nullptr;
}
