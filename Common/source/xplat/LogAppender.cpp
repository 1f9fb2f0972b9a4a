#include "LogAppender.h"

#include <cstdio>

LogAppender::~LogAppender() {}

void LogAppender::AppendToLog(LogLevel level, const char* text)
{
    if (text)
        AppendToLog(level, std::string(text));
}

void LogAppender::AppendNumberedToLog(LogLevel level, unsigned long number, const std::string& text)
{
    std::string numbered;
    try {
        // Formed by hand: the command engine writes several lines for every file it touches.
        char digits[24];
        const int length = std::snprintf(digits, sizeof(digits), "%lu ", number);
        numbered.reserve(static_cast<std::size_t>(length) + text.size());
        numbered.append(digits, static_cast<std::size_t>(length)).append(text);
    } catch (...) {
        // A log line may not end the caller; the line goes out without its number then.
        AppendToLog(level, text);
        return;
    }
    AppendToLog(level, numbered);
}
