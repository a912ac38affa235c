#include "Stream.h"

#include <algorithm>
#include <chrono>

#include "Trace.h"
#include "ZUR.h"

namespace zurgige {
namespace {

using Clock = std::chrono::steady_clock;

// A waiter looks up from the Aravis queue this often to see aborts, losses
// and its deadline; a frame that arrives ends the look at once.
constexpr std::chrono::milliseconds kPollSlice{20};
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

Stream::Stream(GObjectPtr<ArvStream> arvStream, FrameFormat frameFormat,
               std::shared_ptr<const LossState> lossState, std::string streamLabel)
    : format(frameFormat),
      loss(std::move(lossState)),
      label(std::move(streamLabel)),
      stream(std::move(arvStream)) {}

Stream::~Stream() {
    // Normally closed by the camera, which decides how the stream is released.
    Close();
}

void Stream::Push(const Pending& request) {
    // The Aravis buffer wraps the caller's memory; the stream owns the
    // wrapper, never the memory.
    ArvBuffer* buffer =
        arv_buffer_new_full(request.size, request.memory, SerialTag(request.serial), nullptr);
    arv_stream_push_buffer(stream.get(), buffer);
}

std::uint32_t Stream::Request(void* memory, std::uint32_t size) {
    std::unique_lock<std::mutex> lock(mutex);
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
    Push(request);
    return ZUR_ERROR_NONE;
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
        if (loss->Lost()) {
            Withdraw(lock, &*request, ZUR_ERROR_DEVICE_LOST);
            continue;
        }
        const Clock::time_point now = Clock::now();
        if (limited && now >= deadline) {
            Withdraw(lock, &*request, ZUR_ERROR_TIMEOUT);
            continue;
        }
        const auto slice = limited ? std::min<Clock::duration>(kPollSlice, deadline - now)
                                   : Clock::duration{kPollSlice};
        if (!stream) {
            // Closed: every queued request ended with the stream.
            request->state = State::Done;
            request->error = ZUR_ERROR_ABORTED;
            break;
        }
        if (popping || withdrawing > 0) {
            changed.wait_for(lock, slice);
            continue;
        }
        // One thread at a time takes frames out of the Aravis queue, and
        // hands each to its request; the others wait for the hand-over.
        popping = true;
        ArvStream* source = stream.get();
        lock.unlock();
        const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(slice).count();
        ArvBuffer* buffer = arv_stream_timeout_pop_buffer(
            source, static_cast<guint64>(std::max<long long>(micros, 1)));
        lock.lock();
        popping = false;
        if (buffer != nullptr) {
            Complete(buffer);
        }
        changed.notify_all();
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
    if (stream) {
        Withdraw(lock, nullptr, ZUR_ERROR_ABORTED);
    }
}

GObjectPtr<ArvStream> Stream::Close() {
    std::unique_lock<std::mutex> lock(mutex);
    if (!stream) {
        return nullptr;
    }
    // The receive thread runs on without buffers until the stream is
    // released (Aravis stops it then).
    Withdraw(lock, nullptr, ZUR_ERROR_ABORTED);
    return std::move(stream);
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
                      std::uint32_t error) {
    ++withdrawing;
    // A frame taken out of the queue is handed over before the thread stops.
    changed.wait(lock, [this] { return !popping; });
    // Stopping the receive thread deletes every buffer it holds: queued,
    // being filled or filled and not yet taken. The memory stays the caller's.
    arv_stream_stop_thread(stream.get(), TRUE);
    for (Stream::Pending& request : requests) {
        if (request.state != State::Queued) {
            continue;
        }
        if (target == nullptr || target == &request) {
            request.state = State::Done;
            request.error = error;
        } else {
            Push(request);
        }
    }
    arv_stream_start_thread(stream.get());
    --withdrawing;
    changed.notify_all();
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
