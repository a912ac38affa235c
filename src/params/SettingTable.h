#pragma once

#include <cstdint>
#include <span>
#include <variant>

#include "params/ModelFlags.h"
#include "params/ParamSet.h"

// Every camera setting as one row: its names, its type, per family its
// register, initial value, bounds and item list, where its limits come
// from, and how it is written when that is not a plain register write. The
// orders in which the driver goes over the settings (an open's writes, the
// read-backs, the INI keys, the property names) are the lists below the
// rows, side by side in SettingTable.cpp.

// The register a family maps a setting to when it has none of its own;
// writes to it reach no feature of the camera.
inline constexpr std::uint32_t kNoRegister = 0xa0000000;
// The register of the two log settings, which never go to the camera.
inline constexpr std::uint32_t kDriverOnly = 0;

// The rows, in the order a family definition constructs them.
enum class Setting : std::uint8_t {
    LogLevel,
    LogIntoFile,
    Exposure,
    FrameRate,
    ImageWidth,
    ImageHeight,
    ImageOffsetX,
    ImageOffsetY,
    Gain,
    GainRed,
    GainGreen,
    GainBlue,
    BlackLevel,
    VerticalBinning,
    HorizontalBinning,
    BandAdjustment,
    BandLevel,
    TriggerMode,
    SensorTaps,
    TriggerSource,
    TriggerActivation,
    TriggerInhibit,
    TriggerDelay,
    ActiveGPO,
    LineSource1,
    LineSource2,
    LineInverter1,
    LineInverter2,
    StrobeDuration1,
    StrobeDuration2,
    StrobeDelay1,
    StrobeDelay2,
    Gamma,
    ColorFilter,
};
inline constexpr std::size_t kSettingCount = 34;

// One cell per family; a single value stands for all three.
template <typename T>
struct PerFamily {
    constexpr PerFamily(T all) : cells{all, all, all} {}
    constexpr PerFamily(T standard, T color, T h280) : cells{standard, color, h280} {}
    constexpr const T& operator[](Family family) const {
        return cells[static_cast<std::size_t>(family)];
    }
    T cells[kFamilyCount];
};

struct EnumItem {
    const char* name;
    std::int32_t code;
};
using ItemList = std::span<const EnumItem>;

// How a setting reaches the camera when it is not a plain write of its
// value (an enumeration's code) to its register.
enum class Special : std::uint8_t {
    None,
    DriverLog,       // a switch of the process-wide log, never sent
    FrameRate,       // automatic mode off first; the H280 counts micro-frames
    Geometry,        // size and offsets together, through ZURSetImageInfo
    Gain,            // gain automatic mode off before a write by name
    BlackLevel,      // automatic mode off and the selector to DigitalAll first
    BandAdjustment,  // through ZURBandAdjust, with the stored band level
    BandLevel,       // stored only; the next band adjustment takes it
    ActiveGpo,       // the code in the lower 16 bits, the upper ones kept
    ColorFilter,     // word 3 of the camera-mode record
};

// Where the bounds come from once the camera is open.
enum class LimitKind : std::uint8_t {
    Definition,  // the family definition's bounds stay
    Registers,   // maximum register, the minimum 4 bytes above it
    Fixed,       // bounds per family, not the definition's
    OffsetOf,    // 0 to the other setting's maximum less its minimum
    SameAs,      // the other setting's bounds, read once for both
};

struct Limits {
    LimitKind kind = LimitKind::Definition;
    std::uint32_t maxRegister = kNoRegister;
    PerFamily<int> fixedMin{0};
    PerFamily<int> fixedMax{0};
    Setting other = Setting::LogLevel;
};

// A name the host uses with getProperty or setProperty, and its alias, in
// the order they are matched (case-insensitively).
struct PropertyNames {
    const char* name = nullptr;
    const char* alias = nullptr;
};

using SettingMember =
    std::variant<Param<int> ParamSet::*, Param<double> ParamSet::*, ParamEnum ParamSet::*>;

struct SettingRow {
    Setting id;
    const char* name;  // the parameter's name and INI key
    SettingMember member;
    PerFamily<std::uint32_t> registers;
    // Numeric settings: the family definition's initial value and bounds.
    PerFamily<double> initial{0};
    PerFamily<double> min{0};
    PerFamily<double> max{0};
    // Enumerated settings: the initial item and the items in the order added.
    const char* initialItem = nullptr;
    PerFamily<ItemList> items{ItemList{}};
    // The families whose cameras have it: an open writes it and the
    // read-backs read it only there (unless a list says every family).
    Families present = Families::Every;
    Limits limits{};
    Special special = Special::None;
    PropertyNames getName{};                // what getProperty answers to
    PropertyNames setName{};                // what setProperty accepts
    Families answeredOn = Families::Every;  // where getProperty answers
};

// One step of a pass over the settings.
enum class StepKind : std::uint8_t {
    Setting,      // the row, written or read its own way
    GainAutoOff,  // the gain automatic mode switched off
    LogRate,      // the frame rate (and its limits) logged
};
struct Step {
    Setting setting;
    StepKind kind = StepKind::Setting;
    bool everyFamily = false;  // also on families that do not have it
};

// Properties that are no setting of the set.
enum class CameraProperty : std::uint8_t { Continuous, DebugView, SoftwareTrigger };
struct CameraPropertyRow {
    CameraProperty id;
    PropertyNames names;
};
using PropertyRef = std::variant<Setting, CameraProperty>;

namespace settings {

std::span<const SettingRow> Rows();  // in construction order, indexed by Setting
const SettingRow& Row(Setting setting);
const CameraPropertyRow& Row(CameraProperty property);

std::span<const Setting> IniKeys();       // the INI section, in the order saved
std::span<const Step> OpenWrites();       // an open's writes of the whole set
std::span<const Step> ValueReads();       // the read-back of the values
std::span<const Step> LimitReads();       // the read-back of the limits
std::span<const PropertyRef> GetOrder();  // getProperty's names, in match order
std::span<const PropertyRef> SetOrder();  // setProperty's names, in match order

// Whether the step applies to a camera of the family.
bool Applies(const Step& step, Family family);
// The names a property reference is matched by in the one or the other table.
PropertyNames GetNames(const PropertyRef& ref);
PropertyNames SetNames(const PropertyRef& ref);

}  // namespace settings
