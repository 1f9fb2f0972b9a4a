// Logger: the file logger. Each message goes after a header line of thread ordinal, local time
// and level, written only when that header changes; the finished file is gzip-compressed.
#pragma once

#include "LogAppender.h"
// The blocks and headers that frame stretches of a log come with the logger.
#include "BaseLogBlock.h"
#include "BaseLogHeader.h"

#include <boost/shared_ptr.hpp>
#include <boost/thread/mutex.hpp>

#include <atomic>
#include <ctime>
#include <string>

class Logger : public LogAppender {
public:
    class LoggerImpl;

    // A logger at level kLogInfo writing to the path (nothing is opened before the first
    // message). The mutex serialises every write through this logger's file part, and through
    // its copies and the loggers assigned from it; it must outlive all of them.
    Logger(boost::mutex& mutex, const std::string& path);

    // A copy shares the file part (and so its path, thread numbers and lock) and starts with the
    // level at the time of copying and no last header.
    Logger(const Logger& other);
    // Takes the other's file part and level; keeps this logger's last header.
    Logger& operator=(const Logger& other);
    // The last logger of a file part finishes its file: closed, compressed to path + ".gz", and
    // the plain file removed when that worked.
    ~Logger() override;

    // Stores the level and answers the previous one.
    LogLevel SetLevel(LogLevel level);
    LogLevel GetLevel() const;

    // Re-points the file part (this logger's copies move with it); false when the path is the
    // same. The old file is closed and stays uncompressed.
    bool SetLogfilePath(const std::string& path);

    // The file this logger writes to, and why it could not be written (empty while it could,
    // and before the first message).
    std::string GetLogfilePath() const;
    std::string GetLogfileProblem() const;

    using LogAppender::AppendToLog;
    // Drops messages above the logger's level, and everything at kLogOff. Never throws; a path
    // that is not absolute, or a file that cannot be opened, drops the message. Error and fatal
    // lines are noted as the run's latest error (RunReport), written or not.
    void AppendToLog(LogLevel level, const std::string& text) override;

    // Test hook: the time source of the header lines (null restores the system clock).
    typedef std::time_t (*Clock)();
    static void SetClockForTesting(Clock clock);

    // Writes what this logger's file holds back (see LogWriteBatch).
    void Flush();

private:
    void WriteLine(LogLevel level, const std::string& text);

    boost::shared_ptr<LoggerImpl> impl_;
    std::atomic<int> level_;  // read before the file part's lock is taken
    std::string lastHeader_;  // guarded by the file part's mutex
};

// While a thread is inside a batch, the messages it logs may be held in memory instead of going
// to their files one write at a time: a message stays held only while it carries the same
// header as the one before it (the same thread, second and level) and is no error, and never
// beyond 64 KiB, so what a crash can take is at most the current second's routine messages of
// one thread. The end of the outermost batch writes everything held. The install thread runs
// its operations in a batch; a worker that waits for a long time flushes first.
class LogWriteBatch {
public:
    LogWriteBatch();
    ~LogWriteBatch();
    LogWriteBatch(const LogWriteBatch&) = delete;
    LogWriteBatch& operator=(const LogWriteBatch&) = delete;

    // Whether the calling thread is inside a batch.
    static bool Active();
    // Writes whatever every log file holds; for a thread that is about to wait.
    static void FlushAll();
};
