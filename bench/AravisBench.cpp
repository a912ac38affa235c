// A bare Aravis client, the floor of the GigE Vision figures of gige_bench:
//   aravis_bench [--seconds S] ADDRESS...
// Per camera, at its top frame rate, the same stream as the GigE Vision ZUR
// library makes (the packet size found with test packets, lost packets asked
// for again) and as many buffers as it queues, each frame popped and pushed
// back untouched. CPU per frame is taken over S seconds of the running
// stream, as gige_bench takes it. One JSON object per camera on standard
// output, in gige_bench's form.
#include <arv.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "StreamFigures.h"

namespace {

using bench::CpuSeconds;
using bench::MemcpySeconds;

using Clock = std::chrono::steady_clock;

constexpr int kBuffers = 7;  // the caller's and the library's six spares
constexpr auto kWarmUp = std::chrono::seconds(1);

void OnNewBuffer(ArvStream* stream, gpointer data) {
    while (ArvBuffer* buffer = arv_stream_try_pop_buffer(stream)) {
        if (arv_buffer_get_status(buffer) == ARV_BUFFER_STATUS_SUCCESS) {
            static_cast<std::atomic<long>*>(data)->fetch_add(1, std::memory_order_relaxed);
        }
        arv_stream_push_buffer(stream, buffer);
    }
}

bool Measure(const char* address, double seconds) {
    GError* error = nullptr;
    ArvCamera* camera = arv_camera_new(address, &error);
    if (camera == nullptr) {
        std::fprintf(stderr, "aravis_bench: %s: %s\n", address, error ? error->message : "?");
        g_clear_error(&error);
        return false;
    }
    double minRate = 0;
    double maxRate = 0;
    arv_camera_get_frame_rate_bounds(camera, &minRate, &maxRate, &error);
    if (error == nullptr) {
        arv_camera_set_frame_rate(camera, maxRate, &error);
    }
    if (error == nullptr) {
        arv_camera_gv_auto_packet_size(camera, &error);
    }
    ArvStream* stream =
        error == nullptr ? arv_camera_create_stream(camera, nullptr, nullptr, &error) : nullptr;
    if (stream == nullptr) {
        std::fprintf(stderr, "aravis_bench: %s: %s\n", address, error ? error->message : "?");
        g_clear_error(&error);
        g_object_unref(camera);
        return false;
    }
    g_object_set(stream, "packet-resend", static_cast<int>(ARV_GV_STREAM_PACKET_RESEND_ALWAYS),
                 "socket-buffer", static_cast<int>(ARV_GV_STREAM_SOCKET_BUFFER_AUTO),
                 "socket-buffer-size", 0, "packet-request-ratio", 1.0, nullptr);
    const gint width = arv_camera_get_integer(camera, "Width", nullptr);
    const gint height = arv_camera_get_integer(camera, "Height", nullptr);
    const guint payload = arv_camera_get_payload(camera, nullptr);
    for (int i = 0; i < kBuffers; ++i) {
        arv_stream_push_buffer(stream, arv_buffer_new(payload, nullptr));
    }
    std::atomic<long> framesDone{0};  // whole frames
    g_signal_connect(stream, "new-buffer", G_CALLBACK(&OnNewBuffer), &framesDone);
    arv_stream_set_emit_signals(stream, TRUE);
    arv_camera_start_acquisition(camera, &error);
    g_clear_error(&error);

    std::this_thread::sleep_for(kWarmUp);
    const long framesBefore = framesDone.load();
    const double cpuBefore = CpuSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double cpu = CpuSeconds() - cpuBefore;
    const long frames = framesDone.load() - framesBefore;
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

    arv_camera_stop_acquisition(camera, nullptr);
    arv_stream_set_emit_signals(stream, FALSE);
    g_object_unref(stream);
    const std::string model = arv_camera_get_model_name(camera, nullptr);
    g_object_unref(camera);
    std::printf(
        "{\"camera\": \"%s\", \"width\": %d, \"height\": %d, \"rate\": %.3f, \"seconds\": %.3f, "
        "\"delivered\": %ld, \"cpu_per_frame_s\": %.6f, \"memcpy_s\": %.6f}\n",
        model.c_str(), width, height, maxRate, elapsed, frames,
        frames > 0 ? cpu / static_cast<double>(frames) : 0.0,
        MemcpySeconds(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)));
    std::fflush(stdout);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 4;
    std::vector<const char*> addresses;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--seconds" && i + 1 < argc) {
            seconds = std::stod(argv[++i]);
        } else {
            addresses.push_back(argv[i]);
        }
    }
    bool all = true;
    for (const char* address : addresses) {
        all = Measure(address, seconds) && all;
    }
    arv_shutdown();
    return all ? 0 : 1;
}
