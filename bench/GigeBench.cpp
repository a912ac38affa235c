// The driver on a ZUR library, as a host sees it, for scripts/bench.sh to
// compare the GigE Vision path with the simulated one in the same run:
//   gige_bench --zur sim|gige [--seconds S] [--grabs N]
// Per camera, at its top frame rate: frames per second in continuous mode
// against that rate; frames the camera sent that never reached the host
// (GigE Vision: gevcam's frame counter, register 0xA020, against the
// callbacks); the process's CPU time per frame and the time of a memcpy of
// the frame's bytes; the median time from doCVLGrab to the callback. One
// JSON object per camera on standard output.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "DriverLibrary.h"
#include "StreamFigures.h"

namespace {

using bench::CpuSeconds;
using bench::MemcpySeconds;

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kWarmUp = 1s;

std::atomic<int> callbacks{0};

extern "C" void ZAVADED_CALL Completed(int /*grabberNo*/, int /*portNo*/) {
    callbacks.fetch_add(1, std::memory_order_release);
}

int Register(const DriverLibrary& driver, int port, const char* name) {
    int value = 0;
    driver.getProperty(0, port, name, &value);
    return value;
}

bool AwaitCallbacks(int count, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (callbacks.load(std::memory_order_acquire) < count) {
        if (Clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(100us);
    }
    return true;
}

void Measure(const DriverLibrary& driver, const std::string& name, int port, bool gige,
             double seconds, int grabs) {
    int size[2] = {0, 0};
    if (driver.openCVLPort(0, port, name.c_str(), size) != 1) {
        std::fprintf(stderr, "gige_bench: cannot open %s\n", name.c_str());
        return;
    }
    driver.setCompleteCallback(0, port, &Completed);
    // The top rate, from the limit register: frames per second x 10^6 on
    // the H280, a float on the others.
    const auto maxRegister = static_cast<std::uint32_t>(Register(driver, port, "0xa0007010"));
    const bool h280 = name.find("H280") != std::string::npos;
    const double rate = h280 ? maxRegister / 1e6 : std::bit_cast<float>(maxRegister);
    driver.setProperty(0, port, "AcquisitionFrameRate", static_cast<int>(rate));
    const std::size_t frameBytes =
        static_cast<std::size_t>(size[0]) * static_cast<std::size_t>(size[1]);

    // Throughput in continuous mode. CPU per frame is that of the running
    // stream, after a second of warm-up; what the start and the stop cost
    // besides (buffers first touched, Aravis's receive ring set up again when
    // the thread restarts) is reported apart.
    callbacks = 0;
    const int counterBefore = gige ? Register(driver, port, "0x0000a020") : 0;
    const double cpuStart = CpuSeconds();
    const auto start = Clock::now();
    driver.setProperty(0, port, "continuous", 1);
    std::this_thread::sleep_for(kWarmUp);
    const int framesBefore = callbacks.load();
    const double cpuBefore = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double cpu = CpuSeconds() - cpuBefore;
    const int running = callbacks.load() - framesBefore;
    driver.setProperty(0, port, "continuous", 0);
    const int counterAfter = gige ? Register(driver, port, "0x0000a020") : 0;
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpuWhole = CpuSeconds() - cpuStart;
    const int delivered = callbacks.load();
    const int sent = gige ? static_cast<int>(static_cast<std::uint32_t>(counterAfter) -
                                             static_cast<std::uint32_t>(counterBefore))
                          : delivered;
    std::this_thread::sleep_for(300ms);  // the frame in flight is dropped

    // Latency of single grabs.
    std::vector<double> latencies;
    for (int i = 0; i < grabs; ++i) {
        const int before = callbacks.load();
        const auto requested = Clock::now();
        driver.doCVLGrab(0, port);
        if (!AwaitCallbacks(before + 1, 5s)) {
            break;
        }
        latencies.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - requested).count());
    }
    std::sort(latencies.begin(), latencies.end());
    driver.closeCVLPort(0, port);
    std::printf(
        "{\"camera\": \"%s\", \"width\": %d, \"height\": %d, \"rate\": %.3f, \"seconds\": %.3f, "
        "\"delivered\": %d, \"sent\": %d, \"cpu_per_frame_s\": %.6f, \"cpu_whole_s\": %.6f, "
        "\"memcpy_s\": %.6f, \"latency_median_ms\": %.3f, \"grabs\": %zu}\n",
        name.c_str(), size[0], size[1], rate, elapsed, delivered, sent,
        running > 0 ? cpu / running : 0.0, cpuWhole, MemcpySeconds(frameBytes),
        latencies.empty() ? -1.0 : latencies[latencies.size() / 2], latencies.size());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::string zur = "sim";
    double seconds = 3;
    int grabs = 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--zur") {
            zur = argv[i + 1];
        } else if (option == "--seconds") {
            seconds = std::stod(argv[i + 1]);
        } else if (option == "--grabs") {
            grabs = std::stoi(argv[i + 1]);
        }
    }
    try {
        DriverLibrary::ChooseZur(zur);
        DriverLibrary driver(DriverLibrary::DefaultPath());
        const std::string data = (std::filesystem::temp_directory_path() / "gige-bench").string();
        std::filesystem::create_directories(data);
        if (driver.initialize(data.c_str(), nullptr) != 1) {
            return 1;
        }
        std::vector<std::string> names;
        for (char** name = driver.getCVLCameraConfigNames(); name && *name; ++name) {
            names.emplace_back(*name);
        }
        for (std::size_t i = 0; i < names.size(); ++i) {
            Measure(driver, names[i], static_cast<int>(i), zur == "gige", seconds, grabs);
        }
        driver.finalize();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "gige_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
