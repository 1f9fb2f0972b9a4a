#include "Common/source/xplat/LogFactory.h"
#include "Common/source/xplat/LogFile.h"
#include "Common/source/xplat/Logger.h"

#include "LogTestSupport.h"

#include "tests/support/Gate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <thread>

using logtest::FileExists;
using logtest::Lines;
using tolktest::ReadTextFile;

namespace {

const std::string kInfo0 = "[       0] Tue Dec  8 08:11:04 2026  INFO";

class LoggerTest : public logtest::LogTest {};

}  // namespace

TEST_F(LoggerTest, WritesAHeaderOnlyWhenThreadTimeOrLevelChanges)
{
    const std::string path = LogPath("session.log");
    boost::mutex mutex;
    Logger logger(mutex, path);
    logger.SetLevel(LogAppender::kLogDebug);
    logger.AppendToLog(LogAppender::kLogInfo, "first");
    logger.AppendToLog(LogAppender::kLogInfo, std::string("two\nlines"));
    logger.AppendToLog(LogAppender::kLogInfo, "");
    logger.AppendToLog(LogAppender::kLogDebug, "debug");
    AdvanceSeconds(1);
    logger.AppendToLog(LogAppender::kLogDebug, "a second later");
    logger.AppendToLog(LogAppender::kLogWarn, "warn");
    const std::vector<std::string> expected = {
        kInfo0, "first", "two", "lines", "",
        "[       0] Tue Dec  8 08:11:04 2026 DEBUG", "debug",
        "[       0] Tue Dec  8 08:11:05 2026 DEBUG", "a second later",
        "[       0] Tue Dec  8 08:11:05 2026  WARN", "warn",
    };
    EXPECT_EQ(Lines(ReadTextFile(path)), expected);

    // The system clock gives the same shape.
    Logger::SetClockForTesting(nullptr);
    logger.AppendToLog(LogAppender::kLogFatal, "now");
    EXPECT_THAT(Lines(ReadTextFile(path)).at(11),
                ::testing::MatchesRegex("\\[       0\\] [A-Z][a-z]{2} [A-Z][a-z]{2} [ 1-3][0-9] "
                                        "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4} FATAL"));
}

// Inside a batch, routine messages under an unchanged header wait in memory; a new header, an
// error, a flush and the end of the batch each put everything waiting into the file, in order.
TEST_F(LoggerTest, ABatchHoldsOnlyRoutineMessagesUnderTheSameHeader)
{
    const std::string path = LogPath("batch.log");
    boost::mutex mutex;
    Logger logger(mutex, path);
    logger.SetLevel(LogAppender::kLogDebug);
    const std::string debug0 = "[       0] Tue Dec  8 08:11:04 2026 DEBUG";
    std::vector<std::string> expected;
    {
        LogWriteBatch batch;
        logger.AppendToLog(LogAppender::kLogDebug, "opens the header");
        logger.AppendToLog(LogAppender::kLogDebug, "held");
        expected = {debug0, "opens the header"};
        EXPECT_EQ(Lines(ReadTextFile(path)), expected);
        logger.AppendToLog(LogAppender::kLogError, "error");
        logger.AppendToLog(LogAppender::kLogError, "second error");
        expected = {debug0, "opens the header", "held", "[       0] Tue Dec  8 08:11:04 2026 ERROR", "error",
                    "second error"};
        EXPECT_EQ(Lines(ReadTextFile(path)), expected);
        AdvanceSeconds(1);
        logger.AppendToLog(LogAppender::kLogError, "a second later");
        logger.AppendToLog(LogAppender::kLogInfo, "info");
        logger.AppendToLog(LogAppender::kLogInfo, "held info");
        expected.insert(expected.end(), {"[       0] Tue Dec  8 08:11:05 2026 ERROR", "a second later",
                                         "[       0] Tue Dec  8 08:11:05 2026  INFO", "info"});
        EXPECT_EQ(Lines(ReadTextFile(path)), expected);
        logger.Flush();
        expected.push_back("held info");
        EXPECT_EQ(Lines(ReadTextFile(path)), expected);
        logger.AppendToLog(LogAppender::kLogInfo, "held at the end");
        EXPECT_EQ(Lines(ReadTextFile(path)), expected);
    }
    expected.push_back("held at the end");
    EXPECT_EQ(Lines(ReadTextFile(path)), expected);
    // Outside a batch every message goes out at once.
    logger.AppendToLog(LogAppender::kLogInfo, "unbatched");
    expected.push_back("unbatched");
    EXPECT_EQ(Lines(ReadTextFile(path)), expected);
}

TEST_F(LoggerTest, LevelFiltersMessages)
{
    const std::string path = LogPath("levels.log");
    boost::mutex mutex;
    Logger logger(mutex, path);
    EXPECT_EQ(logger.SetLevel(LogAppender::kLogOff), LogAppender::kLogInfo);
    logger.AppendToLog(LogAppender::kLogFatal, "dropped when off");
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(logger.SetLevel(LogAppender::kLogError), LogAppender::kLogOff);
    logger.AppendToLog(LogAppender::kLogWarn, "dropped at error");
    logger.AppendToLog(LogAppender::kLogError, "kept at error");
    logger.AppendToLog(LogAppender::kLogError, static_cast<const char*>(nullptr));
    // A message level outside 1..5 passes the filter and is flagged.
    logger.AppendToLog(LogAppender::kLogOff, "level zero");
    const std::vector<std::string> expected = {
        "[       0] Tue Dec  8 08:11:04 2026 ERROR", "kept at error",
        "[       0] Tue Dec  8 08:11:04 2026 *** ERROR in Logger logic *** : ", "level zero",
    };
    EXPECT_EQ(Lines(ReadTextFile(path)), expected);
}

TEST_F(LoggerTest, ThreadsAreNumberedInTheOrderTheyFirstWrite)
{
    const std::string path = LogPath("threads.log");
    boost::mutex mutex;
    Logger logger(mutex, path);
    Logger copy(logger);  // shares the numbering, keeps its own last header
    logger.AppendToLog(LogAppender::kLogInfo, "main");

    // The workers stay alive until the end, so that no thread identity is reused.
    tolktest::Gate firstWrote, secondWrote, finish;
    std::thread first([&] {
        copy.AppendToLog(LogAppender::kLogInfo, "worker");
        firstWrote.Open();
        finish.Wait();
    });
    firstWrote.Wait();
    copy.AppendToLog(LogAppender::kLogInfo, "main through the copy");
    logger.AppendToLog(LogAppender::kLogInfo, "main, same header as its last");
    std::thread second([&] {
        logger.AppendToLog(LogAppender::kLogInfo, "third");
        secondWrote.Open();
        finish.Wait();
    });
    secondWrote.Wait();
    finish.Open();
    first.join();
    second.join();
    const std::vector<std::string> expected = {
        kInfo0, "main",
        "[       1] Tue Dec  8 08:11:04 2026  INFO", "worker",
        kInfo0, "main through the copy", "main, same header as its last",
        "[       2] Tue Dec  8 08:11:04 2026  INFO", "third",
    };
    EXPECT_EQ(Lines(ReadTextFile(path)), expected);
}

TEST_F(LoggerTest, PathChangeMovesEveryCopyAndLeavesTheOldFileUncompressed)
{
    const std::string first = LogPath("first.log");
    const std::string second = LogPath("second.log");
    boost::mutex mutex;
    {
        Logger logger(mutex, first);
        Logger copy(logger);
        EXPECT_FALSE(logger.SetLogfilePath(first));
        logger.AppendToLog(LogAppender::kLogInfo, "one");
        EXPECT_TRUE(copy.SetLogfilePath(second));
        EXPECT_FALSE(FileExists(second));  // opened at the next message
        logger.AppendToLog(LogAppender::kLogInfo, "two");  // same header: none written
    }
    EXPECT_EQ(ReadTextFile(first), kInfo0 + "\none\n");
    EXPECT_FALSE(FileExists(first + ".gz"));
    EXPECT_FALSE(FileExists(second));
    std::string text;
    ASSERT_TRUE(logtest::ReadGzip(second + ".gz", text));
    EXPECT_EQ(text, "two\n");
}

TEST_F(LoggerTest, MissingParentFolderIsCreatedWithMode0755)
{
    const std::string folder = LogPath("Installers");
    const mode_t saved = umask(077);
    {
        boost::mutex mutex;
        Logger(mutex, folder + "/session.log").AppendToLog(LogAppender::kLogInfo, "x");
    }
    umask(saved);
    struct stat info;
    ASSERT_EQ(stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755u);
    EXPECT_TRUE(FileExists(folder + "/session.log.gz"));
}

TEST_F(LoggerTest, FinishedLogIsReadableWithZcatAndThePlainFileIsGone)
{
    const std::string path = LogPath("finished.log");
    std::string expected;
    for (int run = 0; run < 2; ++run) {
        boost::mutex mutex;
        Logger logger(mutex, path);
        // About 2,500 bytes.
        for (int i = 0; i < 25; ++i)
            logger.AppendToLog(LogAppender::kLogInfo, "run " + std::to_string(run) + std::string(40, 'x'));
        expected += ReadTextFile(path);
    }
    EXPECT_GT(expected.size(), 2 * 1024u);
    EXPECT_FALSE(FileExists(path));
    // The second finish appended a second gzip member, which zcat reads as one stream.
    const std::string unpacked = LogPath("unpacked.txt");
    ASSERT_EQ(tolktest::RunProgram("/bin/sh", {"-c", "zcat \"$0\" > \"$1\"", path + ".gz", unpacked}), 0);
    EXPECT_EQ(ReadTextFile(unpacked), expected);
}

TEST_F(LoggerTest, AMultiMegabyteLogBecomesOneMoreMemberOfAnExistingGzipFile)
{
    const std::string path = LogPath("large.log");
    tolktest::WriteTextFile(path, "an earlier session\n");
    ASSERT_TRUE(LogFile::Compress(path));
    const std::string large = logtest::LargeLogText();
    tolktest::WriteTextFile(path, large);
    ASSERT_TRUE(LogFile::Compress(path));
    EXPECT_FALSE(FileExists(path));
    std::string text;
    ASSERT_TRUE(logtest::ReadGzip(path + ".gz", text));
    EXPECT_TRUE(text == "an earlier session\n" + large) << text.size() << " bytes, not " << large.size() + 19;
    EXPECT_EQ(tolktest::RunProgram("/bin/sh", {"-c", "gzip -t \"$0\"", path + ".gz"}), 0);
}

TEST_F(LoggerTest, TwoLoggersOnOnePathFromTwoThreadsKeepWholeLines)
{
    const std::string path = LogPath("shared.log");
    const int kLines = 2000;
    {
        // Two loggers with mutexes of their own on one file, and one assigned from the second,
        // which goes with the file part it takes, lock included.
        boost::mutex firstMutex, secondMutex;
        Logger first(firstMutex, LogPath("elsewhere.log"));
        Logger second(secondMutex, path);
        EXPECT_TRUE(first.SetLogfilePath(path));
        Logger assigned(firstMutex, LogPath("unused.log"));
        assigned = second;
        auto writer = [kLines](Logger& logger, const std::string& tag) {
            for (int i = 0; i < kLines; ++i)
                logger.AppendToLog(LogAppender::kLogInfo, tag + std::to_string(i) + std::string(300, '.'));
        };
        std::thread a(writer, std::ref(first), "A"), b(writer, std::ref(second), "B"), c(writer, std::ref(assigned), "C");
        a.join();
        b.join();
        c.join();
    }
    // Finished once, after the last logger on the path.
    EXPECT_FALSE(FileExists(path));
    std::string text;
    ASSERT_TRUE(logtest::ReadGzip(path + ".gz", text));
    int next[3] = {0, 0, 0};
    for (const std::string& line : Lines(text)) {
        if (line[0] == '[')
            continue;
        const int which = line[0] - 'A';
        ASSERT_TRUE(which >= 0 && which < 3) << line;
        EXPECT_EQ(line, line.substr(0, 1) + std::to_string(next[which]++) + std::string(300, '.'));
    }
    EXPECT_THAT(next, ::testing::ElementsAre(kLines, kLines, kLines));
}

TEST_F(LoggerTest, BlocksAndHeadersFrameTheirTitle)
{
    const std::string path = LogPath("blocks.log");
    boost::mutex mutex;
    Logger logger(mutex, path);
    {
        InfoLogBlock block(&logger, "Proxy File Summary");
        InfoLogHeader header(&logger, "START - Installer Session");
        InfoLogHeader empty(&logger, "");
    }
    { ErrorLogBlock block(&logger, ""); }
    InfoLogBlock nothing(nullptr, "null logger");
    InfoLogHeader none(nullptr, "null logger");
    const std::string marker(BaseLogHeader::kSectionMarker);
    const std::vector<std::string> expected = {
        kInfo0,
        "-------------------- BEGIN - Proxy File Summary - BEGIN --------------------",
        marker, "START - Installer Session", marker,
        "--------------------  END  - Proxy File Summary -  END  --------------------",
        "[       0] Tue Dec  8 08:11:04 2026 ERROR",
        "-------------------- BEGIN -  - BEGIN --------------------",
        "--------------------  END  -  -  END  --------------------",
    };
    EXPECT_EQ(Lines(ReadTextFile(path)), expected);
}

TEST_F(LoggerTest, FactoryMakesOneLoggerPerNameThatWritesOnlyOnceGivenAPath)
{
    LogFactory& factory = LogFactory::Instance();
    EXPECT_EQ(factory.GetLogger(""), nullptr);
    Logger* logger = factory.GetLogger("LoggerTest.Factory");
    ASSERT_NE(logger, nullptr);
    EXPECT_EQ(LogFactory::Instance()->GetLogger("LoggerTest.Factory"), logger);
    EXPECT_NE(factory.GetLogger("LoggerTest.Other"), logger);

    // Its bare name is no place to write to.
    logger->AppendToLog(LogAppender::kLogInfo, "dropped");
    EXPECT_FALSE(FileExists("LoggerTest.Factory"));
    const std::string path = LogPath("factory.log");
    EXPECT_TRUE(logger->SetLogfilePath(path));
    AdvanceSeconds(1);  // the dropped message's header counts as written
    logger->AppendToLog(LogAppender::kLogInfo, "kept");
    EXPECT_EQ(ReadTextFile(path), "[       0] Tue Dec  8 08:11:05 2026  INFO\nkept\n");
    logger->SetLogfilePath("LoggerTest.Factory");  // nothing of this test outlives it
}
