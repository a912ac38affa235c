#pragma once

// One camera's image stream and the waits for its frames.
//
// Two ways of filling a request:
//  - Direct (single and multi-frame acquisitions): the caller's buffer goes
//    into the Aravis stream as it is (no copy) and the next frame lands in it.
//  - Queued ahead (continuous acquisition): the stream keeps kSpares buffers
//    of its own queued in Aravis, so that frames that arrive while the host
//    is busy between two requests are kept (from the first frame delivered
//    on, which is filled directly); a request takes the oldest kept
//    frame newer than the last one delivered and copies it into the caller's
//    buffer. Once the queue ran over (Aravis found no buffer for a frame),
//    what it kept is stale and is dropped: the request then takes the next
//    frame to complete. A kept frame older than twice the queue's span
//    before the request, or begun before the camera's settings changed, is
//    stale too.
//    The caller's memory never enters the Aravis stream.
//
// A direct request ends when its frame arrives (whole, or torn and reported
// so), or when it is withdrawn: by an abort, a stop, a close, a wait that
// timed out or the loss of the camera. Withdrawing stops the Aravis receive
// thread and lets it delete every buffer it holds, so once a withdrawal
// returns nothing writes into the memory of an ended request; the buffers
// that were not meant go back into the stream, and the thread starts again.
//
// Waits sleep on a condition variable that Aravis's new-buffer signal, an
// abort and the loss of the camera wake; they never poll.

#include <arv.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "GObjectPtr.h"

namespace zurgige {

// Whether a camera still answers; set from Aravis's heartbeat thread, or by a
// command that found the camera silent. Whoever waits for the camera watches
// it to be woken at the loss.
class LossState {
  public:
    void MarkLost();
    bool Lost() const { return lost.load(std::memory_order_acquire); }

    // `wake` is called, on the thread that marks the loss, until Unwatch
    // returns; it must not mark a loss itself.
    std::uint64_t Watch(std::function<void()> wake) const;
    void Unwatch(std::uint64_t watch) const;

  private:
    std::atomic<bool> lost{false};
    mutable std::mutex watchLock;
    mutable std::map<std::uint64_t, std::function<void()>> watchers;
    mutable std::uint64_t nextWatch = 1;
};

// Sets the stream channel's packet size before its stream is made: `fixed`
// when nonzero, else the largest the path to the host carries, found with
// GigE Vision test packets. False, with `error` set, when the camera refuses.
bool ChoosePacketSize(ArvGvDevice* device, std::uint32_t fixed, const std::string& label,
                      GErrorSlot& error);

// What every frame of the stream must be, fixed when the stream is made.
struct FrameFormat {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t pixelFormat = 0;
    std::uint32_t payloadSize = 0;
};

class Stream {
  public:
    // Buffers queued ahead in continuous acquisition: a stall of the host of
    // up to about this many frame periods loses nothing.
    static constexpr std::size_t kSpares = 6;

    Stream(GObjectPtr<ArvStream> stream, FrameFormat format, std::shared_ptr<const LossState> loss,
           std::string label);
    ~Stream();
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    const FrameFormat& Format() const { return format; }

    // Before an acquisition starts: whether its frames are queued ahead
    // (continuous) or go straight into the callers' buffers.
    void QueueAhead(bool on);

    // The camera's settings changed: frames begun before now are not
    // delivered from what is kept. Any thread, without the camera's lock.
    void SettingsChanged();

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
        bool direct = false;            // its memory is in the Aravis stream
        std::uint64_t requestedNs = 0;  // system time of the request
        bool waited = false;
        bool retried = false;  // its first frame came out torn
    };
    // Where a spare buffer is; it is written only while InStream.
    enum class SpareState { Free, InStream, Kept, Copying };
    struct Spare {
        std::unique_ptr<std::uint8_t[]> memory;
        SpareState state = SpareState::Free;
    };
    struct Kept {
        GObjectPtr<ArvBuffer> buffer;
        std::size_t spare = 0;
    };

    static void OnNewBuffer(ArvStream* stream, gpointer self);
    void Wake();

    void Push(const Pending& request);
    void PushSpare(std::size_t spare);
    void QueueSpares();
    // Ends the direct requests (only `target`, when given) with `error`:
    // stops the receive thread, which deletes every buffer it holds, queues
    // again the buffers that were not meant and starts the thread again
    // (not when closing). The caller holds the lock, which is let go while
    // the thread stops, since Aravis's signal handler takes it.
    void Withdraw(std::unique_lock<std::mutex>& lock, const Pending* target, std::uint32_t error,
                  bool restart = true);
    void End(std::unique_lock<std::mutex>& lock, Pending& request, std::uint32_t error);
    // Takes every filled buffer out of the Aravis queue.
    void Drain();
    void Complete(ArvBuffer* buffer);
    // Fills a queued-ahead request from the kept frames, if one fits; the
    // lock is let go during the copy.
    bool Deliver(std::unique_lock<std::mutex>& lock, Pending& request);
    void Recycle(std::size_t spare);
    void DropKept(const char* why);
    std::uint64_t Underruns() const;
    std::uint32_t Check(ArvBuffer* buffer) const;

    const FrameFormat format;
    const std::shared_ptr<const LossState> loss;
    const std::string label;

    mutable std::mutex mutex;
    std::condition_variable changed;
    GObjectPtr<ArvStream> stream;
    gulong newBufferHandler = 0;
    std::uint64_t lossWatch = 0;
    std::list<Pending> requests;
    std::uint64_t nextSerial = 1;
    int withdrawing = 0;  // threads stopping the receive thread, without the lock
    bool queueAhead = false;
    // The spares are in the stream; until then (the first request of an
    // acquisition) requests are direct ones, which join the stream in the
    // middle of a frame and have its first packets sent again.
    bool sparesQueued = false;
    std::uint64_t underrunsSeen = 0;
    std::atomic<std::uint64_t> settingsChangedNs{0};
    // The frame interval of this acquisition, from its kept frames: the
    // smoothed one, and the mean since the first, which bunched frames of a
    // loaded sender cannot pull down. Zero while there is none.
    std::uint64_t FrameIntervalNs() const;
    std::uint64_t firstFrameNs = 0;     // system time of the first kept frame
    std::uint64_t lastFrameNs = 0;      // system time of the newest kept frame
    std::uint64_t keptFrames = 0;       // kept since the acquisition began
    std::uint64_t frameIntervalNs = 0;  // between kept frames, smoothed
    std::vector<Spare> spares;
    std::deque<Kept> kept;  // filled spares, oldest first
    std::map<const void*, std::uint64_t> delivered;
    std::optional<std::uint64_t> lastDelivered;  // block ID of the newest frame delivered
};

}  // namespace zurgige
