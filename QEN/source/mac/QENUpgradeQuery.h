// QENUpgradeQuery: which installed payloads, and which collections they drive, an upgrade
// replaces, found in an open installation-database session.
#pragma once

#include "caps.h"

#include <set>
#include <string>

namespace QENUpgradeQuery {

// Empties both sets. For every upgraded code that is installed and not itself upgraded already:
// the code, and each collection whose driver payload it is; then every payload installed only in
// such collections (directly or through the originals it upgraded). False when a lookup that the
// answer depends on fails.
bool GetAllPayloadsToBePhysicallyUpgraded(capsiSession* session, const std::set<std::string>& upgrades,
                                          std::set<std::string>& payloads, std::set<std::string>& collections);

}  // namespace QENUpgradeQuery
