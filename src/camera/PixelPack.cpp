#include "camera/PixelPack.h"

#include <algorithm>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#define ZAVADED_X86 1
#include <immintrin.h>
#endif

namespace {

// Four pixels at a time through two 64-bit words: 16 bytes in, 12 bytes out,
// stored straight from registers. The shifts assume little-endian words, as
// on every target of the driver.
void PackWords(const std::uint8_t* source, std::uint8_t* target, std::size_t quads) {
    for (std::size_t i = 0; i < quads; ++i, source += 16, target += 12) {
        std::uint64_t a;  // pixels 0 and 1
        std::uint64_t b;  // pixels 2 and 3
        std::memcpy(&a, source, 8);
        std::memcpy(&b, source + 8, 8);
        const std::uint64_t low = (a & 0xFFFFFFu) | ((a >> 8) & 0xFFFFFF000000u) | (b << 48);
        const auto high =
            static_cast<std::uint32_t>(((b >> 16) & 0xFFu) | ((b >> 24) & 0xFFFFFF00u));
        std::memcpy(target, &low, 8);
        std::memcpy(target + 8, &high, 4);
    }
}

void PackBytes(const std::uint8_t* source, std::uint8_t* target, std::size_t pixels) {
    for (std::size_t i = 0; i < pixels; ++i, source += 4, target += 3) {
        target[0] = source[0];
        target[1] = source[1];
        target[2] = source[2];
    }
}

#ifdef ZAVADED_X86

// Packed images from this size on are written around the processor's caches:
// most of a frame larger than a core's cache has left it before the host
// reads it, and streaming stores spare the memory the reading of every target
// line before it is written. A 5-megapixel frame from cold memory: the pack
// takes 0.8 of the time, the pack and the host reading every row at once 0.95.
constexpr std::size_t kStreamingBytes = std::size_t{2} << 20;

// A function, not a lambda: a lambda does not take its caller's instruction set.
template <bool streaming>
__attribute__((target("sse2"), always_inline)) inline void Store(std::uint8_t* to, __m128i bytes) {
    if constexpr (streaming) {
        _mm_stream_si128(reinterpret_cast<__m128i*>(to), bytes);
    } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), bytes);
    }
}

// Sixteen pixels at a time with byte shuffles: 64 bytes in, 48 bytes out.
// Streaming stores need a target aligned to 16 bytes.
template <bool streaming>
__attribute__((target("ssse3"))) void PackSsse3(const std::uint8_t* source, std::uint8_t* target,
                                                std::size_t blocks) {
    // Gathers the first three bytes of each of four pixels into the low 12 bytes.
    const __m128i gather = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    for (std::size_t i = 0; i < blocks; ++i, source += 64, target += 48) {
        const __m128i a =
            _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(source)), gather);
        const __m128i b = _mm_shuffle_epi8(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 16)), gather);
        const __m128i c = _mm_shuffle_epi8(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 32)), gather);
        const __m128i d = _mm_shuffle_epi8(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 48)), gather);
        // 12 + 4 | 8 + 8 | 4 + 12 bytes.
        Store<streaming>(target, _mm_or_si128(a, _mm_slli_si128(b, 12)));
        Store<streaming>(target + 16, _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
        Store<streaming>(target + 32, _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4)));
    }
}

// Streaming stores are weakly ordered: they are made visible before the
// image is handed on (the destination lock, the callback).
__attribute__((target("sse2"))) void EndStreaming() {
    _mm_sfence();
}

std::size_t ToAlignment(const std::uint8_t* target) {
    return (16u - reinterpret_cast<std::uintptr_t>(target) % 16u) % 16u;
}

// The shuffle path over a whole image: with streaming stores, the first
// pixels bring the target to 16-byte alignment (3 x 11 = 1 modulo 16, and
// every block of 48 bytes keeps it there).
template <bool streaming>
void PackShuffled(const std::uint8_t* source, std::uint8_t* target, std::size_t pixels) {
    if constexpr (streaming) {
        const std::size_t head = std::min(pixels, ToAlignment(target) * 11u % 16u);
        PackFourToThreePortable(source, target, head);
        source += head * 4;
        target += head * 3;
        pixels -= head;
    }
    const std::size_t blocks = pixels / 16;
    PackSsse3<streaming>(source, target, blocks);
    PackFourToThreePortable(source + blocks * 64, target + blocks * 48, pixels % 16);
    if constexpr (streaming) {
        EndStreaming();
    }
}

bool HasSsse3() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("ssse3") != 0;
    }();
    return has;
}

#endif

}  // namespace

void PackFourToThreePortable(const std::uint8_t* source, std::uint8_t* target, std::size_t pixels) {
    const std::size_t quads = pixels / 4;
    PackWords(source, target, quads);
    PackBytes(source + quads * 16, target + quads * 12, pixels % 4);
}

void PackFourToThree(const std::uint8_t* source, std::uint8_t* target, std::size_t pixels) {
#ifdef ZAVADED_X86
    // The 32-bit driver may run on any x86, so the shuffle path is chosen at
    // run time.
    if (HasSsse3()) {
        (pixels * 3 >= kStreamingBytes ? PackShuffled<true> : PackShuffled<false>)(source, target,
                                                                                   pixels);
        return;
    }
#endif
    PackFourToThreePortable(source, target, pixels);
}
