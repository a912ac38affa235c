#include "zursim/CameraModel.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "ZUR.h"

namespace zursim {
namespace {

struct ModelEntry {
    const char* model;
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t frameRateMax;
};

constexpr ModelEntry kModels[] = {
    {"XCG-V60E", 640, 480, 90},     {"XCG-SX97E", 1360, 1024, 20},  {"XCG-SX99E", 1360, 1024, 30},
    {"XCG-U100E", 1600, 1200, 15},  {"XCG-5005E", 2448, 2048, 15},  {"XCG-H280E", 1920, 1080, 60},
    {"XCG-U100CR", 1600, 1200, 15}, {"XCG-5005CR", 2448, 2048, 15},
};

// Default ColorIDs: 0 for monochrome, 9 for 8-bit raw Bayer and 5 for
// 16-bit raw Bayer, so that the driver's conversion table reads the samples
// at the width they are delivered.
constexpr std::uint32_t kColorIdMono = 0;
constexpr std::uint32_t kColorIdBayer8 = 9;
constexpr std::uint32_t kColorIdBayer16 = 5;

constexpr std::uint32_t kMinWidth = 64;
constexpr std::uint32_t kMinHeight = 120;
constexpr std::uint32_t kFpsScaleH280 = 1000000;

}  // namespace

bool ModelIsColor(const std::string& model) {
    return model.find("CR") != std::string::npos;
}

bool ModelIsH280(const std::string& model) {
    return !ModelIsColor(model) && model.find("H280") != std::string::npos;
}

CameraOptions ModelDefaults(const std::string& model, std::uint64_t id) {
    CameraOptions options;
    options.model = model;
    options.id = id;
    for (const ModelEntry& entry : kModels) {
        if (model == entry.model) {
            options.sensorWidth = entry.width;
            options.sensorHeight = entry.height;
            options.frameRateMax = entry.frameRateMax;
        }
    }
    // GRBG rather than RGGB on colour cameras: a driver that ignores the
    // camera's filter order shows red and green exchanged.
    options.colorFilter = ModelIsColor(model) ? 2u : 0u;
    return options;
}

Camera::Camera(CameraOptions initial) : options(std::move(initial)) {
    color = ModelIsColor(options.model);
    h280 = ModelIsH280(options.model);
    colorFilter = options.colorFilter;
    nextFrameCounter = options.frameCounter;
    lastFrameCounter = options.frameCounter - 1;
    InitializeRegisters();
}

void Camera::Reconfigure(CameraOptions changed, std::string_view key) {
    const bool restart = changed.model != options.model ||
                         changed.sensorWidth != options.sensorWidth ||
                         changed.sensorHeight != options.sensorHeight ||
                         changed.frameRateMax != options.frameRateMax;
    const bool newCounter = changed.frameCounter != options.frameCounter || key == "frameCounter";
    const bool newFilter = changed.colorFilter != options.colorFilter || key == "colorFilter";
    options = std::move(changed);
    color = ModelIsColor(options.model);
    h280 = ModelIsH280(options.model);
    if (newFilter) {
        colorFilter = options.colorFilter;
    }
    if (newCounter) {
        nextFrameCounter = options.frameCounter;
        lastFrameCounter = options.frameCounter - 1;
    }
    if (restart) {
        InitializeRegisters();
    }
}

void Camera::PowerCycle() {
    InitializeRegisters();
    colorFilter = options.colorFilter;
    bandAdjust = 0;
    bandLevel = 0;
}

void Camera::InitializeRegisters() {
    registers.fill(0);

    const std::uint32_t width = options.sensorWidth;
    const std::uint32_t height = options.sensorHeight;
    SetRegister(reg::kWidth, width);
    SetRegister(reg::kHeight, height);
    SetRegister(reg::kWidthMax, width);
    SetRegister(reg::kWidthMax + reg::kMinOffset, std::min(kMinWidth, width));
    SetRegister(reg::kHeightMax, height);
    SetRegister(reg::kHeightMax + reg::kMinOffset, std::min(kMinHeight, height));

    if (h280) {
        SetRegister(reg::kFrameRate, kFpsScaleH280);
        SetRegister(reg::kFrameRateMax, options.frameRateMax * kFpsScaleH280);
        SetRegister(reg::kFrameRateMax + reg::kMinOffset, kFpsScaleH280);
        SetRegister(reg::kSensorTaps, 2);
        SetRegister(reg::kActiveGpoH280, 0x00050000u);
        SetRegister(reg::kBlackLevelH280, 1023);
        SetRegister(reg::kGainMax, 480);
        SetRegister(reg::kHorizontalBinning, 1);
        SetRegister(reg::kVerticalBinning, 1);
    } else {
        SetRegister(reg::kFrameRate, std::bit_cast<std::uint32_t>(1.0f));
        SetRegister(reg::kFrameRateMax,
                    std::bit_cast<std::uint32_t>(static_cast<float>(options.frameRateMax)));
        SetRegister(reg::kFrameRateMax + reg::kMinOffset, std::bit_cast<std::uint32_t>(1.0f));
        SetRegister(reg::kGamma, std::bit_cast<std::uint32_t>(0.7f));
        SetRegister(reg::kGammaMax, std::bit_cast<std::uint32_t>(1.0f));
        SetRegister(reg::kGammaMax + reg::kMinOffset, std::bit_cast<std::uint32_t>(0.0f));
        SetRegister(reg::kBlackLevelSelector, 0x00010005u);
        SetRegister(reg::kActiveGpo, 0x00050000u);
        SetRegister(reg::kBlackLevel, 1023);
        SetRegister(reg::kGainMax, 502);
    }
    if (color) {
        SetRegister(reg::kGainRed, 1024);
        SetRegister(reg::kGainGreen, 1024);
        SetRegister(reg::kGainBlue, 1024);
        SetRegister(reg::kColorGainMax, 16383);
        SetRegister(reg::kColorGainMax + reg::kMinOffset, 1024);
    }
    SetRegister(reg::kExposure, 100);
    SetRegister(reg::kExposureMax, 2000000);
    SetRegister(reg::kExposureMax + reg::kMinOffset, 10);
    SetRegister(reg::kBlackLevelMax, 2047);
    SetRegister(reg::kTriggerDelayMax, 4000000);
    SetRegister(reg::kStrobeDelayMax, 4000);
    SetRegister(reg::kStrobeDurationMax, 4000);
    SetRegister(reg::kStrobeDurationMax + reg::kMinOffset, 1);
    SetRegister(reg::kStrobeDuration1, 1);
    SetRegister(reg::kStrobeDuration2, 1);
    SetRegister(reg::kTriggerActivation, 4);  // Falling Edge
    SetRegister(reg::kTriggerSource, 1);      // Software
}

std::uint32_t Camera::RegisterValue(std::uint32_t address) const {
    return registers[(address - reg::kBase) / 4];
}

void Camera::SetRegister(std::uint32_t address, std::uint32_t value) {
    registers[(address - reg::kBase) / 4] = value;
}

bool Camera::Peek(std::uint32_t address, std::uint32_t& value) const {
    if (address < reg::kBase || address >= reg::kEnd || (address & 3u) != 0) {
        return false;
    }
    value = RegisterValue(address);
    return true;
}

bool Camera::Poke(std::uint32_t address, std::uint32_t value) {
    if (address < reg::kBase || address >= reg::kEnd || (address & 3u) != 0) {
        return false;
    }
    SetRegister(address, value);
    return true;
}

std::uint32_t Camera::Read(std::uint32_t address, std::uint32_t& value) const {
    return Peek(address, value) ? ZUR_ERROR_NONE : ZUR_ERROR_BAD_REGISTER;
}

std::uint32_t Camera::BlackLevelAddress() const {
    return h280 ? reg::kBlackLevelH280 : reg::kBlackLevel;
}

std::uint32_t Camera::GainAddress() const {
    return h280 ? reg::kGainH280 : reg::kGain;
}

// A register that the camera checks against its limits or its list of codes
// refuses other values, as the camera's own firmware would.
std::uint32_t Camera::CheckValue(std::uint32_t address, std::uint32_t value) const {
    const auto within = [&](std::uint32_t maxAddress) {
        return value >= RegisterValue(maxAddress + reg::kMinOffset) &&
               value <= RegisterValue(maxAddress);
    };
    const auto withinFloat = [&](std::uint32_t maxAddress) {
        const float number = std::bit_cast<float>(value);
        return std::isfinite(number) &&
               number >= std::bit_cast<float>(RegisterValue(maxAddress + reg::kMinOffset)) &&
               number <= std::bit_cast<float>(RegisterValue(maxAddress));
    };
    const auto oneOf = [&](std::uint32_t low, std::uint32_t high) {
        return value >= low && value <= high;
    };
    bool valid = true;
    if (address == reg::kExposure) {
        valid = within(reg::kExposureMax);
    } else if (address == BlackLevelAddress()) {
        valid = within(reg::kBlackLevelMax);
    } else if (address == GainAddress()) {
        valid = within(reg::kGainMax);
    } else if (address == reg::kFrameRate) {
        valid = h280 ? within(reg::kFrameRateMax) : withinFloat(reg::kFrameRateMax);
    } else if (address == reg::kGamma && !h280) {
        valid = withinFloat(reg::kGammaMax);
    } else if (color && (address == reg::kGainRed || address == reg::kGainGreen ||
                         address == reg::kGainBlue)) {
        valid = within(reg::kColorGainMax);
    } else if (address == reg::kTriggerDelay) {
        valid = within(reg::kTriggerDelayMax);
    } else if (address == reg::kStrobeDelay1 || address == reg::kStrobeDelay2) {
        valid = within(reg::kStrobeDelayMax);
    } else if (address == reg::kStrobeDuration1 || address == reg::kStrobeDuration2) {
        valid = within(reg::kStrobeDurationMax);
    } else if (address == reg::kTriggerMode || address == reg::kTriggerSource ||
               address == reg::kTriggerInhibit) {
        valid = oneOf(0, 1);
    } else if (address == reg::kTriggerActivation) {
        valid = oneOf(4, 7);
    } else if (address == reg::kLineSource1 || address == reg::kLineSource2) {
        valid = oneOf(0, h280 ? 7 : 2);
    } else if ((!color && !h280 &&
                (address == reg::kLineInverter1 || address == reg::kLineInverter2)) ||
               ((color || h280) &&
                (address == reg::kLineInverter1Alt || address == reg::kLineInverter2Alt))) {
        valid = oneOf(0, 1);
    } else if (address == (h280 ? reg::kActiveGpoH280 : reg::kActiveGpo)) {
        valid = (value & 0xFFFFu) <= 2;  // the upper half is the camera's own
    } else if (h280 && address == reg::kSensorTaps) {
        valid = value == 2 || value == 4;
    } else if (address == reg::kVerticalBinning && !color) {
        valid = oneOf(0, h280 ? 2 : 1);
    } else if (address == reg::kHorizontalBinning && h280) {
        valid = oneOf(0, 2);
    }
    return valid ? ZUR_ERROR_NONE : ZUR_ERROR_OUT_OF_RANGE;
}

std::uint32_t Camera::Write(std::uint32_t address, std::uint32_t value) {
    if (address < reg::kBase || address >= reg::kEnd || (address & 3u) != 0) {
        return ZUR_ERROR_BAD_REGISTER;
    }
    if (address >= reg::kLimitsBegin && address < reg::kLimitsEnd) {
        return ZUR_ERROR_READ_ONLY;
    }
    const bool geometry = address == reg::kWidth || address == reg::kHeight ||
                          address == reg::kOffsetX || address == reg::kOffsetY;
    const bool binning = (address == reg::kVerticalBinning && !color) ||
                         (address == reg::kHorizontalBinning && h280);
    if ((geometry || binning) && allocated) {
        // The image size cannot change under the buffers of a stream.
        return ZUR_ERROR_BUSY;
    }
    if (geometry) {
        const Geometry now = CurrentGeometry();
        return SetGeometry(address == reg::kOffsetX ? value : now.offsetX,
                           address == reg::kOffsetY ? value : now.offsetY,
                           address == reg::kWidth ? value : now.width,
                           address == reg::kHeight ? value : now.height);
    }
    if (const std::uint32_t error = CheckValue(address, value); error != ZUR_ERROR_NONE) {
        return error;
    }
    SetRegister(address, value);
    if (address == reg::kSoftwareTrigger && value == 1 && started && TriggerModeOn() &&
        TriggerSourceSoftware()) {
        ++pendingTriggers;
    }
    if (address == reg::kTriggerMode || address == reg::kTriggerSource) {
        pendingTriggers = 0;
    }
    return ZUR_ERROR_NONE;
}

Geometry Camera::CurrentGeometry() const {
    Geometry geometry;
    const std::uint32_t sensorWidth = options.sensorWidth;
    const std::uint32_t sensorHeight = options.sensorHeight;
    geometry.width = std::clamp<std::uint32_t>(RegisterValue(reg::kWidth), 1, sensorWidth);
    geometry.height = std::clamp<std::uint32_t>(RegisterValue(reg::kHeight), 1, sensorHeight);
    geometry.offsetX = std::min(RegisterValue(reg::kOffsetX), sensorWidth - geometry.width);
    geometry.offsetY = std::min(RegisterValue(reg::kOffsetY), sensorHeight - geometry.height);
    if (!color) {
        const std::uint32_t vertical = RegisterValue(reg::kVerticalBinning);
        // Standard cameras switch binning on with 1; H280 cameras take the factor.
        if ((h280 && vertical == 2) || (!h280 && vertical == 1)) {
            geometry.verticalBinning = 2;
        }
    }
    if (h280 && RegisterValue(reg::kHorizontalBinning) == 2) {
        geometry.horizontalBinning = 2;
    }
    if (geometry.ImageWidth() == 0) {
        geometry.horizontalBinning = 1;
    }
    if (geometry.ImageHeight() == 0) {
        geometry.verticalBinning = 1;
    }
    return geometry;
}

std::uint32_t Camera::SetGeometry(std::uint32_t offsetX, std::uint32_t offsetY, std::uint32_t width,
                                  std::uint32_t height) {
    const auto fits = [](std::uint64_t offset, std::uint64_t size, std::uint32_t low,
                         std::uint32_t high, std::uint32_t sensor) {
        return size >= low && size <= high && size <= sensor && offset + size <= sensor;
    };
    if (!fits(offsetX, width, RegisterValue(reg::kWidthMax + reg::kMinOffset),
              RegisterValue(reg::kWidthMax), options.sensorWidth) ||
        !fits(offsetY, height, RegisterValue(reg::kHeightMax + reg::kMinOffset),
              RegisterValue(reg::kHeightMax), options.sensorHeight) ||
        width == 0 || height == 0) {
        return ZUR_ERROR_OUT_OF_RANGE;
    }
    SetRegister(reg::kWidth, width);
    SetRegister(reg::kHeight, height);
    SetRegister(reg::kOffsetX, offsetX);
    SetRegister(reg::kOffsetY, offsetY);
    return ZUR_ERROR_NONE;
}

std::uint32_t Camera::ColorId() const {
    if (options.colorId) {
        return *options.colorId;
    }
    if (!color) {
        return kColorIdMono;
    }
    return options.dataDepth > 8 ? kColorIdBayer16 : kColorIdBayer8;
}

std::uint32_t Camera::ImageBytes() const {
    const Geometry geometry = CurrentGeometry();
    return geometry.ImageWidth() * geometry.ImageHeight() * BytesPerSample();
}

std::uint32_t Camera::ReportedBufferSize() const {
    return options.bufferSize != 0 ? options.bufferSize : ImageBytes();
}

std::uint32_t Camera::SetColorFilter(std::uint32_t code) {
    if (code > 3) {
        return ZUR_ERROR_INVALID_ARGUMENT;
    }
    if (options.standardMode != 0 && code != colorFilter) {
        // In a standard mode the filter order is fixed.
        return ZUR_ERROR_INVALID_ARGUMENT;
    }
    colorFilter = code;
    return ZUR_ERROR_NONE;
}

Clock::duration Camera::FramePeriod() const {
    double low = 0;
    double high = 0;
    double wanted = 0;
    if (h280) {
        low = RegisterValue(reg::kFrameRateMax + reg::kMinOffset) / double{kFpsScaleH280};
        high = RegisterValue(reg::kFrameRateMax) / double{kFpsScaleH280};
        wanted = RegisterValue(reg::kFrameRate) / double{kFpsScaleH280};
    } else {
        low = std::bit_cast<float>(RegisterValue(reg::kFrameRateMax + reg::kMinOffset));
        high = std::bit_cast<float>(RegisterValue(reg::kFrameRateMax));
        wanted = std::bit_cast<float>(RegisterValue(reg::kFrameRate));
    }
    // Limits poked to nonsense still give a usable rate.
    if (!std::isfinite(low) || low < 0.01) {
        low = 0.01;
    }
    if (!std::isfinite(high) || high < low) {
        high = std::max(low, 1000.0);
    }
    if (RegisterValue(reg::kFrameRateAuto) != 0) {
        wanted = high;  // automatic: as fast as the camera can
    }
    if (!std::isfinite(wanted)) {
        wanted = low;
    }
    wanted = std::clamp(wanted, low, high);
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / wanted));
}

SceneView Camera::View(std::uint32_t frameCounter) const {
    const Geometry geometry = CurrentGeometry();
    SceneView view;
    view.sensorWidth = options.sensorWidth;
    view.sensorHeight = options.sensorHeight;
    view.offsetX = geometry.offsetX;
    view.offsetY = geometry.offsetY;
    view.width = geometry.ImageWidth();
    view.height = geometry.ImageHeight();
    view.horizontalBinning = geometry.horizontalBinning;
    view.verticalBinning = geometry.verticalBinning;
    view.color = color;
    view.frameCounter = frameCounter;
    if (color) {
        view.gainRed = RegisterValue(reg::kGainRed);
        view.gainGreen = RegisterValue(reg::kGainGreen);
        view.gainBlue = RegisterValue(reg::kGainBlue);
    }
    return view;
}

void Camera::ProduceFrame() {
    const SceneView view = View(nextFrameCounter);
    // Every byte is drawn: no need to clear them first.
    lastImage.resize(static_cast<std::size_t>(view.width) * view.height * BytesPerSample());
    RenderRaw(view, colorFilter, options.dataDepth, lastImage);
    lastFrameCounter = nextFrameCounter;
    ++nextFrameCounter;
    ++framesProduced;
}

void Camera::ResetStream() {
    allocated = false;
    started = false;
    frameLimited = false;
    framesLeft = 0;
    requests.clear();
    lastFrameTime.reset();
    pendingTriggers = 0;
}

}  // namespace zursim
