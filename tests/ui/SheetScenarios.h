#pragma once

// The configuration sheet's scenarios, written once and run on every front
// end: the toolkit-free sheet (ui_tests), the Win32 sheet under Wine
// (ui_wine_tests) and the GTK dialog (ui_gtk_tests). Each binary includes
// this header once and instantiates the suite with its front end: a fixture
// derived from DriverSheet that has a person work its dialogs.
#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "TempDir.h"
#include "ZURSim.h"
#include "ZavaDED.h"
#include "platform/Profile.h"
#include "ui/SheetControlIds.h"

namespace sheet_test {

// A person at the dialog that configureCamera shows: what they see and do.
// The sheet's controls are looked for on the current page, by the ids of
// the page templates.
class Person {
  public:
    virtual ~Person() = default;

    // The warning shown while a grab is pending.
    virtual std::string WarningText() = 0;
    virtual void AnswerWarning(bool proceed) = 0;

    virtual int PageCount() = 0;
    // As a click on the page's tab.
    virtual void ShowPage(int index) = 0;
    virtual void Type(int controlId, const std::string& text) = 0;
    virtual void Click(int controlId) = 0;
    virtual std::string Text(int controlId) = 0;
    virtual bool IsEnabled(int controlId) = 0;
    virtual std::string Status() = 0;
    virtual bool IsOkEnabled() = 0;
    // Each ends the person's turn: a real dialog acts on it only then.
    virtual void PressOk() = 0;
    virtual void PressCancel() = 0;

    // The control with the keyboard focus, and whether all its text is
    // selected, so that what the person types replaces it.
    struct Focus {
        int controlId = 0;
        bool allSelected = false;
    };
    virtual std::optional<Focus> KeyboardFocus() = 0;
};

// One turn of the person at whatever dialog is shown.
using Step = std::function<void(Person&)>;

struct Outcome {
    int result = -1;        // what configureCamera returned
    std::size_t steps = 0;  // how many steps ran
    bool leftOpen = false;  // a dialog was still shown after the last step
};

inline std::mutex received;
inline std::vector<std::string> messages;

extern "C" inline void ZAVADED_CALL Collect(const char* text) {
    std::lock_guard<std::mutex> lock(received);
    messages.emplace_back(text);
}

// How many of the messages logged so far contain part.
inline int ReceivedContaining(const std::string& part) {
    std::lock_guard<std::mutex> lock(received);
    int count = 0;
    for (const auto& message : messages) {
        count += message.find(part) != std::string::npos ? 1 : 0;
    }
    return count;
}

// The exports the scenarios call: the loaded library's, or the driver's own
// where it is linked into the test.
struct Exports {
    decltype(&::initialize) initialize = nullptr;
    decltype(&::finalize) finalize = nullptr;
    decltype(&::setDebugMsgProc) setDebugMsgProc = nullptr;
    decltype(&::openCVLPort) openCVLPort = nullptr;
    decltype(&::closeCVLPort) closeCVLPort = nullptr;
    decltype(&::setProperty) setProperty = nullptr;
    decltype(&::configureCamera) configureCamera = nullptr;
};

// The driver on one simulated camera of each family, the messages it logs
// and the INI file it writes. A front end's fixture fills exports before the
// first test and provides Configure.
class DriverSheet : public ::testing::Test {
  public:
    void SetUp() override {
        {
            std::lock_guard<std::mutex> lock(received);
            messages.clear();
        }
        ZURSimReset();
        ASSERT_EQ(ZURSimAddCamera("XCG-V60E", 100), 1);    // standard, 640 x 480
        ASSERT_EQ(ZURSimAddCamera("XCG-5005CR", 200), 1);  // colour
        ASSERT_EQ(ZURSimAddCamera("XCG-H280E", 300), 1);
        ASSERT_EQ(exports.initialize(systemDir.Path().c_str(), &Collect), 1);
        exports.setDebugMsgProc(&Collect);
    }
    void TearDown() override {
        for (int port = 0; port < 3; ++port) {
            exports.closeCVLPort(0, port);
        }
        exports.finalize();
    }

    void Open(int port, const char* camera) {
        int size[2] = {0, 0};
        ASSERT_EQ(exports.openCVLPort(0, port, camera, size), 1) << camera;
    }
    std::string IniValue(const std::string& section, const std::string& key) const {
        char value[256] = {};
        platform::GetProfileString(section.c_str(), key.c_str(), "(absent)", value, sizeof value,
                                   IniPath().c_str());
        return value;
    }
    bool IniExists() const { return testing_support::FileExists(IniPath()); }
    std::string IniPath() const { return systemDir.File("ZavaDED.ini"); }

    static inline Exports exports;
    testing_support::TempDir systemDir;
};

// Camera Settings
inline constexpr int kWidth = IDC_CAM_WIDTH;
inline constexpr int kWidthRange = IDC_CAM_WIDTH_RANGE;
inline constexpr int kOffsetX = IDC_CAM_OFFSET_X;
inline constexpr int kVertBinning = IDC_CAM_VERT_BINNING;
inline constexpr int kHorzBinning = IDC_CAM_HORZ_BINNING;
inline constexpr int kHorzBinningRange = IDC_CAM_HORZ_BINNING_RANGE;
inline constexpr int kGain = IDC_CAM_GAIN;
inline constexpr int kGainRange = IDC_CAM_GAIN_RANGE;
inline constexpr int kGamma = IDC_CAM_GAMMA;
inline constexpr int kFrameRateRange = IDC_CAM_FRAME_RATE_RANGE;
inline constexpr int kExposure = IDC_CAM_EXPOSURE;
inline constexpr int kNetworkLoad = IDC_CAM_NETWORK_LOAD;
inline constexpr int kBandLevel = IDC_CAM_BAND_LEVEL;
inline constexpr int kSensorTaps = IDC_CAM_SENSOR_TAPS;
// I/O
inline constexpr int kStrobeDuration1 = IDC_IO_STROBE_DURATION1;
// Color Camera Settings
inline constexpr int kDigitalRed = IDC_COLOR_RED;
inline constexpr int kDigitalRedRange = IDC_COLOR_RED_RANGE;

inline constexpr const char* kGrabRunningWarning =
    "Configuring camera properties while inspection is running may cause undesired effects. "
    "Continue anyway ?";

// The scenarios. FrontEnd is a DriverSheet with
//   Outcome Configure(const char* camera, const std::string& title,
//                     const std::vector<Step>& steps);
//   static constexpr bool kHasKeyboard;  // whether KeyboardFocus tells
template <typename FrontEnd>
class SheetScenario : public FrontEnd {};

TYPED_TEST_SUITE_P(SheetScenario);

TYPED_TEST_P(SheetScenario, ValuesAreCheckedAsTheyAreTypedAndOkSavesTheSection) {
    this->Open(0, "XCG-V60E-100");
    const Outcome outcome = this->Configure(
        "XCG-V60E-100", "Configure camera on port #1: XCG-V60E-100",
        {[](Person& person) {
             EXPECT_EQ(person.PageCount(), 2);
             EXPECT_EQ(person.Status(), "");
             EXPECT_TRUE(person.IsOkEnabled());
             EXPECT_EQ(person.Text(kWidth), "640");
             EXPECT_TRUE(person.Text(kWidthRange).ends_with(" 640]")) << person.Text(kWidthRange);
             EXPECT_EQ(person.Text(kGamma), "0.70");  // single-precision 0.7 from the camera
             EXPECT_EQ(person.Text(kFrameRateRange), "[1.0 ... 90.0]");
             EXPECT_FALSE(person.IsEnabled(kHorzBinning));  // no H280
             EXPECT_FALSE(person.IsEnabled(kBandLevel));    // Network Load off

             person.Type(kWidth, "700");
             EXPECT_EQ(person.Status(), "Camera Settings: Image width not in range");
             EXPECT_FALSE(person.IsOkEnabled());
             person.PressOk();  // as a keyboard or a program still can: refused
         },
         [](Person& person) {
             person.Type(kWidth, "600");
             EXPECT_EQ(person.Status(), "");
             EXPECT_TRUE(person.IsOkEnabled());
             person.Type(kOffsetX, "100");
             EXPECT_EQ(person.Status(),
                       "Camera Settings: Image Width + OffsetX exceeds maximal image width");
             EXPECT_FALSE(person.IsOkEnabled());
             person.Type(kOffsetX, "40");
             person.Type(kExposure, "5000");
             person.Click(kNetworkLoad);
             EXPECT_TRUE(person.IsEnabled(kBandLevel));
             person.Type(kBandLevel, "55");
             EXPECT_EQ(person.Status(), "");

             person.ShowPage(1);
             person.Type(kStrobeDuration1, "0");
             EXPECT_EQ(person.Status(), "I/O: Strobe1 duration not in range");
             EXPECT_FALSE(person.IsOkEnabled());
             person.Type(kStrobeDuration1, "10");
             EXPECT_TRUE(person.IsOkEnabled());
             person.PressOk();
         }});
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.steps, 2u);
    EXPECT_FALSE(outcome.leftOpen);
    for (const auto& [key, value] : {std::pair{"ImageWidth", "600"},
                                     {"ImageOffsetX", "40"},
                                     {"Exposure", "5000"},
                                     {"BandAdjustment", "1"},
                                     {"BandLevel", "55"},
                                     {"StrobeDuration1", "10"},
                                     {"Gamma", "0.7"},
                                     {"TriggerSource", "Software"}}) {
        EXPECT_EQ(this->IniValue("XCG-V60E-100", key), value) << key;
    }
    EXPECT_EQ(ReceivedContaining("has no control"), 0);
}

TYPED_TEST_P(SheetScenario, APageShownHoldingAValueOutsideItsLimitsSaysSoAndCannotBeSaved) {
    this->Open(0, "XCG-V60E-100");
    ASSERT_EQ(ZURSimPokeRegister(100, 0xa0002078, 0), 1);          // Strobe Duration 1, minimum 1
    const std::string ini = "[XCG-5005CR-200]\r\nGainRed=99\r\n";  // [1024 ... 16383]
    testing_support::WriteWholeFile(this->IniPath(), ini);
    const auto showPage = [](int index, const std::string& message) -> std::vector<Step> {
        return {[=](Person& person) {
                    EXPECT_EQ(person.Status(), "");
                    EXPECT_TRUE(person.IsOkEnabled());
                    person.ShowPage(index);
                    EXPECT_EQ(person.Status(), message);
                    EXPECT_FALSE(person.IsOkEnabled());
                    person.PressOk();  // refused
                },
                [](Person& person) { person.PressCancel(); }};
    };
    EXPECT_EQ(this->Configure("XCG-V60E-100", "Configure camera on port #1: XCG-V60E-100",
                              showPage(1, "I/O: Strobe1 duration not in range"))
                  .steps,
              2u);
    EXPECT_EQ(this->Configure("XCG-5005CR-200", "Configure camera on port #0: XCG-5005CR-200",
                              showPage(2, "Color Camera Settings: Digital red not in range"))
                  .result,
              0);
    EXPECT_EQ(testing_support::ReadWholeFile(this->IniPath()), ini);
}

TYPED_TEST_P(SheetScenario, APendingGrabAsksFirstAndOnlyOkLeadsToTheSheet) {
    this->Open(1, "XCG-V60E-100");
    ASSERT_EQ(this->exports.setProperty(0, 1, "continuous", 1), 1);
    const std::string title = "Configure camera on port #2: XCG-V60E-100";
    Outcome outcome = this->Configure("XCG-V60E-100", title, {[](Person& person) {
                                          EXPECT_EQ(person.WarningText(), kGrabRunningWarning);
                                          person.AnswerWarning(false);
                                      }});
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.steps, 1u);
    EXPECT_FALSE(outcome.leftOpen);  // no sheet came after
    EXPECT_EQ(ReceivedContaining("Camera::Configure: leaving"), 0);

    outcome = this->Configure("XCG-V60E-100", title,
                              {[](Person& person) { person.AnswerWarning(true); },
                               [](Person& person) {
                                   EXPECT_EQ(person.PageCount(), 2);
                                   person.PressOk();
                               }});
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.steps, 2u);
    this->exports.setProperty(0, 1, "continuous", 0);
}

TYPED_TEST_P(SheetScenario, AnH280CameraChecksHorizontalBinningAndNotGamma) {
    this->Open(2, "XCG-H280E-300");
    const Outcome outcome = this->Configure(
        "XCG-H280E-300", "Configure camera on port #3: XCG-H280E-300", {[](Person& person) {
            EXPECT_FALSE(person.IsEnabled(kGamma));
            EXPECT_TRUE(person.IsEnabled(kHorzBinning));
            EXPECT_TRUE(person.IsEnabled(kSensorTaps));
            // The family's binnings 0 are below this camera's limits
            // [1 ... 2]: the sheet's initialisation has found the first.
            EXPECT_EQ(person.Text(kHorzBinningRange), "[1 ... 2]");
            EXPECT_EQ(person.Status(), "Camera Settings: Horizontal binning not in range");
            EXPECT_FALSE(person.IsOkEnabled());
            person.Type(kHorzBinning, "2");
            EXPECT_EQ(person.Status(), "Camera Settings: Vertical binning not in range");
            person.Type(kVertBinning, "1");
            EXPECT_EQ(person.Status(), "");
            EXPECT_TRUE(person.IsOkEnabled());
            for (const char* outside : {"3", "0"}) {
                person.Type(kHorzBinning, outside);
                EXPECT_EQ(person.Status(), "Camera Settings: Horizontal binning not in range");
            }
            person.Type(kHorzBinning, "2");
            person.PressOk();
        }});
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(this->IniValue("XCG-H280E-300", "HorizontalBinning"), "2");
    EXPECT_EQ(this->IniValue("XCG-H280E-300", "Sensor Taps"), "2");
}

TYPED_TEST_P(SheetScenario, AColourCameraNotOpenShowsThreePagesAndCancelWritesNothing) {
    const Outcome outcome = this->Configure(
        "XCG-5005CR-200", "Configure camera on port #0: XCG-5005CR-200", {[](Person& person) {
            EXPECT_EQ(person.PageCount(), 3);
            for (const int id : {kGain, kGainRange, kVertBinning}) {
                EXPECT_FALSE(person.IsEnabled(id)) << id;
            }
            EXPECT_TRUE(person.IsEnabled(kGamma));
            person.ShowPage(2);
            EXPECT_EQ(person.Text(kDigitalRedRange), "[1024 ... 16383]");
            person.Type(kDigitalRed, "99");
            EXPECT_EQ(person.Status(), "Color Camera Settings: Digital red not in range");
            person.PressCancel();
        }});
    EXPECT_EQ(outcome.result, 0);
    EXPECT_FALSE(outcome.leftOpen);
    EXPECT_FALSE(this->IniExists());
    EXPECT_EQ(ReceivedContaining("has no control"), 0);
}

TYPED_TEST_P(SheetScenario, TheFirstFieldHasTheKeyboardWithItsTextSelected) {
    if (!TypeParam::kHasKeyboard) {
        GTEST_SKIP() << "this front end has no keyboard focus";
    }
    this->Open(0, "XCG-V60E-100");
    const Outcome outcome = this->Configure(
        "XCG-V60E-100", "Configure camera on port #1: XCG-V60E-100", {[](Person& person) {
            const std::optional<Person::Focus> focus = person.KeyboardFocus();
            ASSERT_TRUE(focus.has_value());
            EXPECT_EQ(focus->controlId, kWidth);
            EXPECT_TRUE(focus->allSelected);
            person.PressCancel();
        }});
    EXPECT_EQ(outcome.steps, 1u);
    EXPECT_FALSE(outcome.leftOpen);
}

REGISTER_TYPED_TEST_SUITE_P(SheetScenario, ValuesAreCheckedAsTheyAreTypedAndOkSavesTheSection,
                            APageShownHoldingAValueOutsideItsLimitsSaysSoAndCannotBeSaved,
                            APendingGrabAsksFirstAndOnlyOkLeadsToTheSheet,
                            AnH280CameraChecksHorizontalBinningAndNotGamma,
                            AColourCameraNotOpenShowsThreePagesAndCancelWritesNothing,
                            TheFirstFieldHasTheKeyboardWithItsTextSelected);

}  // namespace sheet_test
