#include "platform/Event.h"

namespace platform {

#ifdef _WIN32

AutoResetEvent::AutoResetEvent() : handle(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

AutoResetEvent::~AutoResetEvent() {
    if (handle != nullptr) {
        CloseHandle(handle);
    }
}

bool AutoResetEvent::IsValid() const {
    return handle != nullptr;
}

void AutoResetEvent::Set() {
    SetEvent(handle);
}

void AutoResetEvent::Reset() {
    ResetEvent(handle);
}

bool AutoResetEvent::Wait(std::optional<std::chrono::milliseconds> timeout) {
    const DWORD limit = timeout ? static_cast<DWORD>(timeout->count()) : INFINITE;
    return WaitForSingleObject(handle, limit) == WAIT_OBJECT_0;
}

#else

AutoResetEvent::AutoResetEvent() = default;
AutoResetEvent::~AutoResetEvent() = default;

bool AutoResetEvent::IsValid() const {
    return true;
}

void AutoResetEvent::Set() {
    {
        MutexLock lock(mutex);
        signalled = true;
    }
    signal.notify_one();
}

void AutoResetEvent::Reset() {
    MutexLock lock(mutex);
    signalled = false;
}

bool AutoResetEvent::Wait(std::optional<std::chrono::milliseconds> timeout) {
    MutexLock lock(mutex);
    const auto ready = [this]() REQUIRES(mutex) { return signalled; };
    if (timeout) {
        if (!lock.WaitFor(signal, *timeout, ready)) {
            return false;
        }
    } else {
        lock.Wait(signal, ready);
    }
    signalled = false;
    return true;
}

#endif

}  // namespace platform
