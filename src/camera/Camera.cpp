#include "camera/Camera.h"

#include "camera/GrabThread.h"

Camera::Camera(const char* cameraName, const CameraModelInfo& model, std::uint32_t idLow,
               std::uint32_t idHigh)
    : name(TextOrNull(cameraName)),
      deviceIdLow(idLow),
      deviceIdHigh(idHigh),
      modelFlags(model.flags),
      identity(model.identity),
      log(DriverLog::Instance()),
      pixelSize((model.flags & ModelColor) != 0 ? 24 : 8) {}

Camera::~Camera() {
    LogMessage(log, 2, "Camera::~Camera: camera %s on port %d \n", name.c_str(), Port());
    if (isOpen) {
        Close();
    }
    grabThread.reset();
    SetPort(-1);
}

const std::uint8_t* Camera::GetLine(int line) const {
    ImageBuffer* dest = DestBuffer();
    return dest != nullptr ? dest->GetLine(line) : nullptr;
}

bool Camera::CopyLine(int line, void* target, std::size_t bytes) const {
    const std::uint8_t* source = GetLine(line);
    if (source == nullptr) {
        return false;
    }
    transfer->CopyLine(source, target, bytes);
    return true;
}

ZURColorConvMode Camera::ConversionMode() const {
    return transfer ? transfer->GetConversion().mode : ZURColorConvMode{};
}
