// The same expectations hold for our POSIX profile functions and, in the
// Windows build under Wine, for the real Win32 ones: that is how we know they
// agree. Inputs that Wine's writer would rewrite (it writes the whole file
// anew, with CRLF line ends, no blank lines and "key=value" without blanks)
// are written in that form; what only our line-preserving writer keeps is
// tested at the end, natively.
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <string>

#include "TempDir.h"
#include "platform/Path.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#endif

using testing_support::FileExists;
using testing_support::ReadWholeFile;
using testing_support::TempDir;
using testing_support::WriteWholeFile;

namespace {

// A text with zero bytes in it.
template <std::size_t N>
std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

class Profile : public ::testing::Test {
  protected:
    void Given(const std::string& content) { WriteWholeFile(path, content); }

    std::string Read(const char* section, const char* key, const char* defaultText = "dflt",
                     std::uint32_t size = 256) {
        std::string buffer(size + 1, '#');
        const std::uint32_t count = platform::GetProfileString(section, key, defaultText,
                                                               buffer.data(), size, path.c_str());
        const std::string text = buffer.c_str();
        EXPECT_EQ(count, text.size()) << "count of " << key;
        return text;
    }

    int ReadInt(const char* section, const char* key, int defaultValue = -77) {
        return platform::GetProfileInt(section, key, defaultValue, path.c_str());
    }

    bool Write(const char* section, const char* key, const char* text) {
        return platform::WriteProfileString(section, key, text, path.c_str());
    }

    std::string Content() const { return ReadWholeFile(path); }

    TempDir dir;
    std::string path = dir.File("ZavaDED.ini");
};

TEST_F(Profile, AbsentFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(Read("Cam", "A"), "dflt");
    EXPECT_EQ(ReadInt("Cam", "A"), -77);
    EXPECT_FALSE(FileExists(path)) << "reading creates no file";

    Given("[Cam]\r\nA=1\r\n");
    EXPECT_EQ(Read("Other", "A"), "dflt");
    EXPECT_EQ(Read("Cam", "B"), "dflt");
    EXPECT_EQ(ReadInt("Cam", "B", 5), 5);
    // The default loses its trailing spaces (not its leading ones) and quotes.
    EXPECT_EQ(Read("Cam", "B", "  d e  "), "  d e");
    EXPECT_EQ(Read("Cam", "B", "   "), " ") << "its first character stays";
    EXPECT_EQ(Read("Cam", "B", "a\t "), "a\t") << "only spaces go";
    EXPECT_EQ(Read("Cam", "B", "\"q\""), "q");
    EXPECT_EQ(Read("Cam", "B", nullptr), "");
}

TEST_F(Profile, SectionAndKeyMatchIgnoringCaseAndBlanks) {
    Given("[ XCG-U100E-4660 ]\r\n  Exposure  =  250  \r\nSensor Taps=4\r\nSensorTaps=2\r\n");
    EXPECT_EQ(Read("xcg-u100e-4660", "EXPOSURE"), "250");
    EXPECT_EQ(Read(" XCG-U100E-4660 ", " exposure "), "250");
    EXPECT_EQ(Read("XCG-U100E-4660", "sensor taps"), "4");
    EXPECT_EQ(Read("XCG-U100E-4660", "Sensor  Taps"), "dflt") << "inner blanks count";
    EXPECT_EQ(ReadInt("XCG-U100E-4660", "Exposure"), 250);
}

TEST_F(Profile, EmptyValueAndLineWithoutEquals) {
    Given("[Cam]\r\nempty=\r\nnoeq\r\nquoted=\"\"\r\n");
    EXPECT_EQ(Read("Cam", "empty"), "");
    EXPECT_EQ(ReadInt("Cam", "empty"), -77);
    EXPECT_EQ(Read("Cam", "noeq"), "dflt");
    EXPECT_EQ(Read("Cam", "quoted"), "");
    EXPECT_EQ(ReadInt("Cam", "quoted"), -77);
}

TEST_F(Profile, FirstSectionAndFirstKeyOfANameWin) {
    Given("[Cam]\r\nA=1\r\nA=2\r\nB\r\nB=3\r\n[cam]\r\nA=4\r\nC=5\r\n");
    EXPECT_EQ(Read("Cam", "A"), "1");
    EXPECT_EQ(Read("Cam", "B"), "dflt") << "the first B has no value";
    EXPECT_EQ(Read("Cam", "C"), "dflt") << "only the first [Cam] is searched";
}

TEST_F(Profile, OddLines) {
    Given(Bytes("K=7\r\n[Cam\r\nA=1\r\n[Cam]\r\n[Other\r\nB=2\r\nC=x\0y\r\nD=a=b\r\n"));
    EXPECT_EQ(Read("", "K"), "7") << "lines before the first header";
    EXPECT_EQ(Read("", "A"), "1") << "a header without ']' is an ordinary line";
    EXPECT_EQ(Read("Cam", "B"), "2");
    EXPECT_EQ(Read("Cam", "C"), "x") << "a zero byte ends the value";
    EXPECT_EQ(Read("Cam", "D"), "a=b");

    Given("\xEF\xBB\xBF[Cam]\rA=1\rB=2\nC=3\r\n");
    EXPECT_EQ(Read("Cam", "A"), "1") << "byte-order mark skipped, lone CR ends a line";
    EXPECT_EQ(Read("Cam", "B"), "2");
    EXPECT_EQ(Read("Cam", "C"), "3");

    Given(Bytes("\x01\x02\xff\xfe\x00\x00 not text \x1a\x80\x90\r\n[Cam\x00]\r\nA=1\r\n"));
    EXPECT_EQ(Read("Cam", "A"), "1");
}

TEST_F(Profile, MatchingQuotesAreStripped) {
    Given(
        "[Cam]\r\nd=\"abc\"\r\ns='abc'\r\nmixed=\"abc'\r\nlone=\"\r\ninner=a\"b\"\r\n"
        "blanks=\"  in  \"\r\nouter='a'b'\r\n");
    EXPECT_EQ(Read("Cam", "d"), "abc");
    EXPECT_EQ(Read("Cam", "s"), "abc");
    EXPECT_EQ(Read("Cam", "mixed"), "\"abc'");
    EXPECT_EQ(Read("Cam", "lone"), "\"");
    EXPECT_EQ(Read("Cam", "inner"), "a\"b\"");
    EXPECT_EQ(Read("Cam", "blanks"), "  in  ");
    EXPECT_EQ(Read("Cam", "outer"), "a'b");
}

TEST_F(Profile, ValueIsCutToFitTheBuffer) {
    Given("[Cam]\r\nlong=" + std::string(300, 'v') + "\r\nK=abcdef\r\nQ=\"abcdef\"\r\n");
    EXPECT_EQ(Read("Cam", "long"), std::string(255, 'v'));
    EXPECT_EQ(Read("Cam", "K", "d", 4), "abc");
    EXPECT_EQ(Read("Cam", "Q", "d", 4), "abc");
    EXPECT_EQ(Read("Cam", "absent", "defaultlong", 4), "def");
    EXPECT_EQ(Read("Cam", "K", "d", 1), "");
}

TEST_F(Profile, IntegerConversion) {
    const struct {
        const char* text;
        int value;
    } cases[] = {
        {"12", 12},
        {"-12", -12},
        {"+5", 5},
        {"  7", 7},
        {"00012", 12},
        {"010", 10},
        {"0x10", 16},
        {"-0x10", -16},
        {"0xFFFFFFFF", -1},
        {"0o7", 7},
        {"0b11", 3},
        {"0X1f", 0},
        {"0B1", 0},
        {"0x", 0},
        {"0o8", 0},
        {"12abc", 12},
        {"12.9", 12},
        {"1e3", 1},
        {"3 4", 3},
        {"abc", 0},
        {"-", 0},
        {"- 5", 0},
        {"--5", 0},
        {"'42'", 42},
        {"\"-3\"", -3},
        {"\"  12\"", 12},
        {"'5\"", 0},
        {"2147483648", -2147483647 - 1},
        {"4294967297", 1},
        {"-2147483649", 2147483647},
        {"99999999999999999999", 1661992959},
        // Win32 reads 29 characters: the last digit is cut off.
        {"000000000000000000000000000042", 4},
    };
    for (const auto& c : cases) {
        Given(std::string("[Cam]\r\nK=") + c.text + "\r\n");
        EXPECT_EQ(ReadInt("Cam", "K"), c.value) << c.text;
    }
    Given("[Cam]\r\nblank=   \r\n");
    EXPECT_EQ(ReadInt("Cam", "blank"), -77);
}

TEST_F(Profile, WriteCreatesFileSectionAndKey) {
    EXPECT_TRUE(Write("Cam", "A", "1"));
    EXPECT_EQ(Content(), "[Cam]\r\nA=1\r\n");
    EXPECT_TRUE(Write("Cam", "Sensor Taps", "Falling Edge"));
    EXPECT_TRUE(Write("Next", "B", ""));
    EXPECT_EQ(Content(), "[Cam]\r\nA=1\r\nSensor Taps=Falling Edge\r\n[Next]\r\nB=\r\n");
    EXPECT_EQ(Read("Cam", "Sensor Taps"), "Falling Edge");
    EXPECT_EQ(Read("Next", "B"), "");
}

TEST_F(Profile, WriteChangesOneKeyAndKeepsEverythingElse) {
    const std::string before =
        "; top comment\r\nK=0\r\n[Other]\r\nX=1\r\n[cam]\r\n; note\r\nexposure=5\r\nnoeq\r\n"
        "# hash\r\n[Tail]\r\nY=2\r\n";
    Given(before);
    EXPECT_TRUE(Write("CAM", "Exposure", "250"));
    EXPECT_TRUE(Write("Cam", "Gain", "7"));
    EXPECT_TRUE(Write("Cam", "NoEq", "3"));
    EXPECT_EQ(
        Content(),
        "; top comment\r\nK=0\r\n[Other]\r\nX=1\r\n[cam]\r\n; note\r\nexposure=250\r\nnoeq=3\r\n"
        "# hash\r\nGain=7\r\n[Tail]\r\nY=2\r\n");
    EXPECT_EQ(Read("Other", "X"), "1");
    EXPECT_EQ(Read("Tail", "Y"), "2");
}

TEST_F(Profile, WriteReplacesTheFirstOfDuplicates) {
    Given("[Cam]\r\nA=1\r\nA=2\r\n[Cam]\r\nB=1\r\n");
    EXPECT_TRUE(Write("Cam", "A", "3"));
    EXPECT_TRUE(Write("Cam", "B", "4"));
    EXPECT_EQ(Content(), "[Cam]\r\nA=3\r\nA=2\r\nB=4\r\n[Cam]\r\nB=1\r\n");
}

TEST_F(Profile, WriteDropsLeadingBlanksOfTheValue) {
    EXPECT_TRUE(Write("Cam", "A", "  x"));
    EXPECT_EQ(Content(), "[Cam]\r\nA=x\r\n");
    EXPECT_TRUE(Write("Cam", "A", "x"));  // unchanged
    EXPECT_EQ(Content(), "[Cam]\r\nA=x\r\n");
}

TEST_F(Profile, NullTextRemovesTheKeyNullKeyTheSection) {
    Given("[Cam]\r\nA=1\r\nB=2\r\n[Other]\r\nX=1\r\n");
    EXPECT_TRUE(Write("Cam", "A", nullptr));
    EXPECT_EQ(Content(), "[Cam]\r\nB=2\r\n[Other]\r\nX=1\r\n");
    EXPECT_TRUE(Write("Cam", nullptr, nullptr));
    EXPECT_EQ(Content(), "[Other]\r\nX=1\r\n");
}

TEST_F(Profile, WriteIntoAMissingDirectoryFails) {
    const std::string missing = platform::JoinPath(dir.File("missing"), "ZavaDED.ini");
    EXPECT_FALSE(platform::WriteProfileString("Cam", "A", "1", missing.c_str()));
    EXPECT_FALSE(FileExists(missing));
}

#ifndef _WIN32

// Our writer changes only the lines it must; Win32 writes the whole file anew.
TEST_F(Profile, PosixWriterKeepsEveryOtherByte) {
    const std::string before = "[Cam]  \n  A = 1  \n\n\n; c\n[Other]\nX = 1\n\n";
    Given(before);
    EXPECT_TRUE(Write("Cam", "A", "1"));
    EXPECT_EQ(Content(), before) << "an unchanged value is not rewritten";
    EXPECT_TRUE(Write("Cam", "B", "2"));
    EXPECT_TRUE(Write("Other", "X", "3"));
    EXPECT_TRUE(Write("New", "N", "4"));
    EXPECT_EQ(Content(), "[Cam]  \n  A = 1  \n\n\n; c\nB=2\n[Other]\nX=3\n\n[New]\nN=4\n");

    Given("\xEF\xBB\xBF[Cam]\r\nA=1");  // no final line end
    EXPECT_TRUE(Write("Cam", "B", "2"));
    EXPECT_EQ(Content(), "\xEF\xBB\xBF[Cam]\r\nA=1\r\nB=2\r\n");
}

TEST_F(Profile, PosixUtf16FileIsNeitherReadNorChanged) {
    const std::string utf16 = Bytes(
        "\xff\xfe[\0C\0a\0m\0]\0\r\0\n\0K\0=\0"
        "5\0\r\0\n\0");
    Given(utf16);
    EXPECT_EQ(Read("Cam", "K"), "dflt");
    EXPECT_FALSE(Write("Cam", "K", "6"));
    EXPECT_EQ(Content(), utf16);
}

TEST_F(Profile, PosixFailedWriteLeavesTheOldFileIntact) {
    const std::string before = "[Cam]\r\nA=1\r\n";
    Given(before);
    chmod(path.c_str(), 0640);

    // A write cut short (here by a file size limit) must not replace the file.
    struct rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit limit = saved;
    limit.rlim_cur = 64;
    const auto previous = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool written = Write("Cam", "B", std::string(200, 'b').c_str());
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);

    EXPECT_FALSE(written);
    EXPECT_EQ(Content(), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file is left behind";

    EXPECT_TRUE(Write("Cam", "B", "2"));
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u) << "the replacement keeps the file's mode";
}

TEST_F(Profile, PosixUnreadableFileIsNotReplaced) {
    std::filesystem::create_directory(path);  // a directory where the file should be
    EXPECT_EQ(Read("Cam", "A"), "dflt");
    EXPECT_FALSE(Write("Cam", "A", "1"));
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST_F(Profile, PosixReadOnlyDirectoryFailsQuietly) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind root";
    }
    Given("[Cam]\nA=1\n");
    chmod(dir.Path().c_str(), 0555);
    EXPECT_FALSE(Write("Cam", "A", "2"));
    chmod(dir.Path().c_str(), 0755);
    EXPECT_EQ(Content(), "[Cam]\nA=1\n");
}

#endif

}  // namespace
