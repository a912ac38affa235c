#include "log/ExportFrame.h"

#include <string>
#include <utility>

constinit ExportFrameCapability exportFrame;

struct ExportFrame::HeldMessage {
    MessageProc proc;
    std::string prefix;
    std::string message;
};

namespace {

// The outermost frame the calling thread is in, or null.
thread_local ExportFrame* frameOfThisThread = nullptr;
// Where the calling thread's messages for the host are held back, if
// anywhere. Plain pointers on purpose: under mingw a thread_local with a
// destructor can deadlock a host thread's exit against a grab thread's exit.
thread_local std::vector<ExportFrame::HeldMessage>* heldHostMessages = nullptr;

}  // namespace

// The functions below enter and leave only for the outermost frame, which a
// thread_local pointer names: the analysis cannot follow that, and sees of
// them only their annotations in the header.

ExportFrame::ExportFrame() noexcept NO_THREAD_SAFETY_ANALYSIS {
    if (frameOfThisThread == nullptr) {
        Enter();
    }
}

ExportFrame::~ExportFrame() NO_THREAD_SAFETY_ANALYSIS {
    if (outermost) {
        Exit();
    }
}

void ExportFrame::Enter() noexcept NO_THREAD_SAFETY_ANALYSIS {
    frameOfThisThread = this;
    outermost = true;
    heldHostMessages = &held;
}

void ExportFrame::Exit() noexcept NO_THREAD_SAFETY_ANALYSIS {
    outermost = false;
    frameOfThisThread = nullptr;
    heldHostMessages = nullptr;
    std::unique_ptr<Deferred> work = std::move(afterExit);
    lastDeferred = nullptr;
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

// In the driver the caller is in a frame. A test that calls the camera layer
// directly is in none, and the work runs at once: a case the analysis, which
// takes the annotation's word, cannot tell apart.
void ExportFrame::AfterExit(std::unique_ptr<Deferred> work) noexcept NO_THREAD_SAFETY_ANALYSIS {
    ExportFrame* frame = frameOfThisThread;
    if (frame == nullptr) {
        work->Run();
        return;
    }
    Deferred* added = work.get();
    if (frame->lastDeferred == nullptr) {
        frame->afterExit = std::move(work);
    } else {
        frame->lastDeferred->next = std::move(work);
    }
    frame->lastDeferred = added;
}

ExportFrame::Suspended::Suspended() noexcept NO_THREAD_SAFETY_ANALYSIS
    : outermost(frameOfThisThread) {
    if (outermost != nullptr) {
        outermost->Exit();
    }
}

ExportFrame::Suspended::~Suspended() NO_THREAD_SAFETY_ANALYSIS {
    if (outermost != nullptr) {
        outermost->Enter();
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
