// The demosaic against the straightforward implementation it replaced, byte
// for byte, borders included: every Bayer order, sizes around the vector
// block and the degenerate ones, both sample widths. The buffers have
// exactly the sizes the call may touch, for the address sanitizer.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/Thread.h"
#include "zursim/Bayer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The original: a mirrored copy of the whole mosaic, then every pixel alike.
Bytes Reference(std::uint32_t filter, std::uint32_t width, std::uint32_t height,
                const Bytes& mosaic) {
    const auto mirror = [](std::int64_t i, std::int64_t size) {
        i = i < 0 ? -i : i;
        i = i >= size ? 2 * (size - 1) - i : i;
        return static_cast<std::size_t>(std::max<std::int64_t>(i, 0));
    };
    const std::size_t stride = width + 2u;
    Bytes padded(stride * (height + 2u));
    for (std::int64_t y = -1; y <= height; ++y) {
        for (std::int64_t x = -1; x <= width; ++x) {
            padded[static_cast<std::size_t>(y + 1) * stride + static_cast<std::size_t>(x + 1)] =
                mosaic[mirror(y, height) * width + mirror(x, width)];
        }
    }
    Bytes out;
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* up = &padded[y * stride];
        const std::uint8_t* at = up + stride;
        const std::uint8_t* down = at + stride;
        const zursim::Channel even = zursim::ChannelAt(filter, 0, y);
        const zursim::Channel odd = zursim::ChannelAt(filter, 1, y);
        const zursim::Channel lineColor = even == zursim::Channel::Green ? odd : even;
        for (std::size_t x = 1; x <= width; ++x) {
            unsigned red = at[x], green = at[x], blue = at[x];
            const zursim::Channel channel = (x & 1u) != 0 ? even : odd;
            if (channel == zursim::Channel::Green) {
                const unsigned horizontal = (0u + at[x - 1] + at[x + 1] + 1u) / 2u;
                const unsigned vertical = (0u + up[x] + down[x] + 1u) / 2u;
                red = lineColor == zursim::Channel::Red ? horizontal : vertical;
                blue = lineColor == zursim::Channel::Red ? vertical : horizontal;
            } else {
                const unsigned corners =
                    0u + up[x - 1] + up[x + 1] + down[x - 1] + down[x + 1] + 2u;
                green = (0u + at[x - 1] + at[x + 1] + up[x] + down[x] + 2u) / 4u;
                (channel == zursim::Channel::Red ? blue : red) = corners / 4u;
            }
            out.insert(out.end(),
                       {static_cast<std::uint8_t>(blue), static_cast<std::uint8_t>(green),
                        static_cast<std::uint8_t>(red), 255});
        }
    }
    return out;
}

struct Size {
    std::uint32_t width, height;
};

// Degenerate sizes, odd widths, and widths on both sides of whole vector blocks.
const Size kSizes[] = {{1, 1},  {2, 2},  {3, 5},  {5, 3},   {1, 7},  {7, 1},  {17, 3},
                       {18, 4}, {19, 5}, {33, 2}, {34, 33}, {35, 6}, {97, 9}, {258, 5}};

constexpr zursim::Vectors kEveryVectors[] = {zursim::Vectors::None, zursim::Vectors::Sse2,
                                             zursim::Vectors::Avx2};

// Every order and size, both sample patterns, every instruction set: the
// first difference from the reference, or nothing.
std::string FirstMismatch() {
    std::mt19937 random(26);
    for (const Size size : kSizes) {
        const std::size_t pixels = std::size_t{size.width} * size.height;
        Bytes mosaic(pixels);
        for (const bool extremes : {false, true}) {
            // Extremes push every sum to the limits of its rounding.
            for (auto& sample : mosaic) {
                const auto value = random();
                sample = static_cast<std::uint8_t>(extremes ? (value & 1u) * 255u : value);
            }
            for (std::uint32_t filter = 0; filter < 4; ++filter) {
                const Bytes expected = Reference(filter, size.width, size.height, mosaic);
                Bytes best(pixels * 4);
                zursim::Demosaic(filter, size.width, size.height, mosaic, best);
                for (const auto vectors : kEveryVectors) {
                    Bytes out(pixels * 4);
                    zursim::DemosaicUsing(vectors, filter, size.width, size.height, mosaic, out);
                    if (out != expected || best != expected) {
                        return std::to_string(size.width) + " x " + std::to_string(size.height) +
                               " filter " + std::to_string(filter) + " extremes " +
                               std::to_string(extremes) + " vectors " +
                               std::to_string(static_cast<int>(vectors));
                    }
                }
            }
        }
    }
    return {};
}

TEST(Demosaic, EqualsTheReferenceForEveryOrderAndSize) {
    for (const auto vectors : kEveryVectors) {
        // The others fall back to the best: said, so that a run shows what it covered.
        if (!zursim::DemosaicRuns(vectors)) {
            std::printf("this processor lacks vectors %d\n", static_cast<int>(vectors));
        }
    }
    EXPECT_EQ(FirstMismatch(), "");
}

// As a grab thread converts: on a thread of the platform's, which on 32-bit
// Windows starts with a stack aligned to 4 bytes only.
TEST(Demosaic, EqualsTheReferenceOnAPlatformThread) {
    std::string mismatch = "not run";
    platform::Thread thread;
    ASSERT_TRUE(thread.Start(
        [](void* result) -> std::uint32_t {
            *static_cast<std::string*>(result) = FirstMismatch();
            return 0;
        },
        &mismatch));
    ASSERT_TRUE(thread.Join(std::chrono::seconds(60)));
    EXPECT_EQ(mismatch, "");
}

TEST(Demosaic, WideSamplesAreShiftedAndClampedLineByLine) {
    std::mt19937 random(6);
    for (const Size size : {Size{1, 1}, Size{3, 5}, Size{37, 7}}) {
        const std::size_t pixels = std::size_t{size.width} * size.height;
        Bytes raw(pixels * 2);
        for (std::size_t i = 0; i < raw.size(); ++i) {
            // Up to 13 bits: some samples clamp at every shift but 8.
            raw[i] = static_cast<std::uint8_t>(random() & (i % 2 == 0 ? 0xFFu : 0x1Fu));
        }
        for (const std::uint32_t shift : {0u, 4u, 8u}) {
            Bytes narrow(pixels);
            for (std::size_t i = 0; i < pixels; ++i) {
                narrow[i] = static_cast<std::uint8_t>(
                    std::min((raw[2 * i] | (raw[2 * i + 1] * 256u)) >> shift, 255u));
            }
            Bytes out(pixels * 4);
            zursim::DemosaicRaw(2, size.width, size.height, true, shift, raw, out);
            EXPECT_EQ(out, Reference(2, size.width, size.height, narrow))
                << size.width << " x " << size.height << " shift " << shift;
        }
    }
}

}  // namespace
