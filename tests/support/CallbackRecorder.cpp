#include "CallbackRecorder.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "ZavaDED.h"

namespace testing_support {
namespace {

std::mutex lock;
std::condition_variable arrived;
std::vector<std::pair<int, int>> calls;
std::atomic<CallbackRecorder::Hook> hook{nullptr};

}  // namespace

CallbackRecorder::CallbackRecorder() {
    std::lock_guard<std::mutex> guard(lock);
    calls.clear();
    hook = nullptr;
}

CallbackRecorder::~CallbackRecorder() {
    hook = nullptr;
}

void CallbackRecorder::Callback(int grabberNo, int portNo) {
    int number = 0;
    {
        std::lock_guard<std::mutex> guard(lock);
        number = static_cast<int>(calls.size()) + 1;
    }
    if (Hook current = hook.load(); current != nullptr) {
        current(number, portNo);
    }
    {
        std::lock_guard<std::mutex> guard(lock);
        calls.emplace_back(grabberNo, portNo);
    }
    arrived.notify_all();
}

bool CallbackRecorder::WaitFor(int count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> guard(lock);
    return arrived.wait_for(guard, timeout,
                            [count] { return static_cast<int>(calls.size()) >= count; });
}

int CallbackRecorder::Count() const {
    std::lock_guard<std::mutex> guard(lock);
    return static_cast<int>(calls.size());
}

std::vector<std::pair<int, int>> CallbackRecorder::Calls() const {
    std::lock_guard<std::mutex> guard(lock);
    return calls;
}

void CallbackRecorder::SetHook(Hook newHook) {
    hook = newHook;
}

bool GrabOne(CallbackRecorder& recorder, int port) {
    const int before = recorder.Count();
    return doCVLGrab(0, port) == 1 && recorder.WaitFor(before + 1);
}

}  // namespace testing_support
