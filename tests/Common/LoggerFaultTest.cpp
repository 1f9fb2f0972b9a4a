#include "Common/source/xplat/LogFile.h"
#include "Common/source/xplat/Logger.h"

#include "LogTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using logtest::FileExists;
using tolktest::ReadTextFile;
using tolktest::WriteTextFile;

namespace {

class LoggerFaultTest : public logtest::LogTest {
protected:
    ~LoggerFaultTest() override { RestoreLimit(); }

    void RestoreLimit()
    {
        if (!limited_)
            return;
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, handler_);
        limited_ = false;
    }

    struct rlimit saved_ = {};
    void (*handler_)(int) = SIG_DFL;
    bool limited_ = false;
};

}  // namespace

TEST_F(LoggerFaultTest, FailedCompressionKeepsThePlainFile)
{
    const std::string path = LogPath("kept.log");
    {
        boost::mutex mutex;
        Logger logger(mutex, path);
        logger.AppendToLog(LogAppender::kLogError, "must not be lost");
        // No byte of the gzip file can be written when the logger finishes it.
        struct rlimit noGrowth = {0, RLIM_INFINITY};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved_), 0);
        noGrowth.rlim_max = saved_.rlim_max;
        handler_ = signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &noGrowth), 0);
        limited_ = true;
    }
    RestoreLimit();
    EXPECT_EQ(ReadTextFile(path), "[       0] Tue Dec  8 08:11:04 2026 ERROR\nmust not be lost\n");

    // A plain "file" that opens but cannot be read is a failure too.
    const std::string folder = LogPath("folder.log");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    EXPECT_FALSE(LogFile::Compress(folder));
    EXPECT_TRUE(FileExists(folder));
}

TEST_F(LoggerFaultTest, AGzipFileThatCannotGrowMidwayKeepsThePlainFile)
{
    const std::string path = LogPath("cut.log");
    const std::string large = logtest::LargeLogText();
    WriteTextFile(path, large);
    // Writes beyond 512 KiB fail (EFBIG rather than the signal) while blocks are still in the works.
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit limited = saved;
    limited.rlim_cur = 512 << 10;
    void (*handler)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool compressed = LogFile::Compress(path);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, handler);
    EXPECT_FALSE(compressed);
    EXPECT_TRUE(ReadTextFile(path) == large);
}

TEST_F(LoggerFaultTest, LogsOfWholeBlocksOrEmptyAreCompressed)
{
    for (std::size_t size : {0, 1024, 2048}) {
        const std::string path = LogPath("blocks-" + std::to_string(size) + ".log");
        WriteTextFile(path, std::string(size, 'z'));
        EXPECT_TRUE(LogFile::Compress(path)) << size;
        EXPECT_FALSE(FileExists(path)) << size;
        std::string text;
        ASSERT_TRUE(logtest::ReadGzip(path + ".gz", text)) << size;
        EXPECT_EQ(text, std::string(size, 'z'));
    }
}

TEST_F(LoggerFaultTest, ALoggerThatNeverWroteLeavesNoGzipFile)
{
    const std::string path = LogPath("never-written.log");
    {
        boost::mutex mutex;
        Logger logger(mutex, path);
    }
    EXPECT_FALSE(FileExists(path + ".gz"));
}

TEST_F(LoggerFaultTest, PathsThatAreNotAbsoluteDropMessagesWithoutThrowing)
{
    for (const std::string& bad : {std::string("relative.log"), std::string(""), "/tmp/" + std::string(300, 'a') + "/x",
                                   "/" + std::string(1100, 'b')}) {
        boost::mutex mutex;
        Logger logger(mutex, bad);
        EXPECT_NO_THROW(logger.AppendToLog(LogAppender::kLogFatal, "dropped")) << bad;
        EXPECT_NO_THROW(logger.AppendToLog(LogAppender::kLogFatal, "dropped again")) << bad;
    }
    EXPECT_FALSE(FileExists("relative.log"));
    EXPECT_FALSE(FileExists("relative.log.gz"));
}

TEST_F(LoggerFaultTest, AParentTwoLevelsDownIsNotMadeAndANewLoggerTriesAgain)
{
    const std::string folder = LogPath("missing");
    const std::string path = folder + "/also-missing/x.log";
    boost::mutex mutex;
    Logger first(mutex, path);
    first.AppendToLog(LogAppender::kLogInfo, "lost");
    EXPECT_FALSE(FileExists(folder));
    tolktest::MakeFolders(folder + "/also-missing");
    first.AppendToLog(LogAppender::kLogInfo, "still lost: one attempt per path");
    boost::mutex otherMutex;
    Logger second(otherMutex, path);
    second.AppendToLog(LogAppender::kLogInfo, "written");
    first.AppendToLog(LogAppender::kLogInfo, "written too");
    EXPECT_EQ(ReadTextFile(path), "[       0] Tue Dec  8 08:11:04 2026  INFO\nwritten\nwritten too\n");
}
