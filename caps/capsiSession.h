// capsiSession: the handle that every caps function takes first. It holds the store it works
// on; capsOpenSession's handles own theirs, an uninstall database accessor shares its store
// with the handle it makes.
#pragma once

#include "CapsiDataStore.h"

#include <boost/shared_ptr.hpp>

#include <string>

struct capsiSession {
    boost::shared_ptr<CapsiDataStore> store;
    // Set for sessions on "caps.db": only their commits can change what its backup copy holds.
    bool backsUpInstallationDatabase = false;
    // Made by or for capsShareSession: the connection has further handles.
    bool shared = false;
    // The savepoint of the handle's open part; empty when none is open.
    std::string part;
};

// The store of a session, or null for a session without one.
inline CapsiDataStore* capsiStoreOf(capsiSession* session)
{
    return session != nullptr ? session->store.get() : nullptr;
}
