#include "log/ExportLock.h"

#include <string>
#include <utility>

#include "platform/Mutex.h"
#include "platform/NoDestructor.h"

constinit ExportLockCapability exportLock;

struct ExportLock::HeldMessage {
    MessageProc proc;
    std::string prefix;
    std::string message;
};

namespace {

platform::Mutex& Mutex() {
    // Never destroyed: a grab thread of a host that exits without finalize
    // may still call an export from its callback.
    static platform::NoDestructor<platform::Mutex> mutex;
    return *mutex;
}

// The outermost lock the calling thread holds, or null.
thread_local ExportLock* heldByThisThread = nullptr;
// Where the calling thread's messages for the host are held back, if
// anywhere. Plain pointers on purpose: under mingw a thread_local with a
// destructor can deadlock a host thread's exit against a grab thread's exit.
thread_local std::vector<ExportLock::HeldMessage>* heldHostMessages = nullptr;

}  // namespace

// The functions below take and let go of the mutex only for the outermost
// holder, which a thread_local pointer names: the analysis cannot follow
// that, and sees of them only their annotations in the header.

// Takes the mutex unless this thread holds the lock already.
ExportLock::ExportLock() noexcept NO_THREAD_SAFETY_ANALYSIS {
    if (heldByThisThread == nullptr) {
        Acquire();
    }
}

// Lets go of the mutex if the constructor took it.
ExportLock::~ExportLock() NO_THREAD_SAFETY_ANALYSIS {
    if (outermost) {
        Release();
    }
}

// Takes the mutex for the outermost holder.
void ExportLock::Acquire() noexcept NO_THREAD_SAFETY_ANALYSIS {
    Mutex().lock();
    heldByThisThread = this;
    outermost = true;
    heldHostMessages = &held;
}

// Lets go of the outermost holder's mutex, then runs host code.
void ExportLock::Release() noexcept NO_THREAD_SAFETY_ANALYSIS {
    outermost = false;
    heldByThisThread = nullptr;
    std::unique_ptr<Deferred> work = std::move(afterRelease);
    lastDeferred = nullptr;
    Mutex().unlock();
    heldHostMessages = nullptr;
    // The host's code may log, and even call an export, from its callback:
    // it sees each message as it would have at once.
    std::vector<HeldMessage> messages = std::move(held);
    held.clear();
    for (const HeldMessage& entry : messages) {
        entry.proc(entry.prefix.c_str());
        entry.proc(entry.message.c_str());
    }
    while (work) {
        work->Run();
        work = std::move(work->next);
    }
}

// In the driver the caller holds the lock. A test that calls the camera layer
// directly holds none, and the work runs at once: a case the analysis, which
// takes the annotation's word, cannot tell apart.
void ExportLock::AfterRelease(std::unique_ptr<Deferred> work) noexcept NO_THREAD_SAFETY_ANALYSIS {
    ExportLock* holder = heldByThisThread;
    if (holder == nullptr) {
        work->Run();
        return;
    }
    Deferred* added = work.get();
    if (holder->lastDeferred == nullptr) {
        holder->afterRelease = std::move(work);
    } else {
        holder->lastDeferred->next = std::move(work);
    }
    holder->lastDeferred = added;
}

// Lets go of the outermost holder's mutex, if this thread holds one.
ExportLock::Released::Released() noexcept NO_THREAD_SAFETY_ANALYSIS : outermost(heldByThisThread) {
    if (outermost != nullptr) {
        outermost->Release();
    }
}

// Takes that holder's mutex again.
ExportLock::Released::~Released() NO_THREAD_SAFETY_ANALYSIS {
    if (outermost != nullptr) {
        outermost->Acquire();
    }
}

bool HoldForHost(MessageProc proc, const char* prefix, const char* message) noexcept {
    if (heldHostMessages == nullptr) {
        return false;
    }
    try {
        heldHostMessages->push_back({proc, prefix, message});
    } catch (...) {
        // Out of memory: the message still reached the other destinations.
    }
    return true;
}
