#include "camera/Camera.h"

Camera::Camera(const char* cameraName, const CameraModelInfo& model, std::uint32_t deviceIdLow,
               std::uint32_t deviceIdHigh)
    : name(TextOrNull(cameraName)),
      deviceId((static_cast<std::uint64_t>(deviceIdHigh) << 32) | deviceIdLow),
      modelFlags(model.flags),
      identity(model.identity),
      log(DriverLog::Instance()),
      pixelSize((model.flags & ModelColor) != 0 ? 24 : 8) {}

Camera::~Camera() {
    LogMessage(log, 2, "Camera::~Camera: camera %s on port %d \n", name.c_str(), port);
    port = -1;
}
