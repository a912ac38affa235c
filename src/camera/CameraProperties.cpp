// Property access by name: the host's names for camera settings, each mapped
// to a parameter, a setter, a field of the camera or the process-wide log.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <variant>

#include "camera/Camera.h"
#include "platform/AsciiText.h"

namespace {

using platform::EqualsIgnoringAsciiCase;
using platform::LowerAscii;

bool Matches(const char* property, const PropertyNames& names) {
    return (names.name != nullptr && EqualsIgnoringAsciiCase(property, names.name)) ||
           (names.alias != nullptr && EqualsIgnoringAsciiCase(property, names.alias));
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = LowerAscii(c);
    return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

// A raw register name is "0x" and eight more characters, read as "%x" reads
// it: hexadecimal digits up to the first other character; nothing read
// gives register 0.
bool RawRegister(const char* property, std::uint32_t& address) {
    if (std::strlen(property) != 10 || property[0] != '0' || property[1] != 'x') {
        return false;
    }
    address = 0;
    for (const char* p = property + 2; *p != '\0' && HexDigit(*p) >= 0; ++p) {
        address = address * 16 + static_cast<std::uint32_t>(HexDigit(*p));
    }
    return true;
}

// Toward zero, and within int for any stored value.
int Truncate(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    if (value <= static_cast<double>(INT_MIN)) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

constexpr const char* kPixelSize = "PixelSize";

// What GetProperty answers for a setting: the driver's log switches, or the
// stored value (a decimal one truncated, an enumerated one as its item's code).
int ReadSetting(const Camera& camera, const ParamSet& params, const SettingRow& row) {
    if (row.special == Special::DriverLog) {
        return row.id == Setting::LogLevel ? camera.Log().LogLevel()
                                           : (camera.Log().LogIntoFile() ? 1 : 0);
    }
    return std::visit(
        [&](auto member) {
            const auto& param = params.*member;
            using Type = std::remove_cvref_t<decltype(param)>;
            if constexpr (std::is_same_v<Type, ParamEnum>) {
                return param.CurrentCode();
            } else if constexpr (std::is_same_v<Type, Param<double>>) {
                return Truncate(param.value);
            } else {
                return param.value;
            }
        },
        row.member);
}

int ReadCameraProperty(const Camera& camera, CameraProperty property) {
    return property == CameraProperty::Continuous && camera.IsContinuous() ? 1 : 0;
}

// What SetProperty does with a setting: its special case, else the setter
// of its type.
bool WriteSetting(Camera& c, const SettingRow& row, int v) REQUIRES(c.cameraLock) {
    ParamSet& set = c.Params();
    switch (row.special) {
        case Special::DriverLog:
            if (row.id == Setting::LogLevel) {
                c.Log().SetLogLevel(v);
            } else {
                c.Log().SetLogIntoFile(v != 0);
            }
            return true;
        case Special::FrameRate:
            return c.SetFrameRate(static_cast<float>(v));
        case Special::Gain:
            return c.SetGainSelector() &&
                   c.SetParamInt(set.*std::get<Param<int> ParamSet::*>(row.member), v);
        case Special::BlackLevel:
            return c.SetBlackLevel(v);
        case Special::BandAdjustment:
            return c.SetBandAdjustment(v);
        case Special::BandLevel: {
            // Stored only: the camera takes the level with the next band adjustment.
            Param<int>& level = set.*std::get<Param<int> ParamSet::*>(row.member);
            if (v < level.min || v > level.max) {
                LogMessage(c.Log(), 1, "Camera::SetProperty: band level not in range: %d", v);
                return false;
            }
            level.value = v;
            return true;
        }
        case Special::ColorFilter:
            return c.SetColorFilter(v);
        case Special::None:
        case Special::Geometry:
        case Special::ActiveGpo:
            break;
    }
    // By the member's type; no generic lambda, which clang's lock analysis
    // cannot take with a REQUIRES.
    if (const auto* member = std::get_if<ParamEnum ParamSet::*>(&row.member)) {
        return c.SetParamEnum(set.**member, v);
    }
    if (const auto* member = std::get_if<Param<double> ParamSet::*>(&row.member)) {
        return c.SetParamFloat(set.**member, static_cast<float>(v));
    }
    return c.SetParamInt(set.*std::get<Param<int> ParamSet::*>(row.member), v);
}

bool WriteCameraProperty(Camera& c, CameraProperty property, int v) REQUIRES(c.cameraLock) {
    switch (property) {
        case CameraProperty::DebugView:
            c.Log().SetDebugView(v);
            return true;
        case CameraProperty::SoftwareTrigger:
            return c.GenerateSoftwareTrigger();
        case CameraProperty::Continuous:
            c.SetContinuousGrab(v != 0);
            return true;
    }
    return false;
}

std::string SecondName(const PropertyNames& names) {
    return names.alias != nullptr ? names.alias : "";
}

// Whether a table entry names a known property, in whatever order.
bool SameNames(const PropertyName& known, const PropertyNames& names) {
    const std::string second = SecondName(names);
    return (EqualsIgnoringAsciiCase(known.name, names.name) &&
            EqualsIgnoringAsciiCase(known.alias, second)) ||
           (EqualsIgnoringAsciiCase(known.name, second) &&
            EqualsIgnoringAsciiCase(known.alias, names.name));
}

}  // namespace

bool Camera::GetProperty(const char* property, int* value) {
    LogMessage(log, 3, "Camera::GetProperty: entering prop=%s \n", TextOrNull(property));
    if (property == nullptr || value == nullptr) {
        LogMessage(log, 1,
                   "Camera::GetProperty: ERROR: no property name or no place for the value\n");
        return false;
    }
    std::uint32_t address = 0;
    if (RawRegister(property, address)) {
        // A camera that does not answer has no value to give: the host's
        // variable keeps what it held, and the failure is the host's to see.
        std::uint32_t read = 0;
        if (!ReadRegister(address, read)) {
            return false;
        }
        *value = static_cast<int>(read);
        return true;
    }
    if (EqualsIgnoringAsciiCase(property, kPixelSize)) {
        *value = pixelSize;
        return true;
    }
    const auto match = std::find_if(
        settings::GetOrder().begin(), settings::GetOrder().end(),
        [&](const PropertyRef& ref) { return Matches(property, settings::GetNames(ref)); });
    const Setting* setting =
        match != settings::GetOrder().end() ? std::get_if<Setting>(&*match) : nullptr;
    if (setting != nullptr && Includes(settings::Row(*setting).answeredOn, SettingFamily())) {
        *value = ReadSetting(*this, params, settings::Row(*setting));
    } else if (match != settings::GetOrder().end() && setting == nullptr) {
        *value = ReadCameraProperty(*this, std::get<CameraProperty>(*match));
    } else {
        LogMessage(log, 1, "Camera::GetProperty: unrecognized property name prop=%s \n", property);
    }
    LogMessage(log, 3, "Camera::GetProperty: leaving prop=%s \n", property);
    return true;
}

bool Camera::SetProperty(const char* property, int value) {
    LogMessage(log, 2, "Camera::SetProperty: prop=%s value=%d \n", TextOrNull(property), value);
    if (property == nullptr) {
        LogMessage(log, 1, "Camera::SetProperty: ERROR: no property name\n");
        return false;
    }
    std::uint32_t address = 0;
    if (RawRegister(property, address)) {
        const std::uint32_t word = static_cast<std::uint32_t>(value);
        if (ZazeGigE_WriteRegister(address, &word, 4)) {
            return true;
        }
        LogMessage(log, 1, "Camera::SetProperty: Write registry error.  Property =%s value=%d",
                   property, value);
        return false;
    }
    for (const PropertyRef& ref : settings::SetOrder()) {
        if (!Matches(property, settings::SetNames(ref))) {
            continue;
        }
        if (const Setting* setting = std::get_if<Setting>(&ref)) {
            return WriteSetting(*this, settings::Row(*setting), value);
        }
        return WriteCameraProperty(*this, std::get<CameraProperty>(ref), value);
    }
    LogMessage(log, 1, "Camera::SetProperty: unrecognized property name:%s value=%d", property,
               value);
    return false;
}

std::vector<PropertyName> Camera::KnownProperties() {
    std::vector<PropertyName> known{{kPixelSize, "", true, false}};
    for (const PropertyRef& ref : settings::GetOrder()) {
        const PropertyNames names = settings::GetNames(ref);
        known.push_back({names.name, SecondName(names), true});
    }
    for (const PropertyRef& ref : settings::SetOrder()) {
        const PropertyNames names = settings::SetNames(ref);
        auto same = std::find_if(known.begin(), known.end(), [&](const PropertyName& property) {
            return SameNames(property, names);
        });
        if (same == known.end()) {
            same = known.insert(known.end(), {names.name, SecondName(names)});
        }
        same->writable = true;
    }
    return known;
}

bool Camera::GetRange(const char* property, void* /*minimum*/, void* /*maximum*/) {
    LogMessage(log, 3, "Camera::GetRange: entering prop=%s \n", TextOrNull(property));
    return false;
}
