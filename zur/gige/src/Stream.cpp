#include "Stream.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

#include "Trace.h"
#include "ZUR.h"

namespace zurgige {
namespace {

using Clock = std::chrono::steady_clock;

// More requests than any caller needs; the driver has one at a time.
constexpr std::size_t kMaxRequests = 256;
// Delivered frames remembered for ZURGigEGetFrameId, one per buffer.
constexpr std::size_t kMaxDelivered = 64;

// Whether block ID `id` comes after `last`. GVSP's 16-bit IDs run from 1 to
// 65535 and start again at 1; within half the range, the one ahead is newer.
bool Newer(std::uint64_t id, std::uint64_t last) {
    if (id <= 0xFFFF && last <= 0xFFFF) {
        const std::uint64_t ahead = (id + 0xFFFF - last) % 0xFFFF;
        return ahead != 0 && ahead < 0x8000;
    }
    return id > last;
}

// The user data of an Aravis buffer: a request's serial, or a spare's index
// with the top bit set.
constexpr std::uintptr_t kSpareTag = std::uintptr_t{1} << (sizeof(std::uintptr_t) * 8 - 1);

// The system time in the form of Aravis's buffer timestamps.
std::uint64_t RealNs() {
    return static_cast<std::uint64_t>(g_get_real_time()) * 1000u;
}

void* SerialTag(std::uint64_t serial) {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(serial));
}

const char* StatusText(ArvBufferStatus status) {
    switch (status) {
        case ARV_BUFFER_STATUS_SUCCESS:
            return "complete";
        case ARV_BUFFER_STATUS_TIMEOUT:
            return "timed out before all packets arrived";
        case ARV_BUFFER_STATUS_MISSING_PACKETS:
            return "missing packets";
        case ARV_BUFFER_STATUS_WRONG_PACKET_ID:
            return "wrong packet ID";
        case ARV_BUFFER_STATUS_SIZE_MISMATCH:
            return "larger than the buffer";
        case ARV_BUFFER_STATUS_ABORTED:
            return "aborted";
        default:
            return "not filled";
    }
}

}  // namespace

bool ChoosePacketSize(ArvGvDevice* device, std::uint32_t fixed, const std::string& label,
                      GErrorSlot& error) {
    // Found once here; Aravis does not test again when the stream is made.
    arv_gv_device_set_packet_size_adjustment(device, ARV_GV_PACKET_SIZE_ADJUSTMENT_NEVER);
    if (fixed != 0) {
        arv_gv_device_set_packet_size(device, static_cast<gint>(fixed), error.Out());
        if (error) {
            return false;
        }
        Trace("%s: packet size %u, from ZUR_GIGE_PACKET_SIZE", label.c_str(), fixed);
        return true;
    }
    const guint found = arv_gv_device_auto_packet_size(device, error.Out());
    if (error) {
        return false;
    }
    Trace("%s: packet size %u, the largest that test packets came back with", label.c_str(), found);
    return true;
}

void LossState::MarkLost() {
    lost.store(true, std::memory_order_release);
    const std::lock_guard<std::mutex> lock(watchLock);
    for (const auto& [watch, wake] : watchers) {
        wake();
    }
}

std::uint64_t LossState::Watch(std::function<void()> wake) const {
    const std::lock_guard<std::mutex> lock(watchLock);
    const std::uint64_t watch = nextWatch++;
    watchers.emplace(watch, std::move(wake));
    return watch;
}

void LossState::Unwatch(std::uint64_t watch) const {
    const std::lock_guard<std::mutex> lock(watchLock);
    watchers.erase(watch);
}

Stream::Stream(GObjectPtr<ArvStream> arvStream, FrameFormat frameFormat,
               std::shared_ptr<const LossState> lossState, std::string streamLabel)
    : format(frameFormat),
      loss(std::move(lossState)),
      label(std::move(streamLabel)),
      stream(std::move(arvStream)) {
    arv_stream_set_emit_signals(stream.get(), TRUE);
    newBufferHandler =
        g_signal_connect(stream.get(), "new-buffer", G_CALLBACK(&Stream::OnNewBuffer), this);
    lossWatch = loss->Watch([this] { Wake(); });
}

Stream::~Stream() {
    // Normally closed by the camera, which decides how the stream is released.
    Close();
    loss->Unwatch(lossWatch);
}

void Stream::OnNewBuffer(ArvStream* /*stream*/, gpointer self) {
    // On Aravis's receive thread, which must not wait long: the waiters take
    // the buffer out themselves.
    static_cast<Stream*>(self)->Wake();
}

void Stream::Wake() {
    // Through the lock, so that a waiter between its look and its sleep
    // does not miss the news.
    { const std::lock_guard<std::mutex> lock(mutex); }
    changed.notify_all();
}

void Stream::Push(const Pending& request) {
    // The Aravis buffer wraps the caller's memory; the stream owns the
    // wrapper, never the memory.
    ArvBuffer* buffer =
        arv_buffer_new_full(request.size, request.memory, SerialTag(request.serial), nullptr);
    arv_stream_push_buffer(stream.get(), buffer);
}

void Stream::PushSpare(std::size_t spare) {
    spares[spare].state = SpareState::InStream;
    ArvBuffer* buffer = arv_buffer_new_full(format.payloadSize, spares[spare].memory.get(),
                                            reinterpret_cast<void*>(kSpareTag | spare), nullptr);
    arv_stream_push_buffer(stream.get(), buffer);
}

void Stream::QueueSpares() {
    for (std::size_t spare = 0; spare < spares.size(); ++spare) {
        if (spares[spare].state == SpareState::Free) {
            PushSpare(spare);
        }
    }
    sparesQueued = true;
}

void Stream::QueueAhead(bool on) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return withdrawing == 0; });
    if (!stream) {
        return;
    }
    if (on) {
        if (spares.empty()) {
            spares.resize(kSpares);
            for (Spare& spare : spares) {
                spare.memory = std::make_unique<std::uint8_t[]>(format.payloadSize);
            }
        }
        queueAhead = true;
        DropKept("a new acquisition");
        // Its rate may not be the last one's.
        firstFrameNs = lastFrameNs = keptFrames = frameIntervalNs = 0;
        sparesQueued = std::any_of(spares.begin(), spares.end(), [](const Spare& spare) {
            return spare.state == SpareState::InStream;
        });
        underrunsSeen = Underruns();
        return;
    }
    if (!queueAhead) {
        return;
    }
    // Queued-ahead requests become direct ones, and the spares leave the
    // stream (the receive thread stops to give them up).
    queueAhead = false;
    sparesQueued = false;
    for (Pending& request : requests) {
        request.direct = true;
    }
    DropKept("a direct acquisition");
    static const Pending kNoRequest;  // none ends: all go back in
    Withdraw(lock, &kNoRequest, ZUR_ERROR_NONE);
}

void Stream::SettingsChanged() {
    settingsChangedNs.store(RealNs(), std::memory_order_relaxed);
}

std::uint32_t Stream::Request(void* memory, std::uint32_t size) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return withdrawing == 0; });
    if (!stream) {
        return ZUR_ERROR_NOT_ALLOCATED;
    }
    if (loss->Lost()) {
        return ZUR_ERROR_DEVICE_LOST;
    }
    if (memory == nullptr || size < format.payloadSize) {
        return ZUR_ERROR_INVALID_ARGUMENT;
    }
    const bool pending =
        std::any_of(requests.begin(), requests.end(),
                    [memory](const auto& request) { return request.memory == memory; });
    if (pending || requests.size() >= kMaxRequests) {
        return ZUR_ERROR_BUSY;
    }
    Stream::Pending& request = requests.emplace_back();
    request.memory = memory;
    request.size = size;
    request.serial = nextSerial++;
    request.requestedNs = RealNs();
    request.direct = !queueAhead || !sparesQueued;
    if (request.direct) {
        Push(request);
        if (queueAhead) {
            // Behind the caller's buffer, the spares keep the frames after
            // its own, also one that begins before its frame is complete
            // (a frame joined in the middle waits for packets sent again).
            // Frames that found no buffer before this request lost nothing
            // that a kept one could be newer than.
            QueueSpares();
            underrunsSeen = Underruns();
        }
    }
    return ZUR_ERROR_NONE;
}

void Stream::End(std::unique_lock<std::mutex>& lock, Pending& request, std::uint32_t error) {
    if (request.direct) {
        Withdraw(lock, &request, error);
    } else {
        request.state = State::Done;
        request.error = error;
    }
}

std::uint32_t Stream::Wait(void* memory, std::uint32_t timeoutMs, std::uint64_t& frameId) {
    std::unique_lock<std::mutex> lock(mutex);
    const auto request =
        std::find_if(requests.begin(), requests.end(),
                     [memory](const auto& entry) { return entry.memory == memory; });
    if (memory == nullptr || request == requests.end()) {
        return ZUR_ERROR_NO_REQUEST;
    }
    if (request->waited) {
        return ZUR_ERROR_BUSY;  // another thread waits for it
    }
    request->waited = true;
    const bool limited = timeoutMs != 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);

    while (request->state != State::Done) {
        if (!stream) {
            // Closed: every queued request ended with the stream.
            request->state = State::Done;
            request->error = ZUR_ERROR_ABORTED;
            break;
        }
        if (withdrawing > 0) {
            changed.wait(lock);
            continue;
        }
        if (loss->Lost()) {
            End(lock, *request, ZUR_ERROR_DEVICE_LOST);
            continue;
        }
        Drain();
        if (request->state == State::Done || (!request->direct && Deliver(lock, *request))) {
            continue;
        }
        if (!limited) {
            changed.wait(lock);
        } else if (changed.wait_until(lock, deadline) == std::cv_status::timeout &&
                   request->state != State::Done && withdrawing == 0) {
            // One last look: a frame may have come with the deadline.
            Drain();
            if (request->state != State::Done && (request->direct || !Deliver(lock, *request))) {
                End(lock, *request, ZUR_ERROR_TIMEOUT);
            }
        }
    }
    const std::uint32_t error = request->error;
    if (error == ZUR_ERROR_NONE) {
        frameId = request->frameId;
        if (delivered.size() >= kMaxDelivered && delivered.count(memory) == 0) {
            delivered.erase(delivered.begin());
        }
        delivered[memory] = request->frameId;
    }
    requests.erase(request);
    return error;
}

void Stream::AbortAll() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return withdrawing == 0; });
    if (!stream) {
        return;
    }
    bool direct = false;
    for (Pending& request : requests) {
        if (request.state == State::Queued && !request.direct) {
            request.state = State::Done;
            request.error = ZUR_ERROR_ABORTED;
        }
        direct = direct || (request.state == State::Queued && request.direct);
    }
    if (direct) {
        Withdraw(lock, nullptr, ZUR_ERROR_ABORTED);
    }
    changed.notify_all();
}

GObjectPtr<ArvStream> Stream::Close() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return withdrawing == 0; });
    if (!stream) {
        return nullptr;
    }
    for (Pending& request : requests) {
        if (request.state == State::Queued) {
            request.direct = true;  // all of them end here
        }
    }
    queueAhead = false;
    sparesQueued = false;
    DropKept("the stream closes");
    // The thread stops for good before the handler goes: a signal under way
    // is then over.
    Withdraw(lock, nullptr, ZUR_ERROR_ABORTED, false);
    GObjectPtr<ArvStream> closed = std::move(stream);
    changed.notify_all();
    // Without the lock: Aravis holds a lock of its own while it signals,
    // and the signal handler takes ours.
    lock.unlock();
    g_signal_handler_disconnect(closed.get(), newBufferHandler);
    arv_stream_set_emit_signals(closed.get(), FALSE);
    // The receive thread runs on without buffers until the stream is
    // released (Aravis stops it then).
    arv_stream_start_thread(closed.get());
    return closed;
}

bool Stream::LastFrameId(const void* memory, std::uint64_t& frameId) const {
    const std::lock_guard<std::mutex> lock(mutex);
    const auto found = delivered.find(memory);
    if (found == delivered.end()) {
        return false;
    }
    frameId = found->second;
    return true;
}

void Stream::Withdraw(std::unique_lock<std::mutex>& lock, const Pending* target,
                      std::uint32_t error, bool restart) {
    ++withdrawing;
    ArvStream* source = stream.get();
    lock.unlock();
    // Stopping the receive thread deletes every buffer it holds: queued,
    // being filled or filled and not yet taken. The memory stays ours or the
    // caller's.
    arv_stream_stop_thread(source, TRUE);
    lock.lock();
    for (Spare& spare : spares) {
        if (spare.state == SpareState::InStream) {
            spare.state = SpareState::Free;
        }
    }
    for (Pending& request : requests) {
        if (request.state != State::Queued || !request.direct) {
            continue;
        }
        if (!restart || target == nullptr || target == &request) {
            request.state = State::Done;
            request.error = error;
        } else {
            Push(request);
        }
    }
    if (restart) {
        if (sparesQueued) {
            QueueSpares();
        }
        arv_stream_start_thread(source);
    }
    --withdrawing;
    changed.notify_all();
}

void Stream::Drain() {
    while (ArvBuffer* buffer = arv_stream_try_pop_buffer(stream.get())) {
        Complete(buffer);
    }
}

std::uint64_t Stream::Underruns() const {
    guint64 completed = 0;
    guint64 failures = 0;
    guint64 underruns = 0;
    arv_stream_get_statistics(stream.get(), &completed, &failures, &underruns);
    return underruns;
}

void Stream::Recycle(std::size_t spare) {
    if (stream && queueAhead && sparesQueued && withdrawing == 0) {
        PushSpare(spare);
    } else {
        // Queued again, if need be, once the receive thread restarts.
        spares[spare].state = SpareState::Free;
    }
}

void Stream::DropKept(const char* why) {
    if (!kept.empty()) {
        Trace("%s: %zu kept frames dropped: %s", label.c_str(), kept.size(), why);
    }
    while (!kept.empty()) {
        const std::size_t spare = kept.front().spare;
        kept.pop_front();
        Recycle(spare);
    }
}

bool Stream::Deliver(std::unique_lock<std::mutex>& lock, Pending& request) {
    if (const std::uint64_t underruns = Underruns(); underruns != underrunsSeen) {
        // Frames came while every buffer was full: what is kept is older
        // than what was lost, so the request takes the next frame instead.
        underrunsSeen = underruns;
        if (!kept.empty()) {
            DropKept("the queue ran over");
            return false;
        }
    }
    while (!kept.empty()) {
        Kept next = std::move(kept.front());
        kept.pop_front();
        ArvBuffer* buffer = next.buffer.get();
        const std::uint64_t frameId = arv_buffer_get_frame_id(buffer);
        const std::uint32_t error = Check(buffer);
        const std::uint64_t begun = arv_buffer_get_system_timestamp(buffer);
        // Twice the queue's span, so that only what the queue cannot have
        // kept for a stalled host counts as stale; nothing is, by age, before
        // the acquisition's rate is known.
        const std::uint64_t interval = FrameIntervalNs();
        const std::uint64_t span = 2 * kSpares * interval;
        if (begun < settingsChangedNs.load(std::memory_order_relaxed) ||
            (interval != 0 && request.requestedNs > begun && request.requestedNs - begun > span)) {
            // Kept while nobody asked, for longer than a stall the queue is
            // for, or taken with settings the camera no longer has.
            Trace("%s: frame %llu stale: skipped", label.c_str(),
                  static_cast<unsigned long long>(frameId));
            Recycle(next.spare);
            continue;
        }
        if (error == ZUR_ERROR_NONE && lastDelivered && !Newer(frameId, *lastDelivered)) {
            Trace("%s: frame %llu older than frame %llu: skipped", label.c_str(),
                  static_cast<unsigned long long>(frameId),
                  static_cast<unsigned long long>(*lastDelivered));
            Recycle(next.spare);
            continue;
        }
        if (error != ZUR_ERROR_NONE) {
            Trace("%s: frame %llu not delivered: %s", label.c_str(),
                  static_cast<unsigned long long>(frameId),
                  StatusText(arv_buffer_get_status(buffer)));
            Recycle(next.spare);
            request.state = State::Done;
            request.error = error;
            return true;
        }
        // Claimed before the copy, so that no other wait delivers an older
        // frame meanwhile.
        lastDelivered = frameId;
        spares[next.spare].state = SpareState::Copying;
        next.buffer.reset();
        lock.unlock();
        std::memcpy(request.memory, spares[next.spare].memory.get(), format.payloadSize);
        lock.lock();
        changed.wait(lock, [this] { return withdrawing == 0; });
        Recycle(next.spare);
        if (request.state == State::Queued) {
            request.state = State::Done;
            request.error = ZUR_ERROR_NONE;
            request.frameId = frameId;
            Trace("%s: frame %llu delivered", label.c_str(),
                  static_cast<unsigned long long>(frameId));
        }
        return true;
    }
    return false;
}

std::uint64_t Stream::FrameIntervalNs() const {
    const std::uint64_t mean = keptFrames > 1 && lastFrameNs > firstFrameNs
                                   ? (lastFrameNs - firstFrameNs) / (keptFrames - 1)
                                   : 0;
    return std::max(frameIntervalNs, mean);
}

std::uint32_t Stream::Check(ArvBuffer* buffer) const {
    if (arv_buffer_get_status(buffer) != ARV_BUFFER_STATUS_SUCCESS ||
        arv_buffer_get_payload_type(buffer) != ARV_BUFFER_PAYLOAD_TYPE_IMAGE) {
        return ZUR_ERROR_INCOMPLETE;
    }
    // Asked only of an image: Aravis complains about other payloads.
    const auto width = static_cast<std::uint32_t>(arv_buffer_get_image_width(buffer));
    const auto height = static_cast<std::uint32_t>(arv_buffer_get_image_height(buffer));
    const std::uint32_t pixelFormat = arv_buffer_get_image_pixel_format(buffer);
    if (width != format.width || height != format.height || pixelFormat != format.pixelFormat) {
        return ZUR_ERROR_INCOMPLETE;
    }
    return ZUR_ERROR_NONE;
}

void Stream::Complete(ArvBuffer* buffer) {
    GObjectPtr<ArvBuffer> owned(buffer);
    const auto serial = reinterpret_cast<std::uintptr_t>(arv_buffer_get_user_data(buffer));
    if ((serial & kSpareTag) != 0) {
        const std::size_t spare = serial & ~kSpareTag;
        spares[spare].state = SpareState::Kept;
        const std::uint64_t begun = arv_buffer_get_system_timestamp(buffer);
        if (lastFrameNs != 0 && begun > lastFrameNs) {
            // Smoothed: frames of a loaded sender come in bunches.
            const std::uint64_t interval = begun - lastFrameNs;
            frameIntervalNs =
                frameIntervalNs == 0 ? interval : (frameIntervalNs * 7 + interval) / 8;
        }
        lastFrameNs = std::max(lastFrameNs, begun);
        if (keptFrames++ == 0) {
            firstFrameNs = begun;
        }
        kept.push_back({std::move(owned), spare});
        return;
    }
    const auto request =
        std::find_if(requests.begin(), requests.end(), [serial](const auto& entry) {
            return entry.serial == serial && entry.state == State::Queued;
        });
    if (request == requests.end()) {
        return;  // ended meanwhile; its memory is no longer the stream's
    }
    const std::uint64_t frameId = arv_buffer_get_frame_id(buffer);
    const std::uint32_t error = Check(buffer);
    if (error != ZUR_ERROR_NONE && !request->retried) {
        // A request joins the stream in the middle of a frame, whose first
        // packets the camera may no longer have: its first frame may come
        // out torn for that reason alone. The next one decides.
        request->retried = true;
        Trace("%s: frame %llu torn (%s): waiting for the next", label.c_str(),
              static_cast<unsigned long long>(frameId), StatusText(arv_buffer_get_status(buffer)));
        arv_stream_push_buffer(stream.get(), owned.release());
        return;
    }
    if (error == ZUR_ERROR_NONE && lastDelivered && !Newer(frameId, *lastDelivered)) {
        // A frame older than one already delivered (a late packet of it
        // made it look new): the request waits for a newer one.
        Trace("%s: frame %llu older than frame %llu: skipped", label.c_str(),
              static_cast<unsigned long long>(frameId),
              static_cast<unsigned long long>(*lastDelivered));
        arv_stream_push_buffer(stream.get(), owned.release());
        return;
    }
    request->state = State::Done;
    request->frameId = frameId;
    request->error = error;
    if (error == ZUR_ERROR_NONE) {
        lastDelivered = frameId;
    }
    if (queueAhead && !sparesQueued) {
        // Behind the caller's buffer, the spares keep what comes next.
        QueueSpares();
    }
    if (request->error == ZUR_ERROR_NONE) {
        Trace("%s: frame %llu delivered", label.c_str(),
              static_cast<unsigned long long>(request->frameId));
    } else if (arv_buffer_get_status(buffer) != ARV_BUFFER_STATUS_SUCCESS) {
        Trace("%s: frame %llu not delivered: %s", label.c_str(),
              static_cast<unsigned long long>(frameId), StatusText(arv_buffer_get_status(buffer)));
    } else {
        Trace("%s: frame %llu not delivered: not a %u x %u image of format 0x%08x", label.c_str(),
              static_cast<unsigned long long>(frameId), format.width, format.height,
              format.pixelFormat);
    }
}

}  // namespace zurgige
