// Property access by name: the host's names for camera settings, each mapped
// to a parameter, a setter, a field of the camera or the process-wide log.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <variant>

#include "camera/Camera.h"
#include "platform/AsciiText.h"

namespace {

using platform::EqualsIgnoringAsciiCase;
using platform::LowerAscii;

bool Matches(const char* property, const char* const (&names)[2]) {
    return EqualsIgnoringAsciiCase(property, names[0]) ||
           (names[1] != nullptr && EqualsIgnoringAsciiCase(property, names[1]));
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

enum class Family { Any, NotH280, NotColor, H280NotColor };

// Where a readable property's value comes from: a parameter of the set (a
// decimal one truncated, an enumerated one as its item's code), or a
// setting the camera's set does not hold.
using ReadOut = std::variant<Param<int> ParamSet::*, Param<double> ParamSet::*,
                             ParamEnum ParamSet::*, int (*)(const Camera&)>;

struct Readable {
    const char* names[2];
    Family family;
    ReadOut source;
};

// What GetProperty answers, in the order in which names are matched.
// clang-format off
const Readable kReadable[] = {
    {{"continous", "continuous"}, Family::Any,          [](const Camera& c) { return c.IsContinuous() ? 1 : 0; }},
    {{"LogLevel", nullptr},       Family::Any,          [](const Camera& c) { return c.Log().LogLevel(); }},
    {{"LogIntoFile", nullptr},    Family::Any,          [](const Camera& c) { return c.Log().LogIntoFile() ? 1 : 0; }},
    {{"Exposure", "ExposureTime"}, Family::Any,         &ParamSet::Exposure},
    {{"FrameRate", nullptr},      Family::Any,          &ParamSet::FrameRate},
    {{"BlackLevel", nullptr},     Family::Any,          &ParamSet::BlackLevel},
    {{"Gamma", nullptr},          Family::NotH280,      &ParamSet::Gamma},
    {{"ImageWidth", nullptr},     Family::Any,          &ParamSet::ImageWidth},
    {{"ImageHeight", nullptr},    Family::Any,          &ParamSet::ImageHeight},
    {{"ImageOffsetX", nullptr},   Family::Any,          &ParamSet::ImageOffsetX},
    {{"ImageOffsetY", nullptr},   Family::Any,          &ParamSet::ImageOffsetY},
    {{"Gain", nullptr},           Family::Any,          &ParamSet::Gain},
    {{"GainRed", nullptr},        Family::Any,          &ParamSet::GainRed},
    {{"GainGreen", nullptr},      Family::Any,          &ParamSet::GainGreen},
    {{"GainBlue", nullptr},       Family::Any,          &ParamSet::GainBlue},
    {{"BandAdjustment", nullptr}, Family::Any,          &ParamSet::BandAdjustment},
    {{"BandLevel", nullptr},      Family::Any,          &ParamSet::BandLevel},
    {{"SensorTaps", nullptr},     Family::Any,          &ParamSet::SensorTaps},
    {{"VerticalBinning", nullptr}, Family::NotColor,    &ParamSet::VerticalBinning},
    {{"HorizontalBinning", nullptr}, Family::H280NotColor, &ParamSet::HorizontalBinning},
    {{"TriggerDelay", nullptr},   Family::Any,          &ParamSet::TriggerDelay},
    {{"TriggerMode", nullptr},    Family::Any,          &ParamSet::TriggerMode},
    {{"TriggerSource", nullptr},  Family::Any,          &ParamSet::TriggerSource},
    {{"TriggerActivation", nullptr}, Family::Any,       &ParamSet::TriggerActivation},
    {{"TriggerInhibit", nullptr}, Family::Any,          &ParamSet::TriggerInhibit},
    {{"ColorFilter", nullptr},    Family::Any,          &ParamSet::ColorFilter},
};
// clang-format on

int Read(const Camera& camera, const ParamSet& params, const ReadOut& source) {
    struct Reader {
        const Camera& camera;
        const ParamSet& params;
        int operator()(Param<int> ParamSet::*member) const { return (params.*member).value; }
        int operator()(Param<double> ParamSet::*member) const {
            return Truncate((params.*member).value);
        }
        int operator()(ParamEnum ParamSet::*member) const { return (params.*member).CurrentCode(); }
        int operator()(int (*read)(const Camera&)) const { return read(camera); }
    };
    return std::visit(Reader{camera, params}, source);
}

struct Writable {
    const char* names[2];
    bool (*write)(Camera& camera, int value);
};

bool SetGain(Camera& camera, Param<int>& gain, int value) REQUIRES(camera.cameraLock) {
    return camera.SetGainSelector() && camera.SetParamInt(gain, value);
}

// What SetProperty accepts, in the order in which names are matched. Each
// runs under the camera's lock, which its annotation lets the analysis check.
const Writable kWritable[] = {
    {{"LogLevel", nullptr},
     [](Camera& c, int v) REQUIRES(c.cameraLock) {
         c.Log().SetLogLevel(v);
         return true;
     }},
    {{"DebugView", nullptr},
     [](Camera& c, int v) REQUIRES(c.cameraLock) {
         c.Log().SetDebugView(v);
         return true;
     }},
    {{"LogIntoFile", nullptr},
     [](Camera& c, int v) REQUIRES(c.cameraLock) {
         c.Log().SetLogIntoFile(v != 0);
         return true;
     }},
    {{"SoftwareTrigger", nullptr},
     [](Camera& c, int) REQUIRES(c.cameraLock) { return c.GenerateSoftwareTrigger(); }},
    {{"continous", "continuous"},
     [](Camera& c, int v) REQUIRES(c.cameraLock) {
         c.SetContinuousGrab(v != 0);
         return true;
     }},
    {{"AcquisitionFrameRate", nullptr},
     [](Camera& c, int v) REQUIRES(c.cameraLock) { return c.SetFrameRate(static_cast<float>(v)); }},
    {{"TriggerMode", nullptr},
     [](Camera& c, int v)
         REQUIRES(c.cameraLock) { return c.SetParamEnum(c.Params().TriggerMode, v); }},
    {{"TriggerSource", nullptr},
     [](Camera& c, int v)
         REQUIRES(c.cameraLock) { return c.SetParamEnum(c.Params().TriggerSource, v); }},
    {{"ExposureTime", "Exposure"},
     [](Camera& c, int v) REQUIRES(c.cameraLock) { return c.SetParamInt(c.Params().Exposure, v); }},
    {{"Gain", nullptr},
     [](Camera& c, int v) REQUIRES(c.cameraLock) { return SetGain(c, c.Params().Gain, v); }},
    {{"GainRed", nullptr},
     [](Camera& c, int v) REQUIRES(c.cameraLock) { return SetGain(c, c.Params().GainRed, v); }},
    {{"GainGreen", nullptr},
     [](Camera& c, int v) REQUIRES(c.cameraLock) { return SetGain(c, c.Params().GainGreen, v); }},
    {{"GainBlue", nullptr},
     [](Camera& c, int v) REQUIRES(c.cameraLock) { return SetGain(c, c.Params().GainBlue, v); }},
    {{"BlackLevel", nullptr},
     [](Camera& c, int v) REQUIRES(c.cameraLock) { return c.SetBlackLevel(v); }},
    {{"BandAdjustment", nullptr},
     [](Camera& c, int v) REQUIRES(c.cameraLock) { return c.SetBandAdjustment(v); }},
    {{"BandLevel", nullptr},
     [](Camera& c, int v) REQUIRES(c.cameraLock) {
         // Stored only: the camera takes the level with the next band adjustment.
         Param<int>& level = c.Params().BandLevel;
         if (v < level.min || v > level.max) {
             LogMessage(c.Log(), 1, "Camera::SetProperty: band level not in range: %d", v);
             return false;
         }
         level.value = v;
         return true;
     }},
    {{"SensorTaps", nullptr},
     [](Camera& c, int v)
         REQUIRES(c.cameraLock) { return c.SetParamEnum(c.Params().SensorTaps, v); }},
    {{"ColorFilter", nullptr},
     [](Camera& c, int v) REQUIRES(c.cameraLock) { return c.SetColorFilter(v); }},
};

std::string SecondName(const char* const (&names)[2]) {
    return names[1] != nullptr ? names[1] : "";
}

// Whether a table entry names a known property, in whatever order.
bool SameNames(const PropertyName& known, const char* const (&names)[2]) {
    const std::string second = SecondName(names);
    return (EqualsIgnoringAsciiCase(known.name, names[0]) &&
            EqualsIgnoringAsciiCase(known.alias, second)) ||
           (EqualsIgnoringAsciiCase(known.name, second) &&
            EqualsIgnoringAsciiCase(known.alias, names[0]));
}

bool InFamily(const Camera& camera, Family family) {
    switch (family) {
        case Family::Any:
            return true;
        case Family::NotH280:
            return !camera.IsH280();
        case Family::NotColor:
            return !camera.IsColor();
        case Family::H280NotColor:
            return camera.IsH280() && !camera.IsColor();
    }
    return false;
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
    const Readable* match = nullptr;
    for (const Readable& entry : kReadable) {
        if (Matches(property, entry.names)) {
            match = &entry;
            break;
        }
    }
    if (match != nullptr && InFamily(*this, match->family)) {
        *value = Read(*this, params, match->source);
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
    for (const Writable& entry : kWritable) {
        if (Matches(property, entry.names)) {
            return entry.write(*this, value);
        }
    }
    LogMessage(log, 1, "Camera::SetProperty: unrecognized property name:%s value=%d", property,
               value);
    return false;
}

std::vector<PropertyName> Camera::KnownProperties() {
    std::vector<PropertyName> known{{kPixelSize, "", true, false}};
    for (const Readable& entry : kReadable) {
        known.push_back({entry.names[0], SecondName(entry.names), true});
    }
    for (const Writable& entry : kWritable) {
        auto same = std::find_if(known.begin(), known.end(), [&](const PropertyName& property) {
            return SameNames(property, entry.names);
        });
        if (same == known.end()) {
            same = known.insert(known.end(), {entry.names[0], SecondName(entry.names)});
        }
        same->writable = true;
    }
    return known;
}

bool Camera::GetRange(const char* property, void* /*minimum*/, void* /*maximum*/) {
    LogMessage(log, 3, "Camera::GetRange: entering prop=%s \n", TextOrNull(property));
    return false;
}
