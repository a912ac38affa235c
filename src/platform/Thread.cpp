#include "platform/Thread.h"

#ifndef _WIN32
#include <condition_variable>
#include <thread>

#include "platform/Mutex.h"
#endif

namespace platform {

Thread::~Thread() {
    Close();
}

#ifdef _WIN32

namespace {

struct StartInfo {
    Thread::Entry entry;
    void* parameter;
};

DWORD WINAPI Trampoline(LPVOID raw) {
    const std::unique_ptr<StartInfo> info(static_cast<StartInfo*>(raw));
    return info->entry(info->parameter);
}

}  // namespace

bool Thread::Start(Entry entry, void* parameter) {
    auto info = std::make_unique<StartInfo>(StartInfo{entry, parameter});
    handle = CreateThread(nullptr, 0, Trampoline, info.get(), 0, nullptr);
    if (handle == nullptr) {
        return false;
    }
    info.release();  // the thread owns it now
    return true;
}

bool Thread::IsStarted() const {
    return handle != nullptr;
}

std::intptr_t Thread::HandleValue() const {
    return reinterpret_cast<std::intptr_t>(handle);
}

bool Thread::IsCurrent() const {
    return handle != nullptr && GetThreadId(handle) == GetCurrentThreadId();
}

bool Thread::Join(std::chrono::milliseconds timeout) {
    return handle == nullptr ||
           WaitForSingleObject(handle, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

void Thread::Close() {
    if (handle != nullptr) {
        CloseHandle(handle);
        handle = nullptr;
    }
}

#else

// Shared by the Thread and its running thread, so that a detached thread never
// touches a Thread that is gone.
struct Thread::State {
    Mutex mutex;
    std::condition_variable ended;
    bool finished GUARDED_BY(mutex) = false;
    std::thread thread;
};

bool Thread::Start(Entry entry, void* parameter) {
    auto fresh = std::make_shared<State>();
    try {
        fresh->thread = std::thread([fresh, entry, parameter] {
            entry(parameter);
            {
                MutexLock lock(fresh->mutex);
                fresh->finished = true;
            }
            fresh->ended.notify_all();
        });
    } catch (const std::system_error&) {
        return false;
    }
    state = std::move(fresh);
    return true;
}

bool Thread::IsStarted() const {
    return state != nullptr;
}

std::intptr_t Thread::HandleValue() const {
    return static_cast<std::intptr_t>(reinterpret_cast<std::uintptr_t>(state.get()));
}

bool Thread::IsCurrent() const {
    return state != nullptr && state->thread.get_id() == std::this_thread::get_id();
}

bool Thread::Join(std::chrono::milliseconds timeout) {
    if (!state) {
        return true;
    }
    State& shared = *state;
    {
        MutexLock lock(shared.mutex);
        if (!lock.WaitFor(shared.ended, timeout,
                          [&shared]() REQUIRES(shared.mutex) { return shared.finished; })) {
            return false;
        }
    }
    if (state->thread.joinable()) {
        state->thread.join();
    }
    return true;
}

void Thread::Close() {
    if (state && state->thread.joinable()) {
        state->thread.detach();
    }
    state.reset();
}

#endif

}  // namespace platform
