// The simulator's control interface (ZURSim.h). Not journaled, not subject to
// injected faults, and never changing the callers' last ZUR error.

#include <algorithm>
#include <cstring>
#include <mutex>

#include "Simulator.h"
#include "ZURSim.h"
#include "zursim/Config.h"
#include "zursim/Scene.h"

using zursim::Camera;
using zursim::State;

namespace {

// The state, locked and initialised, for one control call.
class Control {
  public:
    Control() : state(zursim::GlobalState()), lock(state.mutex) { state.EnsureInitialized(); }

    State& state;

  private:
    std::lock_guard<std::mutex> lock;
};

}  // namespace

extern "C" {

ZUR_API void ZURSimReset(void) {
    Control control;
    control.state.Clear();
}

ZUR_API void ZURSimRestart(void) {
    Control control;
    control.state.Restart();
}

ZUR_API int32_t ZURSimLoadConfig(const char* path) {
    Control control;
    const auto cameras = path != nullptr ? zursim::LoadConfigFile(path) : std::nullopt;
    control.state.Attach(cameras.value_or(std::vector<zursim::CameraOptions>{}));
    return cameras ? 1 : 0;
}

ZUR_API int32_t ZURSimAddCamera(const char* model, uint64_t deviceId) {
    Control control;
    if (model == nullptr || *model == '\0' || control.state.FindCamera(deviceId) != nullptr) {
        return 0;
    }
    control.state.cameras.push_back(
        std::make_unique<Camera>(zursim::ModelDefaults(model, deviceId)));
    return 1;
}

ZUR_API int32_t ZURSimSetCameraOption(uint64_t deviceId, const char* key, const char* value) {
    Control control;
    Camera* camera = control.state.FindCamera(deviceId);
    if (camera == nullptr || key == nullptr || value == nullptr) {
        return 0;
    }
    zursim::CameraOptions options = camera->Options();
    if (!zursim::ApplyOption(options, key, value)) {
        return 0;
    }
    const zursim::CameraOptions& now = camera->Options();
    if (options.id != now.id && (camera->handle != 0 || control.state.FindCamera(options.id))) {
        return 0;  // an open camera keeps its ID, and IDs stay unique
    }
    const bool newSensor = options.model != now.model || options.sensorWidth != now.sensorWidth ||
                           options.sensorHeight != now.sensorHeight;
    if (newSensor && camera->allocated) {
        return 0;  // the image size cannot change under the buffers of a stream
    }
    camera->Reconfigure(std::move(options), key);
    control.state.changed.notify_all();
    return 1;
}

ZUR_API void ZURSimFailNext(const char* call, int32_t count) {
    Control control;
    if (call == nullptr) {
        return;
    }
    if (count == 0) {
        control.state.faults.erase(std::string(call));
    } else {
        control.state.faults[call] = count;
    }
}

ZUR_API void ZURSimSetDelay(const char* call, uint32_t milliseconds) {
    Control control;
    if (call == nullptr) {
        return;
    }
    if (milliseconds == 0) {
        control.state.delaysMs.erase(std::string(call));
    } else {
        control.state.delaysMs[call] = milliseconds;
    }
}

ZUR_API void ZURSimReuseHandles(int32_t on) {
    Control control;
    control.state.reuseHandles = on != 0;
}

ZUR_API int32_t ZURSimUnplug(uint64_t deviceId) {
    Control control;
    Camera* camera = control.state.FindCamera(deviceId);
    if (camera == nullptr) {
        return 0;
    }
    camera->unplugged = true;
    camera->started = false;
    camera->requests.clear();
    camera->pendingTriggers = 0;
    control.state.changed.notify_all();
    return 1;
}

ZUR_API int32_t ZURSimPlug(uint64_t deviceId, int32_t restarted) {
    Control control;
    Camera* camera = control.state.FindCamera(deviceId);
    if (camera == nullptr) {
        return 0;
    }
    if (!camera->unplugged) {
        return 1;
    }
    camera->unplugged = false;
    if (camera->handle != 0) {
        // The camera forgot the session it had: the handle stays lost, and
        // the device can be opened again.
        control.state.lostHandles.insert(camera->handle);
        control.state.handles.erase(camera->handle);
        camera->handle = 0;
        camera->ResetStream();
    }
    if (restarted != 0) {
        camera->PowerCycle();
    }
    control.state.changed.notify_all();
    return 1;
}

ZUR_API int32_t ZURSimHardwareTrigger(uint64_t deviceId) {
    Control control;
    Camera* camera = control.state.FindCamera(deviceId);
    if (camera == nullptr || camera->unplugged || !camera->started || !camera->TriggerModeOn() ||
        camera->TriggerSourceSoftware()) {
        return 0;
    }
    ++camera->pendingTriggers;
    control.state.changed.notify_all();
    return 1;
}

ZUR_API int32_t ZURSimPeekRegister(uint64_t deviceId, uint32_t address, uint32_t* value) {
    Control control;
    const Camera* camera = control.state.FindCamera(deviceId);
    return camera != nullptr && value != nullptr && camera->Peek(address, *value) ? 1 : 0;
}

ZUR_API int32_t ZURSimPokeRegister(uint64_t deviceId, uint32_t address, uint32_t value) {
    Control control;
    Camera* camera = control.state.FindCamera(deviceId);
    if (camera == nullptr || !camera->Poke(address, value)) {
        return 0;
    }
    control.state.changed.notify_all();
    return 1;
}

ZUR_API int32_t ZURSimOpenDeviceCount(void) {
    Control control;
    return static_cast<int32_t>(control.state.handles.size());
}

ZUR_API int32_t ZURSimOpenConversionCount(void) {
    Control control;
    return static_cast<int32_t>(control.state.conversions.size());
}

ZUR_API int32_t ZURSimWaiters(uint64_t deviceId) {
    Control control;
    const Camera* camera = control.state.FindCamera(deviceId);
    if (camera == nullptr) {
        return 0;
    }
    return static_cast<int32_t>(
        std::count_if(camera->requests.begin(), camera->requests.end(),
                      [](const zursim::Request& request) { return request.waited; }));
}

ZUR_API uint32_t ZURSimFramesProduced(uint64_t deviceId) {
    Control control;
    const Camera* camera = control.state.FindCamera(deviceId);
    return camera != nullptr ? camera->framesProduced : 0;
}

ZUR_API uint32_t ZURSimFrameCounter(uint64_t deviceId) {
    Control control;
    const Camera* camera = control.state.FindCamera(deviceId);
    return camera != nullptr ? camera->lastFrameCounter : 0;
}

ZUR_API uint32_t ZURSimLastImage(uint64_t deviceId, void* buffer, uint32_t size) {
    Control control;
    const Camera* camera = control.state.FindCamera(deviceId);
    if (camera == nullptr) {
        return 0;
    }
    const auto bytes = static_cast<uint32_t>(camera->lastImage.size());
    if (buffer == nullptr) {
        return bytes;
    }
    if (size < bytes) {
        return 0;
    }
    std::memcpy(buffer, camera->lastImage.data(), bytes);
    return bytes;
}

ZUR_API uint32_t ZURSimRenderRgb(uint64_t deviceId, uint32_t frameCounter, void* buffer,
                                 uint32_t size) {
    Control control;
    const Camera* camera = control.state.FindCamera(deviceId);
    if (camera == nullptr) {
        return 0;
    }
    const zursim::SceneView view = camera->View(frameCounter);
    const uint32_t bytes = view.width * view.height * 3;
    if (buffer == nullptr) {
        return bytes;
    }
    if (size < bytes) {
        return 0;
    }
    zursim::RenderRgb(view, std::span<uint8_t>(static_cast<uint8_t*>(buffer), bytes));
    return bytes;
}

ZUR_API int32_t ZURSimJournalCount(void) {
    Control control;
    return static_cast<int32_t>(control.state.journal.Count());
}

ZUR_API int32_t ZURSimJournalEntry(int32_t index, char* text, int32_t size, int32_t* result) {
    Control control;
    if (index < 0) {
        return 0;
    }
    const auto entry = control.state.journal.At(static_cast<std::size_t>(index));
    if (!entry) {
        return 0;
    }
    if (text != nullptr && size > 0) {
        const std::size_t length = std::min(entry->text.size(), static_cast<std::size_t>(size) - 1);
        std::memcpy(text, entry->text.data(), length);
        text[length] = '\0';
    }
    if (result != nullptr) {
        *result = entry->result;
    }
    return 1;
}

ZUR_API void ZURSimJournalClear(void) {
    Control control;
    control.state.journal.Clear();
}

}  // extern "C"
