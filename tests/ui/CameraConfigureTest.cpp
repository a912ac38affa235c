// ConfigureCamera and configureCamera on simulated cameras, with the sheet
// worked on fake windows.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "FakeSheet.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "ZURSim.h"
#include "ZavaDED.h"
#include "camera/CameraList.h"
#include "ui/CameraConfiguration.h"
#include "ui/SheetControlIds.h"

namespace {

using testing_support::FakeSheetWindows;
using testing_support::LogCapture;
using testing_support::ReadWholeFile;
using testing_support::ScriptedFrontEndScope;
using testing_support::SheetScript;
using testing_support::TempDir;

constexpr int kWidth = IDC_CAM_WIDTH;
constexpr int kWidthRange = IDC_CAM_WIDTH_RANGE;
constexpr int kLogLevel = IDC_CAM_LOG_LEVEL;
constexpr int kExposure = IDC_CAM_EXPOSURE;
constexpr int kTriggerMode = IDC_CAM_TRIGGER_MODE;

std::vector<std::string> Journal() {
    std::vector<std::string> entries;
    char text[256];
    for (int i = 0; i < ZURSimJournalCount(); ++i) {
        if (ZURSimJournalEntry(i, text, sizeof text, nullptr) != 0) {
            entries.emplace_back(text);
        }
    }
    return entries;
}

int CountStartingWith(const std::vector<std::string>& entries, const std::string& start) {
    int count = 0;
    for (const auto& entry : entries) {
        count += entry.rfind(start, 0) == 0 ? 1 : 0;
    }
    return count;
}

class CameraConfigure : public ::testing::Test {
  protected:
    void SetUp() override {
        ZURSimReset();
        ASSERT_EQ(ZURSimAddCamera("XCG-V60E", 100), 1);  // standard, 640 x 480
        ASSERT_EQ(ZURSimAddCamera("XCG-5005CR", 200), 1);
        ASSERT_EQ(ZURSimAddCamera("XCG-H280E", 300), 1);
        DriverLog::Instance().SetSystemPath(systemDir.Path());
        ASSERT_TRUE(CameraList::Current()->Init());
    }
    void TearDown() override { CameraList::ReleaseInstance(); }

    static Camera& Named(const char* name) { return *CameraList::Current()->GetByName(name); }
    static bool Configure(const Camera& camera) {
        return ConfigureCamera(CameraList::Current()->GetByName(camera.Name().c_str()), nullptr);
    }
    Camera& OpenCamera(const char* name, int port) {
        Camera& camera = Named(name);
        int size[2] = {0, 0};
        EXPECT_TRUE(camera.Open(port, size));
        DriverLog::Instance().SetLogLevel(2);  // the open took the INI file's level
        return camera;
    }
    std::string IniText() const { return ReadWholeFile(systemDir.File("ZavaDED.ini")); }

    LogCapture capture{2};
    TempDir systemDir;
    SheetScript script;
    ScriptedFrontEndScope frontEnd{script};
};

TEST_F(CameraConfigure, TitleShowsThePortPlusOneAndThePagesFollowTheFamily) {
    Configure(OpenCamera("XCG-V60E-100", 0));
    EXPECT_EQ(script.title, "Configure camera on port #1: XCG-V60E-100");
    EXPECT_EQ(script.captions, (std::vector<std::string>{"Camera Settings", "I/O"}));

    Configure(OpenCamera("XCG-5005CR-200", 4));
    EXPECT_EQ(script.title, "Configure camera on port #5: XCG-5005CR-200");
    EXPECT_EQ(script.captions,
              (std::vector<std::string>{"Camera Settings", "I/O", "Color Camera Settings"}));

    Configure(Named("XCG-H280E-300"));
    EXPECT_EQ(script.title, "Configure camera on port #0: XCG-H280E-300");
    EXPECT_EQ(script.captions.size(), 2u);
}

TEST_F(CameraConfigure, OkSavesTheCopyAndMakesItTheCamerasSetWithoutWritingTheCamera) {
    Camera& camera = OpenCamera("XCG-V60E-100", 0);
    script.user = [](FakeSheetWindows& windows) {
        windows.ShowPage(0).Type(kWidth, "600");
        windows.ShowPage(0).Type(kExposure, "5000");
        windows.ShowPage(0).Choose(kTriggerMode, "On");
        return true;
    };
    ZURSimJournalClear();
    EXPECT_TRUE(Configure(camera));

    EXPECT_EQ(CountStartingWith(Journal(), "ZURGigESetRegister"), 0);
    EXPECT_EQ(camera.Params().ImageWidth.value, 600);
    EXPECT_EQ(camera.Params().Exposure.value, 5000);
    EXPECT_EQ(camera.Params().TriggerMode.value, "On");
    const std::string ini = IniText();
    EXPECT_NE(ini.find("[XCG-V60E-100]"), std::string::npos);
    EXPECT_NE(ini.find("ImageWidth=600"), std::string::npos);
    EXPECT_NE(ini.find("Exposure=5000"), std::string::npos);
    EXPECT_NE(ini.find("TriggerMode=On"), std::string::npos);
    EXPECT_NE(ini.find("Gamma=0.7"), std::string::npos);
    EXPECT_EQ(ini.find("LogIntoFile"), std::string::npos);
    EXPECT_TRUE(capture.Contains("Camera::Configure: entering\n"));
    EXPECT_TRUE(capture.Contains("Camera::Configure: leaving\n"));
}

TEST_F(CameraConfigure, CancelLeavesTheSetAsReadBackAndTheIniFileUntouched) {
    const std::string other = "[XCG-5005CR-200]\nExposure=300\n";
    testing_support::WriteWholeFile(systemDir.File("ZavaDED.ini"), other);
    Camera& camera = OpenCamera("XCG-V60E-100", 0);
    ZURSimPokeRegister(100, 0xa0002040, 4321);  // the exposure changed behind the set's back
    camera.Params().Exposure.value = 1;
    script.user = [](FakeSheetWindows& windows) {
        windows.ShowPage(0).Type(kWidth, "320");
        windows.ShowPage(1).Type(1015, "7");
        return false;
    };
    EXPECT_FALSE(Configure(camera));
    EXPECT_EQ(script.runs, 1);
    EXPECT_EQ(camera.Params().Exposure.value, 4321);  // read back before the sheet opened
    EXPECT_EQ(camera.Params().ImageWidth.value, 640);
    EXPECT_EQ(camera.Params().StrobeDuration1.value, 1);
    EXPECT_EQ(IniText(), other);
}

TEST_F(CameraConfigure, TheSheetShowsTheLogSettingsInForce) {
    Camera& camera = OpenCamera("XCG-V60E-100", 0);
    DriverLog::Instance().SetLogLevel(3);
    DriverLog::Instance().SetLogIntoFile(true);
    std::string shownLevel;
    script.user = [&](FakeSheetWindows& windows) {
        shownLevel = windows.ShowPage(0).Text(kLogLevel);
        return true;
    };
    EXPECT_TRUE(Configure(camera));
    EXPECT_EQ(shownLevel, "3");
    EXPECT_EQ(camera.Params().LogLevel.value, 3);
    EXPECT_EQ(camera.Params().LogIntoFile.value, 1);
    EXPECT_NE(IniText().find("LogLevel=3"), std::string::npos);
}

TEST_F(CameraConfigure, ClosedCameraIsConfiguredFromItsFamilyAndIniFileWithoutTheCamera) {
    testing_support::WriteWholeFile(systemDir.File("ZavaDED.ini"),
                                    "[XCG-H280E-300]\nExposure=777\nTriggerMode=On\n");
    Camera& camera = Named("XCG-H280E-300");
    std::string exposure;
    std::string widthRange;
    script.user = [&](FakeSheetWindows& windows) {
        exposure = windows.ShowPage(0).Text(kExposure);
        widthRange = windows.ShowPage(0).Text(kWidthRange);
        return true;
    };
    ZURSimJournalClear();
    EXPECT_TRUE(Configure(camera));

    EXPECT_EQ(Journal(), std::vector<std::string>{});
    EXPECT_EQ(exposure, "777");
    EXPECT_EQ(widthRange, "[64 ... 20000]");
    const std::string ini = IniText();
    EXPECT_NE(ini.find("Exposure=777"), std::string::npos);
    EXPECT_NE(ini.find("TriggerMode=On"), std::string::npos);
    EXPECT_NE(ini.find("ImageWidth=20000"), std::string::npos);
    EXPECT_NE(ini.find("Sensor Taps=2"), std::string::npos);
    EXPECT_EQ(ini.find("\n="), std::string::npos);  // no key without a name
}

TEST_F(CameraConfigure, WhereNoDialogCanBeShownTheCameraIsNotTouched) {
    Camera& camera = OpenCamera("XCG-V60E-100", 0);
    camera.SetContinuousGrab(true);  // would ask first
    script.canShow = false;
    ZURSimJournalClear();
    EXPECT_EQ(configureCamera(nullptr, "XCG-V60E-100"), 0);
    camera.SetContinuousGrab(false);
    EXPECT_EQ(CountStartingWith(Journal(), "ZURGigEGetRegister"), 0);
    EXPECT_EQ(script.warnings, 0);
    EXPECT_EQ(script.runs, 0);
    EXPECT_FALSE(testing_support::FileExists(systemDir.File("ZavaDED.ini")));
}

TEST_F(CameraConfigure, ExportReturnsOneForOkAndZeroOtherwise) {
    OpenCamera("XCG-V60E-100", 0);
    capture.Clear();
    script.user = [](FakeSheetWindows&) { return true; };
    EXPECT_EQ(configureCamera(nullptr, "XCG-V60E-100"), 1);
    // The grab thread may still be telling of its start.
    const int entering = capture.IndexOf("configureCamera: entering cameraName=XCG-V60E-100\n");
    ASSERT_GE(entering, 0);
    EXPECT_GT(capture.IndexOf("configureCamera: leaving cameraName=XCG-V60E-100\n"), entering);

    script.user = [](FakeSheetWindows&) { return false; };
    EXPECT_EQ(configureCamera(nullptr, "XCG-V60E-100"), 0);

    capture.Clear();
    EXPECT_EQ(configureCamera(nullptr, "XCG-V60E-999"), 0);
    EXPECT_EQ(capture.MessagesOfThisThread(),
              (std::vector<std::string>{
                  "configureCamera: entering cameraName=XCG-V60E-999\n",
                  "configureCamera: ERROR: cannot find camera by name: XCG-V60E-999\n"}));
    EXPECT_EQ(configureCamera(nullptr, nullptr), 0);
    EXPECT_EQ(script.runs, 2);
}

TEST_F(CameraConfigure, ExceptionsEndTheExportWithZeroAndTheirMessage) {
    script.user = [](FakeSheetWindows&) -> bool { throw std::runtime_error("no windows left"); };
    capture.Clear();
    EXPECT_EQ(configureCamera(nullptr, "XCG-V60E-100"), 0);
    EXPECT_TRUE(capture.Contains(
        "configureCamera: --EXCEPTION caught cameraName=XCG-V60E-100: no windows left\n"));
    EXPECT_TRUE(capture.Contains("configureCamera: leaving cameraName=XCG-V60E-100\n"));

    script.user = [](FakeSheetWindows&) -> bool { throw 42; };
    capture.Clear();
    EXPECT_EQ(configureCamera(nullptr, "XCG-V60E-100"), 0);
    EXPECT_TRUE(capture.Contains("configureCamera --EXCEPTION , cameraName=XCG-V60E-100\n"));
    EXPECT_FALSE(testing_support::FileExists(systemDir.File("ZavaDED.ini")));
}

#if !defined(_WIN32) && !defined(ZAVADED_WITH_GTK)
TEST_F(CameraConfigure, WithoutADialogToolkitTheExportLogsItAndReturnsZero) {
    SetSheetFrontEndFactory({});
    capture.Clear();
    EXPECT_EQ(configureCamera(nullptr, "XCG-V60E-100"), 0);
    EXPECT_EQ(capture.Count("Camera::Configure: ERROR: no dialog toolkit available on this "
                            "platform\n"),
              1);
    EXPECT_FALSE(testing_support::FileExists(systemDir.File("ZavaDED.ini")));
}
#endif

}  // namespace
