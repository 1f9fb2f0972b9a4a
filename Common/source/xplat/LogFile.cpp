#include "LogFile.h"

#include "FileSystemPath.h"
#include "FileSystemUtils.h"
#include "GzipMember.h"

#include "platform/files/TrustedFiles.h"

#include <boost/thread/lock_guard.hpp>

#include <cerrno>
#include <cstring>
#include <map>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a file may hold back before it is written anyway.
const std::size_t kHoldLimit = 64 * 1024;

// The files in use, by path. Never destroyed: loggers are finished by static destructors
// (the log registry's), which may run after this table's would have.
struct FileTable {
    boost::mutex mutex;  // guards files, and every hand-out and release of a LogFile
    std::map<std::string, boost::shared_ptr<LogFile> > files;
};

FileTable& Table()
{
    static FileTable* table = new FileTable;
    return *table;
}

bool IsValidLogPath(const std::string& path)
{
    return FileSystemUtils::ValidateUTF8FullPathString(path) == FileSystemUtils::kPathValid;
}

// Creates the folder, one level only, with exactly mode 0755 (the process's umask must not
// narrow it: other users' tools read these logs), never through a link that another user planted
// where others can write. A folder whose mode cannot be set is removed.
bool CreateLogFolder(const std::string& folder, std::string& refusal)
{
    const int error = platform::MakeFolder(folder, 0755, true, refusal);
    errno = error;
    return error == 0;
}

bool SameFile(const struct stat& one, const struct stat& other)
{
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// Whether fd is still the file at path (a finishing process may have removed it meanwhile), the
// path's last name not followed.
bool IsFileAtPath(int fd, const std::string& path)
{
    struct stat opened;
    struct stat named;
    return fstat(fd, &opened) == 0 && lstat(path.c_str(), &named) == 0 && SameFile(opened, named);
}

int Flock(int fd, int operation)
{
    int result;
    while ((result = flock(fd, operation)) != 0 && errno == EINTR) {
    }
    return result;
}

// Several processes may write one log (a second Setup on the same medium writes the first one's
// session log). Each writer holds a shared lock on the file while it has it open; the process
// that finishes the file takes the exclusive lock, so a file is finished only by the last
// process that writes it. A file system without these locks leaves each writer on its own.
// What stands at the path and is no plain file of this user or the super-user is put aside
// (platform::OpenLogForAppending), never written.
int OpenForAppending(const std::string& path, std::string& note, std::string& refusal)
{
    for (;;) {
        const int fd = platform::OpenLogForAppending(path, 0644, note, refusal);
        if (fd < 0)
            return -1;
        if (Flock(fd, LOCK_SH) != 0 || IsFileAtPath(fd, path))
            return fd;
        // Finished and removed between the open and the lock: start a new file.
        close(fd);
    }
}

}  // namespace

boost::shared_ptr<LogFile> LogFile::Acquire(const std::string& path)
{
    FileTable& table = Table();
    boost::lock_guard<boost::mutex> lock(table.mutex);
    boost::shared_ptr<LogFile>& entry = table.files[path];
    if (!entry) {
        entry.reset(new LogFile(path));
    } else {
        // A new writer on this path gets a fresh chance to open it, as a path change would.
        boost::lock_guard<boost::mutex> fileLock(entry->mutex_);
        if (entry->fd_ < 0) {
            entry->openAttempted_ = false;
            entry->openProblem_.clear();
        }
    }
    return entry;
}

void LogFile::Release(boost::shared_ptr<LogFile>& file, bool finish)
{
    if (!file)
        return;
    FileTable& table = Table();
    boost::lock_guard<boost::mutex> lock(table.mutex);
    // Every copy of the pointer besides the table's is made and dropped under the table's
    // lock, so the count tells whether this holder is the last one.
    if (file.use_count() == 2) {
        const std::string path = file->path_;
        table.files.erase(path);
        file->Close();
        file.reset();
        // Finished under the table's lock, so that a logger newly pointed at this path waits
        // until the plain file is compressed and gone.
        if (finish)
            Compress(path);
        return;
    }
    file.reset();
}

bool LogFile::IsInUse(const std::string& path)
{
    FileTable& table = Table();
    boost::lock_guard<boost::mutex> lock(table.mutex);
    return table.files.count(path) != 0;
}

std::string LogFile::OpenProblem()
{
    boost::lock_guard<boost::mutex> lock(mutex_);
    return openProblem_;
}

LogFile::LogFile(const std::string& path) : path_(path), fd_(-1), openAttempted_(false), lastThreadIndex_(0) {}

LogFile::~LogFile()
{
    Close();
}

unsigned int LogFile::GetThreadID()
{
    const pthread_t self = pthread_self();
    boost::lock_guard<boost::mutex> lock(mutex_);
    if (lastThreadIndex_ < threads_.size() && pthread_equal(threads_[lastThreadIndex_], self))
        return static_cast<unsigned int>(lastThreadIndex_);
    for (std::size_t i = 0; i < threads_.size(); ++i) {
        if (pthread_equal(threads_[i], self)) {
            lastThreadIndex_ = i;
            return static_cast<unsigned int>(i);
        }
    }
    threads_.push_back(self);
    lastThreadIndex_ = threads_.size() - 1;
    return static_cast<unsigned int>(lastThreadIndex_);
}

void LogFile::Write(const std::string& block, bool hold)
{
    boost::lock_guard<boost::mutex> lock(mutex_);
    if (!openAttempted_)
        Open();
    if (fd_ < 0)
        return;
    held_ += block;
    if (!hold || held_.size() >= kHoldLimit)
        WriteHeld();
}

void LogFile::Write(const std::string* header, const std::string& text, bool hold)
{
    boost::lock_guard<boost::mutex> lock(mutex_);
    if (!openAttempted_)
        Open();
    if (fd_ < 0)
        return;
    if (header != nullptr) {
        held_ += *header;
        held_ += '\n';
    }
    held_ += text;
    held_ += '\n';
    if (!hold || held_.size() >= kHoldLimit)
        WriteHeld();
}

void LogFile::Flush()
{
    boost::lock_guard<boost::mutex> lock(mutex_);
    WriteHeld();
}

void LogFile::FlushAll()
{
    FileTable& table = Table();
    boost::lock_guard<boost::mutex> lock(table.mutex);
    for (const auto& entry : table.files)
        entry.second->Flush();
}

// The caller holds mutex_.
void LogFile::WriteHeld()
{
    const char* data = held_.data();
    std::size_t left = held_.size();
    while (fd_ >= 0 && left > 0) {
        const ssize_t written = write(fd_, data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    held_.clear();
}

void LogFile::Open()
{
    openAttempted_ = true;
    // A path that is not absolute (a registry logger's bare name before its owner set a path)
    // is never opened: it would land wherever the working directory happens to be.
    if (!IsValidLogPath(path_)) {
        openProblem_ = "\"" + path_ + "\" is not an absolute path";
        return;
    }
    const std::string folder = FileSystemPath(path_).Parent().AsUTF8String();
    std::string refusal;
    if (!FileSystemUtils::Exists(FileSystemPath(folder)) && !CreateLogFolder(folder, refusal)) {
        openProblem_ =
            refusal.empty() ? "its folder \"" + folder + "\" could not be made: " + std::strerror(errno) : refusal;
        return;
    }
    std::string note;
    fd_ = OpenForAppending(path_, note, refusal);
    if (fd_ < 0)
        openProblem_ = refusal.empty() ? std::strerror(errno) : refusal;
    else
        openNote_ = note;
}

std::string LogFile::TakeOpenNote()
{
    boost::lock_guard<boost::mutex> lock(mutex_);
    std::string note;
    note.swap(openNote_);
    return note;
}

void LogFile::Close()
{
    WriteHeld();
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

bool LogFile::Compress(const std::string& path)
{
    if (!IsValidLogPath(path))
        return true;
    // The plain file is opened first, so that a logger that never wrote leaves no empty gzip
    // member behind. It is never read through a link: what another user put in its place is no
    // log of ours to copy into the gzip file.
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT;
    struct stat status;
    if (fstat(fd, &status) != 0 || !platform::IsOwnPlainFile(status)) {
        close(fd);
        return false;
    }
    if (Flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        // Another process still writes it; the last writer finishes it.
        close(fd);
        return true;
    }
    // Another finisher may have compressed and removed it between the open and the lock.
    if (!IsFileAtPath(fd, path)) {
        close(fd);
        return true;
    }
    const bool complete = AppendGzipMember(fd, path + ".gz");
    // Removed while the lock is still held, so that no writer appends to it in between.
    const bool removed = complete && unlink(path.c_str()) == 0;
    close(fd);
    return removed;
}
