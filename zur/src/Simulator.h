#pragma once

// The process-wide state of the simulated ZUR library and the frame of every
// ZUR call: one lock over everything, the journal, injected faults and the
// per-thread last error.

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Journal.h"
#include "zursim/CameraModel.h"
#include "zursim/Conversion.h"

namespace zursim {

class State {
  public:
    std::mutex mutex;
    // Signalled on every change a waiting thread may care about: frames,
    // triggers, register writes, aborts, closes, unplugging, resets.
    std::condition_variable changed;

    // Attaches the cameras of ZUR_SIM_CONFIG or the built-in set on first use.
    void EnsureInitialized();
    // Detaches every camera and closes every handle; pending waits end.
    void Clear();
    // Clear(), then attaches these cameras.
    void Attach(std::vector<CameraOptions> cameras);
    // Back to the state of a fresh process: the next call initialises again.
    void Restart();

    Camera* FindCamera(std::uint64_t id);
    // The open camera of a handle, or null with the error to report.
    Camera* FindOpen(std::uint32_t handle, std::uint32_t& error);
    std::uint32_t Open(Camera& camera);
    std::uint32_t NewConversion(Conversion conversion);
    void Close(Camera& camera);

    // Counts one call of the named function against its injected faults;
    // true when it is to fail.
    bool TakeFault(std::string_view call);

    // Fills due frames into the camera's requests, oldest first, until the
    // request with serial `until` is complete. Returns when the next frame
    // falls due, if that is a matter of time rather than of a trigger.
    std::optional<Clock::time_point> Advance(Camera& camera, std::uint64_t until);

    std::vector<std::unique_ptr<Camera>> cameras;  // in enumeration order
    std::map<std::uint32_t, Camera*> handles;
    // Handles of cameras that were unplugged and plugged in again: their
    // session is gone, so every call fails with DEVICE_LOST until ZURClose.
    std::set<std::uint32_t> lostHandles;
    std::map<std::uint32_t, Conversion> conversions;
    std::map<std::string, std::int32_t, std::less<>> faults;
    std::map<std::string, std::uint32_t, std::less<>> delaysMs;  // ZURSimSetDelay
    Journal journal;
    std::uint64_t nextRequestSerial = 1;
    bool reuseHandles = false;  // ZURSimReuseHandles

  private:
    bool initialized = false;
    // Unless reuseHandles, never reused within the process, so that a stale
    // handle always fails.
    std::uint32_t nextHandle = 1;
    // Conversion handles count from here, apart from camera handles, so that
    // one passed for the other fails.
    std::uint32_t nextConversion = 50001;
};

State& GlobalState();

std::uint32_t CallerError();
void SetCallerError(std::uint32_t error);

// One ZUR call: holds the lock for its duration (a wait releases it while it
// sleeps), journals the call and sets the caller's last error and the
// journaled result when it ends.
class Call {
  public:
    Call(std::string_view name, const std::string& arguments);
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    State& state;
    std::unique_lock<std::mutex> lock;

    // Whether an injected fault makes this call fail.
    bool Injected() const { return injected; }
    std::int32_t Fail(std::uint32_t error);
    std::int32_t Succeed();

  private:
    std::uint64_t serial = 0;
    bool injected = false;
};

}  // namespace zursim
