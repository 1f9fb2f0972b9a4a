#include "Logger.h"

#include "LogFile.h"
#include "RunReport.h"

#include <boost/noncopyable.hpp>
#include <boost/thread/lock_guard.hpp>

#include <cstdio>
#include <cstring>
#include <utility>

// The file part: what a logger and its copies share. It holds the lock and the current path's
// file; moving it to another path moves every logger that shares it.
class Logger::LoggerImpl : private boost::noncopyable {
public:
    LoggerImpl(boost::mutex& mutex, const std::string& path) : mutex_(mutex), file_(LogFile::Acquire(path)) {}

    ~LoggerImpl() { LogFile::Release(file_, true); }

    boost::mutex& Mutex() { return mutex_; }

    // The caller holds Mutex().
    bool SetLogfilePath(const std::string& path)
    {
        if (path == file_->Path())
            return false;
        boost::shared_ptr<LogFile> next = LogFile::Acquire(path);
        LogFile::Release(file_, false);
        file_ = std::move(next);
        return true;
    }

    // The caller holds Mutex().
    const std::string& Path() const { return file_->Path(); }
    std::string OpenProblem() const { return file_->OpenProblem(); }

    // The caller holds Mutex().
    unsigned int GetThreadID() { return file_->GetThreadID(); }
    void Write(const std::string* header, const std::string& text, bool hold) { file_->Write(header, text, hold); }
    std::string TakeOpenNote() { return file_->TakeOpenNote(); }
    void Flush() { file_->Flush(); }

private:
    boost::mutex& mutex_;  // the creator's; guards file_ and the last header of every logger on this part
    boost::shared_ptr<LogFile> file_;
};

namespace {

std::atomic<Logger::Clock> gClock(nullptr);

const char* LevelPrefix(int level)
{
    switch (level) {
    case LogAppender::kLogFatal:
        return "FATAL";
    case LogAppender::kLogError:
        return "ERROR";
    case LogAppender::kLogWarn:
        return " WARN";
    case LogAppender::kLogInfo:
        return " INFO";
    case LogAppender::kLogDebug:
        return "DEBUG";
    default:
        return "*** ERROR in Logger logic *** : ";
    }
}

// The local time as asctime writes it, without its newline ("Tue Dec  8 08:11:04 2026"); empty
// when it cannot be converted. Written by hand to stay independent of the process's locale.
std::string FormatLocalTime(std::time_t now)
{
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    struct tm local;
    if (!localtime_r(&now, &local) || local.tm_wday < 0 || local.tm_wday > 6 || local.tm_mon < 0 ||
        local.tm_mon > 11)
        return std::string();
    char text[64];
    std::snprintf(text, sizeof(text), "%s %s%3d %02d:%02d:%02d %d", kDays[local.tm_wday], kMonths[local.tm_mon],
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, local.tm_year + 1900);
    return text;
}

// The local time of the header, converted once per second and time zone on each thread (a busy
// log writes thousands of messages a second).
const std::string& LocalTimeText()
{
    struct Converted {
        bool valid = false;
        std::time_t when = 0;
        long offset = 0;
        int daylightSaving = 0;
        std::string zone;
        std::string text;
    };
    thread_local Converted last;
    const Logger::Clock clock = gClock.load();
    const std::time_t now = clock ? clock() : std::time(nullptr);
    // tzset changes these; localtime_r follows only what tzset set.
    const char* zone = tzname[0] != nullptr ? tzname[0] : "";
    if (!last.valid || last.when != now || last.offset != timezone || last.daylightSaving != daylight ||
        last.zone != zone) {
        last.text = FormatLocalTime(now);
        last.when = now;
        last.offset = timezone;
        last.daylightSaving = daylight;
        last.zone = zone;
        last.valid = true;
    }
    return last.text;
}

thread_local int gBatchDepth = 0;

}  // namespace

Logger::Logger(boost::mutex& mutex, const std::string& path)
    : impl_(new LoggerImpl(mutex, path)), level_(kLogInfo)
{
}

Logger::Logger(const Logger& other) : LogAppender(), impl_(other.impl_), level_(other.level_.load()) {}

Logger& Logger::operator=(const Logger& other)
{
    impl_ = other.impl_;
    level_.store(other.level_.load());
    return *this;
}

Logger::~Logger() {}

LogAppender::LogLevel Logger::SetLevel(LogLevel level)
{
    return static_cast<LogLevel>(level_.exchange(level));
}

LogAppender::LogLevel Logger::GetLevel() const
{
    return static_cast<LogLevel>(level_.load());
}

bool Logger::SetLogfilePath(const std::string& path)
{
    boost::lock_guard<boost::mutex> lock(impl_->Mutex());
    return impl_->SetLogfilePath(path);
}

std::string Logger::GetLogfilePath() const
{
    boost::lock_guard<boost::mutex> lock(impl_->Mutex());
    return impl_->Path();
}

std::string Logger::GetLogfileProblem() const
{
    boost::lock_guard<boost::mutex> lock(impl_->Mutex());
    return impl_->OpenProblem();
}

void Logger::AppendToLog(LogLevel level, const std::string& text)
{
    const int ownLevel = level_.load();
    if (ownLevel == kLogOff || level > ownLevel)
        return;
    // A log line must never end its thread: whatever fails here only loses the line.
    try {
        boost::lock_guard<boost::mutex> lock(impl_->Mutex());
        WriteLine(level, text);
        // The file was opened by this line: what had to be put aside for it is told after it.
        const std::string note = impl_->TakeOpenNote();
        if (!note.empty() && kLogWarn <= ownLevel)
            WriteLine(kLogWarn, note);
    } catch (...) {
    }
}

// The caller holds the file part's mutex.
void Logger::WriteLine(LogLevel level, const std::string& text)
{
    // The header in a buffer of its own: most messages repeat the one before.
    char header[128];
    int length = std::snprintf(header, sizeof(header), "[%8u] ", impl_->GetThreadID());
    const std::string& time = LocalTimeText();
    const char* prefix = LevelPrefix(level);
    const std::size_t prefixLength = std::strlen(prefix);
    if (length < 0 || static_cast<std::size_t>(length) + time.size() + 1 + prefixLength >= sizeof(header))
        return;
    std::memcpy(header + length, time.data(), time.size());
    length += static_cast<int>(time.size());
    header[length++] = ' ';
    std::memcpy(header + length, prefix, prefixLength);
    length += static_cast<int>(prefixLength);
    const bool newHeader = lastHeader_.size() != static_cast<std::size_t>(length) ||
                           lastHeader_.compare(0, lastHeader_.size(), header, static_cast<std::size_t>(length)) != 0;
    if (newHeader)
        lastHeader_.assign(header, static_cast<std::size_t>(length));
    impl_->Write(newHeader ? &lastHeader_ : nullptr, text, gBatchDepth > 0 && !newHeader && level > kLogError);
    if (level == kLogFatal || level == kLogError)
        RunReport::NoteError(text, impl_->Path());
}

void Logger::Flush()
{
    boost::lock_guard<boost::mutex> lock(impl_->Mutex());
    impl_->Flush();
}

void Logger::SetClockForTesting(Clock clock)
{
    gClock.store(clock);
}

LogWriteBatch::LogWriteBatch()
{
    ++gBatchDepth;
}

LogWriteBatch::~LogWriteBatch()
{
    if (--gBatchDepth == 0)
        LogFile::FlushAll();
}

bool LogWriteBatch::Active()
{
    return gBatchDepth > 0;
}

void LogWriteBatch::FlushAll()
{
    LogFile::FlushAll();
}
