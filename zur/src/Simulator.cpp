#include "Simulator.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "ZUR.h"
#include "platform/NoDestructor.h"
#include "zursim/Config.h"

namespace zursim {
namespace {

thread_local std::uint32_t lastError = ZUR_ERROR_NONE;

}  // namespace

State& GlobalState() {
    // Never destroyed: a thread may still sit in a wait when the library unloads.
    static platform::NoDestructor<State> state;
    return *state;
}

std::uint32_t CallerError() {
    return lastError;
}

void SetCallerError(std::uint32_t error) {
    lastError = error;
}

void State::EnsureInitialized() {
    if (initialized) {
        return;
    }
    initialized = true;
    Attach(ConfiguredCameras());
}

void State::Clear() {
    initialized = true;
    handles.clear();
    lostHandles.clear();
    conversions.clear();
    cameras.clear();
    reuseHandles = false;
    faults.clear();
    delaysMs.clear();
    journal.Clear();
    changed.notify_all();
}

void State::Attach(std::vector<CameraOptions> options) {
    Clear();
    for (CameraOptions& camera : options) {
        cameras.push_back(std::make_unique<Camera>(std::move(camera)));
    }
}

void State::Restart() {
    Clear();
    initialized = false;
}

Camera* State::FindCamera(std::uint64_t id) {
    for (const auto& camera : cameras) {
        if (camera->Options().id == id) {
            return camera.get();
        }
    }
    return nullptr;
}

Camera* State::FindOpen(std::uint32_t handle, std::uint32_t& error) {
    const auto found = handles.find(handle);
    if (found == handles.end()) {
        error = lostHandles.count(handle) != 0 ? ZUR_ERROR_DEVICE_LOST : ZUR_ERROR_INVALID_HANDLE;
        return nullptr;
    }
    if (found->second->unplugged) {
        error = ZUR_ERROR_DEVICE_LOST;
        return nullptr;
    }
    error = ZUR_ERROR_NONE;
    return found->second;
}

std::uint32_t State::Open(Camera& camera) {
    std::uint32_t handle = nextHandle++;
    if (reuseHandles) {
        handle = 1;
        while (handles.count(handle) != 0) {
            ++handle;
        }
    }
    camera.handle = handle;
    camera.ResetStream();
    handles[handle] = &camera;
    return handle;
}

std::uint32_t State::NewConversion(Conversion conversion) {
    const std::uint32_t handle = nextConversion++;
    conversions[handle] = conversion;
    return handle;
}

void State::Close(Camera& camera) {
    handles.erase(camera.handle);
    camera.handle = 0;
    camera.ResetStream();
    changed.notify_all();
}

bool State::TakeFault(std::string_view call) {
    const auto found = faults.find(call);
    if (found == faults.end() || found->second == 0) {
        return false;
    }
    if (found->second > 0) {
        --found->second;
    }
    return true;
}

std::optional<Clock::time_point> State::Advance(Camera& camera, std::uint64_t until) {
    for (;;) {
        if (!camera.started || camera.unplugged ||
            (camera.frameLimited && camera.framesLeft == 0)) {
            return std::nullopt;
        }
        const auto next = std::find_if(camera.requests.begin(), camera.requests.end(),
                                       [](const Request& request) { return !request.done; });
        if (next == camera.requests.end() || next->serial > until) {
            return std::nullopt;
        }
        const Clock::time_point now = Clock::now();
        if (camera.TriggerModeOn()) {
            if (camera.pendingTriggers == 0) {
                return std::nullopt;
            }
            --camera.pendingTriggers;
        } else if (!camera.Options().fast && camera.lastFrameTime) {
            const Clock::time_point due = *camera.lastFrameTime + camera.FramePeriod();
            if (now < due) {
                return due;
            }
        }
        next->done = true;
        if (camera.ImageBytes() > next->size) {
            // Only a poked geometry register can grow the image under a request.
            next->error = ZUR_ERROR_INVALID_ARGUMENT;
        } else {
            camera.ProduceFrame();
            std::memcpy(next->buffer, camera.lastImage.data(), camera.lastImage.size());
            if (camera.frameLimited) {
                --camera.framesLeft;
            }
        }
        camera.lastFrameTime = now;
        changed.notify_all();
    }
}

Call::Call(std::string_view name, const std::string& arguments)
    : state(GlobalState()), lock(state.mutex) {
    state.EnsureInitialized();
    std::string text(name);
    if (!arguments.empty()) {
        text += ' ';
        text += arguments;
    }
    serial = state.journal.Begin(std::move(text));
    injected = state.TakeFault(name);
    if (const auto delay = state.delaysMs.find(name); delay != state.delaysMs.end()) {
        // Slow, as a device or network can be, but no other call waits for it.
        const auto pause = std::chrono::milliseconds(delay->second);
        lock.unlock();
        std::this_thread::sleep_for(pause);
        lock.lock();
    }
}

std::int32_t Call::Fail(std::uint32_t error) {
    SetCallerError(error);
    state.journal.Finish(serial, 0);
    return 0;
}

std::int32_t Call::Succeed() {
    SetCallerError(ZUR_ERROR_NONE);
    state.journal.Finish(serial, 1);
    return 1;
}

}  // namespace zursim
