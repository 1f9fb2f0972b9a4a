#include "CAPSLoggingUtilities.h"

#include "Common/source/xplat/LogAppender.h"

#include <boost/format.hpp>

namespace CAPSLoggingUtilities {

namespace {

void LogCodes(LogAppender& log, const char* heading, const CAPSQueryUtilities::OrvexCodeSet& codes)
{
    log.AppendToLog(LogAppender::kLogDebug, (boost::format(heading) % codes.size()).str());
    for (const std::string& code : codes)
        log.AppendToLog(LogAppender::kLogDebug, (boost::format("\t%1%") % code).str());
}

}  // namespace

void LogCAPSResult(LogAppender& log, const CAPSQueryUtilities::PackageManagementOperationResult& result)
{
    log.AppendToLog(LogAppender::kLogDebug, std::string("CAPS package manipulation result"));
    log.AppendToLog(LogAppender::kLogDebug, (boost::format("CAPS return code: %1%") % result.status).str());
    log.AppendToLog(LogAppender::kLogDebug, (boost::format("Session OrvexCode: %1%") % result.sessionCode).str());
    LogCodes(log, "Conflicts: %1%", result.conflicts);
    LogCodes(log, "Upgraded: %1%", result.upgraded);
    LogCodes(log, "Corrupted: %1%", result.corrupted);
}

}  // namespace CAPSLoggingUtilities
