#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ZUR.h"
#include "ZavaDED.h"
#include "camera/AcquisitionControl.h"
#include "camera/CameraModel.h"
#include "camera/ImageBuffer.h"
#include "camera/ImageTransfer.h"
#include "camera/RowSlot.h"
#include "log/DriverLog.h"
#include "log/ExportFrame.h"
#include "params/ParamSet.h"
#include "params/SettingTable.h"
#include "platform/Mutex.h"
#include "platform/ZurLibrary.h"

class GrabThread;

// A name that property access knows, with its other spelling. The
// integrators' guide lists every one; a check keeps the list and the guide
// equal.
struct PropertyName {
    std::string name;
    std::string alias;  // empty when there is none
    bool readable = false;
    bool writable = false;
};

// Where a camera is in its life. An open runs from Closed through Opening to
// Open, or back to Closed when it fails; a close runs through Closing to
// Closed. Only an open camera is on a port and has buffers and a grab thread.
enum class CameraState { Closed, Opening, Open, Closing };

// One detected camera: its ZUR device, its parameter set, its image buffers
// and its grab thread. The registry creates it and shares it with the exports
// that work on it; the host opens it on a port, grabs from it and closes it.
// Under its own lock (cameraLock), but for its identity, what it shares with
// its grab threads (AcquisitionControl) and its row slot (RowSlot).
class Camera {
  public:
    Camera(const char* name, const CameraModelInfo& identity, std::uint32_t deviceIdLow,
           std::uint32_t deviceIdHigh);
    // Raises std::bad_alloc when no row slot is free.
    ~Camera() REQUIRES(exportFrame);
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    // Identity, fixed for the camera's life.
    const std::string& Name() const { return name; }
    // A number no other camera of this process has had: what finds this
    // camera again after host code has run, while its name may by then
    // belong to a camera that a later initialize made.
    std::uint64_t Serial() const { return serial; }
    std::uint64_t DeviceId() const {
        return (static_cast<std::uint64_t>(deviceIdHigh) << 32) | deviceIdLow;
    }
    std::uint32_t ModelFlags() const { return modelFlags; }
    const std::string& Identity() const { return identity; }
    bool IsColor() const { return (modelFlags & ModelColor) != 0; }
    bool IsH280() const { return (modelFlags & ModelH280) != 0; }
    // The family whose definition, registers and limits the camera has.
    Family SettingFamily() const { return FamilyOf(modelFlags); }
    int PixelSize() const { return pixelSize; }
    DriverLog& Log() const { return log; }

    // Held by every export's work on this camera: one camera's slow ZUR call
    // holds up no other camera. Public so that the analysis can name it in
    // the annotations of the code that works on a camera.
    mutable platform::Mutex cameraLock;

    CameraState State() const REQUIRES(cameraLock) { return state; }
    // A camera that finalize took out of the registry: closed, and found by
    // no lookup any more, though an export may still hold it.
    bool IsRetired() const REQUIRES(cameraLock) { return retired; }
    // Closes the camera if open and retires it.
    void Retire() REQUIRES(cameraLock, exportFrame);
    bool IsOpen() const REQUIRES(cameraLock) { return state == CameraState::Open; }
    // The host port, -1 while the camera is on none.
    int Port() const { return control->port.load(std::memory_order_relaxed); }
    int Width() const REQUIRES(cameraLock) { return width; }
    int Height() const REQUIRES(cameraLock) { return height; }
    ParamSet& Params() REQUIRES(cameraLock) { return params; }
    const ParamSet& Params() const REQUIRES(cameraLock) { return params; }
    // The family's definition and the INI file's values: what the next open
    // starts from.
    void DefineAndLoadParams() REQUIRES(cameraLock);
    std::uint32_t ZurHandle() const REQUIRES(cameraLock) { return zurHandle; }
    // The conversion mode record of the open camera (all zero when closed).
    ZURColorConvMode ConversionMode() const REQUIRES(cameraLock);

    // Image buffers and line access.
    const std::uint8_t* GetLine(int line) const REQUIRES(cameraLock);
    ImageBuffer* ZazeBuffer() const REQUIRES(cameraLock) {
        return transfer ? transfer->zazeBuffer.get() : nullptr;
    }
    ImageBuffer* TempBuffer() const REQUIRES(cameraLock) {
        return transfer ? transfer->tempBuffer.get() : nullptr;
    }
    ImageBuffer* DestBuffer() const REQUIRES(cameraLock) {
        return transfer ? transfer->destBuffer.get() : nullptr;
    }

    // Opening and closing. An open puts the camera on the port; a failed one
    // leaves it on none, unless it was open already.
    bool Open(int portNo, int* sizeOut) REQUIRES(cameraLock, exportFrame);
    void Close() REQUIRES(cameraLock, exportFrame);
    void CleanupOnClose() REQUIRES(cameraLock, exportFrame);
    // On the grab thread of an open camera whose acquisitions keep failing:
    // gives up the ZUR session, opens the device again and sets it up as an
    // open does (every parameter written, stream allocated and started), for
    // the same image size. The new handle in handleOut; false while the
    // camera cannot be reached, and then the camera holds no session.
    // It gives up, holding no session, as soon as a close waits for the
    // camera's lock (CloseNotice), rather than set up a camera about to close.
    bool Reconnect(std::uint32_t& handleOut) REQUIRES(cameraLock, exportFrame);
    // Held by a close or a finalize while it waits for the camera's lock: a
    // reconnection replays settings one by one over a network that may take
    // its timeout on each, and the close would wait for all of them.
    class CloseNotice {
      public:
        explicit CloseNotice(Camera& closing) : camera(closing) { ++camera.closesWaiting; }
        ~CloseNotice() { --camera.closesWaiting; }
        CloseNotice(const CloseNotice&) = delete;
        CloseNotice& operator=(const CloseNotice&) = delete;

      private:
        Camera& camera;
    };
    bool CloseWaiting() const { return closesWaiting.load() > 0; }
    // Tries again every camera handle that ZURClose refused (the registry
    // does, once all its cameras are gone).
    static void CloseRefusedHandles();

    // Register access.
    bool ZazeGigE_WriteRegister(std::uint32_t address, const std::uint32_t* words,
                                std::uint32_t length) REQUIRES(cameraLock);
    bool ZazeGigE_WriteRegisterFloat(std::uint32_t address, float value) REQUIRES(cameraLock);
    // A failed read is logged and yields 0.
    std::uint32_t ReadRegister(std::uint32_t address) REQUIRES(cameraLock);
    // Leaves value alone when the read fails.
    bool ReadRegister(std::uint32_t address, std::uint32_t& value) REQUIRES(cameraLock);
    float ReadRegisterFloat(std::uint32_t address) REQUIRES(cameraLock);

    // Feature setters: a value of -1 or less (kWriteStored) writes the stored
    // value again.
    static constexpr int kWriteStored = -1;
    static constexpr float kWriteStoredRate = -1.0f;
    bool SetParamInt(Param<int>& param, int value) REQUIRES(cameraLock);
    bool SetParamFloat(Param<double>& param, float value) REQUIRES(cameraLock);
    bool SetParamEnum(ParamEnum& param, int code) REQUIRES(cameraLock);
    bool SetFrameRate(float framesPerSecond) REQUIRES(cameraLock);
    bool SetBlackLevel(int value) REQUIRES(cameraLock);
    bool SetGainSelector() REQUIRES(cameraLock);
    bool SetSizeAndPosition() REQUIRES(cameraLock);
    // Writes the stored ActiveGPO code into the lower 16 bits of its
    // register, keeping the upper ones.
    bool setActiveGPO() REQUIRES(cameraLock);
    bool SetBandAdjustment(int value) REQUIRES(cameraLock);
    bool SetColorFilter(int code) REQUIRES(cameraLock);
    bool GenerateSoftwareTrigger() REQUIRES(cameraLock);
    void GetMinMaxValues() REQUIRES(cameraLock);
    void GetAllParametersFromCamera() REQUIRES(cameraLock);
    // With yieldToClose, stops between two writes once a close waits for the
    // camera; false then.
    bool SetParameters(bool yieldToClose = false) REQUIRES(cameraLock);
    // The setting's stored value written again, the way its row says.
    bool WriteStoredValue(const SettingRow& row) REQUIRES(cameraLock);

    // Image transfer.
    bool ReadFilterValue() REQUIRES(cameraLock);
    // Refuses a convert mode that would read more than rawBufferSize bytes.
    bool CreateConversionHandle(std::uint32_t rawBufferSize) REQUIRES(cameraLock);
    // The Zaze buffer's image into the destination buffer that the host
    // reads its rows from, converted on colour cameras.
    bool CopyImageToVantixBuffer() REQUIRES(cameraLock);

    // Acquisition.
    bool Grab() REQUIRES(cameraLock);
    void SetContinuousGrab(bool on) REQUIRES(cameraLock);
    void SetCompleteCB(CompleteCallback callback) REQUIRES(cameraLock);
    bool IsContinuous() const { return control->IsContinuous(); }
    // Whether a grab was requested and not yet served (always, while
    // continuous grabbing is on).
    bool IsGrabRequested() const { return control->IsGrabRequested(); }
    CompleteCallback GetCompleteCB() const {
        return control->callback.load(std::memory_order_acquire);
    }

    // Property access by name.
    bool GetProperty(const char* property, int* value) REQUIRES(cameraLock);
    bool SetProperty(const char* property, int value) REQUIRES(cameraLock);
    bool GetRange(const char* property, void* minimum, void* maximum) REQUIRES(cameraLock);
    // Every name GetProperty or SetProperty knows but the raw register
    // names, in the order they are matched. Whether GetProperty answers a
    // name may depend on the camera's family.
    static std::vector<PropertyName> KnownProperties();

  private:
    // Moves to the next state of an open or a close; asserts that the
    // sequence allows it.
    void Enter(CameraState next) REQUIRES(cameraLock);
    void SetPort(int newPort) { control->port.store(newPort, std::memory_order_relaxed); }
    // Closes the ZUR device; a handle ZUR refuses to close is kept, and the
    // next open of the device tries it again.
    void CloseDevice() REQUIRES(cameraLock);
    void RetryUnclosedDevice();
    static void ForgetReissuedHandle(std::uint32_t handle);
    // Gives back what a failed open built, so that the device can be opened
    // again: conversion handle, stream, grab thread, buffers and device.
    void UndoOpen(bool deviceOpen, bool streamAllocated) REQUIRES(cameraLock, exportFrame);

    const std::string name;
    const std::uint64_t serial;
    const std::uint32_t deviceIdLow;
    const std::uint32_t deviceIdHigh;
    const std::uint32_t modelFlags;
    const std::string identity;
    const int pixelSize;
    DriverLog& log;
    // Continuous mode, requests, completion callback and port: they survive
    // close and reopen, and the grab threads share them.
    const std::shared_ptr<AcquisitionControl> control = std::make_shared<AcquisitionControl>();
    // Where rows of the open camera's image are read; claimed for the
    // camera's life.
    RowSlot* const rowSlot;
    // The CloseNotices held on the camera.
    std::atomic<int> closesWaiting{0};

    CameraState state GUARDED_BY(cameraLock) = CameraState::Closed;
    bool retired GUARDED_BY(cameraLock) = false;
    std::uint32_t zurHandle GUARDED_BY(cameraLock) = 0;
    // The buffers and the colour conversion of the open camera, shared with
    // its grab thread; none while closed.
    std::shared_ptr<ImageTransfer> transfer GUARDED_BY(cameraLock);
    std::unique_ptr<GrabThread> grabThread GUARDED_BY(cameraLock);
    ParamSet params GUARDED_BY(cameraLock);
    int width GUARDED_BY(cameraLock) = 0;
    int height GUARDED_BY(cameraLock) = 0;
};
