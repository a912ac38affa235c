// Runs natively on our profile functions and, in the Windows build under
// Wine, on the Win32 ones; files given to a test are in the form both write
// (CRLF line ends, no blank lines, "key=value").
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "LogCapture.h"
#include "SimulatedDriver.h"
#include "TempDir.h"
#include "ZavaDED.h"
#include "camera/Camera.h"
#include "log/DriverLog.h"
#include "params/IniExchange.h"
#include "params/ModelFlags.h"
#include "params/ParamSet.h"
#include "platform/Path.h"

#ifdef __linux__
#include <sys/inotify.h>
#include <unistd.h>
#endif

using testing_support::FileExists;
using testing_support::LogCapture;
using testing_support::ReadWholeFile;
using testing_support::TempDir;
using testing_support::WriteWholeFile;

namespace {

constexpr const char* kCamera = "XCG-U100E-4660";

using Lines = std::vector<std::pair<std::string, std::string>>;

// The section a first save of the standard family's initial values writes.
const Lines kStandardKeys = {
    {"LogLevel", "1"},
    {"Exposure", "100"},
    {"BlackLevel", "1023"},
    {"FrameRate", "1"},
    {"ImageWidth", "20000"},
    {"ImageHeight", "20000"},
    {"ImageOffsetX", "0"},
    {"ImageOffsetY", "0"},
    {"Gain", "0"},
    {"GainRed", "0"},
    {"GainGreen", "0"},
    {"GainBlue", "0"},
    {"VerticalBinning", "0"},
    {"HorizontalBinning", "0"},
    {"BandAdjustment", "0"},
    {"BandLevel", "0"},
    {"Sensor Taps", "2"},
    {"TriggerMode", "Off"},
    {"TriggerSource", "Software"},
    {"TriggerActivation", "Falling Edge"},
    {"TriggerInhibit", "Off"},
    {"TriggerDelay", "0"},
    {"ActiveGPO", "None"},
    {"LineSource1", "Exposure"},
    {"LineSource2", "Exposure"},
    {"LineInverter1", "0"},
    {"LineInverter2", "0"},
    {"StrobeDuration1", "1"},
    {"StrobeDuration2", "1"},
    {"StrobeDelay1", "0"},
    {"StrobeDelay2", "0"},
    {"Gamma", "0.7"},
    {"ColorFilter", "RGGB"},
};

// key=value lines, each with CRLF; values of the keys in changes replace
// the listed ones, and keys in skip are left out.
std::string KeyLines(const Lines& lines, const Lines& changes = {},
                     const std::vector<std::string>& skip = {}) {
    std::string text;
    for (const auto& [key, value] : lines) {
        if (std::find(skip.begin(), skip.end(), key) != skip.end()) {
            continue;
        }
        std::string shown = value;
        for (const auto& [changedKey, changedValue] : changes) {
            if (changedKey == key) {
                shown = changedValue;
            }
        }
        text += key + "=" + shown + "\r\n";
    }
    return text;
}

ParamSet Defined(std::uint32_t flags) {
    ParamSet set;
    set.Define(flags, "");
    return set;
}

class Persistence : public ::testing::Test {
  protected:
    Persistence() { DriverLog::Instance().SetSystemPath(dir.Path()); }

    void Given(const std::string& content) { WriteWholeFile(iniPath, content); }
    std::string Content() const { return ReadWholeFile(iniPath); }

    // Loads the standard family from a file holding only these lines in the
    // camera's section.
    ParamSet LoadedFrom(const std::string& keyLines) {
        Given(std::string("[") + kCamera + "]\r\n" + keyLines);
        ParamSet set = Defined(ModelMono);
        EXPECT_TRUE(set.Load(kCamera));
        return set;
    }

    LogCapture capture{1, 1};  // first: restores the log's system path last
    TempDir dir;
    std::string iniPath = dir.File("ZavaDED.ini");
};

TEST_F(Persistence, FirstSaveWritesTheKeysInOrder) {
    ParamSet set = Defined(ModelMono);
    set.LogIntoFile.value = 1;
    EXPECT_TRUE(set.Save(kCamera));
    EXPECT_EQ(Content(), std::string("[") + kCamera + "]\r\n" + KeyLines(kStandardKeys));
    EXPECT_TRUE(capture.Messages().empty()) << "nothing here logs";
}

TEST_F(Persistence, LaterSaveReplacesValuesInPlaceWithPercentG) {
    ParamSet set = Defined(ModelMono);
    ASSERT_TRUE(set.Save(kCamera));
    set.Exposure.value = -250;
    set.FrameRate.value = 15;
    set.Gamma.value = 12.3456789;
    set.TriggerActivation.SetByCode(6);
    ASSERT_TRUE(set.Save(kCamera));
    EXPECT_EQ(Content(), std::string("[") + kCamera + "]\r\n" +
                             KeyLines(kStandardKeys, {{"Exposure", "-250"},
                                                      {"FrameRate", "15"},
                                                      {"Gamma", "12.3457"},
                                                      {"TriggerActivation", "Rising Edge"}}));
}

TEST_F(Persistence, LoadWithoutFileKeepsTheFamilyValues) {
    ParamSet set = Defined(ModelColor);
    EXPECT_TRUE(set.Load(kCamera));
    EXPECT_EQ(set, Defined(ModelColor));
    EXPECT_FALSE(FileExists(iniPath)) << "loading creates no file";

    Given("[Other]\r\nExposure=5\r\n");
    EXPECT_TRUE(set.Load(kCamera));
    EXPECT_EQ(set, Defined(ModelColor));
}

TEST_F(Persistence, LoadTakesValuesAsTheyAre) {
    const ParamSet set = LoadedFrom(
        "Gain=600\r\nTriggerMode=Maybe\r\nExposure=12abc\r\nBlackLevel=0x10\r\n"
        "FrameRate=12.5fps\r\nGamma=abc\r\nLogIntoFile=1\r\nSensorTaps=4\r\n"
        "ActiveGPO=\"GPO1\"\r\n");
    EXPECT_EQ(set.Gain.value, 600) << "outside its bounds";
    EXPECT_EQ(set.TriggerMode.value, "Maybe") << "no item";
    EXPECT_EQ(set.TriggerMode.CurrentCode(), 0);
    EXPECT_EQ(set.Exposure.value, 12);
    EXPECT_EQ(set.BlackLevel.value, 16);
    EXPECT_EQ(set.FrameRate.value, 12.5);
    EXPECT_EQ(set.Gamma.value, 0.0);
    EXPECT_EQ(set.LogIntoFile.value, 0) << "never loaded";
    EXPECT_EQ(set.SensorTaps.value, "2") << "the key is \"Sensor Taps\"";
    EXPECT_EQ(set.ActiveGPO.value, "GPO1");

    EXPECT_EQ(LoadedFrom("Sensor Taps=4\r\n").SensorTaps.value, "4");
}

TEST_F(Persistence, EmptyAndAbsentValues) {
    Given(std::string("[") + kCamera + "]\r\nGamma=\r\nTriggerSource=\r\nExposure=\r\n");
    ParamSet set = Defined(ModelMono);
    set.Gamma.value = 0.123456789;
    set.FrameRate.value = 12.3456789;
    set.Exposure.value = 33;
    ASSERT_TRUE(set.Load(kCamera));
    EXPECT_EQ(set.Gamma.value, 0.123456789) << "an empty value keeps the number exactly";
    EXPECT_EQ(set.TriggerSource.value, "") << "but empties a text";
    EXPECT_EQ(set.Exposure.value, 33);
    EXPECT_EQ(set.FrameRate.value, 12.3457) << "an absent key goes through %g";
}

TEST_F(Persistence, LongValuesAreCutTo255Characters) {
    const ParamSet set =
        LoadedFrom("TriggerMode=" + std::string(300, 'x') + "\r\nGamma=0.5" +
                   std::string(300, '0') + "1\r\nFrameRate=" + std::string(254, '0') + "79\r\n");
    EXPECT_EQ(set.TriggerMode.value, std::string(255, 'x'));
    EXPECT_EQ(set.Gamma.value, 0.5);
    EXPECT_EQ(set.FrameRate.value, 7.0) << "the last digit is cut off";
}

TEST_F(Persistence, CamerasKeepTheirOwnSections) {
    ParamSet first = Defined(ModelMono);
    ParamSet second = Defined(ModelMono | ModelH280);
    first.Exposure.value = 111;
    second.Exposure.value = 222;
    second.SensorTaps.SetByCode(4);
    second.LineSource1.SetByCode(5);
    second.Gamma.value = 0.25;
    ASSERT_TRUE(first.Save(kCamera));
    ASSERT_TRUE(second.Save("XCG-H280E-17"));
    const std::string secondSection = Content().substr(Content().find("[XCG-H280E-17]"));

    first.Exposure.value = 333;
    ASSERT_TRUE(first.Save(kCamera));
    EXPECT_EQ(Content().substr(Content().find("[XCG-H280E-17]")), secondSection);

    ParamSet loaded = Defined(ModelMono | ModelH280);
    ASSERT_TRUE(loaded.Load("xcg-h280e-17"));
    EXPECT_EQ(loaded, second);
    loaded = Defined(ModelMono);
    ASSERT_TRUE(loaded.Load(kCamera));
    EXPECT_EQ(loaded.Exposure.value, 333);
}

TEST_F(Persistence, SaveKeepsCommentsAndForeignSections) {
    const std::string head =
        "; ZavaDED parameters\r\n[Other-1]\r\nExposure=5\r\nForeign=x\r\n[XCG-U100E-4660]\r\n"
        "; tuned by hand\r\nGain=300\r\nCustomKey=keep\r\n";
    const std::string tail = "[Tail]\r\n# end\r\n";
    Given(head + tail);
    ParamSet set = Defined(ModelMono);
    ASSERT_TRUE(set.Load(kCamera));
    ASSERT_TRUE(set.Save(kCamera));
    EXPECT_EQ(Content(), head + KeyLines(kStandardKeys, {}, {"Gain"}) + tail);
}

TEST_F(Persistence, NothingIsDoneWithoutADefinedSetOrACameraName) {
    ParamSet undefined;
    EXPECT_FALSE(undefined.Save(kCamera));
    EXPECT_FALSE(undefined.Load(kCamera));
    ParamSet set = Defined(ModelMono);
    EXPECT_FALSE(set.Save(nullptr));
    EXPECT_FALSE(set.Save(""));
    EXPECT_FALSE(set.Persist(nullptr, false));
    EXPECT_FALSE(FileExists(iniPath));

    // Nor does an exchange write a key without a name.
    IniExchange exchange(iniPath, kCamera);
    exchange.loading = false;
    Param<int> nameless;
    EXPECT_TRUE(exchange.Exchange(nameless));
    EXPECT_FALSE(FileExists(iniPath));
}

TEST_F(Persistence, SaveIntoAMissingDirectoryFailsQuietly) {
    DriverLog::Instance().SetSystemPath(dir.File("missing"));
    ParamSet set = Defined(ModelMono);
    EXPECT_FALSE(set.Save(kCamera));
    EXPECT_FALSE(FileExists(dir.File("missing")));
    EXPECT_TRUE(set.Load(kCamera));
    EXPECT_TRUE(capture.Messages().empty());
}

#ifdef __linux__
// What happened to one file of a folder, as the kernel reports it. (Identical
// events in a row are reported once: a file read twice shows as open, close,
// open, close.)
class FileAccesses {
  public:
    FileAccesses(const std::string& folder, std::string fileName)
        : name(std::move(fileName)), watch(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        EXPECT_GE(watch, 0);
        EXPECT_GE(inotify_add_watch(watch, folder.c_str(), IN_OPEN | IN_CLOSE | IN_MOVED_TO), 0);
    }
    ~FileAccesses() { close(watch); }
    FileAccesses(const FileAccesses&) = delete;
    FileAccesses& operator=(const FileAccesses&) = delete;

    // The events since the last call: "open", "close" or "replace" (renamed
    // onto), one per event.
    std::vector<std::string> Take() {
        std::vector<std::string> events;
        alignas(inotify_event) char buffer[65536];
        for (ssize_t length; (length = read(watch, buffer, sizeof buffer)) > 0;) {
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0 && name == event->name) {
                    events.emplace_back((event->mask & IN_OPEN) != 0    ? "open"
                                        : (event->mask & IN_CLOSE) != 0 ? "close"
                                                                        : "replace");
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return events;
    }

  private:
    std::string name;
    int watch;
};

// A large file is read and parsed once for a whole load and written once for
// a whole save, with the same results as one key at a time.
TEST(IniFile, IsReadOnceWhenACameraOpensAndWrittenOnceWhenItsSetIsSaved) {
    testing_support::DriverSession session({{"XCG-U100E", 4660}});
    const std::string path = session.Folder().File("ZavaDED.ini");
    std::string other;
    for (int i = 0; i < 200; ++i) {
        other += "[other-" + std::to_string(i) + "]\r\n" + KeyLines(kStandardKeys);
    }
    WriteWholeFile(path, other + "[" + kCamera + "]\r\nExposure=250\r\nTriggerMode=On\r\n");
    FileAccesses accesses(session.Folder().Path(), "ZavaDED.ini");

    Camera& camera = session.Open(kCamera, 0);
    EXPECT_EQ(accesses.Take(), (std::vector<std::string>{"open", "close"}));
    EXPECT_EQ(camera.Params().Exposure.value, 250);
    EXPECT_EQ(camera.Params().TriggerMode.value, "On");

    ParamSet set = Defined(ModelMono);
    set.Exposure.value = 250;
    set.TriggerMode.value = "On";
    ASSERT_TRUE(set.Save(kCamera));
    EXPECT_EQ(accesses.Take(), (std::vector<std::string>{"open", "close", "replace"}));
    EXPECT_EQ(ReadWholeFile(path), other + "[" + kCamera +
                                       "]\r\nExposure=250\r\nTriggerMode=On\r\n" +
                                       KeyLines(kStandardKeys, {}, {"Exposure", "TriggerMode"}));
    // Nothing changed: nothing written.
    accesses.Take();  // the test's own read
    ASSERT_TRUE(set.Save(kCamera));
    EXPECT_EQ(accesses.Take(), (std::vector<std::string>{"open", "close"}));
}
#endif

TEST_F(Persistence, EmptySystemPathGivesARootedFileName) {
    DriverLog::Instance().SetSystemPath("");
    EXPECT_EQ(DriverLog::Instance().IniFilePath(),
              std::string(1, platform::kPathSeparator) + "ZavaDED.ini");
}

}  // namespace
