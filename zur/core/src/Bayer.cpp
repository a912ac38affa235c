#include "zursim/Bayer.h"

#include <algorithm>
#include <cstring>
#include <vector>

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

// The mosaic with a mirrored border of one sample all round, so that the
// interpolation reads its neighbours without checking the edges.
std::vector<std::uint8_t> Padded(std::span<const std::uint8_t> mosaic, std::uint32_t width,
                                 std::uint32_t height) {
    const std::size_t stride = std::size_t{width} + 2;
    std::vector<std::uint8_t> padded(stride * (std::size_t{height} + 2));
    for (std::int64_t y = -1; y <= static_cast<std::int64_t>(height); ++y) {
        const std::size_t line = Mirror(y, height) * width;
        std::uint8_t* out = &padded[static_cast<std::size_t>(y + 1) * stride];
        out[0] = mosaic[line + Mirror(-1, width)];
        std::memcpy(out + 1, &mosaic[line], width);
        out[stride - 1] = mosaic[line + Mirror(width, width)];
    }
    return padded;
}

}  // namespace

void Demosaic(std::uint32_t filter, std::uint32_t width, std::uint32_t height,
              std::span<const std::uint8_t> mosaic, std::span<std::uint8_t> target) {
    const std::vector<std::uint8_t> padded = Padded(mosaic, width, height);
    const std::size_t stride = std::size_t{width} + 2;
    std::size_t out = 0;
    for (std::uint32_t y = 0; y < height; ++y) {
        // Lines above, at and below y; index x + 1 is column x.
        const std::uint8_t* up = &padded[std::size_t{y} * stride];
        const std::uint8_t* at = up + stride;
        const std::uint8_t* down = at + stride;
        const Channel even = ChannelAt(filter, 0, y);
        const Channel odd = ChannelAt(filter, 1, y);
        // On a green sample, the colour that shares its line sits left and right.
        const Channel lineColor = even == Channel::Green ? odd : even;
        for (std::size_t x = 1; x <= width; ++x) {
            const unsigned left = at[x - 1];
            const unsigned right = at[x + 1];
            const unsigned above = up[x];
            const unsigned below = down[x];
            const unsigned own = at[x];
            unsigned red = own;
            unsigned green = own;
            unsigned blue = own;
            const Channel channel = (x & 1u) != 0 ? even : odd;  // x - 1 is the column
            if (channel == Channel::Green) {
                const unsigned horizontal = (left + right + 1u) / 2u;
                const unsigned vertical = (above + below + 1u) / 2u;
                red = lineColor == Channel::Red ? horizontal : vertical;
                blue = lineColor == Channel::Red ? vertical : horizontal;
            } else {
                const unsigned corners = unsigned{up[x - 1]} + unsigned{up[x + 1]} +
                                         unsigned{down[x - 1]} + unsigned{down[x + 1]};
                green = (left + right + above + below + 2u) / 4u;
                (channel == Channel::Red ? blue : red) = (corners + 2u) / 4u;
            }
            target[out++] = static_cast<std::uint8_t>(blue);
            target[out++] = static_cast<std::uint8_t>(green);
            target[out++] = static_cast<std::uint8_t>(red);
            target[out++] = 255;
        }
    }
}

void DemosaicRaw(std::uint32_t filter, std::uint32_t width, std::uint32_t height, bool wide,
                 std::uint32_t shift, std::span<const std::uint8_t> raw,
                 std::span<std::uint8_t> target) {
    const std::size_t pixels = std::size_t{width} * height;
    if (!wide) {
        Demosaic(filter, width, height, raw, target);
        return;
    }
    std::vector<std::uint8_t> mosaic(pixels);
    for (std::size_t i = 0; i < pixels; ++i) {
        const unsigned sample = (raw[2 * i] | (unsigned{raw[2 * i + 1]} << 8)) >> shift;
        mosaic[i] = static_cast<std::uint8_t>(std::min(sample, 255u));
    }
    Demosaic(filter, width, height, mosaic, target);
}

}  // namespace zursim
