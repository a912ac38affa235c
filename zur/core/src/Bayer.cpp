#include "zursim/Bayer.h"

#include <algorithm>
#include <memory>

#if defined(__i386__) || defined(__x86_64__)
#define ZURSIM_X86 1
#include <immintrin.h>
#endif

namespace zursim {

Channel ChannelAt(std::uint32_t filter, std::uint32_t x, std::uint32_t y) {
    // Each row: the colours of the 2 x 2 block, top-left, top-right,
    // bottom-left, bottom-right.
    static constexpr Channel kPatterns[4][4] = {
        {Channel::Red, Channel::Green, Channel::Green, Channel::Blue},   // RGGB
        {Channel::Green, Channel::Blue, Channel::Red, Channel::Green},   // GBRG
        {Channel::Green, Channel::Red, Channel::Blue, Channel::Green},   // GRBG
        {Channel::Blue, Channel::Green, Channel::Green, Channel::Red}};  // BGGR
    return kPatterns[filter & 3u][(y & 1u) * 2u + (x & 1u)];
}

namespace {

// Mirrors an index that lies one step outside 0..size-1 back inside, keeping
// its parity where the size allows it.
std::size_t Mirror(std::int64_t index, std::uint32_t size) {
    if (index < 0) {
        index = -index;
    }
    if (index >= static_cast<std::int64_t>(size)) {
        index = 2 * (static_cast<std::int64_t>(size) - 1) - index;
    }
    return static_cast<std::size_t>(index < 0 ? 0 : index);
}

// One output line: the mosaic lines above, at and below it (mirrored at the
// image's top and bottom) and how its filter falls.
struct Line {
    const std::uint8_t* up;
    const std::uint8_t* at;
    const std::uint8_t* down;
    std::uint32_t greenParity;  // parity of the columns that see green
    bool lineRed;               // the colour beside the greens on this line is red
};

// Pixel x of the line, with the given neighbour columns, into blue, green,
// red, 255. Every path computes exactly this.
inline void Pixel(const Line& line, std::size_t left, std::size_t x, std::size_t right,
                  std::uint8_t* out) {
    const unsigned own = line.at[x];
    unsigned lineColour = own;
    unsigned green = own;
    unsigned other = own;
    if ((x & 1u) == line.greenParity) {
        lineColour = (unsigned{line.at[left]} + line.at[right] + 1u) / 2u;
        other = (unsigned{line.up[x]} + line.down[x] + 1u) / 2u;
    } else {
        const unsigned corners =
            unsigned{line.up[left]} + line.up[right] + line.down[left] + line.down[right];
        green = (unsigned{line.at[left]} + line.at[right] + line.up[x] + line.down[x] + 2u) / 4u;
        other = (corners + 2u) / 4u;
    }
    out[0] = static_cast<std::uint8_t>(line.lineRed ? other : lineColour);
    out[1] = static_cast<std::uint8_t>(green);
    out[2] = static_cast<std::uint8_t>(line.lineRed ? lineColour : other);
    out[3] = 255;
}

// Pixels first..last-1 of a line of the given width, the border columns mirrored.
void EdgePixels(const Line& line, std::uint32_t width, std::uint32_t first, std::uint32_t last,
                std::uint8_t* out) {
    for (std::uint32_t x = first; x < last; ++x, out += 4) {
        const std::size_t left = x > 0 ? x - 1 : Mirror(-1, width);
        const std::size_t right = x + 1 < width ? x + 1 : Mirror(std::int64_t{width}, width);
        Pixel(line, left, x, right, out);
    }
}

// Interior pixels: each has both neighbours on its line. count pixels from x,
// a multiple of kBlock, into out.
using Kernel = void (*)(const Line& line, std::size_t x, std::size_t count, std::uint8_t* out);
constexpr std::size_t kBlock = 16;

void PortableKernel(const Line& line, std::size_t x, std::size_t count, std::uint8_t* out) {
    for (const std::size_t end = x + count; x < end; ++x, out += 4) {
        Pixel(line, x - 1, x, x + 1, out);
    }
}

#ifdef ZURSIM_X86

// Sixteen (SSE2) or 32 (AVX2) pixels at a time. Seen as 16-bit words, the
// colour sites of a line are all in the low or all in the high bytes, so
// their four-sample means fit in words without unpacking, and the
// two-sample means are exact byte averages. The helpers are functions, not
// lambdas: a lambda does not take its function's instruction set.
#define ZURSIM_SSE2 __attribute__((target("sse2"), always_inline)) inline
#define ZURSIM_AVX2 __attribute__((target("avx2"), always_inline)) inline
// The kernels' entries realign the stack for their spills: a 32-bit Windows
// thread starts with its stack aligned to 4 bytes, and callers keep no more.
#define ZURSIM_ENTRY(set) __attribute__((target(set), force_align_arg_pointer))

// The samples of the colour sites as words.
template <bool colourHigh>
ZURSIM_SSE2 __m128i Sites(__m128i v) {
    return colourHigh ? _mm_srli_epi16(v, 8) : _mm_and_si128(v, _mm_set1_epi16(0x00FF));
}
// The rounded mean of four samples at each colour site, zero at the green sites.
template <bool colourHigh>
ZURSIM_SSE2 __m128i Mean4(__m128i a, __m128i b, __m128i c, __m128i d) {
    const __m128i sum = _mm_add_epi16(_mm_add_epi16(Sites<colourHigh>(a), Sites<colourHigh>(b)),
                                      _mm_add_epi16(Sites<colourHigh>(c), Sites<colourHigh>(d)));
    const __m128i mean = _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(2)), 2);
    return colourHigh ? _mm_slli_epi16(mean, 8) : mean;
}
ZURSIM_SSE2 __m128i Load16(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

template <bool colourHigh, bool lineRed>
ZURSIM_ENTRY("sse2")
void Sse2Blocks(const Line& line, std::size_t x, std::size_t count, std::uint8_t* out) {
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    const __m128i colourMask = colourHigh ? _mm_slli_epi16(lowBytes, 8) : lowBytes;
    const __m128i opaque = _mm_set1_epi8(-1);
    for (const std::size_t end = x + count; x < end; x += kBlock, out += 4 * kBlock) {
        const __m128i left = Load16(line.at + x - 1);
        const __m128i own = Load16(line.at + x);
        const __m128i right = Load16(line.at + x + 1);
        const __m128i above = Load16(line.up + x);
        const __m128i below = Load16(line.down + x);
        const __m128i corners =
            Mean4<colourHigh>(Load16(line.up + x - 1), Load16(line.up + x + 1),
                              Load16(line.down + x - 1), Load16(line.down + x + 1));
        const __m128i cross = Mean4<colourHigh>(left, right, above, below);
        const __m128i lineColour =
            _mm_or_si128(_mm_andnot_si128(colourMask, _mm_avg_epu8(left, right)),
                         _mm_and_si128(own, colourMask));
        const __m128i green = _mm_or_si128(_mm_andnot_si128(colourMask, own), cross);
        const __m128i other =
            _mm_or_si128(_mm_andnot_si128(colourMask, _mm_avg_epu8(above, below)), corners);
        const __m128i blue = lineRed ? other : lineColour;
        const __m128i red = lineRed ? lineColour : other;
        const __m128i blueGreenLow = _mm_unpacklo_epi8(blue, green);
        const __m128i blueGreenHigh = _mm_unpackhi_epi8(blue, green);
        const __m128i redLow = _mm_unpacklo_epi8(red, opaque);
        const __m128i redHigh = _mm_unpackhi_epi8(red, opaque);
        auto* target = reinterpret_cast<__m128i*>(out);
        _mm_storeu_si128(target, _mm_unpacklo_epi16(blueGreenLow, redLow));
        _mm_storeu_si128(target + 1, _mm_unpackhi_epi16(blueGreenLow, redLow));
        _mm_storeu_si128(target + 2, _mm_unpacklo_epi16(blueGreenHigh, redHigh));
        _mm_storeu_si128(target + 3, _mm_unpackhi_epi16(blueGreenHigh, redHigh));
    }
}

template <bool colourHigh>
ZURSIM_AVX2 __m256i Sites(__m256i v) {
    return colourHigh ? _mm256_srli_epi16(v, 8) : _mm256_and_si256(v, _mm256_set1_epi16(0x00FF));
}
template <bool colourHigh>
ZURSIM_AVX2 __m256i Mean4(__m256i a, __m256i b, __m256i c, __m256i d) {
    const __m256i sum =
        _mm256_add_epi16(_mm256_add_epi16(Sites<colourHigh>(a), Sites<colourHigh>(b)),
                         _mm256_add_epi16(Sites<colourHigh>(c), Sites<colourHigh>(d)));
    const __m256i mean = _mm256_srli_epi16(_mm256_add_epi16(sum, _mm256_set1_epi16(2)), 2);
    return colourHigh ? _mm256_slli_epi16(mean, 8) : mean;
}
ZURSIM_AVX2 __m256i Load32(const std::uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// The same, 32 pixels at a time. Its unpacks work within each 16-byte half,
// so the four quarters of the output are put in order at the end; a last
// block of 16 goes to SSE2.
template <bool colourHigh, bool lineRed>
ZURSIM_ENTRY("avx2")
void Avx2Blocks(const Line& line, std::size_t x, std::size_t count, std::uint8_t* out) {
    const __m256i lowBytes = _mm256_set1_epi16(0x00FF);
    const __m256i colourMask = colourHigh ? _mm256_slli_epi16(lowBytes, 8) : lowBytes;
    const __m256i opaque = _mm256_set1_epi8(-1);
    constexpr std::size_t kWide = 2 * kBlock;
    for (const std::size_t end = x + count - count % kWide; x < end; x += kWide, out += 4 * kWide) {
        const __m256i left = Load32(line.at + x - 1);
        const __m256i own = Load32(line.at + x);
        const __m256i right = Load32(line.at + x + 1);
        const __m256i above = Load32(line.up + x);
        const __m256i below = Load32(line.down + x);
        const __m256i corners =
            Mean4<colourHigh>(Load32(line.up + x - 1), Load32(line.up + x + 1),
                              Load32(line.down + x - 1), Load32(line.down + x + 1));
        const __m256i cross = Mean4<colourHigh>(left, right, above, below);
        const __m256i lineColour =
            _mm256_or_si256(_mm256_andnot_si256(colourMask, _mm256_avg_epu8(left, right)),
                            _mm256_and_si256(own, colourMask));
        const __m256i green = _mm256_or_si256(_mm256_andnot_si256(colourMask, own), cross);
        const __m256i other = _mm256_or_si256(
            _mm256_andnot_si256(colourMask, _mm256_avg_epu8(above, below)), corners);
        const __m256i blue = lineRed ? other : lineColour;
        const __m256i red = lineRed ? lineColour : other;
        const __m256i blueGreenLow = _mm256_unpacklo_epi8(blue, green);
        const __m256i blueGreenHigh = _mm256_unpackhi_epi8(blue, green);
        const __m256i redLow = _mm256_unpacklo_epi8(red, opaque);
        const __m256i redHigh = _mm256_unpackhi_epi8(red, opaque);
        // Pixels 0-3 | 16-19, 4-7 | 20-23, 8-11 | 24-27, 12-15 | 28-31.
        const __m256i a = _mm256_unpacklo_epi16(blueGreenLow, redLow);
        const __m256i b = _mm256_unpackhi_epi16(blueGreenLow, redLow);
        const __m256i c = _mm256_unpacklo_epi16(blueGreenHigh, redHigh);
        const __m256i d = _mm256_unpackhi_epi16(blueGreenHigh, redHigh);
        auto* target = reinterpret_cast<__m256i*>(out);
        _mm256_storeu_si256(target, _mm256_permute2x128_si256(a, b, 0x20));
        _mm256_storeu_si256(target + 1, _mm256_permute2x128_si256(c, d, 0x20));
        _mm256_storeu_si256(target + 2, _mm256_permute2x128_si256(a, b, 0x31));
        _mm256_storeu_si256(target + 3, _mm256_permute2x128_si256(c, d, 0x31));
    }
    if (count % kWide != 0) {
        Sse2Blocks<colourHigh, lineRed>(line, x, count % kWide, out);
    }
}

// Picks the instance for the line's layout; the low byte of each word is
// column x + 2k, a colour site unless its parity is green's.
template <template <bool, bool> typename Blocks>
void Dispatch(const Line& line, std::size_t x, std::size_t count, std::uint8_t* out) {
    if ((x & 1u) == line.greenParity) {
        (line.lineRed ? Blocks<true, true>::Run : Blocks<true, false>::Run)(line, x, count, out);
    } else {
        (line.lineRed ? Blocks<false, true>::Run : Blocks<false, false>::Run)(line, x, count, out);
    }
}

template <bool colourHigh, bool lineRed>
struct Sse2 {
    static constexpr auto Run = &Sse2Blocks<colourHigh, lineRed>;
};
template <bool colourHigh, bool lineRed>
struct Avx2 {
    static constexpr auto Run = &Avx2Blocks<colourHigh, lineRed>;
};

#endif

bool Runs(Vectors vectors) {
#ifdef ZURSIM_X86
    __builtin_cpu_init();  // idempotent; a static constructor may ask before libgcc's has run
    switch (vectors) {
        case Vectors::None:
            return true;
        case Vectors::Sse2:
            return __builtin_cpu_supports("sse2") != 0;
        case Vectors::Avx2:
            return __builtin_cpu_supports("avx2") != 0;
    }
    return false;
#else
    return vectors == Vectors::None;
#endif
}

Kernel KernelFor(Vectors vectors) {
#ifdef ZURSIM_X86
    if (vectors == Vectors::Avx2) {
        return &Dispatch<Avx2>;
    }
    if (vectors == Vectors::Sse2) {
        return &Dispatch<Sse2>;
    }
#endif
    return &PortableKernel;
}

// The fastest kernel this processor runs, chosen at run time: the 32-bit
// builds may run on any x86, and AVX2 is no baseline anywhere.
Kernel BestKernel() {
    static const Kernel best = [] {
        for (const Vectors vectors : {Vectors::Avx2, Vectors::Sse2}) {
            if (Runs(vectors)) {
                return KernelFor(vectors);
            }
        }
        return KernelFor(Vectors::None);
    }();
    return best;
}

void DemosaicLine(const Line& line, std::uint32_t width, Kernel kernel, std::uint8_t* out) {
    // Columns 1 .. width-2 have both neighbours; whole blocks of them go to
    // the kernel, the rest and the two border columns are done one by one.
    const std::size_t interior = width > 2 ? width - 2u : 0u;
    const std::size_t blocked = interior - interior % kBlock;
    if (blocked == 0) {
        EdgePixels(line, width, 0, width, out);
        return;
    }
    EdgePixels(line, width, 0, 1, out);
    kernel(line, 1, blocked, out + 4);
    EdgePixels(line, width, static_cast<std::uint32_t>(1 + blocked), width,
               out + 4 * (1 + blocked));
}

// Demosaics line by line; lineAt(y) gives mosaic line y and is asked only
// for the three lines around the one being made, in order.
template <typename LineAt>
void DemosaicLines(std::uint32_t filter, std::uint32_t width, std::uint32_t height, Kernel kernel,
                   LineAt lineAt, std::uint8_t* target) {
    for (std::uint32_t y = 0; y < height; ++y) {
        const Channel even = ChannelAt(filter, 0, y);
        const Channel odd = ChannelAt(filter, 1, y);
        const Channel beside = even == Channel::Green ? odd : even;
        const std::uint8_t* up = lineAt(Mirror(std::int64_t{y} - 1, height));
        const std::uint8_t* at = lineAt(y);
        const std::uint8_t* down = lineAt(Mirror(std::int64_t{y} + 1, height));
        const Line line{up, at, down, even == Channel::Green ? 0u : 1u, beside == Channel::Red};
        DemosaicLine(line, width, kernel, target + std::size_t{y} * width * 4);
    }
}

void DemosaicWith(Kernel kernel, std::uint32_t filter, std::uint32_t width, std::uint32_t height,
                  std::span<const std::uint8_t> mosaic, std::span<std::uint8_t> target) {
    const std::uint8_t* lines = mosaic.data();
    DemosaicLines(
        filter, width, height, kernel, [&](std::size_t y) { return lines + y * width; },
        target.data());
}

// The wide samples of one line as bytes, shifted and clamped.
void NarrowLine(const std::uint8_t* raw, std::uint32_t shift, std::size_t count,
                std::uint8_t* out) {
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned sample = (raw[2 * i] | (unsigned{raw[2 * i + 1]} << 8)) >> shift;
        out[i] = static_cast<std::uint8_t>(std::min(sample, 255u));
    }
}

}  // namespace

void Demosaic(std::uint32_t filter, std::uint32_t width, std::uint32_t height,
              std::span<const std::uint8_t> mosaic, std::span<std::uint8_t> target) {
    DemosaicWith(BestKernel(), filter, width, height, mosaic, target);
}

bool DemosaicRuns(Vectors vectors) {
    return Runs(vectors);
}

void DemosaicUsing(Vectors vectors, std::uint32_t filter, std::uint32_t width, std::uint32_t height,
                   std::span<const std::uint8_t> mosaic, std::span<std::uint8_t> target) {
    DemosaicWith(Runs(vectors) ? KernelFor(vectors) : BestKernel(), filter, width, height, mosaic,
                 target);
}

void DemosaicRaw(std::uint32_t filter, std::uint32_t width, std::uint32_t height, bool wide,
                 std::uint32_t shift, std::span<const std::uint8_t> raw,
                 std::span<std::uint8_t> target) {
    if (!wide) {
        Demosaic(filter, width, height, raw, target);
        return;
    }
    // Three narrowed lines, each kept in the slot of its index modulo 3: the
    // lines around any one line never share a slot.
    const auto narrowed = std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t{width} * 3);
    std::int64_t held[3] = {-1, -1, -1};
    DemosaicLines(
        filter, width, height, BestKernel(),
        [&](std::size_t y) {
            std::uint8_t* slot = narrowed.get() + (y % 3) * width;
            if (held[y % 3] != static_cast<std::int64_t>(y)) {
                NarrowLine(raw.data() + y * width * 2, shift, width, slot);
                held[y % 3] = static_cast<std::int64_t>(y);
            }
            return slot;
        },
        target.data());
}

}  // namespace zursim
