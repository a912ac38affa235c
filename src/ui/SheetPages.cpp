#include "ui/SheetPages.h"

#include "ui/SheetControlIds.h"

namespace {

using enum ControlKind;
using enum Setting;
using sheet_text::RangeFormat;

constexpr int kNone = kNoRangeLabel;

// clang-format off

// "Camera Settings"
const ControlRow kCameraControls[] = {
//   id                           kind          setting             range label                   range format          also disabled on
    {IDC_CAM_WIDTH,               IntegerEdit,  ImageWidth,         IDC_CAM_WIDTH_RANGE,          RangeFormat::Integer},
    {IDC_CAM_HEIGHT,              IntegerEdit,  ImageHeight,        IDC_CAM_HEIGHT_RANGE,         RangeFormat::Integer},
    {IDC_CAM_OFFSET_X,            IntegerEdit,  ImageOffsetX,       kNone,                        RangeFormat::None},
    {IDC_CAM_OFFSET_Y,            IntegerEdit,  ImageOffsetY,       kNone,                        RangeFormat::None},
    {IDC_CAM_VERT_BINNING,        IntegerEdit,  VerticalBinning,    IDC_CAM_VERT_BINNING_RANGE,   RangeFormat::Integer},
    {IDC_CAM_HORZ_BINNING,        IntegerEdit,  HorizontalBinning,  IDC_CAM_HORZ_BINNING_RANGE,   RangeFormat::Integer},
    {IDC_CAM_GAIN,                IntegerEdit,  Gain,               IDC_CAM_GAIN_RANGE,           RangeFormat::Integer,        Families::Color},
    {IDC_CAM_BLACK_LEVEL,         IntegerEdit,  BlackLevel,         IDC_CAM_BLACK_LEVEL_RANGE,    RangeFormat::Integer},
    {IDC_CAM_GAMMA,               DecimalEdit,  Gamma,              IDC_CAM_GAMMA_RANGE,          RangeFormat::ThreeDecimals},
    {IDC_CAM_LOG_LEVEL,           IntegerEdit,  LogLevel,           IDC_CAM_LOG_LEVEL_RANGE,      RangeFormat::Integer},
    {IDC_CAM_TRIGGER_MODE,        ComboBox,     TriggerMode,        kNone,                        RangeFormat::None},
    {IDC_CAM_TRIGGER_SOURCE,      ComboBox,     TriggerSource,      kNone,                        RangeFormat::None},
    {IDC_CAM_TRIGGER_INHIBIT,     ComboBox,     TriggerInhibit,     kNone,                        RangeFormat::None},
    {IDC_CAM_TRIGGER_ACTIVATION,  ComboBox,     TriggerActivation,  kNone,                        RangeFormat::None},
    {IDC_CAM_TRIGGER_DELAY,       IntegerEdit,  TriggerDelay,       IDC_CAM_TRIGGER_DELAY_RANGE,  RangeFormat::Integer},
    {IDC_CAM_FRAME_RATE,          DecimalEdit,  FrameRate,          IDC_CAM_FRAME_RATE_RANGE,     RangeFormat::OneDecimal},
    {IDC_CAM_EXPOSURE,            IntegerEdit,  Exposure,           IDC_CAM_EXPOSURE_RANGE,       RangeFormat::Integer},
    {IDC_CAM_NETWORK_LOAD,        CheckBox,     BandAdjustment,     kNone,                        RangeFormat::None},
    {IDC_CAM_BAND_LEVEL,          IntegerEdit,  BandLevel,          IDC_CAM_BAND_LEVEL_RANGE,     RangeFormat::Integer},
    {IDC_CAM_SENSOR_TAPS,         ComboBox,     SensorTaps,         kNone,                        RangeFormat::None},
};

const ValidationRow kCameraControlTests[] = {
//   test (made where the setting's family has it)   message
    {InRange(ImageWidth), "Image width not in range"},
    {InRange(ImageHeight), "Image height not in range"},
    {InRange(ImageOffsetX), "Image offsetX not in range"},
    {InRange(ImageOffsetY), "Image offsetY not in range"},
    {SumWithinMaximum(ImageWidth, ImageOffsetX), "Image Width + OffsetX exceeds maximal image width"},
    {SumWithinMaximum(ImageHeight, ImageOffsetY), "Image Height + OffsetY exceeds maximal image height"},
    {InRange(LogLevel), "Log level not in range"},
    {InRange(Exposure), "Exposure not in range"},
    {InRange(BlackLevel), "Black level not in range"},
    {InRange(FrameRate), "Frame rate not in range"},
    {InRange(Gain), "Gain not in range"},
    {InRange(Gamma), "Gamma not in range"},
    {InRange(TriggerDelay), "Trigger delay not in range"},
    {InRange(HorizontalBinning), "Horizontal binning not in range"},
    {InRange(VerticalBinning), "Vertical binning not in range"},
    {InRange(BandLevel), "Band level not in range"},
};

// "I/O"
const ControlRow kIOControls[] = {
//   id                        kind          setting           range label                     range format       also disabled on
    {IDC_IO_ACTIVE_GPO,        ComboBox,     ActiveGPO,        kNone,                          RangeFormat::None},
    {IDC_IO_LINE_SOURCE1,      ComboBox,     LineSource1,      kNone,                          RangeFormat::None},
    {IDC_IO_LINE_INVERTER1,    CheckBox,     LineInverter1,    kNone,                          RangeFormat::None},
    {IDC_IO_STROBE_DURATION1,  IntegerEdit,  StrobeDuration1,  IDC_IO_STROBE_DURATION1_RANGE,  RangeFormat::Integer},
    {IDC_IO_STROBE_DELAY1,     IntegerEdit,  StrobeDelay1,     IDC_IO_STROBE_DELAY1_RANGE,     RangeFormat::Integer},
    {IDC_IO_LINE_SOURCE2,      ComboBox,     LineSource2,      kNone,                          RangeFormat::None},
    {IDC_IO_LINE_INVERTER2,    CheckBox,     LineInverter2,    kNone,                          RangeFormat::None},
    {IDC_IO_STROBE_DURATION2,  IntegerEdit,  StrobeDuration2,  IDC_IO_STROBE_DURATION2_RANGE,  RangeFormat::Integer},
    {IDC_IO_STROBE_DELAY2,     IntegerEdit,  StrobeDelay2,     IDC_IO_STROBE_DELAY2_RANGE,     RangeFormat::Integer},
};

const ValidationRow kIOTests[] = {
//   test                       message
    {InRange(StrobeDuration1), "Strobe1 duration not in range"},
    {InRange(StrobeDuration2), "Strobe2 duration not in range"},
    {InRange(StrobeDelay1), "Strobe1 delay not in range"},
    {InRange(StrobeDelay2), "Strobe2 delay not in range"},
};

// "Color Camera Settings"
const ControlRow kColorControls[] = {
//   id                 kind          setting       range label             range format          also disabled on
    {IDC_COLOR_RED,     IntegerEdit,  GainRed,      IDC_COLOR_RED_RANGE,    RangeFormat::Integer},
    {IDC_COLOR_GREEN,   IntegerEdit,  GainGreen,    IDC_COLOR_GREEN_RANGE,  RangeFormat::Integer},
    {IDC_COLOR_BLUE,    IntegerEdit,  GainBlue,     IDC_COLOR_BLUE_RANGE,   RangeFormat::Integer},
    {IDC_COLOR_FILTER,  ComboBox,     ColorFilter,  kNone,                  RangeFormat::None},
};

const ValidationRow kColorTests[] = {
//   test                 message
    {InRange(GainRed), "Digital red not in range"},
    {InRange(GainGreen), "Digital green not in range"},
    {InRange(GainBlue), "Digital blue not in range"},
};

// clang-format on

const PageDefinition kCameraControlsPage{PageKind::CameraControls, CPropCameraControls::kTemplateId,
                                         "Camera Settings", kCameraControls, kCameraControlTests};
const PageDefinition kIOPage{PageKind::IO, CPropIO::kTemplateId, "I/O", kIOControls, kIOTests};
const PageDefinition kColorPage{PageKind::Color, CPropColor::kTemplateId, "Color Camera Settings",
                                kColorControls, kColorTests};

}  // namespace

CPropCameraControls::CPropCameraControls(ParamSet& parameters, CSheet1& owner, bool isH280,
                                         bool isColor)
    : PropertyPage(parameters, owner, kCameraControlsPage,
                   isH280 ? Family::H280 : (isColor ? Family::Color : Family::Standard)) {}

bool CPropCameraControls::Validate() {
    if (!PropertyPage::Validate()) {
        return false;
    }
    if (const ControlRow* bandLevel = FindControl(kBandLevelId)) {
        EnableWithRangeLabel(*bandLevel, params.BandAdjustment.value != 0);
    }
    return true;
}

void CPropCameraControls::OnCheckBoxClicked(int controlId) {
    if (controlId == kNetworkLoadId) {
        ValidateLive();
    }
}

CPropIO::CPropIO(ParamSet& parameters, CSheet1& owner) : PropertyPage(parameters, owner, kIOPage) {}

CPropColor::CPropColor(ParamSet& parameters, CSheet1& owner)
    : PropertyPage(parameters, owner, kColorPage, Family::Color) {}
