#include "driver/ExportLock.h"

#include <mutex>

#include "platform/NoDestructor.h"

namespace {

std::mutex& Mutex() {
    // Never destroyed: a grab thread of a host that exits without finalize
    // may still call an export from its callback.
    static platform::NoDestructor<std::mutex> mutex;
    return *mutex;
}

// The outermost lock the calling thread holds, or null.
thread_local ExportLock* heldByThisThread = nullptr;

}  // namespace

ExportLock::ExportLock() noexcept {
    if (heldByThisThread == nullptr) {
        Acquire();
    }
}

ExportLock::~ExportLock() {
    if (outermost) {
        Release();
    }
}

void ExportLock::Acquire() noexcept {
    Mutex().lock();
    heldByThisThread = this;
    outermost = true;
    messages.emplace();
}

void ExportLock::Release() noexcept {
    outermost = false;
    heldByThisThread = nullptr;
    std::vector<std::function<void()>> work;
    work.swap(afterRelease);
    Mutex().unlock();
    if (messages) {
        messages->Deliver();
        messages.reset();
    }
    for (const auto& step : work) {
        try {
            step();
        } catch (...) {
            // Each step reports its own failures; the export's result stands.
        }
    }
}

bool ExportLock::IsHeld() noexcept {
    return heldByThisThread != nullptr;
}

void ExportLock::AfterRelease(std::function<void()> work) {
    if (heldByThisThread == nullptr) {
        work();
        return;
    }
    heldByThisThread->afterRelease.push_back(std::move(work));
}

ExportLock::Released::Released() noexcept : outermost(heldByThisThread) {
    if (outermost != nullptr) {
        outermost->Release();
    }
}

ExportLock::Released::~Released() {
    if (outermost != nullptr) {
        outermost->Acquire();
    }
}
