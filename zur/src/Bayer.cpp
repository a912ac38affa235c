#include "Bayer.h"

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
std::uint32_t Mirror(std::int64_t index, std::uint32_t size) {
    if (index < 0) {
        index = -index;
    }
    if (index >= static_cast<std::int64_t>(size)) {
        index = 2 * (static_cast<std::int64_t>(size) - 1) - index;
    }
    if (index < 0) {
        index = 0;
    }
    return static_cast<std::uint32_t>(index);
}

class MosaicReader {
  public:
    MosaicReader(std::span<const std::uint8_t> mosaic, std::uint32_t columns, std::uint32_t lines)
        : samples(mosaic), width(columns), height(lines) {}

    unsigned At(std::int64_t x, std::int64_t y) const {
        const std::size_t column = Mirror(x, width);
        const std::size_t line = Mirror(y, height);
        return samples[line * width + column];
    }

    // Mean of the horizontal, vertical, cross (both) or diagonal neighbours.
    unsigned Horizontal(std::int64_t x, std::int64_t y) const {
        return (At(x - 1, y) + At(x + 1, y) + 1) / 2;
    }
    unsigned Vertical(std::int64_t x, std::int64_t y) const {
        return (At(x, y - 1) + At(x, y + 1) + 1) / 2;
    }
    unsigned Cross(std::int64_t x, std::int64_t y) const {
        return (At(x - 1, y) + At(x + 1, y) + At(x, y - 1) + At(x, y + 1) + 2) / 4;
    }
    unsigned Diagonal(std::int64_t x, std::int64_t y) const {
        return (At(x - 1, y - 1) + At(x + 1, y - 1) + At(x - 1, y + 1) + At(x + 1, y + 1) + 2) / 4;
    }

  private:
    std::span<const std::uint8_t> samples;
    std::uint32_t width;
    std::uint32_t height;
};

}  // namespace

void Demosaic(std::uint32_t filter, std::uint32_t width, std::uint32_t height,
              std::span<const std::uint8_t> mosaic, std::span<std::uint8_t> target) {
    const MosaicReader reader(mosaic, width, height);
    std::size_t out = 0;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::int64_t sx = x;
            const std::int64_t sy = y;
            const unsigned own = reader.At(sx, sy);
            unsigned red = 0;
            unsigned green = 0;
            unsigned blue = 0;
            switch (ChannelAt(filter, x, y)) {
                case Channel::Red:
                    red = own;
                    green = reader.Cross(sx, sy);
                    blue = reader.Diagonal(sx, sy);
                    break;
                case Channel::Blue:
                    blue = own;
                    green = reader.Cross(sx, sy);
                    red = reader.Diagonal(sx, sy);
                    break;
                case Channel::Green:
                    green = own;
                    // The neighbour to the right tells which colour shares the line.
                    if (ChannelAt(filter, x + 1, y) == Channel::Red) {
                        red = reader.Horizontal(sx, sy);
                        blue = reader.Vertical(sx, sy);
                    } else {
                        blue = reader.Horizontal(sx, sy);
                        red = reader.Vertical(sx, sy);
                    }
                    break;
            }
            target[out++] = static_cast<std::uint8_t>(blue);
            target[out++] = static_cast<std::uint8_t>(green);
            target[out++] = static_cast<std::uint8_t>(red);
            target[out++] = 255;
        }
    }
}

}  // namespace zursim
