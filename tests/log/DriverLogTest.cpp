#include "log/DriverLog.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "LogCapture.h"
#include "TempDir.h"
#include "platform/Path.h"

using testing_support::FixedClock;
using testing_support::LogCapture;
using testing_support::ReadWholeFile;
using testing_support::TempDir;

namespace {

constexpr platform::LocalTime kJune2013{2013, 6, 25, 8, 13, 40};

// Counts the entries of a log file: each entry is followed by an empty line.
int CountEntries(const std::string& text) {
    int count = 0;
    for (std::size_t at = text.find("\tZavaDED\t"); at != std::string::npos;
         at = text.find("\tZavaDED\t", at + 1)) {
        ++count;
    }
    return count;
}

TEST(LogRouting, EachDestinationFollowsItsOwnLevel) {
    LogCapture capture(1, 1);
    DriverLog& log = DriverLog::Instance();

    LogMessage(log, 2, "silent");
    EXPECT_TRUE(capture.Messages().empty());
    EXPECT_TRUE(capture.DebugOutput().empty());

    log.SetDebugView(3);
    LogMessage(log, 2, "debugger only");
    EXPECT_TRUE(capture.Messages().empty());
    EXPECT_EQ(capture.DebugOutput(), std::vector<std::string>{"debugger only\n"});

    capture.Clear();
    log.SetDebugView(1);
    log.SetLogLevel(3);
    LogMessage(log, 2, "host only");
    EXPECT_TRUE(capture.DebugOutput().empty());
    EXPECT_EQ(capture.Messages(), std::vector<std::string>{"host only\n"});
    EXPECT_EQ(capture.Prefixes().size(), 1u);
}

TEST(LogRouting, FileLinesFollowTheLogLevelNotTheDebugLevel) {
    LogCapture capture(1, 3);
    DriverLog& log = DriverLog::Instance();
    log.SetLogIntoFile(true);
    LogMessage(log, 2, "not for the file");
    EXPECT_EQ(log.PendingLineCount(), 0u);
    LogMessage(log, 1, "for the file");
    EXPECT_EQ(log.PendingLineCount(), 1u);
    log.SetLogIntoFile(false);
}

TEST(LogFormat, LineFeedIsAppendedOnlyWhereMissing) {
    LogCapture capture;
    DriverLog& log = DriverLog::Instance();
    LogMessage(log, 1, "abc");
    LogMessage(log, 1, "abc\n");
    LogMessage(log, 1, "%s", "");
    EXPECT_EQ(capture.Messages(), (std::vector<std::string>{"abc\n", "abc\n", ""}));
}

TEST(LogFormat, LongMessagesAreCutAndKeepTheLineFeedRule) {
    LogCapture capture;
    DriverLog& log = DriverLog::Instance();
    const std::string fits(1021, 'x');
    const std::string full(1022, 'y');
    const std::string tooLong(5000, 'z');
    LogMessage(log, 1, "%s", fits.c_str());
    LogMessage(log, 1, "%s", full.c_str());
    LogMessage(log, 1, "%s", tooLong.c_str());
    const auto messages = capture.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], fits + "\n");
    EXPECT_EQ(messages[1], full);
    EXPECT_EQ(messages[2], std::string(1023, 'z'));
}

TEST(LogFormat, PrefixCarriesTheLastDigitOfTheYearAndTheLevel) {
    LogCapture capture;
    {
        FixedClock clock(kJune2013);
        LogMessage(DriverLog::Instance(), 2, "x");
    }
    {
        FixedClock clock({2020, 12, 1, 23, 5, 9});
        LogMessage(DriverLog::Instance(), 4, "x");
    }
    EXPECT_EQ(capture.Prefixes(),
              (std::vector<std::string>{"25/06/03 08:13:40: (2) ", "01/12/00 23:05:09: (4) "}));
}

TEST(LogFile, IsWrittenInBatchesOfMoreThanOneHundredLines) {
    LogCapture capture(1, 1);
    TempDir folder;
    FixedClock clock(kJune2013);
    DriverLog& log = DriverLog::Instance();
    log.SetSystemPath(folder.Path());
    log.SetLogIntoFile(true);
    const std::string file = folder.File("zavaDED.log");

    for (int i = 0; i < 100; ++i) {
        LogMessage(log, 1, "line %d", i);
    }
    EXPECT_FALSE(testing_support::FileExists(file));
    EXPECT_EQ(log.PendingLineCount(), 100u);

    LogMessage(log, 1, "line 100");
    EXPECT_EQ(log.PendingLineCount(), 0u);
    const std::string text = ReadWholeFile(file);
    EXPECT_EQ(CountEntries(text), 101);
#ifdef _WIN32
    EXPECT_EQ(text.substr(0, 37), "25/06/03 08:13:40\tZavaDED\tline 0\r\n\r\n2");
#else
    EXPECT_EQ(text.substr(0, 35), "25/06/03 08:13:40\tZavaDED\tline 0\n\n2");
#endif
}

TEST(LogFile, SwitchingTheFileOffKeepsPendingLinesForTheNextBatch) {
    LogCapture capture(1, 1);
    TempDir folder;
    DriverLog& log = DriverLog::Instance();
    log.SetSystemPath(folder.Path());
    log.SetLogIntoFile(true);
    for (int i = 0; i < 50; ++i) {
        LogMessage(log, 1, "early %d", i);
    }
    log.SetLogIntoFile(false);
    LogMessage(log, 1, "not written");
    EXPECT_EQ(log.PendingLineCount(), 50u);
    log.SetLogIntoFile(true);
    for (int i = 0; i < 51; ++i) {
        LogMessage(log, 1, "late %d", i);
    }
    EXPECT_EQ(log.PendingLineCount(), 0u);
    const std::string text = ReadWholeFile(folder.File("zavaDED.log"));
    EXPECT_EQ(CountEntries(text), 101);
    EXPECT_EQ(text.find("not written"), std::string::npos);
}

TEST(LogFile, PendingLinesAreWrittenWhenTheLogIsDestroyed) {
    TempDir folder;
    {
        DriverLog log;
        log.SetSystemPath(folder.Path());
        log.SetLogIntoFile(true);
        for (int i = 0; i < 5; ++i) {
            LogMessage(log, 1, "last words %d", i);
        }
        EXPECT_FALSE(testing_support::FileExists(folder.File("zavaDED.log")));
    }
    EXPECT_EQ(CountEntries(ReadWholeFile(folder.File("zavaDED.log"))), 5);
}

TEST(LogFile, LinesStayPendingWithoutASystemPathAndAreBounded) {
    TempDir folder;
    DriverLog log;
    log.SetLogIntoFile(true);
    for (std::size_t i = 0; i < DriverLog::kMaxPendingLines + 5; ++i) {
        LogMessage(log, 1, "line %zu", i);
    }
    EXPECT_EQ(log.PendingLineCount(), DriverLog::kMaxPendingLines);

    log.SetSystemPath(folder.Path());
    LogMessage(log, 1, "now written");
    EXPECT_EQ(log.PendingLineCount(), 0u);
    const std::string text = ReadWholeFile(folder.File("zavaDED.log"));
    EXPECT_EQ(CountEntries(text), static_cast<int>(DriverLog::kMaxPendingLines) + 1);
    // The note on the dropped lines comes first; the oldest lines are gone.
    EXPECT_NE(text.find("6 log lines were dropped"), std::string::npos);
    EXPECT_LT(text.find("dropped"), text.find("line 6\n"));
    EXPECT_EQ(text.find("\tline 5\n"), std::string::npos);
    EXPECT_NE(text.find("now written"), std::string::npos);
}

TEST(LogFile, UnwritableFileKeepsTheLinesPending) {
    TempDir folder;
    DriverLog log;
    log.SetLogIntoFile(true);
    log.SetSystemPath(folder.File("no such folder"));
    for (int i = 0; i < 150; ++i) {
        LogMessage(log, 1, "line %d", i);
    }
    EXPECT_EQ(log.PendingLineCount(), 150u);
    log.SetSystemPath("");  // nothing to write at destruction
}

TEST(LogFile, PathTakesTheSystemPathUnchanged) {
    DriverLog log;
    const std::string separator(1, platform::kPathSeparator);
    log.SetSystemPath("data");
    EXPECT_EQ(log.LogFilePath(), "data" + separator + "zavaDED.log");
    log.SetSystemPath("data" + separator);
    EXPECT_EQ(log.LogFilePath(), "data" + separator + separator + "zavaDED.log");
    log.SetSystemPath("");
    EXPECT_EQ(log.IniFilePath(), separator + "ZavaDED.ini");
}

TEST(LogThreads, ConcurrentMessagesAreDeliveredWhole) {
    LogCapture capture(1, 1);
    TempDir folder;
    DriverLog& log = DriverLog::Instance();
    log.SetSystemPath(folder.Path());
    log.SetLogIntoFile(true);
    constexpr int kThreads = 4;
    constexpr int kLines = 250;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&log, t] {
            for (int i = 0; i < kLines; ++i) {
                LogMessage(log, 1, "thread %d line %d", t, i);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    log.FlushFile();
    EXPECT_EQ(capture.Messages().size(), static_cast<std::size_t>(kThreads * kLines));
    EXPECT_EQ(CountEntries(ReadWholeFile(folder.File("zavaDED.log"))), kThreads * kLines);
}

}  // namespace
