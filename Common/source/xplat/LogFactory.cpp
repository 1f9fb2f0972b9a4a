#include "LogFactory.h"

#include <boost/thread/lock_guard.hpp>

#include <new>

LogFactory& LogFactory::Instance()
{
    static LogFactory instance;
    return instance;
}

Logger* LogFactory::GetLogger(const std::string& name)
{
    if (name.empty())
        return nullptr;
    boost::lock_guard<boost::mutex> lock(mutex_);
    for (const boost::shared_ptr<LoggerInstance>& record : loggers_) {
        if (record->name == name)
            return record->logger.get();
    }
    try {
        boost::shared_ptr<LoggerInstance> record(new LoggerInstance(name));
        loggers_.push_back(record);
        return record->logger.get();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

LogFactory::~LogFactory()
{
    for (boost::shared_ptr<LoggerInstance>& record : loggers_)
        record.reset();
    loggers_.clear();
}
