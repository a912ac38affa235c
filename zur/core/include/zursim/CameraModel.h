#pragma once

// One simulated camera: its identity and options, its register space with the
// access rules of the real camera, its geometry and its stream state.

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zursim/Scene.h"

namespace zursim {

using Clock = std::chrono::steady_clock;

// Register map. The register space is 0xA0000000 to 0xA000FFFC, 4-byte words.
namespace reg {
inline constexpr std::uint32_t kBase = 0xA0000000u;
inline constexpr std::uint32_t kEnd = 0xA0010000u;  // first address past the space
inline constexpr std::uint32_t kScratch = 0xA0000000u;

inline constexpr std::uint32_t kWidth = 0xA0000100u;
inline constexpr std::uint32_t kHeight = 0xA0000104u;
inline constexpr std::uint32_t kOffsetX = 0xA0000108u;
inline constexpr std::uint32_t kOffsetY = 0xA000010Cu;
inline constexpr std::uint32_t kVerticalBinning = 0xA0000114u;
inline constexpr std::uint32_t kHorizontalBinning = 0xA0000118u;
inline constexpr std::uint32_t kSensorTaps = 0xA0000124u;  // H280 only
inline constexpr std::uint32_t kFrameRate = 0xA0000220u;
inline constexpr std::uint32_t kFrameRateAuto = 0xA0000224u;
inline constexpr std::uint32_t kSoftwareTrigger = 0xA00002F8u;
inline constexpr std::uint32_t kGamma = 0xA0000310u;
inline constexpr std::uint32_t kActiveGpoH280 = 0xA0000354u;
inline constexpr std::uint32_t kBlackLevelSelector = 0xA0001100u;
inline constexpr std::uint32_t kActiveGpo = 0xA0001104u;
inline constexpr std::uint32_t kGain = 0xA0002008u;
inline constexpr std::uint32_t kBlackLevelAuto = 0xA0002018u;
inline constexpr std::uint32_t kGainAuto = 0xA000201Cu;
inline constexpr std::uint32_t kBlackLevelH280 = 0xA0002038u;
inline constexpr std::uint32_t kExposure = 0xA0002040u;
inline constexpr std::uint32_t kTriggerMode = 0xA0002044u;
inline constexpr std::uint32_t kTriggerActivation = 0xA0002048u;
inline constexpr std::uint32_t kTriggerInhibit = 0xA0002050u;
inline constexpr std::uint32_t kTriggerDelay = 0xA0002058u;
inline constexpr std::uint32_t kLineSource1 = 0xA000206Cu;
inline constexpr std::uint32_t kLineInverter1 = 0xA0002070u;
inline constexpr std::uint32_t kStrobeDelay1 = 0xA0002074u;
inline constexpr std::uint32_t kStrobeDuration1 = 0xA0002078u;
inline constexpr std::uint32_t kLineSource2 = 0xA0002080u;
inline constexpr std::uint32_t kLineInverter2 = 0xA0002084u;
inline constexpr std::uint32_t kStrobeDelay2 = 0xA0002088u;
inline constexpr std::uint32_t kStrobeDuration2 = 0xA000208Cu;
inline constexpr std::uint32_t kTriggerSource = 0xA0002098u;
inline constexpr std::uint32_t kLineInverter1Alt = 0xA00020A8u;  // colour and H280
inline constexpr std::uint32_t kLineInverter2Alt = 0xA00020ACu;  // colour and H280
inline constexpr std::uint32_t kGainRed = 0xA0003000u;
inline constexpr std::uint32_t kGainGreen = 0xA0003008u;
inline constexpr std::uint32_t kGainBlue = 0xA0003018u;
inline constexpr std::uint32_t kGainH280 = 0xA00030A0u;
inline constexpr std::uint32_t kBlackLevel = 0xA0008038u;

// Read-only limit block: maximum at the lower address, minimum 4 above.
inline constexpr std::uint32_t kLimitsBegin = 0xA0007000u;
inline constexpr std::uint32_t kLimitsEnd = 0xA0007100u;
inline constexpr std::uint32_t kWidthMax = 0xA0007000u;
inline constexpr std::uint32_t kHeightMax = 0xA0007008u;
inline constexpr std::uint32_t kFrameRateMax = 0xA0007010u;
inline constexpr std::uint32_t kGainMax = 0xA0007020u;
inline constexpr std::uint32_t kBlackLevelMax = 0xA0007048u;
inline constexpr std::uint32_t kExposureMax = 0xA0007058u;
inline constexpr std::uint32_t kTriggerDelayMax = 0xA0007060u;
inline constexpr std::uint32_t kGammaMax = 0xA0007068u;
inline constexpr std::uint32_t kStrobeDelayMax = 0xA0007078u;
inline constexpr std::uint32_t kStrobeDurationMax = 0xA0007080u;
inline constexpr std::uint32_t kColorGainMax = 0xA00070C0u;
inline constexpr std::uint32_t kMinOffset = 4u;  // minimum = maximum address + 4
}  // namespace reg

// Largest sensor side the simulator accepts, so that an image always fits a
// 32-bit buffer size and the driver's 20000 x 20000 default never fits.
inline constexpr std::uint32_t kMaxSensorSide = 16384;
inline constexpr std::uint32_t kFirstFrameCounter = 0xFFFFFFF0u;

// What a camera is, as configured (see Config.cpp for the keys).
struct CameraOptions {
    std::string model;
    std::uint64_t id = 0;
    std::uint32_t sensorWidth = 640;
    std::uint32_t sensorHeight = 480;
    std::optional<std::uint32_t> colorId;  // unset: chosen from the format
    std::uint32_t dataDepth = 8;
    std::uint32_t standardMode = 0;
    std::uint32_t colorFilter = 0;
    std::uint32_t bufferSize = 0;  // 0: the real image size
    bool fast = false;
    std::uint32_t frameCounter = kFirstFrameCounter;
    std::uint32_t frameRateMax = 30;  // whole frames per second
};

// The options a model starts with: sensor size, colour filter, frame-rate limit.
CameraOptions ModelDefaults(const std::string& model, std::uint64_t id);
bool ModelIsColor(const std::string& model);
bool ModelIsH280(const std::string& model);

// The image window on the sensor and the binning applied to it.
struct Geometry {
    std::uint32_t offsetX = 0;
    std::uint32_t offsetY = 0;
    std::uint32_t width = 0;  // on the sensor, before binning
    std::uint32_t height = 0;
    std::uint32_t horizontalBinning = 1;
    std::uint32_t verticalBinning = 1;

    std::uint32_t ImageWidth() const { return width / horizontalBinning; }
    std::uint32_t ImageHeight() const { return height / verticalBinning; }
};

struct Request {
    void* buffer = nullptr;
    std::uint32_t size = 0;
    std::uint64_t serial = 0;
    bool done = false;  // the frame is in the buffer, or error says why not
    std::uint32_t error = 0;
    bool waited = false;  // a thread waits for it
};

class Camera {
  public:
    explicit Camera(CameraOptions options);

    const CameraOptions& Options() const { return options; }
    // Applies changed options: a new model or sensor size restarts the
    // register space from its initial values.
    // Takes new options. The colour filter and the frame counter restart
    // from their options when those change or when named in `restart`.
    void Reconfigure(CameraOptions changed, std::string_view restart = {});
    bool IsColor() const { return color; }
    bool IsH280() const { return h280; }

    // Register access as the camera answers it; 0 or a ZUR error code.
    std::uint32_t Read(std::uint32_t address, std::uint32_t& value) const;
    std::uint32_t Write(std::uint32_t address, std::uint32_t value);
    // Raw access, without rules or side effects; false outside the space.
    bool Peek(std::uint32_t address, std::uint32_t& value) const;
    bool Poke(std::uint32_t address, std::uint32_t value);

    // The current geometry, forced inside the sensor whatever the registers hold.
    Geometry CurrentGeometry() const;
    std::uint32_t SetGeometry(std::uint32_t offsetX, std::uint32_t offsetY, std::uint32_t width,
                              std::uint32_t height);

    std::uint32_t ColorId() const;
    std::uint32_t BytesPerSample() const { return options.dataDepth > 8 ? 2u : 1u; }
    std::uint32_t ImageBytes() const;
    std::uint32_t ReportedBufferSize() const;
    std::uint32_t ColorFilter() const { return colorFilter; }
    std::uint32_t SetColorFilter(std::uint32_t code);

    bool TriggerModeOn() const { return RegisterValue(reg::kTriggerMode) == 1; }
    bool TriggerSourceSoftware() const { return RegisterValue(reg::kTriggerSource) == 1; }
    // The time between two free-running frames, from the frame-rate registers.
    Clock::duration FramePeriod() const;

    // The scene for a frame with this counter at the current geometry.
    SceneView View(std::uint32_t frameCounter) const;
    // Renders the next frame into lastImage and counts it.
    void ProduceFrame();

    // Identity and connection.
    std::uint32_t handle = 0;  // 0: closed
    bool unplugged = false;
    std::int32_t bandAdjust = 0;
    std::int32_t bandLevel = 0;

    // Stream.
    bool allocated = false;
    bool started = false;
    bool frameLimited = false;
    std::uint32_t framesLeft = 0;
    std::deque<Request> requests;
    std::optional<Clock::time_point> lastFrameTime;
    std::uint32_t pendingTriggers = 0;

    // Frames.
    std::uint32_t nextFrameCounter = kFirstFrameCounter;
    std::uint32_t lastFrameCounter = kFirstFrameCounter - 1;
    std::uint32_t framesProduced = 0;
    std::vector<std::uint8_t> lastImage;

    // Ends the stream as a close does: requests dropped, triggers forgotten.
    void ResetStream();
    // As after a power cycle: registers, filter and band adjustment at their
    // initial values.
    void PowerCycle();

  private:
    static constexpr std::size_t kRegisterCount = (reg::kEnd - reg::kBase) / 4;

    void InitializeRegisters();
    std::uint32_t RegisterValue(std::uint32_t address) const;
    void SetRegister(std::uint32_t address, std::uint32_t value);
    std::uint32_t CheckValue(std::uint32_t address, std::uint32_t value) const;
    std::uint32_t BlackLevelAddress() const;
    std::uint32_t GainAddress() const;

    CameraOptions options;
    bool color = false;
    bool h280 = false;
    std::uint32_t colorFilter = 0;
    std::array<std::uint32_t, kRegisterCount> registers{};
};

}  // namespace zursim
