// Opening and closing a camera: everything the driver builds for a camera
// comes up in a fixed order and goes down in a fixed order.
#include <climits>
#include <iterator>
#include <map>
#include <new>

#include "camera/Camera.h"
#include "camera/GrabThread.h"
#include "camera/ZurErrorText.h"
#include "platform/Mutex.h"
#include "platform/NoDestructor.h"

namespace {

// A buffer size that fits the buffers' 32-bit sizes, or -1, which the buffer
// refuses as it refuses every size that is not positive.
int BufferSize(std::int64_t bytes) {
    return bytes <= INT_MAX ? static_cast<int>(bytes) : -1;
}

// Camera handles that ZURClose refused, by device. A handle ZUR did not give
// back keeps the device busy, so the next open of the device tries again:
// one network glitch must not lock a camera out until the host restarts. The
// camera objects come and go with initialize and finalize; the devices stay.
// Any thread.
struct UnclosedHandles {
    platform::Mutex lock;
    std::map<std::uint64_t, std::uint32_t> byDevice GUARDED_BY(lock);
};

UnclosedHandles& Unclosed() {
    static platform::NoDestructor<UnclosedHandles> handles;
    return *handles;
}

}  // namespace

bool Camera::Open(int portNo, int* sizeOut) {
    if (sizeOut != nullptr) {
        sizeOut[0] = 0;
        sizeOut[1] = 0;
    }
    LogMessage(log, 2, "Camera::Open: entering port=%d\n", portNo);
    LogMessage(log, 1, "Opening camera %s on port %d\n", name.c_str(), portNo);
    if (IsOpen()) {
        LogMessage(log, 1, "Camera::Open: ERROR:  %s is already open on port %d\n", name.c_str(),
                   portNo);
        return false;
    }
    Enter(CameraState::Opening);
    SetPort(portNo);
    // Requests made while the camera was closed are nobody's any more.
    control->ClearGrabRequests();

    bool deviceOpen = false;
    bool streamAllocated = false;
    const auto fail = [&]() REQUIRES(cameraLock, exportFrame) {
        UndoOpen(deviceOpen, streamAllocated);
        SetPort(-1);
        Enter(CameraState::Closed);
        return false;
    };
    try {
        LogMessage(log, 3, "Camera::Open restoring parameters: port=%d\n", portNo);
        DefineAndLoadParams();
        log.SetLogLevel(params.LogLevel.value);
        log.SetDebugView(params.LogLevel.value);
        log.SetLogIntoFile(params.LogIntoFile.value != 0);

        RetryUnclosedDevice();
        if (platform::Zur().ZUROpen(DeviceId(), &zurHandle) == 0) {
            const std::uint32_t error = platform::Zur().ZURGetLastError();
            LogMessage(log, 1, "Camera::Open: OpenDevice ERROR: port %d\n", portNo);
            LogMessage(log, 1, "Camera::Open: %s cannot be opened: %s (ZUR error %u)\n",
                       name.c_str(), ZurErrorText(error), static_cast<unsigned>(error));
            return fail();
        }
        deviceOpen = true;
        ForgetReissuedHandle(zurHandle);
        LogMessage(log, 3, "INFO point: ZUROpen passed: port %d\n", portNo);
        LogMessage(log, 3, "Camera::Open seting parameters to camera: port=%d\n", portNo);
        SetParameters();
        GetAllParametersFromCamera();
        GetMinMaxValues();

        ZURImageInfo info{};
        if (platform::Zur().ZURGetImageInfo(zurHandle, &info) == 0) {
            LogMessage(log, 1, "Camera::Open: GetImageInfo ERROR");
            return fail();
        }
        LogMessage(log, 3,
                   "Camera::Open GetImageInfo: widht= %d, height= %d, buffer= %d, colorID= %d  \n",
                   info.width, info.height, static_cast<int>(info.bufferSize),
                   static_cast<int>(info.colorId));
        width = info.width;
        height = info.height;
        if (sizeOut != nullptr) {
            sizeOut[0] = width;
            sizeOut[1] = height;
        }
        transfer = std::make_shared<ImageTransfer>(log, IsColor(), rowSlot->ImageLock());
        ImageTransfer::Conversion conversion;
        conversion.mode.colorId = info.colorId;
        transfer->SetConversion(conversion);

        if (IsColor() && !CreateConversionHandle(info.bufferSize)) {
            LogMessage(log, 1, "Camera::Open CreateConversionHandle ERROR: port: %d\n", portNo);
            return fail();
        }
        const std::int64_t pixels = static_cast<std::int64_t>(width) * height;
        transfer->tempBuffer =
            ImageBuffer::Create(width, height, IsColor(), BufferSize(4 * pixels), log);
        if (!transfer->tempBuffer) {
            LogMessage(log, 1,
                       "Camera::Open: ERROR: could not allocate Vantix Tmp ImageBuffer, port: %d\n",
                       portNo);
            return fail();
        }
        LogMessage(log, 3, "Camera::Open: Vantix temp Buffer allocated \n");
        transfer->destBuffer = ImageBuffer::Create(
            width, height, IsColor(),
            IsColor() ? BufferSize(3 * pixels) : BufferSize(info.bufferSize), log);
        if (!transfer->destBuffer) {
            LogMessage(
                log, 1,
                "Camera::Open: ERROR: could not allocate Vantix Dest ImageBuffer, port: %d\n",
                portNo);
            return fail();
        }
        LogMessage(log, 3, "Camera::Open: Vantix dest ImageBuffer allocated \n");
        transfer->zazeBuffer =
            ImageBuffer::Create(width, height, IsColor(), BufferSize(info.bufferSize), log);
        if (!transfer->zazeBuffer) {
            LogMessage(log, 1,
                       "Camera::Open: ERROR: could not allocate Zaze ImageBuffer, port: %d\n",
                       portNo);
            return fail();
        }
        LogMessage(log, 3, "Camera::Open: Zaze ImageBuffer allocated \n");

        if (platform::Zur().ZURIsoAlloc(zurHandle) == 0) {
            LogMessage(log, 1, "Camera::Open: IsoAlloc ERROR");
            return fail();
        }
        streamAllocated = true;
        LogMessage(log, 3, "Camera::Open: IsoAlloc executed \n");

        try {
            grabThread = std::make_unique<GrabThread>(log, control, transfer, zurHandle, this);
        } catch (const std::bad_alloc&) {
            LogMessage(log, 1, "Camera::Open: ERROR: could not create grab thread, port: %d\n",
                       portNo);
            return fail();
        }
        LogMessage(log, 3, "Camera::Open: Grab thread allocated \n");
        if (!grabThread->Init()) {
            LogMessage(log, 1, "Camera::Open: ERROR: could not start grab thread, port: %d\n",
                       portNo);
            return fail();
        }
        LogMessage(log, 3, "Camera::Open: Grab thread Init passed \n");

        if (platform::Zur().ZURIsoStart(zurHandle, 0) == 0) {
            LogMessage(log, 1, "Camera::Open: IsoStart ERROR");
            return fail();
        }
        LogMessage(log, 3, "Camera::Open: IsoStart executed \n");
    } catch (const std::exception& error) {
        LogMessage(log, 1, "Camera::Open: Exception, port %d: %s\n", portNo, error.what());
        SetPort(-1);
        return fail();
    } catch (...) {
        LogMessage(log, 1, "Camera::Open: Exception catch, port %d\n", portNo);
        SetPort(-1);
        return fail();
    }
    Enter(CameraState::Open);
    rowSlot->Publish(portNo, *transfer->destBuffer);
    LogMessage(log, 2, "Camera::Open: leaving, port=%d\n", portNo);
    return true;
}

void Camera::UndoOpen(bool deviceOpen, bool streamAllocated) {
    if (transfer) {
        transfer->CloseConversion();
    }
    if (streamAllocated) {
        platform::Zur().ZURAbortImageReqAll(
            zurHandle);  // releases a grab thread already waiting for an image
        platform::Zur().ZURIsoRelease(zurHandle);
    }
    if (deviceOpen) {
        CloseDevice();
    }
    try {
        CleanupOnClose();
    } catch (...) {
        // CleanupOnClose reports its own failures; an open that failed stays failed.
    }
}

void Camera::Close() {
    LogMessage(log, 2, "Camera::Close: entering\n");
    const int closingPort = Port();
    const bool wasOpen = IsOpen();
    if (!wasOpen) {
        LogMessage(log, 1, "Camera::Close: WARNING: called on already closed camera\n");
    }
    Enter(CameraState::Closing);
    control->ClearGrabRequests();
    rowSlot->Withdraw();
    SetPort(-1);
    if (grabThread) {
        // No further ZUR request from the thread once the stream goes down,
        // and no callback after the close.
        grabThread->RequestStop();
    }
    if (wasOpen) {
        if (transfer) {
            transfer->CloseConversion();
        }
    }
    // No handle: a reconnection gave up the lost session and has not opened
    // a new one.
    if (wasOpen && zurHandle != 0) {
        platform::Zur().ZURIsoStop(zurHandle);
        LogMessage(log, 3, "Camera::Close: ZURIsoStop  port=%d\n", closingPort);
        platform::Zur().ZURAbortImageReqAll(zurHandle);
        platform::Zur().ZURIsoRelease(zurHandle);
        LogMessage(log, 3, "Camera::Close: ZURIsoRelease  port=%d\n", closingPort);
        CloseDevice();
        LogMessage(log, 3, "Camera::Close: ZURClose  port=%d\n", closingPort);
    }
    CleanupOnClose();
    Enter(CameraState::Closed);
    LogMessage(log, 2, "Camera::Close: leaving on port %d\n", closingPort);
}

bool Camera::Reconnect(std::uint32_t& handleOut) {
    if (state != CameraState::Open || !transfer || !transfer->zazeBuffer) {
        return false;
    }
    if (zurHandle != 0) {
        // The lost session goes first: a library may refuse a second session
        // on the device. Its results tell nothing a new open would not.
        platform::Zur().ZURIsoStop(zurHandle);
        platform::Zur().ZURAbortImageReqAll(zurHandle);
        platform::Zur().ZURIsoRelease(zurHandle);
        CloseDevice();
        zurHandle = 0;
    }
    RetryUnclosedDevice();
    std::uint32_t handle = 0;
    if (CloseWaiting() || platform::Zur().ZUROpen(DeviceId(), &handle) == 0) {
        return false;  // still gone, said once by the grab thread, or closing
    }
    zurHandle = handle;
    ForgetReissuedHandle(handle);
    LogMessage(log, 3, "Camera::Reconnect: %s open again, setting parameters: port=%d\n",
               name.c_str(), Port());
    // The camera may have restarted with its defaults: what the host set
    // holds again. Nothing is read back: a camera that falls silent again
    // meanwhile would leave zeros in the set for the next try to write.
    const bool replayed = SetParameters(true);
    if (!replayed) {
        LogMessage(log, 3, "Camera::Reconnect: %s is being closed, not set up: port=%d\n",
                   name.c_str(), Port());
    }
    ZURImageInfo info{};
    const bool sameImage = replayed && platform::Zur().ZURGetImageInfo(handle, &info) != 0 &&
                           info.width == width && info.height == height &&
                           BufferSize(info.bufferSize) == transfer->zazeBuffer->Size();
    bool allocated = false;
    if (sameImage) {
        allocated = platform::Zur().ZURIsoAlloc(handle) != 0;
        if (allocated && platform::Zur().ZURIsoStart(handle, 0) != 0) {
            handleOut = handle;
            return true;
        }
    } else if (replayed) {
        LogMessage(log, 2, "Camera::Reconnect: %s answers with another image size on port %d\n",
                   name.c_str(), Port());
    }
    if (allocated) {
        platform::Zur().ZURIsoRelease(handle);
    }
    CloseDevice();
    zurHandle = 0;
    return false;
}

void Camera::CleanupOnClose() {
    LogMessage(log, 2, "Camera::CleanupOnClose: entering\n");
    // Rows stop first; the thread keeps the buffers it works on until it ends.
    rowSlot->Withdraw();
    grabThread.reset();
    transfer.reset();
    LogMessage(log, 2, "Camera::CleanupOnClose: leaving\n");
}

void Camera::CloseDevice() {
    if (platform::Zur().ZURClose(zurHandle) == 0) {
        const std::uint32_t error = platform::Zur().ZURGetLastError();
        LogMessage(log, 1, "Camera::Close: WARNING: ZURClose failed on %s, error %d (%s)\n",
                   name.c_str(), static_cast<int>(error), ZurErrorText(error));
        UnclosedHandles& unclosed = Unclosed();
        const platform::MutexLock lock(unclosed.lock);
        unclosed.byDevice[DeviceId()] = zurHandle;
    }
}

void Camera::RetryUnclosedDevice() {
    UnclosedHandles& unclosed = Unclosed();
    const platform::MutexLock lock(unclosed.lock);
    const auto found = unclosed.byDevice.find(DeviceId());
    if (found != unclosed.byDevice.end() && platform::Zur().ZURClose(found->second) != 0) {
        unclosed.byDevice.erase(found);
    }
}

void Camera::ForgetReissuedHandle(std::uint32_t handle) {
    // ZUR hands out only free handles: if this number waits for another
    // close, ZUR released it after all, and closing it again would close
    // this open instead.
    UnclosedHandles& unclosed = Unclosed();
    const platform::MutexLock lock(unclosed.lock);
    std::erase_if(unclosed.byDevice,
                  [handle](const auto& entry) { return entry.second == handle; });
}

void Camera::CloseRefusedHandles() {
    UnclosedHandles& unclosed = Unclosed();
    const platform::MutexLock lock(unclosed.lock);
    for (auto handle = unclosed.byDevice.begin(); handle != unclosed.byDevice.end();) {
        handle = platform::Zur().ZURClose(handle->second) != 0 ? unclosed.byDevice.erase(handle)
                                                               : std::next(handle);
    }
}
