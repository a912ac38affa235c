#include "ui/SheetPages.h"

namespace {

using enum ControlKind;
using enum DisabledWhen;
using enum TestedWhen;
using sheet_text::RangeFormat;
using PS = ParamSet;

constexpr int kNone = kNoRangeLabel;

// clang-format off

// "Camera Settings"
const ControlRow kCameraControls[] = {
//   id    kind          parameter                range label  range format                  disabled when
    {1086, IntegerEdit, &PS::ImageWidth,         1084,        RangeFormat::Integer,         Never},
    {1090, IntegerEdit, &PS::ImageHeight,        1085,        RangeFormat::Integer,         Never},
    {1088, IntegerEdit, &PS::ImageOffsetX,       kNone,       RangeFormat::None,            Never},
    {1089, IntegerEdit, &PS::ImageOffsetY,       kNone,       RangeFormat::None,            Never},
    {1091, IntegerEdit, &PS::VerticalBinning,    1087,        RangeFormat::Integer,         ColorCamera},
    {1104, IntegerEdit, &PS::HorizontalBinning,  1103,        RangeFormat::Integer,         NotH280Camera},
    {1082, IntegerEdit, &PS::Gain,               1097,        RangeFormat::Integer,         ColorCamera},
    {1094, IntegerEdit, &PS::BlackLevel,         1098,        RangeFormat::Integer,         Never},
    {1101, DecimalEdit, &PS::Gamma,              1102,        RangeFormat::ThreeDecimals,   H280Camera},
    {1015, IntegerEdit, &PS::LogLevel,           1092,        RangeFormat::Integer,         Never},
    {1045, ComboBox,    &PS::TriggerMode,        kNone,       RangeFormat::None,            Never},
    {1079, ComboBox,    &PS::TriggerSource,      kNone,       RangeFormat::None,            Never},
    {1080, ComboBox,    &PS::TriggerInhibit,     kNone,       RangeFormat::None,            Never},
    {1081, ComboBox,    &PS::TriggerActivation,  kNone,       RangeFormat::None,            Never},
    {1017, IntegerEdit, &PS::TriggerDelay,       1096,        RangeFormat::Integer,         Never},
    {1095, DecimalEdit, &PS::FrameRate,          1099,        RangeFormat::OneDecimal,      Never},
    {1093, IntegerEdit, &PS::Exposure,           1100,        RangeFormat::Integer,         Never},
    {1014, CheckBox,    &PS::BandAdjustment,     kNone,       RangeFormat::None,            Never},
    {1105, IntegerEdit, &PS::BandLevel,          1106,        RangeFormat::Integer,         BandAdjustmentOff},
    {1046, ComboBox,    &PS::SensorTaps,         kNone,       RangeFormat::None,            NotH280Camera},
};

const ValidationRow kCameraControlTests[] = {
//   test                                                   tested when      message
    {InRange(&PS::ImageWidth),                              Always,          "Image width not in range"},
    {InRange(&PS::ImageHeight),                             Always,          "Image height not in range"},
    {InRange(&PS::ImageOffsetX),                            Always,          "Image offsetX not in range"},
    {InRange(&PS::ImageOffsetY),                            Always,          "Image offsetY not in range"},
    {SumWithinMaximum(&PS::ImageWidth, &PS::ImageOffsetX),  Always,          "Image Width + OffsetX exceeds maximal image width"},
    {SumWithinMaximum(&PS::ImageHeight, &PS::ImageOffsetY), Always,          "Image Height + OffsetY exceeds maximal image height"},
    {InRange(&PS::LogLevel),                                Always,          "Log level not in range"},
    {InRange(&PS::Exposure),                                Always,          "Exposure not in range"},
    {InRange(&PS::BlackLevel),                              Always,          "Black level not in range"},
    {InRange(&PS::FrameRate),                               Always,          "Frame rate not in range"},
    {InRange(&PS::Gain),                                    Always,          "Gain not in range"},
    {InRange(&PS::Gamma),                                   NotOnH280,       "Gamma not in range"},
    {InRange(&PS::TriggerDelay),                            Always,          "Trigger delay not in range"},
    {InRange(&PS::HorizontalBinning),                       OnlyOnH280,      "Horizontal binning not in range"},
    {InRange(&PS::VerticalBinning),                         NotOnColor,      "Vertical binning not in range"},
    {InRange(&PS::BandLevel),                               Always,          "Band level not in range"},
};

// "I/O"
const ControlRow kIOControls[] = {
//   id    kind          parameter                range label  range format                  disabled when
    {1048, ComboBox,    &PS::ActiveGPO,          kNone,       RangeFormat::None,            Never},
    {1046, ComboBox,    &PS::LineSource1,        kNone,       RangeFormat::None,            Never},
    {1014, CheckBox,    &PS::LineInverter1,      kNone,       RangeFormat::None,            Never},
    {1015, IntegerEdit, &PS::StrobeDuration1,    1086,        RangeFormat::Integer,         Never},
    {1016, IntegerEdit, &PS::StrobeDelay1,       1085,        RangeFormat::Integer,         Never},
    {1047, ComboBox,    &PS::LineSource2,        kNone,       RangeFormat::None,            Never},
    {1019, CheckBox,    &PS::LineInverter2,      kNone,       RangeFormat::None,            Never},
    {1017, IntegerEdit, &PS::StrobeDuration2,    1087,        RangeFormat::Integer,         Never},
    {1018, IntegerEdit, &PS::StrobeDelay2,       1088,        RangeFormat::Integer,         Never},
};

const ValidationRow kIOTests[] = {
//   test                         tested when  message
    {InRange(&PS::StrobeDuration1), Always,    "Strobe1 duration not in range"},
    {InRange(&PS::StrobeDuration2), Always,    "Strobe2 duration not in range"},
    {InRange(&PS::StrobeDelay1),    Always,    "Strobe1 delay not in range"},
    {InRange(&PS::StrobeDelay2),    Always,    "Strobe2 delay not in range"},
};

// "Color Camera Settings"
const ControlRow kColorControls[] = {
//   id    kind          parameter                range label  range format                  disabled when
    {1109, IntegerEdit, &PS::GainRed,            1112,        RangeFormat::Integer,         Never},
    {1110, IntegerEdit, &PS::GainGreen,          1113,        RangeFormat::Integer,         Never},
    {1111, IntegerEdit, &PS::GainBlue,           1114,        RangeFormat::Integer,         Never},
    {1117, ComboBox,    &PS::ColorFilter,        kNone,       RangeFormat::None,            Never},
};

const ValidationRow kColorTests[] = {
//   test                    tested when  message
    {InRange(&PS::GainRed),   Always,     "Digital red not in range"},
    {InRange(&PS::GainGreen), Always,     "Digital green not in range"},
    {InRange(&PS::GainBlue),  Always,     "Digital blue not in range"},
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
    : PropertyPage(parameters, owner, kCameraControlsPage, CameraFamily{isH280, isColor}) {}

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
    : PropertyPage(parameters, owner, kColorPage) {}
