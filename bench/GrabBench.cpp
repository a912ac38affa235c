// Latency from a grab request to the completion callback, the floor a bare
// thread wake-up sets, and reading a colour frame row by row.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "BenchSupport.h"
#include "ZUR.h"
#include "ZURSim.h"
#include "platform/Event.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSamples = 1000;

std::atomic<int> completed{0};
void Completed(int, int) {
    completed.fetch_add(1, std::memory_order_release);
}

void Report(benchmark::State& state, std::vector<double>& microseconds) {
    std::sort(microseconds.begin(), microseconds.end());
    state.counters["median_us"] = microseconds[microseconds.size() / 2];
    state.counters["p99_us"] = microseconds[microseconds.size() * 99 / 100];
}

// doCVLGrab to callback, with the smallest image the camera takes, so that
// the figure is the driver's path rather than the simulator's rendering.
void GrabLatency(benchmark::State& state) {
    BenchCamera bench("XCG-V60E", 1, {{"width", "64"}, {"height", "120"}});
    setCompleteCallback(0, 0, &Completed);
    std::vector<double> samples;
    for (auto _ : state) {
        samples.clear();
        for (int i = 0; i < kSamples; ++i) {
            // Let the other thread fall asleep, so that each sample is a real wake-up.
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            const int before = completed.load();
            const auto start = Clock::now();
            doCVLGrab(0, 0);
            while (completed.load(std::memory_order_acquire) == before) {
            }
            samples.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
    }
    Report(state, samples);
}

// The same round trip through the platform event: one thread wakes another,
// which does work() and answers.
template <typename Work>
void WakeUps(benchmark::State& state, Work work) {
    platform::AutoResetEvent wake;
    std::atomic<int> answered{0};
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        while (true) {
            wake.Wait();
            if (stop) {
                return;
            }
            work();
            answered.fetch_add(1, std::memory_order_release);
        }
    });
    std::vector<double> samples;
    for (auto _ : state) {
        samples.clear();
        for (int i = 0; i < kSamples; ++i) {
            // Let the other thread fall asleep, so that each sample is a real wake-up.
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            const int before = answered.load();
            const auto start = Clock::now();
            wake.Set();
            while (answered.load(std::memory_order_acquire) == before) {
            }
            samples.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
    }
    stop = true;
    wake.Set();
    worker.join();
    Report(state, samples);
}

// The bare wake-up: the floor of any grab.
void EventWakeUp(benchmark::State& state) {
    WakeUps(state, [] {});
}

// The woken thread takes an image of GrabLatency's size from a simulated
// camera straight through ZUR: the floor with the camera's own work in it,
// so that GrabLatency less this is what the driver adds.
void CameraWakeUp(benchmark::State& state) {
    ZURSimReset();
    ZURSimAddCamera("XCG-V60E", 2);
    for (const auto& [key, value] : {std::pair{"fast", "1"}, {"width", "64"}, {"height", "120"}}) {
        ZURSimSetCameraOption(2, key, value);
    }
    std::uint32_t handle = 0;
    ZURImageInfo info{};
    if (ZUROpen(2, &handle) == 0 || ZURIsoAlloc(handle) == 0 || ZURIsoStart(handle, 0) == 0 ||
        ZURGetImageInfo(handle, &info) == 0) {
        state.SkipWithError("the simulated camera does not open");
        return;
    }
    std::vector<std::uint8_t> image(info.bufferSize);
    WakeUps(state, [&] {
        ZURImageReq(handle, image.data(), info.bufferSize);
        ZURImageCompleteWait(handle, image.data(), 0, 0, 0);
    });
    ZURClose(handle);
    ZURSimReset();
}

// A whole 2448 x 2048 colour frame through getCVLGrabRow, row by row.
void ReadColourFrame(benchmark::State& state) {
    BenchCamera bench("XCG-5005CR", 2);
    const std::size_t lineBytes = static_cast<std::size_t>(bench.width) * 3;
    std::vector<std::uint8_t> image = Filled(lineBytes * static_cast<std::size_t>(bench.height));
    for (auto _ : state) {
        for (int row = 0; row < bench.height; ++row) {
            getCVLGrabRow(0, 0, image.data() + lineBytes * static_cast<std::size_t>(row), row, 0,
                          bench.width - 1);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(image.size()));
}

void MemcpyColourFrame(benchmark::State& state) {
    const std::size_t bytes = 2448u * 2048u * 3u;
    const auto source = Filled(bytes);
    auto target = Filled(bytes);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

// The same bytes copied row by row with nothing else: what row-sized copies
// cost on this machine, the ceiling of reading by rows.
void MemcpyColourRows(benchmark::State& state) {
    const std::size_t lineBytes = 2448u * 3u;
    const std::size_t bytes = lineBytes * 2048u;
    const auto source = Filled(bytes);
    auto target = Filled(bytes);
    for (auto _ : state) {
        for (std::size_t offset = 0; offset < bytes; offset += lineBytes) {
            std::memcpy(target.data() + offset, source.data() + offset, lineBytes);
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

BENCHMARK(GrabLatency)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(EventWakeUp)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(CameraWakeUp)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyColourFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyColourRows)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadColourFrame)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
