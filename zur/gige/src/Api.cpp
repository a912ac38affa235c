// The ZUR calls over Aravis. Each runs inside Run: it sets the caller's last
// error (ZUR_ERROR_NONE on success) and lets no exception out.

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "Camera.h"
#include "Discovery.h"
#include "Errors.h"
#include "Trace.h"
#include "ZUR.h"
#include "ZURGigE.h"
#include "platform/NoDestructor.h"
#include "zursim/Conversion.h"

using zurgige::Camera;

namespace {

using Clock = std::chrono::steady_clock;

// A list filled within this time after the count was asked for comes from the
// same discovery: ZUR's callers ask for the count, then for the records.
constexpr std::chrono::seconds kListReuse{10};

class Registry {
  public:
    std::shared_ptr<Camera> Find(std::uint32_t handle) {
        const std::lock_guard<std::mutex> lock(mutex);
        const auto found = cameras.find(handle);
        return found != cameras.end() ? found->second : nullptr;
    }

    std::shared_ptr<Camera> Take(std::uint32_t handle) {
        const std::lock_guard<std::mutex> lock(mutex);
        const auto found = cameras.find(handle);
        if (found == cameras.end()) {
            return nullptr;
        }
        std::shared_ptr<Camera> camera = std::move(found->second);
        cameras.erase(found);
        return camera;
    }

    bool IsOpen(std::uint64_t id) {
        const std::lock_guard<std::mutex> lock(mutex);
        for (const auto& entry : cameras) {
            if (entry.second->Id() == id) {
                return true;
            }
        }
        return false;
    }

    std::uint32_t Add(std::shared_ptr<Camera> camera) {
        const std::lock_guard<std::mutex> lock(mutex);
        // Handles are never used twice, so that a stale one always fails.
        const std::uint32_t handle = nextHandle++;
        cameras.emplace(handle, std::move(camera));
        return handle;
    }

    // The last discovery's cameras, discovering again when asked to or when
    // the last one is old.
    std::vector<zurgige::DiscoveredCamera> Listed(const zurgige::DiscoveryFilter& filter,
                                                  bool fresh) {
        const std::lock_guard<std::mutex> lock(discovery);
        if (fresh || !listedAt || Clock::now() - *listedAt > kListReuse) {
            listed = zurgige::Discover(filter);
            listedAt = Clock::now();
            for (const auto& camera : listed) {
                known[camera.id] = camera;
            }
        }
        return listed;
    }

    // Where a camera was last seen, discovering once more when unknown.
    std::optional<zurgige::DiscoveredCamera> Locate(std::uint64_t id,
                                                    const zurgige::DiscoveryFilter& filter,
                                                    bool fresh) {
        {
            const std::lock_guard<std::mutex> lock(discovery);
            const auto found = known.find(id);
            if (found != known.end() && !fresh) {
                return found->second;
            }
        }
        for (const auto& camera : Listed(filter, true)) {
            if (camera.id == id) {
                return camera;
            }
        }
        return std::nullopt;
    }

    // One open at a time: two opens of one camera would race for control.
    std::mutex opening;

  private:
    std::mutex mutex;
    std::map<std::uint32_t, std::shared_ptr<Camera>> cameras;
    std::uint32_t nextHandle = 1;

    std::mutex discovery;
    std::vector<zurgige::DiscoveredCamera> listed;
    std::optional<Clock::time_point> listedAt;
    std::map<std::uint64_t, zurgige::DiscoveredCamera> known;
};

Registry& TheRegistry() {
    // Never destroyed: grab threads may still wait when the process exits.
    static platform::NoDestructor<Registry> registry;
    return *registry;
}

class Conversions {
  public:
    std::uint32_t Add(zursim::Conversion settings) {
        const std::lock_guard<std::mutex> lock(mutex);
        const std::uint32_t handle = nextHandle++;
        handles.emplace(handle, settings);
        return handle;
    }
    std::optional<zursim::Conversion> Find(std::uint32_t handle) {
        const std::lock_guard<std::mutex> lock(mutex);
        const auto found = handles.find(handle);
        return found != handles.end() ? std::optional(found->second) : std::nullopt;
    }
    bool Remove(std::uint32_t handle) {
        const std::lock_guard<std::mutex> lock(mutex);
        return handles.erase(handle) != 0;
    }

  private:
    std::mutex mutex;
    std::map<std::uint32_t, zursim::Conversion> handles;
    // Apart from camera handles, so that one passed for the other fails.
    std::uint32_t nextHandle = 50001;
};

Conversions& TheConversions() {
    static platform::NoDestructor<Conversions> conversions;
    return *conversions;
}

template <typename Body>
std::int32_t Run(Body&& body) {
    std::uint32_t error = ZUR_ERROR_DEVICE;
    try {
        error = body();
    } catch (...) {
        // Out of memory or a failure inside the C++ runtime: the call failed.
        error = ZUR_ERROR_DEVICE;
    }
    zurgige::SetCallerError(error);
    return error == ZUR_ERROR_NONE ? 1 : 0;
}

// Runs `body` on the camera of `handle` under its control lock, if it is
// open and still answers.
template <typename Body>
std::uint32_t WithCamera(std::uint32_t handle, Body&& body) {
    const std::shared_ptr<Camera> camera = TheRegistry().Find(handle);
    if (!camera) {
        return ZUR_ERROR_INVALID_HANDLE;
    }
    const std::lock_guard<std::mutex> lock(camera->Control());
    if (const std::uint32_t error = camera->Usable(); error != ZUR_ERROR_NONE) {
        return error;
    }
    return body(*camera);
}

// A call on an open camera that reads or fills a record of the caller's.
template <typename Record, typename Method>
std::int32_t WithRecord(std::uint32_t handle, Record* record, Method method) {
    return Run([&] {
        return WithCamera(handle, [&](Camera& device) -> std::uint32_t {
            if (record == nullptr) {
                return ZUR_ERROR_INVALID_ARGUMENT;
            }
            return (device.*method)(*record);
        });
    });
}

std::optional<zurgige::Settings> Settings() {
    std::string problem;
    std::optional<zurgige::Settings> settings = zurgige::ReadSettings(problem);
    if (!settings) {
        zurgige::Trace("%s", problem.c_str());
    }
    return settings;
}

bool ValidRecord(const ZURRegisterRecord* record) {
    return record != nullptr && record->count != 0 && record->count <= ZUR_MAX_REGISTERS;
}

// Stop, abort and release end the requests even of a lost camera, so that
// nothing writes into the caller's memory once they return.
template <typename Body>
std::uint32_t WithEvenLostCamera(std::uint32_t handle, Body&& body) {
    const std::shared_ptr<Camera> camera = TheRegistry().Find(handle);
    if (!camera) {
        return ZUR_ERROR_INVALID_HANDLE;
    }
    const std::lock_guard<std::mutex> lock(camera->Control());
    const std::uint32_t usable = camera->Usable();
    if (usable == ZUR_ERROR_INVALID_HANDLE) {
        return usable;
    }
    const std::uint32_t error = body(*camera);
    return usable != ZUR_ERROR_NONE ? usable : error;
}

// Runs access on each address and value of a register record, in order; a
// refused register ends the call, as on the wire.
template <typename Access>
int32_t EachRegister(uint32_t camera, ZURRegisterRecord* record, Access access) {
    return Run([&] {
        return WithCamera(camera, [&](Camera& device) -> std::uint32_t {
            if (!ValidRecord(record)) {
                return ZUR_ERROR_INVALID_ARGUMENT;
            }
            for (uint32_t i = 0; i < record->count; ++i) {
                if (const std::uint32_t error = access(device, record->address[i], record->data[i]);
                    error != ZUR_ERROR_NONE) {
                    return error;
                }
            }
            return ZUR_ERROR_NONE;
        });
    });
}

}  // namespace

extern "C" {

ZUR_API int32_t ZURSetStructVersion(uint32_t /*version*/) {
    return Run([] { return ZUR_ERROR_NONE; });
}

ZUR_API int32_t ZURGetList(ZURCameraList* list) {
    return Run([&]() -> std::uint32_t {
        if (list == nullptr) {
            return ZUR_ERROR_INVALID_ARGUMENT;
        }
        const std::optional<zurgige::Settings> settings = Settings();
        if (!settings) {
            return ZUR_ERROR_INVALID_ARGUMENT;
        }
        const auto cameras = TheRegistry().Listed(settings->discovery, list->count == 0);
        if (list->count == 0) {
            list->count = static_cast<uint32_t>(cameras.size());
            return ZUR_ERROR_NONE;
        }
        const std::size_t filled = std::min<std::size_t>(
            {std::size_t{list->count}, cameras.size(), std::size_t{ZUR_MAX_LIST_RECORDS}});
        for (std::size_t i = 0; i < filled; ++i) {
            ZURCameraRecord& record = list->records[i];
            record = ZURCameraRecord{};
            record.deviceIdLow = static_cast<uint32_t>(cameras[i].id & 0xFFFFFFFFu);
            record.deviceIdHigh = static_cast<uint32_t>(cameras[i].id >> 32);
            const std::string& model = cameras[i].model;
            std::memcpy(record.modelName, model.data(),
                        std::min(model.size(), sizeof record.modelName - 1));
        }
        list->count = static_cast<uint32_t>(filled);
        return ZUR_ERROR_NONE;
    });
}

ZUR_API int32_t ZUROpen(uint64_t deviceId, uint32_t* camera) {
    return Run([&]() -> std::uint32_t {
        if (camera == nullptr) {
            return ZUR_ERROR_INVALID_ARGUMENT;
        }
        const std::optional<zurgige::Settings> settings = Settings();
        if (!settings) {
            return ZUR_ERROR_INVALID_ARGUMENT;
        }
        Registry& registry = TheRegistry();
        const std::lock_guard<std::mutex> lock(registry.opening);
        if (registry.IsOpen(deviceId)) {
            return ZUR_ERROR_BUSY;
        }
        std::uint32_t error = ZUR_ERROR_NO_DEVICE;
        // Where discovery last saw it; if it is not there any more, it may
        // have come back at another address.
        for (const bool fresh : {false, true}) {
            const auto where = registry.Locate(deviceId, settings->discovery, fresh);
            if (!where) {
                return ZUR_ERROR_NO_DEVICE;
            }
            std::unique_ptr<Camera> opened = Camera::Open(deviceId, where->address, error);
            if (opened) {
                *camera = registry.Add(std::move(opened));
                return ZUR_ERROR_NONE;
            }
            if (error == ZUR_ERROR_TIMEOUT) {
                // Silent where it was: gone, not moved. Discovering again
                // would keep a driver that retries waiting a second each time.
                return ZUR_ERROR_NO_DEVICE;
            }
            if (error != ZUR_ERROR_NO_DEVICE) {
                break;
            }
        }
        return error;
    });
}

ZUR_API int32_t ZURClose(uint32_t camera) {
    return Run([&]() -> std::uint32_t {
        const std::shared_ptr<Camera> closing = TheRegistry().Take(camera);
        if (!closing) {
            return ZUR_ERROR_INVALID_HANDLE;
        }
        const std::lock_guard<std::mutex> lock(closing->Control());
        // A lost camera's handle is released all the same.
        return closing->Close();
    });
}

ZUR_API int32_t ZURGigESetRegister(uint32_t camera, ZURRegisterRecord* record) {
    return EachRegister(camera, record, [](Camera& device, uint32_t address, uint32_t& data) {
        return device.WriteRegister(address, data);
    });
}

ZUR_API int32_t ZURGigEGetRegister(uint32_t camera, ZURRegisterRecord* record) {
    return EachRegister(camera, record, [](Camera& device, uint32_t address, uint32_t& data) {
        return device.ReadRegister(address, data);
    });
}

ZUR_API int32_t ZURSetImageInfo(uint32_t camera, ZURImagePosition* position) {
    return WithRecord(camera, position, &Camera::SetGeometry);
}

ZUR_API int32_t ZURGetImageInfo(uint32_t camera, ZURImageInfo* info) {
    return WithRecord(camera, info, &Camera::GetImageInfo);
}

ZUR_API int32_t ZURNowCameraMode(uint32_t camera, ZURCameraMode* mode) {
    return WithRecord(camera, mode, &Camera::GetMode);
}

ZUR_API int32_t ZURSetCameraMode(uint32_t camera, ZURCameraMode* mode) {
    return WithRecord(camera, mode, &Camera::SetMode);
}

ZUR_API int32_t ZURBandAdjust(uint32_t camera, int32_t adjust, int32_t level) {
    return Run([&] {
        return WithCamera(camera, [&](Camera& device) { return device.BandAdjust(adjust, level); });
    });
}

ZUR_API int32_t ZURGetDataDepth(uint32_t camera, uint32_t* depth) {
    return WithRecord(camera, depth, &Camera::DataDepth);
}

ZUR_API int32_t ZURCreateConvHandle(uint32_t* conversion, int32_t convertMode, int32_t shiftId,
                                    int32_t /*reserved*/) {
    return Run([&]() -> std::uint32_t {
        const zursim::Conversion settings{convertMode, shiftId};
        if (conversion == nullptr || !zursim::ValidConversion(settings)) {
            return ZUR_ERROR_INVALID_ARGUMENT;
        }
        *conversion = TheConversions().Add(settings);
        return ZUR_ERROR_NONE;
    });
}

ZUR_API int32_t ZURColorConvSetBMPINFO(uint32_t conversion, int32_t width, int32_t height,
                                       BITMAPINFO* info) {
    return Run([&]() -> std::uint32_t {
        if (!TheConversions().Find(conversion)) {
            return ZUR_ERROR_INVALID_HANDLE;
        }
        if (info == nullptr || !zursim::ValidConversionSize(width, height)) {
            return ZUR_ERROR_INVALID_ARGUMENT;
        }
        zursim::FillBitmapInfo(width, height, *info);
        return ZUR_ERROR_NONE;
    });
}

ZUR_API int32_t ZURColorConvExec(uint32_t conversion, int32_t width, int32_t height,
                                 ZURColorConvMode* mode, const void* source, void* target) {
    return Run([&]() -> std::uint32_t {
        const std::optional<zursim::Conversion> settings = TheConversions().Find(conversion);
        if (!settings) {
            return ZUR_ERROR_INVALID_HANDLE;
        }
        if (mode == nullptr || source == nullptr || target == nullptr || mode->cFilter > 3 ||
            !zursim::ValidConversionSize(width, height)) {
            return ZUR_ERROR_INVALID_ARGUMENT;
        }
        zursim::Convert(*settings, mode->cFilter, width, height, source, target);
        return ZUR_ERROR_NONE;
    });
}

ZUR_API int32_t ZURCloseConvHandle(uint32_t conversion) {
    return Run([&]() -> std::uint32_t {
        if (!TheConversions().Remove(conversion)) {
            return ZUR_ERROR_INVALID_HANDLE;
        }
        return ZUR_ERROR_NONE;
    });
}

ZUR_API int32_t ZURIsoAlloc(uint32_t camera) {
    return Run([&] {
        return WithCamera(camera, [](Camera& device) {
            std::string problem;
            const std::optional<zurgige::Settings> settings = zurgige::ReadSettings(problem);
            return settings ? device.AllocateStream(settings->packetSize)
                            : std::uint32_t{ZUR_ERROR_INVALID_ARGUMENT};
        });
    });
}

ZUR_API int32_t ZURIsoStart(uint32_t camera, uint32_t frames) {
    return Run([&] {
        return WithCamera(camera, [&](Camera& device) { return device.StartAcquisition(frames); });
    });
}

ZUR_API int32_t ZURIsoStop(uint32_t camera) {
    return Run([&] {
        return WithEvenLostCamera(camera, [](Camera& device) { return device.StopAcquisition(); });
    });
}

ZUR_API int32_t ZURIsoRelease(uint32_t camera) {
    return Run([&] {
        return WithEvenLostCamera(camera, [](Camera& device) { return device.ReleaseStream(); });
    });
}

ZUR_API int32_t ZURAbortImageReqAll(uint32_t camera) {
    return Run([&]() -> std::uint32_t {
        // Without the control lock: an abort must not wait for a register
        // call to a camera that does not answer.
        const std::shared_ptr<Camera> device = TheRegistry().Find(camera);
        if (!device) {
            return ZUR_ERROR_INVALID_HANDLE;
        }
        if (const std::shared_ptr<zurgige::Stream> stream = device->CurrentStream()) {
            stream->AbortAll();
        }
        return device->Usable();
    });
}

ZUR_API int32_t ZURImageReq(uint32_t camera, void* buffer, uint32_t size) {
    return Run([&]() -> std::uint32_t {
        const std::shared_ptr<Camera> device = TheRegistry().Find(camera);
        if (!device) {
            return ZUR_ERROR_INVALID_HANDLE;
        }
        if (const std::uint32_t error = device->Usable(); error != ZUR_ERROR_NONE) {
            return error;
        }
        const std::shared_ptr<zurgige::Stream> stream = device->CurrentStream();
        return stream ? stream->Request(buffer, size) : std::uint32_t{ZUR_ERROR_NOT_ALLOCATED};
    });
}

ZUR_API int32_t ZURImageCompleteWait(uint32_t camera, void* buffer, uint32_t timeoutMs,
                                     uint32_t /*reserved2*/, uint32_t /*reserved3*/) {
    return Run([&]() -> std::uint32_t {
        const std::shared_ptr<Camera> device = TheRegistry().Find(camera);
        if (!device) {
            return ZUR_ERROR_INVALID_HANDLE;
        }
        const std::shared_ptr<zurgige::Stream> stream = device->CurrentStream();
        if (!stream) {
            return ZUR_ERROR_NO_REQUEST;
        }
        std::uint64_t frameId = 0;
        return stream->Wait(buffer, timeoutMs, frameId);
    });
}

ZUR_API uint32_t ZURGetLastError(void) {
    return zurgige::CallerError();
}

ZUR_API int32_t ZURGigEGetFrameId(uint32_t camera, const void* buffer, uint64_t* frameId) {
    return Run([&]() -> std::uint32_t {
        const std::shared_ptr<Camera> device = TheRegistry().Find(camera);
        if (!device) {
            return ZUR_ERROR_INVALID_HANDLE;
        }
        const std::shared_ptr<zurgige::Stream> stream = device->CurrentStream();
        if (frameId == nullptr || !stream || !stream->LastFrameId(buffer, *frameId)) {
            return ZUR_ERROR_NO_REQUEST;
        }
        return ZUR_ERROR_NONE;
    });
}

}  // extern "C"
