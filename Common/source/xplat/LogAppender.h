// LogAppender: the log sink every subsystem writes its diagnostics to, with its five levels.
// Implemented by the file logger (Logger), the worker operations and the command engine's filter.
#pragma once

#include <string>

class LogAppender {
public:
    enum LogLevel {
        kLogOff = 0,  // a logger at this level writes nothing
        kLogFatal = 1,
        kLogError = 2,
        kLogWarn = 3,
        kLogInfo = 4,
        kLogDebug = 5
    };

    virtual ~LogAppender();

    // Writes one message. Implementations report nothing to the caller and must not throw:
    // a log line may not end the thread that writes it.
    virtual void AppendToLog(LogLevel level, const std::string& text) = 0;

    // A null text is ignored. Subclasses that override the string form bring this one back into
    // scope with "using LogAppender::AppendToLog;".
    void AppendToLog(LogLevel level, const char* text);

    // Writes one message of a numbered step (the command engine numbers the lines of the command
    // it processes): by default as the line of the number, one blank and the message. A sink that
    // keeps messages apart from their lines (the first error of an operation, which the standard
    // error tells as the run's cause) takes the message alone here as well.
    virtual void AppendNumberedToLog(LogLevel level, unsigned long number, const std::string& text);
};
