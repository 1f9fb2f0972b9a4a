// capsiSession: the handle that every caps function takes first. It holds the store it works
// on; capsOpenSession's handles own theirs, an uninstall database accessor shares its store
// with the handle it makes. Also what every entry point does first with its arguments, and how
// it copies a row's columns out.
#pragma once

#include "CapsiDataStore.h"

#include <boost/shared_ptr.hpp>

#include <cstdlib>
#include <initializer_list>
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

// The first step of an entry point that works on the session's store: kCapsBadArgument when the
// session or one of the required arguments is null, kCapsNoStore when the session has no store;
// else kCapsOK, with store set.
inline capsStatus capsiStoreFor(capsiSession* session, std::initializer_list<const void*> required,
                                CapsiDataStore*& store)
{
    if (session == nullptr)
        return kCapsBadArgument;
    for (const void* argument : required) {
        if (argument == nullptr)
            return kCapsBadArgument;
    }
    store = capsiStoreOf(session);
    return store != nullptr ? kCapsOK : kCapsNoStore;
}

// Whether a list may be asked for in this state: one install state, or any.
inline bool capsiIsListState(capsInstallState state)
{
    return state >= 0 && state <= kCapsAnyInstallState;
}

// A column of a row as the caller's record takes it: NULL reads as "" or 0.
inline const char* capsiText(const char* column)
{
    return column != nullptr ? column : "";
}
inline int capsiNumber(const char* column)
{
    return column != nullptr ? static_cast<int>(std::strtol(column, nullptr, 10)) : 0;
}
