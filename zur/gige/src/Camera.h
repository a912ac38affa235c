#pragma once

// One open GigE Vision camera: the Aravis device with control privilege, its
// features and registers, and its stream.
//
// Control calls (registers, features, stream set-up) are serialised by the
// camera's control lock, which the caller holds; waits for images go through
// the stream and do not take it, so that register calls go on while a grab
// thread waits. Once the camera is lost (its heartbeat or a command found it
// silent) every call fails at once with ZUR_ERROR_DEVICE_LOST, and what is
// left of it is released in the background, since Aravis's goodbyes to a
// silent camera take seconds.

#include <arv.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "GObjectPtr.h"
#include "PixelFormat.h"
#include "Settings.h"
#include "Stream.h"
#include "Watchdog.h"
#include "ZUR.h"

namespace zurgige {

class Camera {
  public:
    // Opens the camera at address and takes control of it; verifies that it
    // is the camera with this device ID (its MAC). Null, with the ZUR error
    // in `error`, when it cannot: TIMEOUT when nothing answers there.
    static std::unique_ptr<Camera> Open(std::uint64_t id, Ipv4 address, std::uint32_t& error);
    // Takes over an opened device; Open makes these.
    Camera(std::uint64_t id, std::string label, GObjectPtr<ArvDevice> device,
           std::shared_ptr<LossState> loss, Ipv4 address);
    ~Camera();
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    std::uint64_t Id() const { return id; }
    const std::string& Label() const { return label; }

    // Held for every call below, except Stream().
    std::mutex& Control() { return control; }
    // ZUR_ERROR_DEVICE_LOST once lost, ZUR_ERROR_INVALID_HANDLE once closed.
    std::uint32_t Usable() const;

    std::uint32_t ReadRegister(std::uint32_t address, std::uint32_t& value);
    std::uint32_t WriteRegister(std::uint32_t address, std::uint32_t value);

    std::uint32_t GetImageInfo(ZURImageInfo& info);
    std::uint32_t SetGeometry(const ZURImagePosition& position);
    std::uint32_t GetMode(ZURCameraMode& mode);
    std::uint32_t SetMode(const ZURCameraMode& mode);
    std::uint32_t BandAdjust(std::int32_t adjust, std::int32_t level);
    std::uint32_t DataDepth(std::uint32_t& depth);

    std::uint32_t AllocateStream(std::uint32_t packetSize);
    std::uint32_t StartAcquisition(std::uint32_t frames);
    std::uint32_t StopAcquisition();
    std::uint32_t ReleaseStream();
    // The stream, for requests and waits; null when none is allocated.
    std::shared_ptr<Stream> CurrentStream() const;
    // Ends the session: stream and device released, control given back.
    std::uint32_t Close();

  private:
    // A failed Aravis call's ZUR error; a silent camera is lost from then on.
    std::uint32_t Failed(const GErrorSlot& error, const char* what);
    // Runs call, which reports through a GError, on a feature the camera
    // has; NOT_SUPPORTED when it has none.
    template <typename Call>
    std::uint32_t OnFeature(const char* feature, Call call);
    std::uint32_t GetInteger(const char* feature, std::int64_t& value);
    std::uint32_t SetInteger(const char* feature, std::int64_t value);
    std::uint32_t SetEnumeration(const char* feature, const char* entry);
    std::uint32_t Execute(const char* command);
    bool HasFeature(const char* feature);
    // What the camera's PixelFormat stands for; NOT_SUPPORTED for a format
    // this library does not know.
    std::uint32_t CurrentPixelFormat(PixelFormatInfo& format);
    std::uint32_t ApplyGeometry(std::int64_t offsetX, std::int64_t offsetY, std::int64_t width,
                                std::int64_t height);
    void ReleaseObjects(GObjectPtr<ArvStream> stream, bool withDevice);
    void SettingsChanged();
    // Before a command that a close sends: a camera that does not answer at
    // once is taken for lost, so that the close does not wait out Aravis's
    // retries.
    bool AnswersNow();

    const std::uint64_t id;
    const std::string label;
    const std::shared_ptr<LossState> loss;
    const Ipv4 deviceAddress;
    std::mutex control;
    std::atomic<bool> closed{false};  // read without the control lock
    GObjectPtr<ArvDevice> device;
    gulong lostHandler = 0;
    bool acquiring = false;

    // Notices a silent camera within seconds; ends with the session.
    std::unique_ptr<Watchdog> watchdog;

    mutable std::mutex streamSlot;  // guards `stream` for requests and waits
    std::shared_ptr<Stream> stream;
};

}  // namespace zurgige
