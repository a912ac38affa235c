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

// One detected camera: its ZUR device, its parameter set, its image buffers
// and its grab thread. The registry creates and destroys it; the host opens
// it on a port, grabs from it and closes it.
class Camera {
  public:
    Camera(const char* name, const CameraModelInfo& identity, std::uint32_t deviceIdLow,
           std::uint32_t deviceIdHigh);
    ~Camera();
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    const std::string& Name() const { return name; }
    std::uint64_t DeviceId() const {
        return (static_cast<std::uint64_t>(deviceIdHigh) << 32) | deviceIdLow;
    }
    std::uint32_t ModelFlags() const { return modelFlags; }
    const std::string& Identity() const { return identity; }
    bool IsColor() const { return (modelFlags & ModelColor) != 0; }
    bool IsH280() const { return (modelFlags & ModelH280) != 0; }
    bool IsOpen() const { return isOpen; }
    int Port() const { return control->port.load(std::memory_order_relaxed); }
    void SetPort(int newPort) { control->port.store(newPort, std::memory_order_relaxed); }
    int PixelSize() const { return pixelSize; }
    int Width() const { return width; }
    int Height() const { return height; }
    // Bytes of one line of the destination image.
    int LineBytes() const { return width * (pixelSize / 8); }
    ParamSet& Params() { return params; }
    const ParamSet& Params() const { return params; }
    DriverLog& Log() const { return log; }
    std::uint32_t ZurHandle() const { return zurHandle; }
    // The conversion mode record of the open camera (all zero when closed).
    ZURColorConvMode ConversionMode() const;

    // Image buffers and line access.
    const std::uint8_t* GetLine(int line) const;
    // Copies bytes of a destination line into target, never while the grab
    // thread writes the image; false when there is no such line.
    bool CopyLine(int line, void* target, std::size_t bytes) const;
    ImageBuffer* ZazeBuffer() const { return transfer ? transfer->zazeBuffer.get() : nullptr; }
    ImageBuffer* TempBuffer() const { return transfer ? transfer->tempBuffer.get() : nullptr; }
    ImageBuffer* DestBuffer() const { return transfer ? transfer->destBuffer.get() : nullptr; }

    // Opening and closing.
    bool Open(int portNo, int* sizeOut);
    void Close();
    void CleanupOnClose();
    // Tries again every camera handle that ZURClose refused (the registry
    // does, once all its cameras are gone).
    static void CloseRefusedHandles();

    // Register access.
    bool ZazeGigE_WriteRegister(std::uint32_t address, const std::uint32_t* words,
                                std::uint32_t length);
    bool ZazeGigE_WriteRegisterFloat(std::uint32_t address, float value);
    std::uint32_t ReadRegister(std::uint32_t address);
    float ReadRegisterFloat(std::uint32_t address);

    // Feature setters: a value of -1 or less writes the stored value again.
    bool SetParamInt(Param<int>& param, int value);
    bool SetParamFloat(Param<double>& param, float value);
    bool SetParamEnum(ParamEnum& param, int code);
    bool SetFrameRate(float framesPerSecond);
    bool SetBlackLevel(int value);
    bool SetGainSelector();
    bool SetSizeAndPosition();
    bool setActiveGPO();
    bool SetBandAdjustment(int value);
    bool SetColorFilter(int code);
    bool GenerateSoftwareTrigger();
    void GetMinMaxValues();
    void GetAllParametersFromCamera();
    void SetParameters();

    // Image transfer.
    bool ReadFilterValue();
    // Refuses a convert mode that would read more than rawBufferSize bytes.
    bool CreateConversionHandle(std::uint32_t rawBufferSize);
    bool CopyImageToVantixBuffer();

    // Acquisition.
    bool Grab();
    void SetContinuousGrab(bool on);
    void SetCompleteCB(CompleteCallback callback);
    bool IsContinuous() const { return control->IsContinuous(); }
    // Whether a grab was requested and not yet served (always, while
    // continuous grabbing is on).
    bool IsGrabRequested() const { return control->IsGrabRequested(); }
    CompleteCallback GetCompleteCB() const {
        return control->callback.load(std::memory_order_acquire);
    }

    // Property access by name.
    bool GetProperty(const char* property, int* value);
    bool SetProperty(const char* property, int value);
    bool GetRange(const char* property, void* minimum, void* maximum);
    // Every name GetProperty or SetProperty knows but the raw register
    // names, in the order they are matched. Whether GetProperty answers a
    // name may depend on the camera's family.
    static std::vector<PropertyName> KnownProperties();

    // The configuration sheet.
    bool Configure(void* parentWindow);

  private:
    friend class GrabThread;

    // Closes the ZUR device; a handle ZUR refuses to close is kept, and the
    // next open of the device tries it again.
    void CloseDevice();
    void RetryUnclosedDevice();
    static void ForgetReissuedHandle(std::uint32_t handle);
    // Gives back what a failed open built, so that the device can be opened
    // again: conversion handle, stream, grab thread, buffers and device.
    void UndoOpen(bool deviceOpen, bool streamAllocated);

    bool isOpen = false;
    std::string name;
    std::uint32_t deviceIdLow;
    std::uint32_t deviceIdHigh;
    std::uint32_t zurHandle = 0;
    std::uint32_t modelFlags;
    std::string identity;
    // The buffers and the colour conversion of the open camera, shared with
    // its grab thread; none while closed.
    std::shared_ptr<ImageTransfer> transfer;
    ParamSet params;
    DriverLog& log;
    // Continuous mode, requests, completion callback and port: they survive
    // close and reopen, and the grab threads share them.
    std::shared_ptr<AcquisitionControl> control = std::make_shared<AcquisitionControl>();
    std::unique_ptr<GrabThread> grabThread;
    // Expires with the camera: Configure lets the export lock go while the
    // host's windows run, and must know afterwards whether the camera is left.
    std::shared_ptr<const int> lifetime = std::make_shared<const int>(0);
    bool configuring = false;  // its sheet is shown
    int pixelSize;
    int width = 0;
    int height = 0;
};
