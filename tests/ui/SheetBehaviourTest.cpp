// The sheet's behaviour on fake windows: what the user sees and what the
// parameter copy receives.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "FakeSheet.h"
#include "params/ModelFlags.h"
#include "ui/SheetControlIds.h"
#include "ui/SheetPages.h"

namespace {

using testing_support::FakePageView;
using testing_support::FakeSheetWindows;

// Camera Settings
constexpr int kWidth = IDC_CAM_WIDTH;
constexpr int kHeight = IDC_CAM_HEIGHT;
constexpr int kVertBinning = IDC_CAM_VERT_BINNING;
constexpr int kVertBinningRange = IDC_CAM_VERT_BINNING_RANGE;
constexpr int kHorzBinning = IDC_CAM_HORZ_BINNING;
constexpr int kHorzBinningRange = IDC_CAM_HORZ_BINNING_RANGE;
constexpr int kGain = IDC_CAM_GAIN;
constexpr int kGainRange = IDC_CAM_GAIN_RANGE;
constexpr int kGamma = IDC_CAM_GAMMA;
constexpr int kGammaRange = IDC_CAM_GAMMA_RANGE;
constexpr int kLogLevel = IDC_CAM_LOG_LEVEL;
constexpr int kTriggerMode = IDC_CAM_TRIGGER_MODE;
constexpr int kTriggerActivation = IDC_CAM_TRIGGER_ACTIVATION;
constexpr int kFrameRate = IDC_CAM_FRAME_RATE;
constexpr int kFrameRateRange = IDC_CAM_FRAME_RATE_RANGE;
constexpr int kExposure = IDC_CAM_EXPOSURE;
constexpr int kNetworkLoad = IDC_CAM_NETWORK_LOAD;
constexpr int kBandLevel = IDC_CAM_BAND_LEVEL;
constexpr int kBandLevelRange = IDC_CAM_BAND_LEVEL_RANGE;
constexpr int kSensorTaps = IDC_CAM_SENSOR_TAPS;
// I/O
constexpr int kStrobeDuration1 = IDC_IO_STROBE_DURATION1;
constexpr int kLineInverter1 = IDC_IO_LINE_INVERTER1;
// Color Camera Settings
constexpr int kDigitalRed = IDC_COLOR_RED;

// A set as a camera of 640 x 480 leaves it after its open: the family's
// definition with the camera's limits.
ParamSet CameraSet(std::uint32_t flags) {
    ParamSet set;
    set.Define(flags, "");
    set.ImageWidth.value = 640;
    set.ImageWidth.max = 640;
    set.ImageHeight.value = 480;
    set.ImageHeight.max = 480;
    set.ImageOffsetX.max = 640 - 64;
    set.ImageOffsetY.max = 480 - 120;
    if ((flags & ModelH280) != 0) {
        set.HorizontalBinning = {"HorizontalBinning", 0xa0000118, 1, 1, 2};
        set.VerticalBinning = {"VerticalBinning", 0xa0000114, 1, 1, 2};
    }
    return set;
}

// The sheet as ConfigureCamera builds it, on its windows.
class SheetTest : public ::testing::Test {
  protected:
    void Open(std::uint32_t flags) {
        set = CameraSet(flags);
        OpenOnSet(flags);
    }
    void OpenOnSet(std::uint32_t flags) {
        const bool color = (flags & ModelColor) != 0;
        sheet = std::make_unique<CSheet1>("Configure camera on port #1: test", nullptr);
        cameraControlsPage =
            std::make_unique<CPropCameraControls>(set, *sheet, (flags & ModelH280) != 0, color);
        ioPage = std::make_unique<CPropIO>(set, *sheet);
        colorPage = std::make_unique<CPropColor>(set, *sheet);
        sheet->AddPage(*cameraControlsPage);
        sheet->AddPage(*ioPage);
        if (color) {
            sheet->AddPage(*colorPage);
        }
        windows = std::make_unique<FakeSheetWindows>(*sheet);
    }
    FakePageView& Page(std::size_t index) { return windows->ShowPage(index); }
    const std::string& Status() const { return windows->Status(); }
    bool OkEnabled() const { return windows->OkEnabled(); }

    ParamSet set;
    std::unique_ptr<CSheet1> sheet;
    std::unique_ptr<CPropCameraControls> cameraControlsPage;
    std::unique_ptr<CPropIO> ioPage;
    std::unique_ptr<CPropColor> colorPage;
    std::unique_ptr<FakeSheetWindows> windows;
};

TEST_F(SheetTest, ShowingThePagesChangesNoValue) {
    Open(ModelColor);
    const ParamSet before = set;
    Page(1);
    Page(2);
    // The controls are filled through text changes; none may be taken as an edit.
    EXPECT_EQ(set, before);
    EXPECT_EQ(Status(), "");
    EXPECT_TRUE(OkEnabled());
}

TEST_F(SheetTest, TheFirstFailingTestInOrderIsReported) {
    Open(ModelMono);
    FakePageView& page = Page(0);
    page.Type(kExposure, "5");  // below 10
    EXPECT_EQ(Status(), "Camera Settings: Exposure not in range");
    page.Type(kGamma, "1.5");
    page.Type(kHeight, "481");
    page.Type(kLogLevel, "9");
    EXPECT_EQ(Status(), "Camera Settings: Image height not in range");
    page.Type(kHeight, "480");
    EXPECT_EQ(Status(), "Camera Settings: Log level not in range");
    page.Type(kLogLevel, "2");
    EXPECT_EQ(Status(), "Camera Settings: Exposure not in range");
    page.Type(kExposure, "10");
    EXPECT_EQ(Status(), "Camera Settings: Gamma not in range");
    page.Type(kGamma, "1");
    EXPECT_EQ(Status(), "");
    EXPECT_TRUE(OkEnabled());
}

TEST_F(SheetTest, TextIsReadAsTheCLibraryReadsNumbers) {
    Open(ModelMono);
    FakePageView& page = Page(0);
    page.Type(kExposure, "  1234 ms");
    EXPECT_EQ(set.Exposure.value, 1234);
    page.Type(kExposure, "abc");
    EXPECT_EQ(set.Exposure.value, 0);
    EXPECT_EQ(Status(), "Camera Settings: Exposure not in range");
    page.Type(kExposure, "99999999999");  // saturates instead of wrapping into range
    EXPECT_EQ(set.Exposure.value, 2147483647);
    EXPECT_EQ(Status(), "Camera Settings: Exposure not in range");
    page.Type(kExposure, "100");
    page.Type(kFrameRate, "7.456fps");
    EXPECT_DOUBLE_EQ(set.FrameRate.value, 7.456);
    page.Type(kFrameRate, "nonsense");
    EXPECT_EQ(Status(), "Camera Settings: Frame rate not in range");
}

TEST_F(SheetTest, DecimalsAreShownRoundedDownToTwoPlacesWithTheirRanges) {
    set = CameraSet(ModelMono);
    set.Gamma.value = 0.7;
    set.FrameRate.value = 15;
    OpenOnSet(ModelMono);
    FakePageView& page = Page(0);
    EXPECT_EQ(page.Text(kGamma), "0.70");
    EXPECT_EQ(page.Text(kFrameRate), "15.00");
    EXPECT_EQ(page.Text(kFrameRateRange), "[1.0 ... 15.0]");
    EXPECT_EQ(page.Text(kGammaRange), "[0.000 ... 1.000]");
}

TEST_F(SheetTest, UneditedDecimalsKeepTheirExactValue) {
    set = CameraSet(ModelMono);
    set.Gamma.value = static_cast<double>(0.7f);  // as read from the camera's register
    set.Gamma.max = static_cast<double>(0.7f);
    set.FrameRate.value = 7.456;
    OpenOnSet(ModelMono);
    FakePageView& page = Page(0);
    EXPECT_EQ(page.Text(kGamma), "0.70");
    EXPECT_EQ(page.Text(kFrameRate), "7.45");
    page.Type(kExposure, "200");
    // 0.70 read back would exceed the single-precision maximum.
    EXPECT_EQ(Status(), "");
    EXPECT_EQ(set.Gamma.value, static_cast<double>(0.7f));
    EXPECT_EQ(set.FrameRate.value, 7.456);
    page.Type(kFrameRate, "7.5");
    EXPECT_EQ(set.FrameRate.value, 7.5);
}

// What a person cannot do, a program can: set the disabled gamma's text.
TEST_F(SheetTest, H280CameraDoesNotCheckItsDisabledGamma) {
    Open(ModelMono | ModelH280);
    FakePageView& page = Page(0);
    EXPECT_FALSE(page.IsEnabled(kGammaRange));
    page.Type(kGamma, "5");
    EXPECT_EQ(Status(), "");
}

TEST_F(SheetTest, OtherCamerasNeitherShowNorCheckHorizontalBinning) {
    Open(ModelMono);
    FakePageView& page = Page(0);
    EXPECT_FALSE(page.IsEnabled(kHorzBinning));
    EXPECT_FALSE(page.IsEnabled(kHorzBinningRange));
    EXPECT_FALSE(page.IsEnabled(kSensorTaps));
    EXPECT_TRUE(page.IsEnabled(kGamma));
    EXPECT_TRUE(page.IsEnabled(kGain));
    EXPECT_TRUE(page.IsEnabled(kVertBinning));
    page.Type(kHorzBinning, "7");
    EXPECT_EQ(Status(), "");
    page.Type(kVertBinning, "2");
    EXPECT_EQ(Status(), "Camera Settings: Vertical binning not in range");
}

TEST_F(SheetTest, ColorCameraHasNoGainOrVerticalBinningOfItsOwn) {
    Open(ModelColor);
    FakePageView& page = Page(0);
    for (const int id : {kGain, kGainRange, kVertBinning, kVertBinningRange, kHorzBinning}) {
        EXPECT_FALSE(page.IsEnabled(id)) << id;
    }
    page.Type(kVertBinning, "9");
    EXPECT_EQ(Status(), "");
    EXPECT_TRUE(OkEnabled());
    // Gain is still checked, against the limits the camera reported.
    page.Type(kGain, "600");
    EXPECT_EQ(Status(), "Camera Settings: Gain not in range");
}

TEST_F(SheetTest, NetworkLoadSwitchesTheBandLevelOnlyWhileThePageIsValid) {
    Open(ModelMono);
    FakePageView& page = Page(0);
    // BandAdjustment is 0: the sheet's initialisation has disabled the band level.
    EXPECT_FALSE(page.IsEnabled(kBandLevel));
    EXPECT_FALSE(page.IsEnabled(kBandLevelRange));
    page.Click(kNetworkLoad);
    EXPECT_EQ(set.BandAdjustment.value, 1);
    EXPECT_TRUE(page.IsEnabled(kBandLevel));
    EXPECT_TRUE(page.IsEnabled(kBandLevelRange));

    page.Type(kWidth, "9999");
    page.Click(kNetworkLoad);
    EXPECT_EQ(set.BandAdjustment.value, 0);
    EXPECT_TRUE(page.IsEnabled(kBandLevel));  // invalid page: the edit keeps its state
    page.Type(kWidth, "640");
    EXPECT_FALSE(page.IsEnabled(kBandLevel));

    page.Click(kNetworkLoad);
    page.Type(kBandLevel, "101");
    EXPECT_EQ(Status(), "Camera Settings: Band level not in range");
}

TEST_F(SheetTest, AnInvalidPageKeepsOkDisabledWhileAnotherIsEdited) {
    Open(ModelColor);
    FakePageView& io = Page(1);
    io.Type(kStrobeDuration1, "0");
    EXPECT_EQ(Status(), "I/O: Strobe1 duration not in range");
    EXPECT_FALSE(OkEnabled());

    FakePageView& cameraControls = Page(0);
    cameraControls.Type(kExposure, "500");
    // The valid page asked its siblings, and the I/O page said it again.
    EXPECT_EQ(Status(), "I/O: Strobe1 duration not in range");
    EXPECT_FALSE(OkEnabled());
    EXPECT_FALSE(sheet->IsPageValid(PageKind::IO));

    FakePageView& color = Page(2);
    color.Type(kDigitalRed, "5");
    EXPECT_EQ(Status(), "Color Camera Settings: Digital red not in range");
    color.Type(kDigitalRed, "2048");
    EXPECT_EQ(Status(), "I/O: Strobe1 duration not in range");

    io.Type(kStrobeDuration1, "20");
    EXPECT_EQ(Status(), "");
    EXPECT_TRUE(OkEnabled());
    EXPECT_TRUE(sheet->AllPagesValid());
}

TEST_F(SheetTest, TheSheetValidatesItsFirstPageWhenItOpens) {
    set = CameraSet(ModelMono);
    set.Gain.value = 503;
    set.StrobeDelay1.value = -1;  // on a page not yet shown: not looked at
    OpenOnSet(ModelMono);
    EXPECT_EQ(Status(), "Camera Settings: Gain not in range");
    EXPECT_FALSE(OkEnabled());
    EXPECT_TRUE(sheet->IsPageValid(PageKind::IO));
    Page(0).Type(kGain, "502");
    EXPECT_TRUE(OkEnabled());
}

TEST_F(SheetTest, OkReadsTheShownPagesAndTheirComboBoxes) {
    Open(ModelMono);
    set.StrobeDelay2.value = 12345;  // the I/O page is never shown
    FakePageView& page = Page(0);
    EXPECT_EQ(page.Control(kTriggerActivation).items,
              (std::vector<std::string>{"Falling Edge", "Low Level", "Rising Edge", "High Level"}));
    EXPECT_EQ(page.Control(kTriggerActivation).selection, 0);
    page.Choose(kTriggerActivation, "Rising Edge");
    page.Choose(kTriggerMode, "On");
    // Combo boxes are read at OK only.
    EXPECT_EQ(set.TriggerActivation.value, "Falling Edge");
    // Outside the H280 family "Sensor Taps" has no items: nothing is selected.
    EXPECT_TRUE(page.Control(kSensorTaps).items.empty());

    EXPECT_TRUE(windows->PressOk());
    EXPECT_TRUE(sheet->Accepted());
    EXPECT_EQ(set.TriggerActivation.value, "Rising Edge");
    EXPECT_EQ(set.TriggerMode.value, "On");
    EXPECT_EQ(set.SensorTaps.value, "None");
    EXPECT_EQ(set.StrobeDelay2.value, 12345);
}

TEST_F(SheetTest, ComboBoxWithoutAMatchingItemSelectsNothing) {
    set = CameraSet(ModelMono);
    set.LineSource1.value = "Maybe";
    OpenOnSet(ModelMono);
    FakePageView& io = Page(1);
    EXPECT_EQ(io.Control(1046).selection, -1);
    io.Click(kLineInverter1);  // no validation from the I/O page's check boxes
    EXPECT_EQ(windows->Queries(), 0);
    EXPECT_TRUE(windows->PressOk());
    EXPECT_EQ(set.LineSource1.value, "None");
    EXPECT_EQ(set.LineInverter1.value, 1);
}

TEST_F(SheetTest, OkIsRefusedWhileAPageIsInvalid) {
    Open(ModelMono);
    FakePageView& page = Page(0);
    page.Type(kWidth, "0");
    page.Choose(kTriggerMode, "On");
    EXPECT_FALSE(windows->PressOk());
    EXPECT_FALSE(sheet->Accepted());
    EXPECT_EQ(set.TriggerMode.value, "Off");
}

TEST_F(SheetTest, StatusTextIsCaptionColonMessageAtMost255Characters) {
    Open(ModelMono);
    ReportPageError(*sheet, *ioPage, "Strobe1 delay not in range");
    EXPECT_EQ(Status(), "I/O: Strobe1 delay not in range");
    const std::string longMessage(400, 'x');
    ReportPageError(*sheet, *cameraControlsPage, longMessage.c_str());
    EXPECT_EQ(Status().size(), 255u);
    EXPECT_EQ(Status().substr(0, 17), "Camera Settings: ");
    ReportPageError(*sheet, *cameraControlsPage, nullptr);
    EXPECT_EQ(Status(), "Camera Settings: (null)");
}

}  // namespace

// Every control of every page, on every family: its range label shows its
// row's bounds, its list the row's items, and what is typed or clicked
// reaches the row's parameter.
TEST_F(SheetTest, EachControlShowsAndEditsItsRowsSetting) {
    for (const std::uint32_t flags : {std::uint32_t{ModelMono}, std::uint32_t{ModelColor},
                                      std::uint32_t{ModelMono | ModelH280}}) {
        windows.reset();  // the previous sheet's windows go before its pages
        Open(flags);
        const std::size_t pages = (flags & ModelColor) != 0 ? 3 : 2;
        for (std::size_t index = 0; index < pages; ++index) {
            FakePageView& view = Page(index);
            PropertyPage& page = sheet->Page(index);
            for (const ControlRow& row : page.Controls()) {
                SCOPED_TRACE(settings::Row(row.setting).name);
                std::visit(
                    [&](auto member) {
                        const auto& param = set.*member;
                        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(param)>,
                                                     ParamEnum>) {
                            EXPECT_EQ(view.Control(row.id).items, param.names);
                        } else if (row.rangeLabelId != kNoRangeLabel) {
                            EXPECT_EQ(
                                view.Text(row.rangeLabelId),
                                sheet_text::FormatRange(row.rangeFormat, param.min, param.max));
                        }
                    },
                    settings::Row(row.setting).member);
                if (row.kind == ControlKind::CheckBox) {
                    view.Click(row.id);
                } else if (row.kind != ControlKind::ComboBox) {
                    view.Type(row.id, "1");
                }
            }
            page.Validate();  // reads every control
            for (const ControlRow& row : page.Controls()) {
                SCOPED_TRACE(settings::Row(row.setting).name);
                std::visit(
                    [&](auto member) {
                        if constexpr (!std::is_same_v<decltype(member), ParamEnum ParamSet::*>) {
                            EXPECT_EQ((set.*member).value, 1);
                        }
                    },
                    settings::Row(row.setting).member);
            }
        }
    }
}
