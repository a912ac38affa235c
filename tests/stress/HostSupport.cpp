#include "HostSupport.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "ZavaDED.h"
#include "log/DriverLog.h"
#include "platform/NoDestructor.h"

namespace testing_support {
namespace {

enum class Mode { Take, Block, Close };

// Never destroyed, as the driver's own state: a test that exits without
// cleanup leaves grab threads that still log through the sink.
std::mutex lock;
platform::NoDestructor<std::condition_variable> changedStorage;
std::condition_variable& changed = *changedStorage;
thread_local bool onHostThread = false;
Mode mode = Mode::Take;
std::chrono::milliseconds blockTime{0};
bool released = false;
int blocked = 0;
int closePort = 0;
platform::NoDestructor<std::string> closeTriggerStorage;
std::string& closeTrigger = *closeTriggerStorage;
bool closeStarted = false;
bool closeReturned = false;
MessageProc next = nullptr;  // the callback the sink stands in front of

}  // namespace

HostLogSink::HostLogSink() {
    std::lock_guard<std::mutex> guard(lock);
    onHostThread = true;
    mode = Mode::Take;
    released = false;
    blocked = 0;
    closeStarted = false;
    closeReturned = false;
    next = DriverLog::Instance().GetMessageProc();
    setDebugMsgProc(&HostLogSink::Proc);
}

HostLogSink::~HostLogSink() {
    setDebugMsgProc(next);
    Release();
}

void HostLogSink::Proc(const char* text) {
    std::unique_lock<std::mutex> guard(lock);
    if (next != nullptr) {
        next(text);
    }
    if (onHostThread || text == nullptr) {
        return;
    }
    if (mode == Mode::Block && !released) {
        ++blocked;
        changed.notify_all();
        changed.wait_for(guard, blockTime, [] { return released; });
    } else if (mode == Mode::Close && !closeStarted &&
               std::string(text).find(closeTrigger) != std::string::npos) {
        closeStarted = true;
        const int port = closePort;
        guard.unlock();
        closeCVLPort(0, port);
        guard.lock();
        closeReturned = true;
        changed.notify_all();
    }
}

void HostLogSink::CountAsHostThread() {
    onHostThread = true;
}

void HostLogSink::BlockOtherThreads(std::chrono::milliseconds time) {
    std::lock_guard<std::mutex> guard(lock);
    mode = Mode::Block;
    blockTime = time;
    released = false;
}

bool HostLogSink::WaitUntilBlocked(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, timeout, [] { return blocked > 0; });
}

void HostLogSink::Release() {
    std::lock_guard<std::mutex> guard(lock);
    released = true;
    changed.notify_all();
}

void HostLogSink::CloseFromOtherThreads(int port, const std::string& trigger) {
    std::lock_guard<std::mutex> guard(lock);
    mode = Mode::Close;
    closePort = port;
    closeTrigger = trigger;
}

bool HostLogSink::WaitUntilClosed(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, timeout, [] { return closeReturned; });
}

}  // namespace testing_support
