#pragma once

// gevcam's own part of a served camera's address space, beside the bootstrap
// registers (GevProtocol.h) and the XCG feature registers at 0xA0000000
// (zursim/CameraModel.h): the standard acquisition features a GigE Vision
// client expects, and the GenICam description in device memory.

#include <cstdint>

namespace gevcam::device {

// Manufacturer-specific registers, 4 bytes each.
inline constexpr std::uint32_t kOwnBegin = 0xA000;
inline constexpr std::uint32_t kAcquisitionStart = 0xA000;  // write 1
inline constexpr std::uint32_t kAcquisitionStop = 0xA004;   // write 1
inline constexpr std::uint32_t kAcquisitionMode = 0xA008;   // 0 Continuous, 1 SingleFrame
inline constexpr std::uint32_t kPayloadSize = 0xA00C;       // read-only
inline constexpr std::uint32_t kPixelFormat = 0xA010;       // PFNC code
inline constexpr std::uint32_t kTlParamsLocked = 0xA014;    // 0 or 1
inline constexpr std::uint32_t kSensorWidth = 0xA018;       // read-only
inline constexpr std::uint32_t kSensorHeight = 0xA01C;      // read-only
// The counter the last frame showed (one less than the next frame's), as the
// simulated ZUR library's ZURSimFrameCounter reports it.
inline constexpr std::uint32_t kFrameCounter = 0xA020;
// The XCG band adjustment: a cap on the stream's share of the link. gevcam
// keeps the values a driver writes on open; loopback needs no cap.
inline constexpr std::uint32_t kBandAdjust = 0xA024;  // 0 off, 1 on
inline constexpr std::uint32_t kBandLevel = 0xA028;   // percent of the link
inline constexpr std::uint32_t kOwnEnd = 0xA02C;

inline constexpr std::uint32_t kMaxBandLevel = 100;

inline constexpr std::uint32_t kAcquisitionContinuous = 0;
inline constexpr std::uint32_t kAcquisitionSingleFrame = 1;

// The GenICam XML file, read-only device memory.
inline constexpr std::uint32_t kXmlAddress = 0x00100000;

// Stream packet sizes (SCPS, IP and UDP headers included) the camera takes.
inline constexpr std::uint32_t kMinPacketSize = 576;
inline constexpr std::uint32_t kMaxPacketSize = 16384;
inline constexpr std::uint32_t kDefaultPacketSize = 8192;

inline constexpr std::uint32_t kDefaultHeartbeatMs = 3000;
inline constexpr std::uint32_t kMinHeartbeatMs = 100;
inline constexpr std::uint64_t kTickFrequency = 1000000000;  // timestamps in nanoseconds

}  // namespace gevcam::device
