// LogFactory: the process-wide registry of loggers by name. Its loggers live until process exit,
// when the registry is destroyed and each logger's file is finished (gzip-compressed).
#pragma once

#include "Logger.h"

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>
#include <boost/thread/mutex.hpp>

#include <string>
#include <vector>

class LogFactory : private boost::noncopyable {
public:
    // One registered logger with the mutex it writes under.
    struct LoggerInstance {
        explicit LoggerInstance(const std::string& loggerName) : name(loggerName), logger(new Logger(mutex, loggerName)) {}

        std::string name;
        // Declared before the logger so that it is built first and destroyed last.
        boost::mutex mutex;  // guards the writes of the logger below (it is the logger's file-part lock)
        boost::shared_ptr<Logger> logger;
    };

    // The registry, built on first use.
    static LogFactory& Instance();
    // Lets callers write LogFactory::Instance()->GetLogger(...) as well.
    LogFactory* operator->() { return this; }

    // The logger registered under the name, made on first request; null for an empty name or
    // when it cannot be made. The registry keeps it; callers hold the pointer for the process's
    // life. A new logger's path is its bare name, which is never written to: the owner points
    // it at an absolute path (Logger::SetLogfilePath) first.
    Logger* GetLogger(const std::string& name);

    // Releases the loggers in the order they were made, finishing their files.
    ~LogFactory();

private:
    LogFactory() {}

    boost::mutex mutex_;  // guards loggers_
    std::vector<boost::shared_ptr<LoggerInstance> > loggers_;
};
