// The ZUR calls. Each one runs inside a Call: under the simulator's lock,
// journaled, subject to injected faults, and ending with the caller's last
// error set (ZUR_ERROR_NONE on success).

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include "Simulator.h"
#include "ZUR.h"
#include "zursim/Bayer.h"
#include "zursim/CameraModel.h"

using zursim::Call;
using zursim::Camera;
using zursim::Hex8;

namespace {

std::string Handle(std::uint32_t handle) {
    return "handle=" + std::to_string(handle);
}

std::string NullMark(const void* pointer, const char* name) {
    return pointer == nullptr ? std::string(" ") + name + "=null" : std::string();
}

// The open camera of a handle, unless a failure was injected into the call;
// on failure the call has failed and the result to return is in `result`.
Camera* OpenCamera(Call& call, std::uint32_t handle, std::int32_t& result) {
    std::uint32_t error = ZUR_ERROR_INJECTED;
    Camera* camera = call.Injected() ? nullptr : call.state.FindOpen(handle, error);
    if (camera == nullptr) {
        result = call.Fail(error);
    }
    return camera;
}

// The open camera of a handle whose stream is allocated; as OpenCamera, and
// NOT_ALLOCATED without a stream.
Camera* StreamCamera(Call& call, std::uint32_t handle, std::int32_t& result) {
    Camera* camera = OpenCamera(call, handle, result);
    if (camera != nullptr && !camera->allocated) {
        result = call.Fail(ZUR_ERROR_NOT_ALLOCATED);
        return nullptr;
    }
    return camera;
}

std::string RegisterArguments(std::uint32_t handle, const ZURRegisterRecord* record, bool write) {
    std::string text = Handle(handle);
    if (record == nullptr) {
        return text + " record=null";
    }
    if (record->count == 0 || record->count > ZUR_MAX_REGISTERS) {
        return text + " count=" + std::to_string(record->count);
    }
    text += " address=" + Hex8(record->address[0]);
    if (write) {
        text += " data=" + Hex8(record->data[0]);
    }
    if (record->count > 1) {
        text += " count=" + std::to_string(record->count);
    }
    return text;
}

}  // namespace

extern "C" {

ZUR_API int32_t ZURSetStructVersion(uint32_t version) {
    Call call("ZURSetStructVersion", "version=" + std::to_string(version));
    if (call.Injected()) {
        return call.Fail(ZUR_ERROR_INJECTED);
    }
    return call.Succeed();
}

ZUR_API int32_t ZURGetList(ZURCameraList* list) {
    Call call("ZURGetList",
              list == nullptr ? std::string("list=null") : "count=" + std::to_string(list->count));
    if (call.Injected()) {
        return call.Fail(ZUR_ERROR_INJECTED);
    }
    if (list == nullptr) {
        return call.Fail(ZUR_ERROR_INVALID_ARGUMENT);
    }
    const auto& cameras = call.state.cameras;
    if (list->count == 0) {
        list->count = static_cast<uint32_t>(cameras.size());
        return call.Succeed();
    }
    const std::size_t filled = std::min<std::size_t>(
        {static_cast<std::size_t>(list->count), cameras.size(), ZUR_MAX_LIST_RECORDS});
    for (std::size_t i = 0; i < filled; ++i) {
        ZURCameraRecord& record = list->records[i];
        record = ZURCameraRecord{};
        const Camera& camera = *cameras[i];
        record.deviceIdLow = static_cast<uint32_t>(camera.Options().id & 0xFFFFFFFFu);
        record.deviceIdHigh = static_cast<uint32_t>(camera.Options().id >> 32);
        const std::string& model = camera.Options().model;
        const std::size_t length = std::min(model.size(), sizeof record.modelName - 1);
        std::memcpy(record.modelName, model.data(), length);
    }
    list->count = static_cast<uint32_t>(filled);
    return call.Succeed();
}

ZUR_API int32_t ZUROpen(uint64_t deviceId, uint32_t* camera) {
    Call call("ZUROpen", "id=" + std::to_string(deviceId) + NullMark(camera, "camera"));
    if (call.Injected()) {
        return call.Fail(ZUR_ERROR_INJECTED);
    }
    if (camera == nullptr) {
        return call.Fail(ZUR_ERROR_INVALID_ARGUMENT);
    }
    Camera* found = call.state.FindCamera(deviceId);
    if (found == nullptr) {
        return call.Fail(ZUR_ERROR_NO_DEVICE);
    }
    if (found->unplugged) {
        return call.Fail(ZUR_ERROR_DEVICE_LOST);
    }
    if (found->handle != 0) {
        return call.Fail(ZUR_ERROR_BUSY);
    }
    *camera = call.state.Open(*found);
    return call.Succeed();
}

ZUR_API int32_t ZURClose(uint32_t camera) {
    Call call("ZURClose", Handle(camera));
    if (call.Injected()) {
        return call.Fail(ZUR_ERROR_INJECTED);
    }
    const auto found = call.state.handles.find(camera);
    if (found == call.state.handles.end()) {
        // The session of a camera plugged in again: released, but lost.
        return call.Fail(call.state.lostHandles.erase(camera) != 0 ? ZUR_ERROR_DEVICE_LOST
                                                                   : ZUR_ERROR_INVALID_HANDLE);
    }
    // An unplugged camera's handle is released all the same, so that a
    // driver closing after a loss leaves nothing behind.
    Camera& device = *found->second;
    const bool lost = device.unplugged;
    call.state.Close(device);
    return lost ? call.Fail(ZUR_ERROR_DEVICE_LOST) : call.Succeed();
}

ZUR_API int32_t ZURGigESetRegister(uint32_t camera, ZURRegisterRecord* record) {
    Call call("ZURGigESetRegister", RegisterArguments(camera, record, true));
    std::int32_t result = 0;
    Camera* device = OpenCamera(call, camera, result);
    if (device == nullptr) {
        return result;
    }
    if (record == nullptr || record->count == 0 || record->count > ZUR_MAX_REGISTERS) {
        return call.Fail(ZUR_ERROR_INVALID_ARGUMENT);
    }
    // Registers are written in order; a refused one ends the call, and the
    // ones before it keep their new values, as on the wire.
    for (uint32_t i = 0; i < record->count; ++i) {
        const std::uint32_t error = device->Write(record->address[i], record->data[i]);
        if (error != ZUR_ERROR_NONE) {
            call.state.changed.notify_all();
            return call.Fail(error);
        }
    }
    call.state.changed.notify_all();
    return call.Succeed();
}

ZUR_API int32_t ZURGigEGetRegister(uint32_t camera, ZURRegisterRecord* record) {
    Call call("ZURGigEGetRegister", RegisterArguments(camera, record, false));
    std::int32_t result = 0;
    const Camera* device = OpenCamera(call, camera, result);
    if (device == nullptr) {
        return result;
    }
    if (record == nullptr || record->count == 0 || record->count > ZUR_MAX_REGISTERS) {
        return call.Fail(ZUR_ERROR_INVALID_ARGUMENT);
    }
    for (uint32_t i = 0; i < record->count; ++i) {
        const std::uint32_t error = device->Read(record->address[i], record->data[i]);
        if (error != ZUR_ERROR_NONE) {
            return call.Fail(error);
        }
    }
    return call.Succeed();
}

ZUR_API int32_t ZURSetImageInfo(uint32_t camera, ZURImagePosition* position) {
    std::string arguments = Handle(camera);
    if (position == nullptr) {
        arguments += " position=null";
    } else {
        arguments += " offsetX=" + std::to_string(position->offsetX) +
                     " offsetY=" + std::to_string(position->offsetY) +
                     " width=" + std::to_string(position->width) +
                     " height=" + std::to_string(position->height);
    }
    Call call("ZURSetImageInfo", arguments);
    std::int32_t result = 0;
    Camera* device = OpenCamera(call, camera, result);
    if (device == nullptr) {
        return result;
    }
    if (position == nullptr) {
        return call.Fail(ZUR_ERROR_INVALID_ARGUMENT);
    }
    if (device->allocated) {
        return call.Fail(ZUR_ERROR_BUSY);
    }
    const std::uint32_t error = device->SetGeometry(position->offsetX, position->offsetY,
                                                    position->width, position->height);
    return error == ZUR_ERROR_NONE ? call.Succeed() : call.Fail(error);
}

ZUR_API int32_t ZURGetImageInfo(uint32_t camera, ZURImageInfo* info) {
    Call call("ZURGetImageInfo", Handle(camera) + NullMark(info, "info"));
    std::int32_t result = 0;
    const Camera* device = OpenCamera(call, camera, result);
    if (device == nullptr) {
        return result;
    }
    if (info == nullptr) {
        return call.Fail(ZUR_ERROR_INVALID_ARGUMENT);
    }
    const zursim::Geometry geometry = device->CurrentGeometry();
    *info = ZURImageInfo{};
    info->offsetX = static_cast<uint16_t>(geometry.offsetX);
    info->offsetY = static_cast<uint16_t>(geometry.offsetY);
    info->sensorWidth = static_cast<uint16_t>(device->Options().sensorWidth);
    info->sensorHeight = static_cast<uint16_t>(device->Options().sensorHeight);
    info->width = static_cast<uint16_t>(geometry.ImageWidth());
    info->height = static_cast<uint16_t>(geometry.ImageHeight());
    info->colorId = device->ColorId();
    info->dataDepth = device->Options().dataDepth;
    info->bufferSize = device->ReportedBufferSize();
    return call.Succeed();
}

ZUR_API int32_t ZURNowCameraMode(uint32_t camera, ZURCameraMode* mode) {
    Call call("ZURNowCameraMode", Handle(camera) + NullMark(mode, "mode"));
    std::int32_t result = 0;
    const Camera* device = OpenCamera(call, camera, result);
    if (device == nullptr) {
        return result;
    }
    if (mode == nullptr) {
        return call.Fail(ZUR_ERROR_INVALID_ARGUMENT);
    }
    *mode = ZURCameraMode{};
    mode->standardMode = device->Options().standardMode;
    mode->colorFilter = device->ColorFilter();
    return call.Succeed();
}

ZUR_API int32_t ZURSetCameraMode(uint32_t camera, ZURCameraMode* mode) {
    std::string arguments = Handle(camera);
    if (mode == nullptr) {
        arguments += " mode=null";
    } else {
        arguments += " standardMode=" + std::to_string(mode->standardMode) +
                     " colorFilter=" + std::to_string(mode->colorFilter);
    }
    Call call("ZURSetCameraMode", arguments);
    std::int32_t result = 0;
    Camera* device = OpenCamera(call, camera, result);
    if (device == nullptr) {
        return result;
    }
    if (mode == nullptr) {
        return call.Fail(ZUR_ERROR_INVALID_ARGUMENT);
    }
    const std::uint32_t error = device->SetColorFilter(mode->colorFilter);
    return error == ZUR_ERROR_NONE ? call.Succeed() : call.Fail(error);
}

ZUR_API int32_t ZURBandAdjust(uint32_t camera, int32_t adjust, int32_t level) {
    Call call("ZURBandAdjust", Handle(camera) + " adjust=" + std::to_string(adjust) +
                                   " level=" + std::to_string(level));
    std::int32_t result = 0;
    Camera* device = OpenCamera(call, camera, result);
    if (device == nullptr) {
        return result;
    }
    device->bandAdjust = adjust;
    device->bandLevel = level;
    return call.Succeed();
}

ZUR_API int32_t ZURGetDataDepth(uint32_t camera, uint32_t* depth) {
    Call call("ZURGetDataDepth", Handle(camera) + NullMark(depth, "depth"));
    std::int32_t result = 0;
    const Camera* device = OpenCamera(call, camera, result);
    if (device == nullptr) {
        return result;
    }
    if (depth == nullptr) {
        return call.Fail(ZUR_ERROR_INVALID_ARGUMENT);
    }
    *depth = device->Options().dataDepth;
    return call.Succeed();
}

ZUR_API int32_t ZURCreateConvHandle(uint32_t* conversion, int32_t convertMode, int32_t shiftId,
                                    int32_t /*reserved*/) {
    Call call("ZURCreateConvHandle", "convertMode=" + std::to_string(convertMode) +
                                         " shiftId=" + std::to_string(shiftId) +
                                         NullMark(conversion, "conversion"));
    if (call.Injected()) {
        return call.Fail(ZUR_ERROR_INJECTED);
    }
    const zursim::Conversion settings{convertMode, shiftId};
    if (conversion == nullptr || !zursim::ValidConversion(settings)) {
        return call.Fail(ZUR_ERROR_INVALID_ARGUMENT);
    }
    *conversion = call.state.NewConversion(settings);
    return call.Succeed();
}

ZUR_API int32_t ZURColorConvSetBMPINFO(uint32_t conversion, int32_t width, int32_t height,
                                       BITMAPINFO* info) {
    Call call("ZURColorConvSetBMPINFO",
              "conversion=" + std::to_string(conversion) + " width=" + std::to_string(width) +
                  " height=" + std::to_string(height) + NullMark(info, "info"));
    if (call.Injected()) {
        return call.Fail(ZUR_ERROR_INJECTED);
    }
    if (call.state.conversions.count(conversion) == 0) {
        return call.Fail(ZUR_ERROR_INVALID_HANDLE);
    }
    if (info == nullptr || !zursim::ValidConversionSize(width, height)) {
        return call.Fail(ZUR_ERROR_INVALID_ARGUMENT);
    }
    zursim::FillBitmapInfo(width, height, *info);
    return call.Succeed();
}

ZUR_API int32_t ZURColorConvExec(uint32_t conversion, int32_t width, int32_t height,
                                 ZURColorConvMode* mode, const void* source, void* target) {
    std::string arguments = "conversion=" + std::to_string(conversion) +
                            " width=" + std::to_string(width) + " height=" + std::to_string(height);
    if (mode == nullptr) {
        arguments += " mode=null";
    } else {
        arguments += " colorId=" + std::to_string(mode->colorId) +
                     " cFilter=" + std::to_string(mode->cFilter);
    }
    arguments += NullMark(source, "source") + NullMark(target, "target");
    Call call("ZURColorConvExec", arguments);
    if (call.Injected()) {
        return call.Fail(ZUR_ERROR_INJECTED);
    }
    const auto found = call.state.conversions.find(conversion);
    if (found == call.state.conversions.end()) {
        return call.Fail(ZUR_ERROR_INVALID_HANDLE);
    }
    if (mode == nullptr || source == nullptr || target == nullptr || mode->cFilter > 3 ||
        !zursim::ValidConversionSize(width, height)) {
        return call.Fail(ZUR_ERROR_INVALID_ARGUMENT);
    }
    const zursim::Conversion settings = found->second;
    const std::uint32_t filter = mode->cFilter;

    // The work needs nothing shared, so other calls go on meanwhile.
    call.lock.unlock();
    zursim::Convert(settings, filter, width, height, source, target);
    call.lock.lock();
    return call.Succeed();
}

ZUR_API int32_t ZURCloseConvHandle(uint32_t conversion) {
    Call call("ZURCloseConvHandle", "conversion=" + std::to_string(conversion));
    if (call.Injected()) {
        return call.Fail(ZUR_ERROR_INJECTED);
    }
    if (call.state.conversions.erase(conversion) == 0) {
        return call.Fail(ZUR_ERROR_INVALID_HANDLE);
    }
    return call.Succeed();
}

ZUR_API int32_t ZURIsoAlloc(uint32_t camera) {
    Call call("ZURIsoAlloc", Handle(camera));
    std::int32_t result = 0;
    Camera* device = OpenCamera(call, camera, result);
    if (device == nullptr) {
        return result;
    }
    if (device->allocated) {
        return call.Fail(ZUR_ERROR_BUSY);
    }
    device->allocated = true;
    return call.Succeed();
}

ZUR_API int32_t ZURIsoStart(uint32_t camera, uint32_t frames) {
    Call call("ZURIsoStart", Handle(camera) + " frames=" + std::to_string(frames));
    std::int32_t result = 0;
    Camera* device = StreamCamera(call, camera, result);
    if (device == nullptr) {
        return result;
    }
    // 0 frames: until stopped; else that many frames, then the stream halts.
    device->started = true;
    device->frameLimited = frames != 0;
    device->framesLeft = frames;
    device->lastFrameTime.reset();
    device->pendingTriggers = 0;
    call.state.changed.notify_all();
    return call.Succeed();
}

ZUR_API int32_t ZURIsoStop(uint32_t camera) {
    Call call("ZURIsoStop", Handle(camera));
    std::int32_t result = 0;
    Camera* device = StreamCamera(call, camera, result);
    if (device == nullptr) {
        return result;
    }
    device->started = false;
    device->requests.clear();
    device->pendingTriggers = 0;
    call.state.changed.notify_all();
    return call.Succeed();
}

ZUR_API int32_t ZURIsoRelease(uint32_t camera) {
    Call call("ZURIsoRelease", Handle(camera));
    std::int32_t result = 0;
    Camera* device = StreamCamera(call, camera, result);
    if (device == nullptr) {
        return result;
    }
    device->ResetStream();
    call.state.changed.notify_all();
    return call.Succeed();
}

ZUR_API int32_t ZURImageReq(uint32_t camera, void* buffer, uint32_t size) {
    Call call("ZURImageReq",
              Handle(camera) + " size=" + std::to_string(size) + NullMark(buffer, "buffer"));
    std::int32_t result = 0;
    Camera* device = OpenCamera(call, camera, result);
    if (device == nullptr) {
        return result;
    }
    if (buffer == nullptr || size < device->ImageBytes()) {
        return call.Fail(ZUR_ERROR_INVALID_ARGUMENT);
    }
    if (!device->allocated) {
        return call.Fail(ZUR_ERROR_NOT_ALLOCATED);
    }
    // One request per buffer at a time, and a bounded queue.
    constexpr std::size_t kMaxRequests = 256;
    const bool queued =
        std::any_of(device->requests.begin(), device->requests.end(),
                    [buffer](const zursim::Request& request) { return request.buffer == buffer; });
    if (queued || device->requests.size() >= kMaxRequests) {
        return call.Fail(ZUR_ERROR_BUSY);
    }
    zursim::Request request;
    request.buffer = buffer;
    request.size = size;
    request.serial = call.state.nextRequestSerial++;
    device->requests.push_back(request);
    return call.Succeed();
}

ZUR_API int32_t ZURImageCompleteWait(uint32_t camera, void* buffer, uint32_t timeoutMs,
                                     uint32_t /*reserved2*/, uint32_t /*reserved3*/) {
    Call call("ZURImageCompleteWait", Handle(camera) + NullMark(buffer, "buffer"));
    zursim::State& state = call.state;
    std::uint32_t error = ZUR_ERROR_NONE;
    Camera* device = state.FindOpen(camera, error);
    const auto ofBuffer = [buffer](const zursim::Request& request) {
        return request.buffer == buffer;
    };
    if (call.Injected()) {
        // As a wait that timed out: the request ends, so that the buffer can
        // be requested again.
        if (device != nullptr) {
            const auto found =
                std::find_if(device->requests.begin(), device->requests.end(), ofBuffer);
            if (found != device->requests.end() && !found->waited) {
                device->requests.erase(found);
            }
        }
        return call.Fail(ZUR_ERROR_INJECTED);
    }
    if (device == nullptr) {
        return call.Fail(error);
    }
    if (buffer == nullptr) {
        return call.Fail(ZUR_ERROR_INVALID_ARGUMENT);
    }
    const auto found = std::find_if(device->requests.begin(), device->requests.end(), ofBuffer);
    if (found == device->requests.end()) {
        return call.Fail(ZUR_ERROR_NO_REQUEST);
    }
    if (found->waited) {
        return call.Fail(ZUR_ERROR_BUSY);  // another thread waits for it
    }
    found->waited = true;
    const std::uint64_t serial = found->serial;
    const auto ofSerial = [serial](const zursim::Request& request) {
        return request.serial == serial;
    };
    const bool limited = timeoutMs != 0;
    const zursim::Clock::time_point deadline =
        zursim::Clock::now() + std::chrono::milliseconds(timeoutMs);

    // Everything is looked up afresh after every sleep: the camera may have
    // been closed, unplugged or detached meanwhile.
    for (;;) {
        device = state.FindOpen(camera, error);
        if (device == nullptr) {
            const std::uint32_t aborted = ZUR_ERROR_ABORTED;
            return call.Fail(error == ZUR_ERROR_DEVICE_LOST ? error : aborted);
        }
        auto request = std::find_if(device->requests.begin(), device->requests.end(), ofSerial);
        if (request == device->requests.end()) {
            return call.Fail(ZUR_ERROR_ABORTED);  // dropped by an abort or a stop
        }
        if (request->done) {
            const std::uint32_t outcome = request->error;
            device->requests.erase(request);
            return outcome == ZUR_ERROR_NONE ? call.Succeed() : call.Fail(outcome);
        }
        const std::optional<zursim::Clock::time_point> due = state.Advance(*device, serial);
        request = std::find_if(device->requests.begin(), device->requests.end(), ofSerial);
        if (request != device->requests.end() && request->done) {
            continue;
        }
        if (limited && zursim::Clock::now() >= deadline) {
            // The request ends with the wait: the buffer is the caller's again.
            if (request != device->requests.end()) {
                device->requests.erase(request);
            }
            return call.Fail(ZUR_ERROR_TIMEOUT);
        }
        if (limited) {
            state.changed.wait_until(call.lock, due ? std::min(*due, deadline) : deadline);
        } else if (due) {
            state.changed.wait_until(call.lock, *due);
        } else {
            state.changed.wait(call.lock);
        }
    }
}

ZUR_API int32_t ZURAbortImageReqAll(uint32_t camera) {
    Call call("ZURAbortImageReqAll", Handle(camera));
    std::int32_t result = 0;
    Camera* device = OpenCamera(call, camera, result);
    if (device == nullptr) {
        return result;
    }
    device->requests.clear();
    call.state.changed.notify_all();
    return call.Succeed();
}

ZUR_API uint32_t ZURGetLastError(void) {
    // Journaled like every call, but neither injectable nor changing the
    // error it reports.
    zursim::State& state = zursim::GlobalState();
    const std::lock_guard<std::mutex> lock(state.mutex);
    state.EnsureInitialized();
    const std::uint32_t error = zursim::CallerError();
    state.journal.Finish(state.journal.Begin("ZURGetLastError"), static_cast<std::int32_t>(error));
    return error;
}

}  // extern "C"
