// LogFile: one plain log file of the process, shared by every logger that writes to its path,
// with the thread ordinals of its writers; and the gzip finishing of a log file.
#pragma once

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>
#include <boost/thread/mutex.hpp>

#include <pthread.h>

#include <string>
#include <vector>

class LogFile : private boost::noncopyable {
public:
    // The file for a path. Loggers pointed at one path get one object, so their lines never
    // interleave, their threads are numbered alike and the file is finished only once, after
    // the last of them. Nothing is opened yet; a file that could not be opened is tried again.
    static boost::shared_ptr<LogFile> Acquire(const std::string& path);

    // Lets go of the file and empties the pointer. The last holder closes the file; with
    // finish set it then compresses it (see Compress), otherwise the plain file stays.
    static void Release(boost::shared_ptr<LogFile>& file, bool finish);

    // Appends the plain file at path, gzip-compressed, to path + ".gz" (a new gzip member when
    // that file exists) and removes the plain file when every byte went in. Neither is used
    // through a link or when it is no plain file of this user or the super-user: such a plain
    // file stays as it is (false), such a gzip file is put aside for a new one. True when it was
    // compressed, or when there was nothing to compress (no plain file, or a path that is not
    // an absolute one, which a logger never wrote to), or when another process still writes
    // it: every writer holds the file locked shared, and only the last one finishes it. False
    // leaves the plain file in place.
    static bool Compress(const std::string& path);

    // Whether a logger of this process writes to path, so that the file is finished when the
    // process ends.
    static bool IsInUse(const std::string& path);

    ~LogFile();

    const std::string& Path() const { return path_; }

    // Why the file could not be opened for writing; empty before the first write and while it
    // could be.
    std::string OpenProblem();

    // What the latest open had to do besides opening (put aside what stood at the path), once;
    // empty when nothing.
    std::string TakeOpenNote();

    // The calling thread's number in this file: 0 for the first thread that asks, then 1, ...
    unsigned int GetThreadID();

    // Writes the bytes in one piece, opening the file on the first write. Dropped when the
    // file cannot be opened. With hold set the bytes may stay in memory (behind what is held
    // already) until a write without it, a Flush, the close, or until enough has gathered.
    void Write(const std::string& block, bool hold = false);
    // One message: the header line (when not null), then the text, each ending in a newline.
    void Write(const std::string* header, const std::string& text, bool hold);

    // Writes what is held.
    void Flush();
    // Flushes every file of the process.
    static void FlushAll();

private:
    explicit LogFile(const std::string& path);

    void Open();
    void Close();
    void WriteHeld();

    const std::string path_;
    // guards fd_, openAttempted_, openProblem_, openNote_, held_, threads_ and lastThreadIndex_
    boost::mutex mutex_;
    int fd_;
    std::string held_;  // written bytes not yet handed to the file
    bool openAttempted_;
    std::string openProblem_;
    std::string openNote_;
    std::vector<pthread_t> threads_;
    std::size_t lastThreadIndex_;
};
