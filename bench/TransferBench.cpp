// The per-image work of the grab thread against memcpy of the same bytes.
#include <benchmark/benchmark.h>
#include <immintrin.h>

#include "BenchSupport.h"
#include "camera/PixelPack.h"
#include "zursim/Bayer.h"

namespace {

constexpr std::size_t kWidth = 2448;
constexpr std::size_t kHeight = 2048;
constexpr std::size_t kPixels = kWidth * kHeight;

// Evicts bytes from every cache, as a frame period later a stream's last
// frame has long left them.
void Evict(const std::uint8_t* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size; i += 64) {
        _mm_clflush(bytes + i);
    }
    _mm_mfence();
}

void Memcpy(benchmark::State& state, std::size_t bytes, bool cold = false) {
    const auto source = Filled(bytes);
    auto target = Filled(bytes);
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            Evict(source.data(), bytes);
            Evict(target.data(), bytes);
            state.ResumeTiming();
        }
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
// The yardstick of ColourFrameCold.
void MemcpyMonoImageCold(benchmark::State& state) {
    Memcpy(state, kPixels, true);
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

// The colour conversion alone, from the raw frame to four bytes per pixel;
// its figure is raw bytes per second, as memcpy of the raw frame's.
template <void (*Convert)(std::uint32_t, std::uint32_t, std::uint32_t,
                          std::span<const std::uint8_t>, std::span<std::uint8_t>)>
void DemosaicColour(benchmark::State& state) {
    const auto source = Filled(kPixels);
    auto target = Filled(kPixels * 4);
    for (auto _ : state) {
        Convert(zursim::kFilterGRBG, kWidth, kHeight, source, target);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kPixels));
}

// The least any conversion to four bytes per pixel costs: the raw frame
// read once and the target written with plain stores, no arithmetic.
void SpreadColour(benchmark::State& state) {
    const auto source = Filled(kPixels);
    auto target = Filled(kPixels * 4);
    for (auto _ : state) {
        std::uint8_t* out = target.data();
        for (std::size_t i = 0; i < kPixels; ++i, out += 4) {
            const std::uint32_t spread = source[i] * 0x01010101u;
            std::memcpy(out, &spread, 4);
        }
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kPixels));
}

// A colour frame's whole work on the grab thread: ZUR's conversion into the
// temp buffer and the pack into the destination, in raw bytes per second.
// Cold: from memory rather than cache, as a stream's frame is (in a GigE
// Vision stream the conversion and pack take about what this takes, twice
// the time in cache).
template <bool cold>
void ColourFrame(benchmark::State& state) {
    BenchCamera bench("XCG-5005CR", 1);
    Camera& camera = bench.Get();
    std::memset(camera.ZazeBuffer()->Data(), 0x5a,
                static_cast<std::size_t>(camera.ZazeBuffer()->Size()));
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            for (const ImageBuffer* buffer :
                 {camera.ZazeBuffer(), camera.TempBuffer(), camera.DestBuffer()}) {
                Evict(buffer->Data(), static_cast<std::size_t>(buffer->Size()));
            }
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(camera.CopyImageToVantixBuffer());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kPixels));
}

BENCHMARK(MemcpyColourSource)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(PackColour, PackFourToThree)->Name("PackColour")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(PackColour, PackFourToThreePortable)
    ->Name("PackColourPortable")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyMonoImage)->Unit(benchmark::kMillisecond);
BENCHMARK(MonoCopy)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(DemosaicColour, zursim::Demosaic)
    ->Name("Demosaic")
    ->Unit(benchmark::kMillisecond);
void DemosaicPortable(std::uint32_t filter, std::uint32_t width, std::uint32_t height,
                      std::span<const std::uint8_t> mosaic, std::span<std::uint8_t> target) {
    zursim::DemosaicUsing(zursim::Vectors::None, filter, width, height, mosaic, target);
}
void DemosaicSse2(std::uint32_t filter, std::uint32_t width, std::uint32_t height,
                  std::span<const std::uint8_t> mosaic, std::span<std::uint8_t> target) {
    zursim::DemosaicUsing(zursim::Vectors::Sse2, filter, width, height, mosaic, target);
}

BENCHMARK_TEMPLATE(DemosaicColour, DemosaicSse2)
    ->Name("DemosaicSse2")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(DemosaicColour, DemosaicPortable)
    ->Name("DemosaicPortable")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(SpreadColour)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(ColourFrame, false)->Name("ColourFrame")->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyMonoImageCold)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(ColourFrame, true)->Name("ColourFrameCold")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
