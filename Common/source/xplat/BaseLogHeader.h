// BaseLogHeader, InfoLogHeader: a section header in a log, three lines written when the object
// is made: the section marker, the title and the marker again.
#pragma once

#include "LogAppender.h"

#include <boost/noncopyable.hpp>

#include <string>

class Logger;

class BaseLogHeader : private boost::noncopyable {
public:
    // "*=*= ... =*": 43 asterisks alternating with 42 equals signs.
    static const char* const kSectionMarker;

    // Writes nothing for a null logger or an empty title.
    BaseLogHeader(LogAppender::LogLevel level, Logger* logger, const std::string& title);
    virtual ~BaseLogHeader() {}
};

class InfoLogHeader : public BaseLogHeader {
public:
    InfoLogHeader(Logger* logger, const std::string& title) : BaseLogHeader(LogAppender::kLogInfo, logger, title) {}
};
