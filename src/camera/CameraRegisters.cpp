// Register access and the feature setters: every camera setting reaches the
// camera through a 32-bit GigE register or a dedicated ZUR call.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <type_traits>
#include <variant>

#include "camera/Camera.h"

namespace {

// Control registers, the same on every family; the limit registers are
// columns of the setting table.
constexpr std::uint32_t kSoftwareTrigger = 0xA00002F8;
constexpr std::uint32_t kFrameRateAuto = 0xA0000224;
constexpr std::uint32_t kBlackLevelAuto = 0xA0002018;
constexpr std::uint32_t kBlackLevelSelector = 0xA0001100;
constexpr std::uint32_t kGainAuto = 0xA000201C;

constexpr std::uint32_t kDigitalAll = 0x20000;  // black-level selector, upper half
constexpr std::uint32_t kRecordBytes = 4 * ZUR_MAX_REGISTERS;
constexpr double kH280RateScale = 1000000.0;  // the H280 counts micro-frames per second
constexpr std::uint32_t kH280RateUnits = 1000000;

// Frames per second as the H280 register holds them, truncated toward zero;
// none when that does not fit the register's 32 bits, whose low half alone
// would be a plausible but wrong rate.
std::optional<std::uint32_t> H280RateWord(double framesPerSecond) {
    const double scaled = std::trunc(framesPerSecond * kH280RateScale);
    if (!(scaled >= 0.0 && scaled <= static_cast<double>(UINT32_MAX))) {  // NaN fails too
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(scaled);
}

// Whether a value becomes a finite single-precision float, as the float
// registers hold it.
bool FitsSingle(double value) {
    return std::isfinite(value) && std::fabs(value) <= std::numeric_limits<float>::max();
}

// The image-position record holds 16 bits per field.
bool FitsGeometryField(int value) {
    return value >= 0 && value <= UINT16_MAX;
}

}  // namespace

bool Camera::ZazeGigE_WriteRegister(std::uint32_t address, const std::uint32_t* words,
                                    std::uint32_t length) {
    const std::uint32_t first = (words != nullptr && length >= 4) ? words[0] : 0;
    LogMessage(log, 3, "Camera::ZazeGigE_WriteRegister: Address = %x, DATA=%d \n", address,
               static_cast<int>(first));
    // The record has room for 135 registers; a longer write would overrun it.
    if (length > kRecordBytes || (words == nullptr && length > 0)) {
        LogMessage(log, 1,
                   "Camera::ZazeGigE_WriteRegister: ERROR: cannot write %u bytes at Address = %x "
                   "(at most %u)\n",
                   length, address, kRecordBytes);
        return false;
    }
    ZURRegisterRecord record{};
    record.count = length / 4;
    for (std::uint32_t i = 0; i < record.count; ++i) {
        record.address[i] = address + 4 * i;
        record.data[i] = words[i];
    }
    if (platform::Zur().ZURGigESetRegister(zurHandle, &record) != 0) {
        return true;
    }
    LogMessage(log, 2, "Camera::ZazeGigE_WriteRegister ERROR: port= %d, Address = %x, DATA=%d \n",
               Port(), address, static_cast<int>(first));
    return false;
}

bool Camera::ZazeGigE_WriteRegisterFloat(std::uint32_t address, float value) {
    LogMessage(log, 3, "Camera::ZazeGigE_WriteRegisterFloat: Address = %x, DATA=%.2f \n", address,
               static_cast<double>(value));
    const std::uint32_t word = std::bit_cast<std::uint32_t>(value);
    if (!ZazeGigE_WriteRegister(address, &word, 4)) {
        LogMessage(
            log, 2,
            "Camera::ZazeGigE_WriteRegisterFloat ERROR: port= %d, Address = %x, DATA=%.2f \n",
            Port(), address, static_cast<double>(value));
        return false;
    }
    return true;
}

std::uint32_t Camera::ReadRegister(std::uint32_t address) {
    std::uint32_t result = 0;
    ReadRegister(address, result);
    return result;
}

bool Camera::ReadRegister(std::uint32_t address, std::uint32_t& value) {
    ZURRegisterRecord record{};
    record.count = 1;
    record.address[0] = address;
    const bool read = platform::Zur().ZURGigEGetRegister(zurHandle, &record) != 0;
    if (!read) {
        LogMessage(log, 1, "Camera::ReadRegister: ERROR: Failed to read registry %x \n", address);
    } else {
        value = record.data[0];
    }
    LogMessage(log, 3, "Camera::ReadRegister: address= %x, data= %d \n", address,
               static_cast<int>(read ? record.data[0] : 0));
    return read;
}

float Camera::ReadRegisterFloat(std::uint32_t address) {
    const float value = std::bit_cast<float>(ReadRegister(address));
    LogMessage(log, 3, "Camera::ReadRegisterFloat: address= %x, data= %.2f \n", address,
               static_cast<double>(value));
    return value;
}

bool Camera::SetParamInt(Param<int>& param, int value) {
    const int previous = param.value;
    if (value > -1) {
        param.value = value;
    }
    LogMessage(log, 2, "Camera::SetParamInt: name= %s, value= %d \n", param.name.c_str(),
               param.value);
    const std::uint32_t word = static_cast<std::uint32_t>(param.value);
    if (ZazeGigE_WriteRegister(param.registerAddress, &word, 4)) {
        return true;
    }
    LogMessage(log, 1,
               "Camera::SetParamInt: Failed to set parameter:  port= %d, name= %s, value = %d\n",
               Port(), param.name.c_str(), param.value);
    // A camera that does not answer tells nothing new: the set keeps what it
    // held before rather than a 0 that the next open or reconnection would
    // write.
    if (value > -1) {
        std::uint32_t read = 0;
        param.value = ReadRegister(param.registerAddress, read) ? static_cast<int>(read) : previous;
    }
    return false;
}

bool Camera::SetParamFloat(Param<double>& param, float value) {
    LogMessage(log, 2, "Camera: SetParamFloat:  name= %s, value= %2.f\n", param.name.c_str(),
               param.value);
    const double wanted = value > -1.0f ? static_cast<double>(value) : param.value;
    if (!FitsSingle(wanted)) {
        LogMessage(log, 1,
                   "Camera::SetParamFloat: ERROR: value %g does not fit the register: port= %d, "
                   "name= %s\n",
                   wanted, Port(), param.name.c_str());
        return false;
    }
    const double previous = param.value;
    if (value > -1.0f) {
        param.value = value;
    }
    const float written = static_cast<float>(param.value);
    if (ZazeGigE_WriteRegisterFloat(param.registerAddress, written)) {
        return true;
    }
    LogMessage(
        log, 1,
        "Camera::SetParamFloat: Failed to set parameter:  port= %d, name= %s, value = %2.f\n",
        Port(), param.name.c_str(), static_cast<double>(written));
    if (value > -1.0f) {
        std::uint32_t read = 0;
        param.value = ReadRegister(param.registerAddress, read)
                          ? static_cast<double>(std::bit_cast<float>(read))
                          : previous;
    }
    return false;
}

bool Camera::SetParamEnum(ParamEnum& param, int code) {
    const int previous = param.CurrentCode();
    if (code > -1) {
        if (code < param.MinCode() || code > param.MaxCode()) {
            LogMessage(
                log, 1,
                "Camera::SetParamEnum: value out of enum range: port= %d, name= %s, value= %d \n",
                Port(), param.name.c_str(), code);
            return false;
        }
        param.SetByCode(code);
    }
    const int current = param.CurrentCode();
    LogMessage(log, 2, "Camera::SetParamEnum: name= %s, value= %d\n", param.name.c_str(), current);
    const std::uint32_t word = static_cast<std::uint32_t>(current);
    if (ZazeGigE_WriteRegister(param.registerAddress, &word, 4)) {
        return true;
    }
    LogMessage(log, 1,
               "Camera::SetParamEnum: Failed to set parameter :  port= %d, name= %s, value = %d \n",
               Port(), param.name.c_str(), current);
    if (code > -1) {
        std::uint32_t read = 0;
        param.SetByCode(ReadRegister(param.registerAddress, read) ? static_cast<int>(read)
                                                                  : previous);
    }
    return false;
}

bool Camera::SetFrameRate(float framesPerSecond) {
    Param<double>& rate = params.FrameRate;
    const double wanted =
        framesPerSecond > -1.0f ? static_cast<double>(framesPerSecond) : rate.value;
    const std::optional<std::uint32_t> h280Word =
        IsH280() ? H280RateWord(wanted) : std::optional<std::uint32_t>{};
    if (IsH280() ? !h280Word : !FitsSingle(wanted)) {
        LogMessage(
            log, 1,
            "Camera::SetFrameRate: ERROR: framerate %f does not fit the register: port= %d\n",
            wanted, Port());
        return false;
    }
    const double previous = rate.value;
    if (framesPerSecond > -1.0f) {
        rate.value = framesPerSecond;
    }
    // After a failed write of a new rate: the camera's, or what the set held
    // when the camera does not answer.
    const auto mirrorCamera = [&]() REQUIRES(cameraLock) {
        std::uint32_t word = 0;
        if (framesPerSecond <= -1.0f) {
            return;
        }
        if (!ReadRegister(rate.registerAddress, word)) {
            rate.value = previous;
        } else if (IsH280()) {
            rate.value = word / kH280RateUnits;
        } else {
            rate.value = static_cast<double>(std::bit_cast<float>(word));
        }
    };
    LogMessage(log, 2, "Camera::SetFrameRate: framerate= %f \n", rate.value);
    const std::uint32_t off = 0;
    if (!ZazeGigE_WriteRegister(kFrameRateAuto, &off, 4)) {
        LogMessage(log, 1,
                   "Camera::SetFrameRate: Failed to set auto framerate off: port= %d, value= %d\n",
                   Port(), 0);
        mirrorCamera();
        return false;
    }
    if (IsH280()) {
        const std::uint32_t word = *h280Word;
        LogMessage(log, 3, "Camera::SetFrameRate H280: framerate= %d \n", static_cast<int>(word));
        if (ZazeGigE_WriteRegister(rate.registerAddress, &word, 4)) {
            const std::uint32_t readBack = ReadRegister(rate.registerAddress);
            LogMessage(log, 3, "Camera::SetFrameRate H280: framerate= %d \n",
                       static_cast<int>(readBack / kH280RateUnits));
            return true;
        }
        LogMessage(log, 1,
                   "Camera::SetFrameRate H280: Failed to set framerate for H280: port= %d, "
                   "framerate = %d\n",
                   Port(), static_cast<int>(word));
        mirrorCamera();
        return false;
    }
    if (ZazeGigE_WriteRegisterFloat(rate.registerAddress, static_cast<float>(rate.value))) {
        return true;
    }
    LogMessage(log, 1, "Camera::SetFrameRate: Failed to set framerate: port= %d, framerate = %f\n",
               Port(), rate.value);
    mirrorCamera();
    return false;
}

bool Camera::SetBlackLevel(int value) {
    LogMessage(log, 2, "Camera::SetBlackLevel:  value= %d, newValue = %d\n",
               params.BlackLevel.value, value);
    const std::uint32_t off = 0;
    if (!ZazeGigE_WriteRegister(kBlackLevelAuto, &off, 4)) {
        LogMessage(log, 1, "Camera::SetBlackLevel: Failed to set black level auto off:  port= %d\n",
                   Port());
        return false;
    }
    if (!IsH280()) {
        const std::uint32_t selector = (ReadRegister(kBlackLevelSelector) & 0xFFFFu) | kDigitalAll;
        if (!ZazeGigE_WriteRegister(kBlackLevelSelector, &selector, 4)) {
            LogMessage(
                log, 1,
                "Camera::SetBlackLevel: Failed to set black level to DigitalAll  :  port= %d\n",
                Port());
            return false;
        }
    }
    return SetParamInt(params.BlackLevel, value);
}

bool Camera::SetGainSelector() {
    LogMessage(log, 2, "Camera::SetGainSelector entering. \n");
    const std::uint32_t off = 0;
    if (!ZazeGigE_WriteRegister(kGainAuto, &off, 4)) {
        LogMessage(log, 1, "Camera::SetGainSelector: Failed to set gain auto off:  port= %d\n",
                   Port());
        return false;
    }
    LogMessage(log, 3, "Camera::SetGainSelector leaving. \n");
    return true;
}

bool Camera::SetSizeAndPosition() {
    Param<int>& w = params.ImageWidth;
    Param<int>& h = params.ImageHeight;
    Param<int>& x = params.ImageOffsetX;
    Param<int>& y = params.ImageOffsetY;
    LogMessage(
        log, 2,
        "Camera::SetSizeAndPosition entering: widht= %d, height= %d, offsetX= %d, offsetY= %d\n",
        w.value, h.value, x.value, y.value);
    ZURImagePosition position{};
    position.offsetX = static_cast<std::uint16_t>(x.value);
    position.offsetY = static_cast<std::uint16_t>(y.value);
    position.width = static_cast<std::uint16_t>(w.value);
    position.height = static_cast<std::uint16_t>(h.value);
    // A value beyond 16 bits would reach the camera cut to a plausible but
    // wrong size: refused as the camera refuses a size it cannot take.
    const bool fits = FitsGeometryField(w.value) && FitsGeometryField(h.value) &&
                      FitsGeometryField(x.value) && FitsGeometryField(y.value);
    if (fits && platform::Zur().ZURSetImageInfo(zurHandle, &position) != 0) {
        LogMessage(
            log, 3,
            "Camera::SetSizeAndPosition leaving: widht= %d, height= %d, offsetX= %d, offsetY= %d\n",
            w.value, h.value, x.value, y.value);
        return true;
    }
    // The family default of 20000 asks the camera for its full size: a refusal
    // then is expected, and the camera's own geometry is read back.
    if (!fits) {
        LogMessage(log, 1,
                   "Camera::SetSizeAndPosition: ERROR: widht= %d, height= %d, offsetX= %d, "
                   "offsetY= %d do not fit the camera's 16-bit fields\n",
                   w.value, h.value, x.value, y.value);
    } else if (w.value < 20000 && h.value < 20000) {
        LogMessage(log, 1,
                   "Camera::SetSizeAndPosition: Failed to set image size and position: widht= %d, "
                   "height= %d, offsetX= %d, offsetY= %d\n",
                   position.width, position.height, position.offsetX, position.offsetY);
    }
    for (Param<int>* param : {&w, &h, &x, &y}) {
        param->value = static_cast<int>(ReadRegister(param->registerAddress));
    }
    return false;
}

bool Camera::setActiveGPO() {
    ParamEnum& gpo = params.ActiveGPO;
    std::uint32_t word = ReadRegister(gpo.registerAddress) & 0xFFFF0000u;
    const int code = gpo.CurrentCode();
    LogMessage(log, 2, "Camera::setActiveGPO:  value = %d \n", code);
    if (code == 1 || code == 2) {
        word |= static_cast<std::uint32_t>(code);
    }
    if (ZazeGigE_WriteRegister(gpo.registerAddress, &word, 4)) {
        return true;
    }
    LogMessage(log, 1, "Camera::SetactiveGPO: Failed to set line selector:  port= %d, value= %d\n",
               Port(), static_cast<int>(word));
    gpo.SetByCode(static_cast<int>(ReadRegister(gpo.registerAddress) & 0xFFFFu));
    return false;
}

bool Camera::SetBandAdjustment(int value) {
    const int adjust = value > 1 ? 1 : value;
    const int level = params.BandLevel.value;
    LogMessage(log, 2, "Camera::SetBandAdjustment:  BandAdjust= %d, BandLevel = %d\n", adjust,
               level);
    if (platform::Zur().ZURBandAdjust(zurHandle, adjust, level) == 0) {
        LogMessage(log, 1, "Camera::SetBandAdjustment ERROR:  BandAdjust= %d, BandLevel = %d\n",
                   adjust, level);
        return false;
    }
    params.BandAdjustment.value = adjust;
    LogMessage(log, 2, "Camera::SetBandAdjustment leaving:  BandAdjust= %d, BandLevel = %d\n",
               adjust, level);
    return true;
}

bool Camera::SetColorFilter(int code) {
    ParamEnum& filter = params.ColorFilter;
    if (code > -1 && (code < filter.MinCode() || code > filter.MaxCode())) {
        LogMessage(log, 1,
                   "Camera::SetColorFilter: value out of enum range: port= %d, value= %d \n",
                   Port(), code);
        return false;
    }
    if (code <= -1) {
        code = filter.CurrentCode();
    }
    ZURCameraMode mode{};
    if (platform::Zur().ZURNowCameraMode(zurHandle, &mode) == 0) {
        LogMessage(log, 1, "Camera::SetColorFilter: ZURNowCameraMode ERROR. port= %d, value= %d \n",
                   Port(), code);
        return false;
    }
    if (mode.standardMode != 0) {
        LogMessage(log, 1,
                   "Camera::SetColorFilter: camera in standard mode. port= %d, value= %d \n",
                   Port(), code);
        return false;
    }
    mode.colorFilter = static_cast<std::uint32_t>(code);
    if (platform::Zur().ZURSetCameraMode(zurHandle, &mode) == 0) {
        LogMessage(log, 1, "Camera::SetColorFilter: ZURSetCameraMode ERROR. port= %d, value= %d \n",
                   Port(), code);
        return false;
    }
    filter.SetByCode(code);
    // The camera now delivers this Bayer order: the next image is converted by it.
    if (transfer) {
        transfer->SetFilter(static_cast<std::uint32_t>(code));
    }
    return true;
}

bool Camera::GenerateSoftwareTrigger() {
    LogMessage(log, 3, "Camera::GenerateSoftwareTrigger\n");
    const std::uint32_t on = 1;
    const std::uint32_t off = 0;
    bool fired = true;
    if (!ZazeGigE_WriteRegister(kSoftwareTrigger, &on, 4)) {
        LogMessage(log, 1,
                   "Camera::GenerateSoftwareTrigger: Failed to set SW trigger to 1,  port= %d\n",
                   Port());
        fired = false;
    }
    LogMessage(log, 3, "Camera::GenerateSoftwareTrigger to 0 \n");
    if (!ZazeGigE_WriteRegister(kSoftwareTrigger, &off, 4)) {
        LogMessage(log, 1,
                   "Camera::GenerateSoftwareTrigger: Failed to set SW trigger to 0,  port= %d\n",
                   Port());
        return false;
    }
    return fired;
}

// The three passes over the whole set: each follows its list in the setting
// table and does for each row what the row's special case says.

bool Camera::WriteStoredValue(const SettingRow& row) {
    switch (row.special) {
        case Special::FrameRate:
            return SetFrameRate(kWriteStoredRate);
        case Special::BlackLevel:
            return SetBlackLevel(kWriteStored);
        case Special::Geometry:
            return SetSizeAndPosition();
        case Special::BandAdjustment:
            return SetBandAdjustment(params.BandAdjustment.value);
        case Special::ActiveGpo:
            return setActiveGPO();
        case Special::ColorFilter:
            return SetColorFilter(kWriteStored);
        case Special::DriverLog:
        case Special::BandLevel:
            return true;  // nothing of the camera's
        case Special::None:
        case Special::Gain:
            break;
    }
    ParamSet& set = params;
    return std::visit(
        [&](auto member) REQUIRES(cameraLock) {
            auto& param = set.*member;
            using Type = std::remove_cvref_t<decltype(param)>;
            if constexpr (std::is_same_v<Type, ParamEnum>) {
                return SetParamEnum(param, kWriteStored);
            } else if constexpr (std::is_same_v<Type, Param<double>>) {
                return SetParamFloat(param, kWriteStoredRate);
            } else {
                return SetParamInt(param, kWriteStored);
            }
        },
        row.member);
}

bool Camera::SetParameters(bool yieldToClose) {
    LogMessage(log, 2, "INFO: Camera::SetParameters entering\n");
    const Family family = SettingFamily();
    for (const Step& step : settings::OpenWrites()) {
        if (!settings::Applies(step, family)) {
            continue;
        }
        if (yieldToClose && CloseWaiting()) {
            return false;
        }
        if (step.kind == StepKind::GainAutoOff) {
            SetGainSelector();
        } else {
            WriteStoredValue(settings::Row(step.setting));
        }
    }
    LogMessage(log, 3, "INFO: Camera::SetParameters leaving\n");
    return true;
}

void Camera::GetAllParametersFromCamera() {
    const Family family = SettingFamily();
    ParamSet& set = params;
    for (const Step& step : settings::ValueReads()) {
        if (!settings::Applies(step, family)) {
            continue;
        }
        if (step.kind == StepKind::LogRate) {
            LogMessage(log, 3, "INFO: Camera::GetAllParametersFromCamera framerate= %f\n",
                       set.FrameRate.value);
            continue;
        }
        const SettingRow& row = settings::Row(step.setting);
        if (row.special == Special::FrameRate && IsH280()) {
            set.FrameRate.value = ReadRegister(set.FrameRate.registerAddress) / kH280RateUnits;
            continue;
        }
        if (row.special == Special::ColorFilter) {
            ReadFilterValue();
            continue;
        }
        // ActiveGPO holds its code in the lower 16 bits.
        const std::uint32_t mask = row.special == Special::ActiveGpo ? 0xFFFFu : 0xFFFFFFFFu;
        std::visit(
            [&](auto member) REQUIRES(cameraLock) {
                auto& param = set.*member;
                using Type = std::remove_cvref_t<decltype(param)>;
                if constexpr (std::is_same_v<Type, ParamEnum>) {
                    param.SetByCode(static_cast<int>(ReadRegister(param.registerAddress) & mask));
                } else if constexpr (std::is_same_v<Type, Param<double>>) {
                    param.value = ReadRegisterFloat(param.registerAddress);
                } else {
                    param.value = static_cast<int>(ReadRegister(param.registerAddress));
                }
            },
            row.member);
    }
}

void Camera::GetMinMaxValues() {
    LogMessage(log, 2, "INFO: Camera::GetMinMaxValues entering\n");
    const Family family = SettingFamily();
    ParamSet& set = params;
    for (const Step& step : settings::LimitReads()) {
        if (!settings::Applies(step, family)) {
            continue;
        }
        if (step.kind == StepKind::LogRate) {
            LogMessage(log, 3, "Camera::GetMinMaxValues minFrameRate= %f, maxFrameRate= %f,  \n",
                       set.FrameRate.min, set.FrameRate.max);
            continue;
        }
        const SettingRow& row = settings::Row(step.setting);
        const Limits& limits = row.limits;
        const std::uint32_t maxRegister = limits.maxRegister;
        const std::uint32_t minRegister = maxRegister + 4;
        std::visit(
            [&](auto member) REQUIRES(cameraLock) {
                auto& param = set.*member;
                using Type = std::remove_cvref_t<decltype(param)>;
                if constexpr (std::is_same_v<Type, Param<double>>) {
                    if (limits.kind != LimitKind::Registers) {
                        return;
                    }
                    if (row.special == Special::FrameRate && IsH280()) {
                        param.max = ReadRegister(maxRegister) / kH280RateUnits;
                        param.min = ReadRegister(minRegister) / kH280RateUnits;
                    } else {
                        param.max = ReadRegisterFloat(maxRegister);
                        param.min = ReadRegisterFloat(minRegister);
                    }
                } else if constexpr (std::is_same_v<Type, Param<int>>) {
                    const auto& other =
                        set.*std::get<Param<int> ParamSet::*>(settings::Row(limits.other).member);
                    switch (limits.kind) {
                        case LimitKind::Registers:
                            param.max = static_cast<int>(ReadRegister(maxRegister));
                            param.min = static_cast<int>(ReadRegister(minRegister));
                            break;
                        case LimitKind::Fixed:
                            param.min = limits.fixedMin[family];
                            param.max = limits.fixedMax[family];
                            break;
                        case LimitKind::OffsetOf:
                            param.max = other.max - other.min;
                            param.min = 0;
                            break;
                        case LimitKind::SameAs:
                            param.max = other.max;
                            param.min = other.min;
                            break;
                        case LimitKind::Definition:
                            break;
                    }
                }
            },
            row.member);
    }
    LogMessage(log, 3, "INFO: Camera::GetMinMaxValues leaving\n");
}
