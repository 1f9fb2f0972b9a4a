#include "GzipMember.h"

#include "platform/files/TrustedFiles.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::size_t kBlockSize = 256 * 1024;
// How far back deflate may refer: the bytes before a block that prime its compression.
const std::size_t kWindowSize = 32 * 1024;
const unsigned int kMostWorkers = 4;
// What gzopen writes: no name, no time, no extra flags at the default level, made on Unix.
const unsigned char kHeader[10] = {0x1f, 0x8b, Z_DEFLATED, 0, 0, 0, 0, 0, 0, 3};

// Room for bytes that are always written before they are read: no zero-filling, which for a log of
// a few blocks cost more than deflating it, and no pages touched beyond what is used.
class Buffer {
public:
    unsigned char* data() { return bytes_.get(); }
    const unsigned char* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }

    // Makes room for size bytes, keeping the first kept; false when memory lacks (never throws,
    // for the workers).
    bool Reserve(std::size_t size, std::size_t kept = 0)
    {
        if (size <= size_)
            return true;
        std::unique_ptr<unsigned char[]> bytes(new (std::nothrow) unsigned char[size]);
        if (!bytes)
            return false;
        if (kept > 0)
            std::memcpy(bytes.get(), bytes_.get(), kept);
        bytes_ = std::move(bytes);
        size_ = size;
        return true;
    }

private:
    std::unique_ptr<unsigned char[]> bytes_;
    std::size_t size_ = 0;
};

// One block of the input on its way through: read by the calling thread, deflated by a worker,
// written by the calling thread.
struct Block {
    enum State { kFree, kQueued, kDone };

    Buffer input;  // primer, then block; made when the slot is first filled
    std::size_t primer = 0;
    std::size_t length = 0;
    bool last = false;
    Buffer output;
    std::size_t outputLength = 0;
    uLong crc = 0;
    bool deflated = false;
    State state = kFree;
};

// A raw deflate stream at the default level, reset for every block.
class Deflater {
public:
    Deflater()
    {
        std::memset(&stream_, 0, sizeof(stream_));
        ready_ = deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Deflater()
    {
        if (ready_)
            deflateEnd(&stream_);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // Every block but the last ends on a byte boundary with an empty stored block (a sync
    // flush), so the next block's output can follow it; the last one ends the deflate stream.
    bool Deflate(Block& block)
    {
        block.deflated = false;
        if (!ready_ || deflateReset(&stream_) != Z_OK)
            return false;
        if (block.primer > 0 &&
            deflateSetDictionary(&stream_, block.input.data(), static_cast<uInt>(block.primer)) != Z_OK)
            return false;
        unsigned char* data = block.input.data() + block.primer;
        stream_.next_in = data;
        stream_.avail_in = static_cast<uInt>(block.length);
        // The bound covers the deflated bytes; the sync flush adds a handful.
        const std::size_t bound = deflateBound(&stream_, static_cast<uLong>(block.length)) + 64;
        if (!block.output.Reserve(bound))
            return false;
        const int flush = block.last ? Z_FINISH : Z_SYNC_FLUSH;
        std::size_t produced = 0;
        for (;;) {
            if (produced == block.output.size() && !block.output.Reserve(2 * produced, produced))
                return false;
            stream_.next_out = block.output.data() + produced;
            stream_.avail_out = static_cast<uInt>(block.output.size() - produced);
            const int result = deflate(&stream_, flush);
            produced = block.output.size() - stream_.avail_out;
            if (result == Z_STREAM_END)
                break;
            if (result != Z_OK)
                return false;
            if (!block.last && stream_.avail_out > 0)
                break;
        }
        block.outputLength = produced;
        block.crc = crc32(crc32(0L, Z_NULL, 0), data, static_cast<uInt>(block.length));
        block.deflated = true;
        return true;
    }

private:
    z_stream stream_;
    bool ready_;
};

// Reads up to count bytes; fewer only at the end of the file. -1 on a read error.
ssize_t ReadFully(int fd, unsigned char* buffer, std::size_t count)
{
    std::size_t got = 0;
    while (got < count) {
        const ssize_t result = read(fd, buffer + got, count - got);
        if (result < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (result == 0)
            break;
        got += static_cast<std::size_t>(result);
    }
    return static_cast<ssize_t>(got);
}

bool WriteFully(int fd, const unsigned char* data, std::size_t count)
{
    while (count > 0) {
        const ssize_t result = write(fd, data, count);
        if (result < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += result;
        count -= static_cast<std::size_t>(result);
    }
    return true;
}

// How many workers the rest of the input deserves: none (the calling thread deflates) for a
// single block or a single core.
unsigned int WorkersFor(int input)
{
    struct stat info;
    if (fstat(input, &info) != 0 || !S_ISREG(info.st_mode))
        return 0;
    const off_t offset = lseek(input, 0, SEEK_CUR);
    const off_t left = offset < 0 ? info.st_size : info.st_size - offset;
    if (left <= static_cast<off_t>(kBlockSize))
        return 0;
    const unsigned int cores = std::max(1u, std::thread::hardware_concurrency());
    const off_t blocks = (left + static_cast<off_t>(kBlockSize) - 1) / static_cast<off_t>(kBlockSize);
    const unsigned int workers = static_cast<unsigned int>(
        std::min<off_t>(std::min(kMostWorkers, cores), blocks));
    return workers > 1 ? workers : 0;
}

// Blocks are numbered in input order; block n lives in slot n modulo the slot count until it is
// written. The calling thread reads and writes, the workers only deflate. One slot per worker and
// two more (the one being read, the one being written) keep every worker busy; more would only
// fault in fresh pages, which for a log of a few megabytes costs as much as deflating it.
class Pipeline {
public:
    Pipeline(int input, int output, unsigned int workers)
        : input_(input), output_(output), blocks_(workers > 0 ? workers + 2 : 2)
    {
        try {
            workers_.reserve(workers);
            for (unsigned int i = 0; i < workers; ++i)
                workers_.emplace_back(&Pipeline::Work, this);
        } catch (const std::system_error&) {
            // Fewer threads than asked for still finish the work.
        }
        if (workers_.empty())
            deflater_.reset(new Deflater);
    }

    ~Pipeline()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        queued_.notify_all();
        for (std::thread& worker : workers_)
            worker.join();
    }

    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    // Deflates and writes the whole input; false on the first failure.
    bool Run(uLong& crc, unsigned long long& total)
    {
        std::size_t read = 0;
        std::size_t written = 0;
        bool ended = false;
        for (;;) {
            while (!ended && read - written < blocks_.size()) {
                if (!Fill(read))
                    return false;
                ended = Slot(read).last;
                Post(read);
                ++read;
            }
            if (written == read)
                return true;
            Block& block = Slot(written);
            {
                std::unique_lock<std::mutex> lock(mutex_);
                done_.wait(lock, [&block] { return block.state == Block::kDone; });
            }
            if (!block.deflated || !WriteFully(output_, block.output.data(), block.outputLength))
                return false;
            crc = crc32_combine(crc, block.crc, static_cast<z_off_t>(block.length));
            total += block.length;
            block.state = Block::kFree;
            ++written;
        }
    }

private:
    Block& Slot(std::size_t number) { return blocks_[number % blocks_.size()]; }

    // Reads block number n behind the tail of block n - 1 (whose slot is not reused before
    // block n - 1 + slots is read, and which a worker may only be reading).
    bool Fill(std::size_t number)
    {
        Block& block = Slot(number);
        if (!block.input.Reserve(kWindowSize + kBlockSize))
            return false;
        block.primer = 0;
        if (number > 0) {
            const Block& previous = Slot(number - 1);
            const std::size_t before = previous.primer + previous.length;
            block.primer = std::min(kWindowSize, before);
            std::memcpy(block.input.data(), previous.input.data() + before - block.primer, block.primer);
        }
        const ssize_t got = ReadFully(input_, block.input.data() + block.primer, kBlockSize);
        if (got < 0)
            return false;
        block.length = static_cast<std::size_t>(got);
        // A short block is the last; an input of whole blocks ends with an empty one.
        block.last = block.length < kBlockSize;
        return true;
    }

    void Post(std::size_t number)
    {
        Block& block = Slot(number);
        if (deflater_) {
            deflater_->Deflate(block);
            block.state = Block::kDone;
            return;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            block.state = Block::kQueued;
            posted_ = number + 1;
        }
        queued_.notify_one();
    }

    void Work()
    {
        Deflater deflater;
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            queued_.wait(lock, [this] { return stopping_ || taken_ < posted_; });
            // Stopping before every posted block is taken means the caller gave up.
            if (stopping_)
                return;
            Block& block = Slot(taken_++);
            lock.unlock();
            deflater.Deflate(block);
            lock.lock();
            block.state = Block::kDone;
            done_.notify_all();
        }
    }

    const int input_;
    const int output_;
    std::vector<Block> blocks_;
    std::unique_ptr<Deflater> deflater_;  // the calling thread's, when there are no workers
    std::vector<std::thread> workers_;
    std::mutex mutex_;                 // guards posted_, taken_, stopping_ and every block's state
    std::condition_variable queued_;   // signalled when a block is posted or the workers must stop
    std::condition_variable done_;     // signalled when a block is deflated
    std::size_t posted_ = 0;           // blocks handed to the workers
    std::size_t taken_ = 0;            // blocks a worker took
    bool stopping_ = false;
};

}  // namespace

bool AppendGzipMember(int input, const std::string& destination)
{
    // Never through a link, nor into anything but a plain file of this user or the super-user:
    // what another user put at the path is put aside for a new file.
    std::string note;
    std::string refusal;
    const int output = platform::OpenLogForAppending(destination, 0666, note, refusal);
    if (output < 0)
        return false;
    bool complete = false;
    try {
        uLong crc = crc32(0L, Z_NULL, 0);
        unsigned long long total = 0;
        if (WriteFully(output, kHeader, sizeof(kHeader))) {
            Pipeline pipeline(input, output, WorkersFor(input));
            complete = pipeline.Run(crc, total);
        }
        if (complete) {
            unsigned char trailer[8];
            const unsigned long long size = total & 0xffffffffULL;
            for (int i = 0; i < 4; ++i) {
                trailer[i] = static_cast<unsigned char>(crc >> (8 * i));
                trailer[4 + i] = static_cast<unsigned char>(size >> (8 * i));
            }
            complete = WriteFully(output, trailer, sizeof(trailer));
        }
    } catch (const std::exception&) {
        complete = false;
    }
    if (close(output) != 0)
        complete = false;
    return complete;
}
