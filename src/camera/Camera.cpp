#include "camera/Camera.h"

#include <cassert>
#include <new>

#include "camera/GrabThread.h"

namespace {

std::atomic<std::uint64_t> lastSerial{0};

// The steps of an open and a close. A close of a camera that is not open
// still runs (it only cleans up), so Closing also follows Closed.
constexpr bool Follows(CameraState from, CameraState to) {
    switch (to) {
        case CameraState::Opening:
            return from == CameraState::Closed;
        case CameraState::Open:
            return from == CameraState::Opening;
        case CameraState::Closing:
            return from == CameraState::Open || from == CameraState::Closed;
        case CameraState::Closed:
            return from == CameraState::Opening || from == CameraState::Closing;
    }
    return false;
}

RowSlot& ClaimRowSlot() {
    RowSlot* slot = RowSlot::Claim();
    if (slot == nullptr) {
        throw std::bad_alloc();
    }
    return *slot;
}

}  // namespace

Camera::Camera(const char* cameraName, const CameraModelInfo& model, std::uint32_t idLow,
               std::uint32_t idHigh)
    : name(TextOrNull(cameraName)),
      serial(lastSerial.fetch_add(1, std::memory_order_relaxed) + 1),
      deviceIdLow(idLow),
      deviceIdHigh(idHigh),
      modelFlags(model.flags),
      identity(model.identity),
      pixelSize((model.flags & ModelColor) != 0 ? 24 : 8),
      log(DriverLog::Instance()),
      rowSlot(&ClaimRowSlot()) {}

// No other thread holds the camera any more; its lock orders this with what
// the last of them did.
Camera::~Camera() {
    {
        const platform::MutexLock hold(cameraLock);
        LogMessage(log, 2, "Camera::~Camera: camera %s on port %d \n", name.c_str(), Port());
        if (IsOpen()) {
            Close();
        }
        grabThread.reset();
        SetPort(-1);
    }
    rowSlot->Release();
}

void Camera::Retire() {
    if (IsOpen()) {
        Close();
    }
    retired = true;
}

void Camera::Enter(CameraState next) {
    assert(Follows(state, next) && "a camera's open or close ran out of order");
    state = next;
}

void Camera::DefineAndLoadParams() {
    params.Define(modelFlags, identity);
    params.Load(name.c_str());
}

const std::uint8_t* Camera::GetLine(int line) const {
    ImageBuffer* dest = DestBuffer();
    return dest != nullptr ? dest->GetLine(line) : nullptr;
}

ZURColorConvMode Camera::ConversionMode() const {
    return transfer ? transfer->GetConversion().mode : ZURColorConvMode{};
}
