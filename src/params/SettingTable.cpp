#include "params/SettingTable.h"

#include <iterator>

namespace {

using enum Setting;
using PS = ParamSet;
using F = Families;
using L = LimitKind;
using S = Special;
constexpr std::uint32_t kNone = kNoRegister;

constexpr EnumItem kOffOn[] = {{"Off", 0}, {"On", 1}};
constexpr EnumItem kTriggerSources[] = {{"Hardware", 0}, {"Software", 1}};
constexpr EnumItem kTriggerActivations[] = {
    {"Falling Edge", 4}, {"Low Level", 5}, {"Rising Edge", 6}, {"High Level", 7}};
constexpr EnumItem kSensorTapsH280[] = {{"2", 2}, {"4", 4}};
constexpr EnumItem kActiveGpos[] = {{"None", 0}, {"GPO1", 1}, {"GPO2", 2}};
constexpr EnumItem kLineSources[] = {{"Exposure", 0}, {"Strobe", 1}, {"GPO", 2}};
constexpr EnumItem kLineSourcesH280[] = {
    {"Exposure", 0},       {"Strobe", 1},         {"UserOutput0", 2}, {"UserOutput1", 3},
    {"Sensor Readout", 4}, {"Trigger Signal", 5}, {"True", 6},        {"False", 7}};
constexpr EnumItem kColorFilters[] = {{"RGGB", 0}, {"GBRG", 1}, {"GRBG", 2}, {"BGGR", 3}};

constexpr Limits Registers(std::uint32_t maxRegister) {
    return {L::Registers, maxRegister};
}
constexpr Limits Fixed(PerFamily<int> min, PerFamily<int> max) {
    return {L::Fixed, kNone, min, max};
}
constexpr Limits OffsetOf(Setting size) {
    return {L::OffsetOf, kNone, 0, 0, size};
}
constexpr Limits SameAs(Setting other) {
    return {L::SameAs, kNone, 0, 0, other};
}

// Register cells and bound cells read standard, colour, H280; one value
// holds for all three.
// clang-format off
constexpr SettingRow kRows[] = {
    {.id = LogLevel, .name = "LogLevel", .member = &PS::LogLevel, .registers = kDriverOnly,
     .initial = 1, .min = 1, .max = 3,
     .special = S::DriverLog, .getName = {"LogLevel"}, .setName = {"LogLevel"}},
    {.id = LogIntoFile, .name = "LogIntoFile", .member = &PS::LogIntoFile, .registers = kDriverOnly,
     .initial = 0, .min = 0, .max = 1,
     .special = S::DriverLog, .getName = {"LogIntoFile"}, .setName = {"LogIntoFile"}},
    {.id = Exposure, .name = "Exposure", .member = &PS::Exposure, .registers = 0xa0002040,
     .initial = 100, .min = 10, .max = 2000000, .limits = Registers(0xA0007058),
     .getName = {"Exposure", "ExposureTime"}, .setName = {"ExposureTime", "Exposure"}},
    {.id = FrameRate, .name = "FrameRate", .member = &PS::FrameRate, .registers = 0xa0000220,
     .initial = 1.0, .min = 1.0, .max = 15.0, .limits = Registers(0xA0007010),
     .special = S::FrameRate, .getName = {"FrameRate"}, .setName = {"AcquisitionFrameRate"}},
    {.id = ImageWidth, .name = "ImageWidth", .member = &PS::ImageWidth, .registers = 0xa0000100,
     .initial = 20000, .min = 64, .max = 20000, .limits = Registers(0xA0007000),
     .special = S::Geometry, .getName = {"ImageWidth"}},
    {.id = ImageHeight, .name = "ImageHeight", .member = &PS::ImageHeight, .registers = 0xa0000104,
     .initial = 20000, .min = 120, .max = 20000, .limits = Registers(0xA0007008),
     .special = S::Geometry, .getName = {"ImageHeight"}},
    {.id = ImageOffsetX, .name = "ImageOffsetX", .member = &PS::ImageOffsetX, .registers = 0xa0000108,
     .initial = 0, .min = 0, .max = 100, .limits = OffsetOf(ImageWidth),
     .special = S::Geometry, .getName = {"ImageOffsetX"}},
    {.id = ImageOffsetY, .name = "ImageOffsetY", .member = &PS::ImageOffsetY, .registers = 0xa000010c,
     .initial = 0, .min = 0, .max = 100, .limits = OffsetOf(ImageHeight),
     .special = S::Geometry, .getName = {"ImageOffsetY"}},
    {.id = Gain, .name = "Gain", .member = &PS::Gain, .registers = {0xa0002008, 0xa0002008, 0xa00030a0},
     .initial = 0, .min = 0, .max = 502, .limits = Registers(0xA0007020),
     .special = S::Gain, .getName = {"Gain"}, .setName = {"Gain"}},
    {.id = GainRed, .name = "GainRed", .member = &PS::GainRed, .registers = {kNone, 0xa0003000, kNone},
     .initial = {0, 1024, 0}, .min = {0, 1024, 0}, .max = {0, 16383, 0}, .present = F::Color,
     .limits = Registers(0xA00070C0), .special = S::Gain, .getName = {"GainRed"}, .setName = {"GainRed"}},
    {.id = GainGreen, .name = "GainGreen", .member = &PS::GainGreen, .registers = {kNone, 0xa0003008, kNone},
     .initial = {0, 1024, 0}, .min = {0, 1024, 0}, .max = {0, 16383, 0}, .present = F::Color,
     .limits = Registers(0xA00070C0), .special = S::Gain, .getName = {"GainGreen"}, .setName = {"GainGreen"}},
    {.id = GainBlue, .name = "GainBlue", .member = &PS::GainBlue, .registers = {kNone, 0xa0003018, kNone},
     .initial = {0, 1024, 0}, .min = {0, 1024, 0}, .max = {0, 16383, 0}, .present = F::Color,
     .limits = Registers(0xA00070C0), .special = S::Gain, .getName = {"GainBlue"}, .setName = {"GainBlue"}},
    {.id = BlackLevel, .name = "BlackLevel", .member = &PS::BlackLevel, .registers = {0xa0008038, 0xa0008038, 0xa0002038},
     .initial = 1023, .min = 0, .max = 2047, .limits = Registers(0xA0007048),
     .special = S::BlackLevel, .getName = {"BlackLevel"}, .setName = {"BlackLevel"}},
    {.id = VerticalBinning, .name = "VerticalBinning", .member = &PS::VerticalBinning, .registers = 0xa0000114,
     .initial = 0, .min = 0, .max = 1, .present = F::NotColor, .limits = Fixed({0, 0, 1}, {1, 1, 2}),
     .getName = {"VerticalBinning"}, .answeredOn = F::NotColor},
    {.id = HorizontalBinning, .name = "HorizontalBinning", .member = &PS::HorizontalBinning, .registers = 0xa0000118,
     .initial = 0, .min = 0, .max = 1, .present = F::H280, .limits = Fixed({0, 0, 1}, {1, 1, 2}),
     .getName = {"HorizontalBinning"}, .answeredOn = F::H280},
    {.id = BandAdjustment, .name = "BandAdjustment", .member = &PS::BandAdjustment, .registers = kNone,
     .initial = 0, .min = 0, .max = 1, .limits = Fixed(0, 1),
     .special = S::BandAdjustment, .getName = {"BandAdjustment"}, .setName = {"BandAdjustment"}},
    {.id = BandLevel, .name = "BandLevel", .member = &PS::BandLevel, .registers = kNone,
     .initial = 0, .min = 0, .max = 100, .limits = Fixed(0, 100),
     .special = S::BandLevel, .getName = {"BandLevel"}, .setName = {"BandLevel"}},
    {.id = TriggerMode, .name = "TriggerMode", .member = &PS::TriggerMode, .registers = 0xa0002044,
     .initialItem = "Off", .items = ItemList{kOffOn},
     .getName = {"TriggerMode"}, .setName = {"TriggerMode"}},
    {.id = SensorTaps, .name = "Sensor Taps", .member = &PS::SensorTaps, .registers = {kNone, kNone, 0xa0000124},
     .initialItem = "2", .items = {{}, {}, kSensorTapsH280}, .present = F::H280,
     .getName = {"SensorTaps"}, .setName = {"SensorTaps"}},
    {.id = TriggerSource, .name = "TriggerSource", .member = &PS::TriggerSource, .registers = 0xa0002098,
     .initialItem = "Software", .items = ItemList{kTriggerSources},
     .getName = {"TriggerSource"}, .setName = {"TriggerSource"}},
    {.id = TriggerActivation, .name = "TriggerActivation", .member = &PS::TriggerActivation, .registers = 0xa0002048,
     .initialItem = "Falling Edge", .items = ItemList{kTriggerActivations}, .getName = {"TriggerActivation"}},
    {.id = TriggerInhibit, .name = "TriggerInhibit", .member = &PS::TriggerInhibit, .registers = 0xa0002050,
     .initialItem = "Off", .items = ItemList{kOffOn}, .getName = {"TriggerInhibit"}},
    {.id = TriggerDelay, .name = "TriggerDelay", .member = &PS::TriggerDelay, .registers = 0xa0002058,
     .initial = 0, .min = 0, .max = 4000000, .limits = Registers(0xA0007060), .getName = {"TriggerDelay"}},
    {.id = ActiveGPO, .name = "ActiveGPO", .member = &PS::ActiveGPO, .registers = {0xa0001104, 0xa0001104, 0xa0000354},
     .initialItem = "None", .items = ItemList{kActiveGpos}, .special = S::ActiveGpo},
    {.id = LineSource1, .name = "LineSource1", .member = &PS::LineSource1, .registers = 0xa000206c,
     .initialItem = "Exposure", .items = {kLineSources, kLineSources, kLineSourcesH280}},
    {.id = LineSource2, .name = "LineSource2", .member = &PS::LineSource2, .registers = 0xa0002080,
     .initialItem = "Exposure", .items = {kLineSources, kLineSources, kLineSourcesH280}},
    {.id = LineInverter1, .name = "LineInverter1", .member = &PS::LineInverter1, .registers = {0xa0002070, 0xa00020a8, 0xa00020a8},
     .initial = 0, .min = 0, .max = 1},
    {.id = LineInverter2, .name = "LineInverter2", .member = &PS::LineInverter2, .registers = {0xa0002084, 0xa00020ac, 0xa00020ac},
     .initial = 0, .min = 0, .max = 1},
    {.id = StrobeDuration1, .name = "StrobeDuration1", .member = &PS::StrobeDuration1, .registers = 0xa0002078,
     .initial = 1, .min = 1, .max = 4000, .limits = Registers(0xA0007080)},
    {.id = StrobeDuration2, .name = "StrobeDuration2", .member = &PS::StrobeDuration2, .registers = 0xa000208c,
     .initial = 1, .min = 1, .max = 4000, .limits = SameAs(StrobeDuration1)},
    {.id = StrobeDelay1, .name = "StrobeDelay1", .member = &PS::StrobeDelay1, .registers = 0xa0002074,
     .initial = 0, .min = 0, .max = 4000, .limits = Registers(0xA0007078)},
    {.id = StrobeDelay2, .name = "StrobeDelay2", .member = &PS::StrobeDelay2, .registers = 0xa0002088,
     .initial = 0, .min = 0, .max = 4000, .limits = SameAs(StrobeDelay1)},
    {.id = Gamma, .name = "Gamma", .member = &PS::Gamma, .registers = {0xa0000310, 0xa0000310, kNone},
     .initial = 0.7, .min = 0.0, .max = 1.0, .present = F::NotH280, .limits = Registers(0xA0007068),
     .getName = {"Gamma"}, .answeredOn = F::NotH280},
    {.id = ColorFilter, .name = "ColorFilter", .member = &PS::ColorFilter, .registers = kNone,
     .initialItem = "RGGB", .items = ItemList{kColorFilters}, .present = F::Color,
     .special = S::ColorFilter, .getName = {"ColorFilter"}, .setName = {"ColorFilter"}},
};

const CameraPropertyRow kCameraProperties[] = {
    {CameraProperty::Continuous, {"continous", "continuous"}},
    {CameraProperty::DebugView, {"DebugView"}},
    {CameraProperty::SoftwareTrigger, {"SoftwareTrigger"}},
};

// The orders, side by side. A step without everyFamily is made only on the
// families that have the setting.
//
// INI keys          open writes                 value read-back             limit read-back
// LogLevel          Exposure                    Exposure                    Exposure
// Exposure          BlackLevel                  BlackLevel                  BlackLevel
// BlackLevel        FrameRate                   FrameRate                   FrameRate, logged
// FrameRate         geometry (ImageWidth)       SensorTaps / Gamma          ImageWidth .. ImageOffsetY
// ImageWidth ..     gain auto off, Gain         frame rate logged           Gain, colour gains
// ...               colour gains (every family) ImageWidth .. Gain          binning (every family)
//                   BandAdjustment              binning / colour gains      BandAdjustment, BandLevel
//                   binning                     ColorFilter                 TriggerDelay, strobes
//                   triggers, I/O               triggers, I/O               Gamma
//                   Gamma / SensorTaps
//                   ColorFilter

const Setting kIniKeys[] = {  // LogIntoFile is a driver switch that is never stored
    LogLevel, Exposure, BlackLevel, FrameRate, ImageWidth, ImageHeight, ImageOffsetX, ImageOffsetY,
    Gain, GainRed, GainGreen, GainBlue, VerticalBinning, HorizontalBinning, BandAdjustment, BandLevel,
    SensorTaps, TriggerMode, TriggerSource, TriggerActivation, TriggerInhibit, TriggerDelay, ActiveGPO,
    LineSource1, LineSource2, LineInverter1, LineInverter2, StrobeDuration1, StrobeDuration2,
    StrobeDelay1, StrobeDelay2, Gamma, ColorFilter,
};

const Step kOpenWrites[] = {
    {Exposure}, {BlackLevel}, {FrameRate}, {ImageWidth},  // the geometry, all four at once
    {Gain, StepKind::GainAutoOff}, {Gain},
    {GainRed, StepKind::Setting, true}, {GainGreen, StepKind::Setting, true}, {GainBlue, StepKind::Setting, true},
    {BandAdjustment}, {VerticalBinning}, {HorizontalBinning},
    {TriggerMode}, {TriggerSource}, {TriggerActivation}, {TriggerInhibit}, {TriggerDelay},
    {ActiveGPO}, {LineSource1}, {LineSource2}, {LineInverter1}, {LineInverter2},
    {StrobeDuration1}, {StrobeDuration2}, {StrobeDelay1}, {StrobeDelay2},
    {Gamma}, {SensorTaps}, {ColorFilter},
};

const Step kValueReads[] = {
    {Exposure}, {BlackLevel}, {FrameRate}, {SensorTaps}, {Gamma}, {FrameRate, StepKind::LogRate, true},
    {ImageWidth}, {ImageHeight}, {ImageOffsetX}, {ImageOffsetY}, {Gain},
    {VerticalBinning}, {HorizontalBinning}, {GainRed}, {GainGreen}, {GainBlue}, {ColorFilter},
    {TriggerMode}, {TriggerSource}, {TriggerActivation}, {TriggerInhibit}, {TriggerDelay},
    {ActiveGPO}, {LineSource1}, {LineSource2}, {LineInverter1}, {LineInverter2},
    {StrobeDuration1}, {StrobeDuration2}, {StrobeDelay1}, {StrobeDelay2},
};

const Step kLimitReads[] = {
    {Exposure}, {BlackLevel}, {FrameRate}, {FrameRate, StepKind::LogRate, true},
    {ImageWidth}, {ImageHeight}, {ImageOffsetX}, {ImageOffsetY}, {Gain}, {GainRed}, {GainGreen}, {GainBlue},
    {VerticalBinning, StepKind::Setting, true}, {HorizontalBinning, StepKind::Setting, true},
    {BandAdjustment}, {BandLevel}, {TriggerDelay},
    {StrobeDuration1}, {StrobeDuration2}, {StrobeDelay1}, {StrobeDelay2}, {Gamma},
};

const PropertyRef kGetOrder[] = {
    CameraProperty::Continuous, LogLevel, LogIntoFile, Exposure, FrameRate, BlackLevel, Gamma,
    ImageWidth, ImageHeight, ImageOffsetX, ImageOffsetY, Gain, GainRed, GainGreen, GainBlue,
    BandAdjustment, BandLevel, SensorTaps, VerticalBinning, HorizontalBinning, TriggerDelay,
    TriggerMode, TriggerSource, TriggerActivation, TriggerInhibit, ColorFilter,
};

const PropertyRef kSetOrder[] = {
    LogLevel, CameraProperty::DebugView, LogIntoFile, CameraProperty::SoftwareTrigger,
    CameraProperty::Continuous, FrameRate, TriggerMode, TriggerSource, Exposure, Gain, GainRed,
    GainGreen, GainBlue, BlackLevel, BandAdjustment, BandLevel, SensorTaps, ColorFilter,
};
// clang-format on

constexpr bool RowsInOrder() {
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        if (static_cast<std::size_t>(kRows[i].id) != i) {
            return false;
        }
    }
    return true;
}
static_assert(std::size(kRows) == kSettingCount, "every setting has one row");
static_assert(RowsInOrder(), "rows stand in the order of their ids");
static_assert(std::size(kIniKeys) == kSettingCount - 1);

}  // namespace

namespace settings {

std::span<const SettingRow> Rows() {
    return kRows;
}

const SettingRow& Row(Setting setting) {
    return kRows[static_cast<std::size_t>(setting)];
}

const CameraPropertyRow& Row(CameraProperty property) {
    return kCameraProperties[static_cast<std::size_t>(property)];
}

std::span<const Setting> IniKeys() {
    return kIniKeys;
}

std::span<const Step> OpenWrites() {
    return kOpenWrites;
}

std::span<const Step> ValueReads() {
    return kValueReads;
}

std::span<const Step> LimitReads() {
    return kLimitReads;
}

std::span<const PropertyRef> GetOrder() {
    return kGetOrder;
}

std::span<const PropertyRef> SetOrder() {
    return kSetOrder;
}

bool Applies(const Step& step, Family family) {
    return step.everyFamily || Includes(Row(step.setting).present, family);
}

PropertyNames GetNames(const PropertyRef& ref) {
    return std::holds_alternative<Setting>(ref) ? Row(std::get<Setting>(ref)).getName
                                                : Row(std::get<CameraProperty>(ref)).names;
}

PropertyNames SetNames(const PropertyRef& ref) {
    return std::holds_alternative<Setting>(ref) ? Row(std::get<Setting>(ref)).setName
                                                : Row(std::get<CameraProperty>(ref)).names;
}

}  // namespace settings
