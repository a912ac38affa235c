// Register access and the feature setters: every camera setting reaches the
// camera through a 32-bit GigE register or a dedicated ZUR call.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "camera/Camera.h"

namespace {

// Control and limit registers, the same on every family.
constexpr std::uint32_t kSoftwareTrigger = 0xA00002F8;
constexpr std::uint32_t kFrameRateAuto = 0xA0000224;
constexpr std::uint32_t kBlackLevelAuto = 0xA0002018;
constexpr std::uint32_t kBlackLevelSelector = 0xA0001100;
constexpr std::uint32_t kGainAuto = 0xA000201C;
constexpr std::uint32_t kWidthMax = 0xA0007000;
constexpr std::uint32_t kWidthMin = 0xA0007004;
constexpr std::uint32_t kHeightMax = 0xA0007008;
constexpr std::uint32_t kHeightMin = 0xA000700C;
constexpr std::uint32_t kFrameRateMax = 0xA0007010;
constexpr std::uint32_t kFrameRateMin = 0xA0007014;
constexpr std::uint32_t kGainMax = 0xA0007020;
constexpr std::uint32_t kGainMin = 0xA0007024;
constexpr std::uint32_t kBlackLevelMax = 0xA0007048;
constexpr std::uint32_t kBlackLevelMin = 0xA000704C;
constexpr std::uint32_t kExposureMax = 0xA0007058;
constexpr std::uint32_t kExposureMin = 0xA000705C;
constexpr std::uint32_t kTriggerDelayMax = 0xA0007060;
constexpr std::uint32_t kTriggerDelayMin = 0xA0007064;
constexpr std::uint32_t kGammaMax = 0xA0007068;
constexpr std::uint32_t kGammaMin = 0xA000706C;
constexpr std::uint32_t kStrobeDelayMax = 0xA0007078;
constexpr std::uint32_t kStrobeDelayMin = 0xA000707C;
constexpr std::uint32_t kStrobeDurationMax = 0xA0007080;
constexpr std::uint32_t kStrobeDurationMin = 0xA0007084;
constexpr std::uint32_t kColorGainMax = 0xA00070C0;
constexpr std::uint32_t kColorGainMin = 0xA00070C4;

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

void Camera::GetMinMaxValues() {
    LogMessage(log, 2, "INFO: Camera::GetMinMaxValues entering\n");
    const auto readInt = [this](std::uint32_t address) REQUIRES(cameraLock) {
        return static_cast<int>(ReadRegister(address));
    };
    const auto readPair = [&](Param<int>& param, std::uint32_t maxAddress, std::uint32_t minAddress)
                              REQUIRES(cameraLock) {
                                  param.max = readInt(maxAddress);
                                  param.min = readInt(minAddress);
                              };
    readPair(params.Exposure, kExposureMax, kExposureMin);
    readPair(params.BlackLevel, kBlackLevelMax, kBlackLevelMin);
    Param<double>& rate = params.FrameRate;
    if (IsH280()) {
        rate.max = ReadRegister(kFrameRateMax) / kH280RateUnits;
        rate.min = ReadRegister(kFrameRateMin) / kH280RateUnits;
    } else {
        rate.max = ReadRegisterFloat(kFrameRateMax);
        rate.min = ReadRegisterFloat(kFrameRateMin);
    }
    LogMessage(log, 3, "Camera::GetMinMaxValues minFrameRate= %f, maxFrameRate= %f,  \n", rate.min,
               rate.max);
    readPair(params.ImageWidth, kWidthMax, kWidthMin);
    readPair(params.ImageHeight, kHeightMax, kHeightMin);
    params.ImageOffsetX.max = params.ImageWidth.max - params.ImageWidth.min;
    params.ImageOffsetX.min = 0;
    params.ImageOffsetY.max = params.ImageHeight.max - params.ImageHeight.min;
    params.ImageOffsetY.min = 0;
    readPair(params.Gain, kGainMax, kGainMin);
    if (IsColor()) {
        for (Param<int>* gain : {&params.GainRed, &params.GainGreen, &params.GainBlue}) {
            readPair(*gain, kColorGainMax, kColorGainMin);
        }
    }
    const int binningMin = IsH280() ? 1 : 0;
    const int binningMax = IsH280() ? 2 : 1;
    for (Param<int>* binning : {&params.VerticalBinning, &params.HorizontalBinning}) {
        binning->min = binningMin;
        binning->max = binningMax;
    }
    params.BandAdjustment.min = 0;
    params.BandAdjustment.max = 1;
    params.BandLevel.min = 0;
    params.BandLevel.max = 100;
    readPair(params.TriggerDelay, kTriggerDelayMax, kTriggerDelayMin);
    const int durationMax = readInt(kStrobeDurationMax);
    const int durationMin = readInt(kStrobeDurationMin);
    params.StrobeDuration2.max = params.StrobeDuration1.max = durationMax;
    params.StrobeDuration2.min = params.StrobeDuration1.min = durationMin;
    const int delayMax = readInt(kStrobeDelayMax);
    const int delayMin = readInt(kStrobeDelayMin);
    params.StrobeDelay2.max = params.StrobeDelay1.max = delayMax;
    params.StrobeDelay2.min = params.StrobeDelay1.min = delayMin;
    if (!IsH280()) {
        params.Gamma.max = ReadRegisterFloat(kGammaMax);
        params.Gamma.min = ReadRegisterFloat(kGammaMin);
    }
    LogMessage(log, 3, "INFO: Camera::GetMinMaxValues leaving\n");
}

void Camera::GetAllParametersFromCamera() {
    const auto readInt = [this](Param<int>& param) REQUIRES(cameraLock) {
        param.value = static_cast<int>(ReadRegister(param.registerAddress));
    };
    const auto readCode = [this](ParamEnum& param,
                                 std::uint32_t mask = 0xFFFFFFFFu) REQUIRES(cameraLock) {
        param.SetByCode(static_cast<int>(ReadRegister(param.registerAddress) & mask));
    };
    readInt(params.Exposure);
    readInt(params.BlackLevel);
    if (IsH280()) {
        params.FrameRate.value = ReadRegister(params.FrameRate.registerAddress) / kH280RateUnits;
        readCode(params.SensorTaps);
    } else {
        params.FrameRate.value = ReadRegisterFloat(params.FrameRate.registerAddress);
        params.Gamma.value = ReadRegisterFloat(params.Gamma.registerAddress);
    }
    LogMessage(log, 3, "INFO: Camera::GetAllParametersFromCamera framerate= %f\n",
               params.FrameRate.value);
    for (Param<int>* param : {&params.ImageWidth, &params.ImageHeight, &params.ImageOffsetX,
                              &params.ImageOffsetY, &params.Gain}) {
        readInt(*param);
    }
    if (!IsColor()) {
        readInt(params.VerticalBinning);
        if (IsH280()) {
            readInt(params.HorizontalBinning);
        }
    } else {
        readInt(params.GainRed);
        readInt(params.GainGreen);
        readInt(params.GainBlue);
        ReadFilterValue();
    }
    for (ParamEnum* trigger : {&params.TriggerMode, &params.TriggerSource,
                               &params.TriggerActivation, &params.TriggerInhibit}) {
        readCode(*trigger);
    }
    readInt(params.TriggerDelay);
    readCode(params.ActiveGPO, 0xFFFFu);
    readCode(params.LineSource1);
    readCode(params.LineSource2);
    for (Param<int>* param :
         {&params.LineInverter1, &params.LineInverter2, &params.StrobeDuration1,
          &params.StrobeDuration2, &params.StrobeDelay1, &params.StrobeDelay2}) {
        readInt(*param);
    }
}

void Camera::SetParameters() {
    LogMessage(log, 2, "INFO: Camera::SetParameters entering\n");
    SetParamInt(params.Exposure, -1);
    SetBlackLevel(-1);
    SetFrameRate(-1.0f);
    SetSizeAndPosition();
    SetGainSelector();
    SetParamInt(params.Gain, -1);
    SetParamInt(params.GainRed, -1);
    SetParamInt(params.GainGreen, -1);
    SetParamInt(params.GainBlue, -1);
    SetBandAdjustment(params.BandAdjustment.value);
    if (!IsColor()) {
        SetParamInt(params.VerticalBinning, -1);
        if (IsH280()) {
            SetParamInt(params.HorizontalBinning, -1);
        }
    }
    SetParamEnum(params.TriggerMode, -1);
    SetParamEnum(params.TriggerSource, -1);
    SetParamEnum(params.TriggerActivation, -1);
    SetParamEnum(params.TriggerInhibit, -1);
    SetParamInt(params.TriggerDelay, -1);
    setActiveGPO();
    SetParamEnum(params.LineSource1, -1);
    SetParamEnum(params.LineSource2, -1);
    for (Param<int>* param :
         {&params.LineInverter1, &params.LineInverter2, &params.StrobeDuration1,
          &params.StrobeDuration2, &params.StrobeDelay1, &params.StrobeDelay2}) {
        SetParamInt(*param, -1);
    }
    if (!IsH280()) {
        SetParamFloat(params.Gamma, -1.0f);
    } else {
        SetParamEnum(params.SensorTaps, -1);
    }
    if (IsColor()) {
        SetColorFilter(-1);
    }
    LogMessage(log, 3, "INFO: Camera::SetParameters leaving\n");
}
