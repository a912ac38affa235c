// The per-image work of the grab thread against memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "camera/PixelPack.h"

namespace {

constexpr std::size_t kWidth = 2448;
constexpr std::size_t kHeight = 2048;
constexpr std::size_t kPixels = kWidth * kHeight;

void Memcpy(benchmark::State& state, std::size_t bytes) {
    const auto source = Filled(bytes);
    auto target = Filled(bytes);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), bytes);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

// The colour pack reads 4 bytes per pixel: its figure is source bytes per second.
void MemcpyColourSource(benchmark::State& state) {
    Memcpy(state, kPixels * 4);
}
void MemcpyMonoImage(benchmark::State& state) {
    Memcpy(state, kPixels);
}

template <void (*Pack)(const std::uint8_t*, std::uint8_t*, std::size_t)>
void PackColour(benchmark::State& state) {
    const auto source = Filled(kPixels * 4);
    auto target = Filled(kPixels * 3);
    for (auto _ : state) {
        Pack(source.data(), target.data(), kPixels);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kPixels * 4));
}

// The monochrome copy of the grab thread, on a real camera's buffers.
void MonoCopy(benchmark::State& state) {
    BenchCamera bench("XCG-5005E", 1);
    Camera& camera = bench.Get();
    std::memset(camera.ZazeBuffer()->Data(), 0x5a,
                static_cast<std::size_t>(camera.ZazeBuffer()->Size()));
    for (auto _ : state) {
        benchmark::DoNotOptimize(camera.CopyImageToVantixBuffer());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * camera.DestBuffer()->Size());
}

BENCHMARK(MemcpyColourSource)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(PackColour, PackFourToThree)->Name("PackColour")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(PackColour, PackFourToThreePortable)
    ->Name("PackColourPortable")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyMonoImage)->Unit(benchmark::kMillisecond);
BENCHMARK(MonoCopy)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
