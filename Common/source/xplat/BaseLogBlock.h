// BaseLogBlock, InfoLogBlock, ErrorLogBlock: scoped objects that frame a stretch of work in a
// log with a BEGIN line when made and an END line when destroyed.
#pragma once

#include "LogAppender.h"

#include <boost/noncopyable.hpp>

#include <string>

class Logger;

class BaseLogBlock : private boost::noncopyable {
public:
    static const char* const kMarker;  // "--------------------"

    // Writes the BEGIN line at the level; a null logger makes the block write nothing.
    BaseLogBlock(LogAppender::LogLevel level, Logger* logger, const std::string& title);
    // Writes the END line.
    virtual ~BaseLogBlock();

private:
    LogAppender::LogLevel level_;
    Logger* logger_;
    std::string title_;
};

class InfoLogBlock : public BaseLogBlock {
public:
    InfoLogBlock(Logger* logger, const std::string& title) : BaseLogBlock(LogAppender::kLogInfo, logger, title) {}
};

class ErrorLogBlock : public BaseLogBlock {
public:
    ErrorLogBlock(Logger* logger, const std::string& title) : BaseLogBlock(LogAppender::kLogError, logger, title) {}
};
