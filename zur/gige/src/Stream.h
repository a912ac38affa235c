#pragma once

// One camera's image stream: the caller's buffers handed to the Aravis
// stream as they are (no copy), and the waits for them.
//
// Every buffer in the Aravis stream belongs to a request. A request ends
// when its frame arrives (whole, or torn and reported so), or when it is
// withdrawn: by an abort, a stop, a close, a wait that timed out or the loss
// of the camera. Withdrawing stops the Aravis receive thread and lets it
// delete every buffer it holds, so once a withdrawal returns nothing writes
// into the memory of an ended request; requests that were not meant go back
// into the stream, and the thread starts again.

#include <arv.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "GObjectPtr.h"

namespace zurgige {

// Whether a camera still answers; set from Aravis's heartbeat thread.
class LossState {
  public:
    void MarkLost() { lost.store(true, std::memory_order_release); }
    bool Lost() const { return lost.load(std::memory_order_acquire); }

  private:
    std::atomic<bool> lost{false};
};

// What every frame of the stream must be, fixed when the stream is made.
struct FrameFormat {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t pixelFormat = 0;
    std::uint32_t payloadSize = 0;
};

class Stream {
  public:
    Stream(GObjectPtr<ArvStream> stream, FrameFormat format, std::shared_ptr<const LossState> loss,
           std::string label);
    ~Stream();
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    const FrameFormat& Format() const { return format; }

    // Queues memory (size bytes, at least the payload) for the next frame.
    std::uint32_t Request(void* memory, std::uint32_t size);
    // Waits for the frame requested into memory, at most timeoutMs (0: no
    // limit). On success frameId is the frame's block ID.
    std::uint32_t Wait(void* memory, std::uint32_t timeoutMs, std::uint64_t& frameId);
    // Ends every request with ZUR_ERROR_ABORTED.
    void AbortAll();
    // As AbortAll; the stream then takes no request and hands out the Aravis
    // stream for its owner to release.
    GObjectPtr<ArvStream> Close();

    // The block ID of the last frame a wait delivered into memory.
    bool LastFrameId(const void* memory, std::uint64_t& frameId) const;

  private:
    enum class State { Queued, Done };
    struct Pending {
        void* memory = nullptr;
        std::uint32_t size = 0;
        std::uint64_t serial = 0;
        State state = State::Queued;
        std::uint32_t error = 0;
        std::uint64_t frameId = 0;
        bool waited = false;
        bool retried = false;  // its first frame came out torn
    };

    void Push(const Pending& request);
    // Ends the queued requests (only `target`, when given) with `error`;
    // the others go back into the stream. The caller holds the lock.
    void Withdraw(std::unique_lock<std::mutex>& lock, const Pending* target, std::uint32_t error);
    void Complete(ArvBuffer* buffer);
    std::uint32_t Check(ArvBuffer* buffer) const;

    const FrameFormat format;
    const std::shared_ptr<const LossState> loss;
    const std::string label;

    mutable std::mutex mutex;
    std::condition_variable changed;
    GObjectPtr<ArvStream> stream;
    std::list<Pending> requests;
    std::uint64_t nextSerial = 1;
    bool popping = false;  // a waiter is inside the Aravis pop, without the lock
    int withdrawing = 0;   // threads about to stop the receive thread
    std::map<const void*, std::uint64_t> delivered;
    std::optional<std::uint64_t> lastDelivered;  // block ID of the newest frame delivered
};

}  // namespace zurgige
