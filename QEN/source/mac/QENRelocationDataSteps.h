// QENRelocationDataSteps: the commit and rollback that the two relocation-data commands share:
// both end the transaction of the uninstall-database accessor they opened in their perform.
#pragma once

#include "LogAppender.h"
#include "UninstallDBAccess.h"

#include <boost/shared_ptr.hpp>

namespace QENRelocationDataSteps {

// Commits the accessor's transaction (nothing to do without an accessor); true when that worked.
bool CommitChanges(LogAppender& log, const boost::shared_ptr<UninstallDBAccess>& accessor);
// Rolls the accessor's transaction back (nothing to do without an accessor); true when that worked.
bool RollbackChanges(LogAppender& log, const boost::shared_ptr<UninstallDBAccess>& accessor);

}  // namespace QENRelocationDataSteps
