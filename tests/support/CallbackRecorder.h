#pragma once

#include <chrono>
#include <utility>
#include <vector>

namespace testing_support {

// Records the driver's completion callbacks. One at a time.
class CallbackRecorder {
  public:
    CallbackRecorder();
    ~CallbackRecorder();
    CallbackRecorder(const CallbackRecorder&) = delete;
    CallbackRecorder& operator=(const CallbackRecorder&) = delete;

    // The callback to hand to setCompleteCallback.
    static void Callback(int grabberNo, int portNo);

    // Waits until at least count callbacks arrived; false on timeout.
    bool WaitFor(int count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    int Count() const;
    // (grabberNo, portNo) of every callback so far.
    std::vector<std::pair<int, int>> Calls() const;

    // Called inside the callback, on the grab thread, before it is counted.
    using Hook = void (*)(int callNumber, int portNo);
    void SetHook(Hook hook);
};

// Requests one image on the port and waits for its callback; the recorder
// must be installed on the port.
bool GrabOne(CallbackRecorder& recorder, int port);

}  // namespace testing_support
