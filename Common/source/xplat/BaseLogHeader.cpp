#include "BaseLogHeader.h"

#include "Logger.h"

const char* const BaseLogHeader::kSectionMarker =
    "*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*=*";

BaseLogHeader::BaseLogHeader(LogAppender::LogLevel level, Logger* logger, const std::string& title)
{
    if (!logger || title.empty())
        return;
    logger->AppendToLog(level, kSectionMarker);
    logger->AppendToLog(level, title);
    logger->AppendToLog(level, kSectionMarker);
}
