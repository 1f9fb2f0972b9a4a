#include "LogAppender.h"

LogAppender::~LogAppender() {}

void LogAppender::AppendToLog(LogLevel level, const char* text)
{
    if (text)
        AppendToLog(level, std::string(text));
}
