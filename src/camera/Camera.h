#pragma once

#include <cstdint>
#include <string>

#include "camera/CameraModel.h"
#include "log/DriverLog.h"

// One detected camera.
class Camera {
  public:
    Camera(const char* name, const CameraModelInfo& identity, std::uint32_t deviceIdLow,
           std::uint32_t deviceIdHigh);
    ~Camera();
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    const std::string& Name() const { return name; }
    std::uint64_t DeviceId() const { return deviceId; }
    std::uint32_t ModelFlags() const { return modelFlags; }
    const std::string& Identity() const { return identity; }
    bool IsColor() const { return (modelFlags & ModelColor) != 0; }
    bool IsH280() const { return (modelFlags & ModelH280) != 0; }
    bool IsOpen() const { return isOpen; }
    int Port() const { return port; }
    void SetPort(int newPort) { port = newPort; }
    int PixelSize() const { return pixelSize; }

  private:
    bool isOpen = false;
    std::string name;
    std::uint64_t deviceId;
    std::uint32_t modelFlags;
    std::string identity;
    DriverLog& log;
    int pixelSize;
    int port = -1;
};
