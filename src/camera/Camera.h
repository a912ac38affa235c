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
#include "log/DriverLog.h"
#include "log/ExportLock.h"
#include "params/ParamSet.h"

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
// and its grab thread. The registry creates and destroys it; the host opens
// it on a port, grabs from it and closes it. Under the export lock, but for
// its identity and what it shares with its grab threads (AcquisitionControl).
class Camera {
  public:
    Camera(const char* name, const CameraModelInfo& identity, std::uint32_t deviceIdLow,
           std::uint32_t deviceIdHigh);
    ~Camera() REQUIRES(exportLock);
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
    int PixelSize() const { return pixelSize; }
    DriverLog& Log() const { return log; }

    CameraState State() const REQUIRES(exportLock) { return state; }
    bool IsOpen() const REQUIRES(exportLock) { return state == CameraState::Open; }
    // The host port, -1 while the camera is on none.
    int Port() const { return control->port.load(std::memory_order_relaxed); }
    int Width() const REQUIRES(exportLock) { return width; }
    int Height() const REQUIRES(exportLock) { return height; }
    // Bytes of one line of the destination image.
    int LineBytes() const REQUIRES(exportLock) { return width * (pixelSize / 8); }
    ParamSet& Params() REQUIRES(exportLock) { return params; }
    const ParamSet& Params() const REQUIRES(exportLock) { return params; }
    // The family's definition and the INI file's values: what the next open
    // starts from.
    void DefineAndLoadParams() REQUIRES(exportLock);
    std::uint32_t ZurHandle() const REQUIRES(exportLock) { return zurHandle; }
    // The conversion mode record of the open camera (all zero when closed).
    ZURColorConvMode ConversionMode() const REQUIRES(exportLock);

    // Image buffers and line access.
    const std::uint8_t* GetLine(int line) const REQUIRES(exportLock);
    // Copies bytes of a destination line into target, never while the grab
    // thread writes the image; false when there is no such line.
    bool CopyLine(int line, void* target, std::size_t bytes) const REQUIRES(exportLock);
    ImageBuffer* ZazeBuffer() const REQUIRES(exportLock) {
        return transfer ? transfer->zazeBuffer.get() : nullptr;
    }
    ImageBuffer* TempBuffer() const REQUIRES(exportLock) {
        return transfer ? transfer->tempBuffer.get() : nullptr;
    }
    ImageBuffer* DestBuffer() const REQUIRES(exportLock) {
        return transfer ? transfer->destBuffer.get() : nullptr;
    }

    // Opening and closing. An open puts the camera on the port; a failed one
    // leaves it on none, unless it was open already.
    bool Open(int portNo, int* sizeOut) REQUIRES(exportLock);
    void Close() REQUIRES(exportLock);
    void CleanupOnClose() REQUIRES(exportLock);
    // Tries again every camera handle that ZURClose refused (the registry
    // does, once all its cameras are gone).
    static void CloseRefusedHandles();

    // Register access.
    bool ZazeGigE_WriteRegister(std::uint32_t address, const std::uint32_t* words,
                                std::uint32_t length) REQUIRES(exportLock);
    bool ZazeGigE_WriteRegisterFloat(std::uint32_t address, float value) REQUIRES(exportLock);
    std::uint32_t ReadRegister(std::uint32_t address) REQUIRES(exportLock);
    float ReadRegisterFloat(std::uint32_t address) REQUIRES(exportLock);

    // Feature setters: a value of -1 or less writes the stored value again.
    bool SetParamInt(Param<int>& param, int value) REQUIRES(exportLock);
    bool SetParamFloat(Param<double>& param, float value) REQUIRES(exportLock);
    bool SetParamEnum(ParamEnum& param, int code) REQUIRES(exportLock);
    bool SetFrameRate(float framesPerSecond) REQUIRES(exportLock);
    bool SetBlackLevel(int value) REQUIRES(exportLock);
    bool SetGainSelector() REQUIRES(exportLock);
    bool SetSizeAndPosition() REQUIRES(exportLock);
    bool setActiveGPO() REQUIRES(exportLock);
    bool SetBandAdjustment(int value) REQUIRES(exportLock);
    bool SetColorFilter(int code) REQUIRES(exportLock);
    bool GenerateSoftwareTrigger() REQUIRES(exportLock);
    void GetMinMaxValues() REQUIRES(exportLock);
    void GetAllParametersFromCamera() REQUIRES(exportLock);
    void SetParameters() REQUIRES(exportLock);

    // Image transfer.
    bool ReadFilterValue() REQUIRES(exportLock);
    // Refuses a convert mode that would read more than rawBufferSize bytes.
    bool CreateConversionHandle(std::uint32_t rawBufferSize) REQUIRES(exportLock);
    bool CopyImageToVantixBuffer() REQUIRES(exportLock);

    // Acquisition.
    bool Grab() REQUIRES(exportLock);
    void SetContinuousGrab(bool on) REQUIRES(exportLock);
    void SetCompleteCB(CompleteCallback callback) REQUIRES(exportLock);
    bool IsContinuous() const { return control->IsContinuous(); }
    // Whether a grab was requested and not yet served (always, while
    // continuous grabbing is on).
    bool IsGrabRequested() const { return control->IsGrabRequested(); }
    CompleteCallback GetCompleteCB() const {
        return control->callback.load(std::memory_order_acquire);
    }

    // Property access by name.
    bool GetProperty(const char* property, int* value) REQUIRES(exportLock);
    bool SetProperty(const char* property, int value) REQUIRES(exportLock);
    bool GetRange(const char* property, void* minimum, void* maximum) REQUIRES(exportLock);
    // Every name GetProperty or SetProperty knows but the raw register
    // names, in the order they are matched. Whether GetProperty answers a
    // name may depend on the camera's family.
    static std::vector<PropertyName> KnownProperties();

  private:
    // Moves to the next state of an open or a close; asserts that the
    // sequence allows it.
    void Enter(CameraState next) REQUIRES(exportLock);
    void SetPort(int newPort) { control->port.store(newPort, std::memory_order_relaxed); }
    // Closes the ZUR device; a handle ZUR refuses to close is kept, and the
    // next open of the device tries it again.
    void CloseDevice() REQUIRES(exportLock);
    void RetryUnclosedDevice();
    static void ForgetReissuedHandle(std::uint32_t handle);
    // Gives back what a failed open built, so that the device can be opened
    // again: conversion handle, stream, grab thread, buffers and device.
    void UndoOpen(bool deviceOpen, bool streamAllocated) REQUIRES(exportLock);

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

    CameraState state GUARDED_BY(exportLock) = CameraState::Closed;
    std::uint32_t zurHandle GUARDED_BY(exportLock) = 0;
    // The buffers and the colour conversion of the open camera, shared with
    // its grab thread; none while closed.
    std::shared_ptr<ImageTransfer> transfer GUARDED_BY(exportLock);
    std::unique_ptr<GrabThread> grabThread GUARDED_BY(exportLock);
    ParamSet params GUARDED_BY(exportLock);
    int width GUARDED_BY(exportLock) = 0;
    int height GUARDED_BY(exportLock) = 0;
};
