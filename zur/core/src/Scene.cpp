#include "zursim/Scene.h"

#include <algorithm>
#include <string>
#include <vector>

#include "zursim/Bayer.h"

namespace zursim {
namespace {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
};

constexpr Rgb kRed{220, 20, 20};
constexpr Rgb kGreen{20, 220, 20};
constexpr Rgb kBlue{20, 20, 220};
constexpr Rgb kWhiteBlock{230, 230, 230};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

// 5 x 7 digits, one byte per line, bit 4 the leftmost pixel.
constexpr std::uint8_t kDigits[10][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},  // 0
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},  // 1
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},  // 2
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},  // 3
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},  // 4
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},  // 5
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},  // 6
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},  // 7
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},  // 8
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},  // 9
};
constexpr std::uint32_t kCellWidth = 6;  // glyph and one column of space
constexpr std::uint32_t kGlyphWidth = 5;
constexpr std::uint32_t kGlyphHeight = 7;
constexpr std::uint32_t kFramesPerSweep = 64;

// The frame counter, drawn at the top-left corner of the image.
class CounterOverlay {
  public:
    explicit CounterOverlay(const SceneView& view) : text(std::to_string(view.frameCounter)) {
        const auto length = static_cast<std::uint32_t>(text.size());
        // About a twelfth of the image height, and never wider than the image.
        const std::uint32_t byHeight = view.height / ((kGlyphHeight + 2) * 12);
        const std::uint32_t byWidth = view.width / (length * kCellWidth + 1);
        scale = std::max<std::uint32_t>(1, std::min(byHeight, byWidth));
        boxWidth = (length * kCellWidth + 1) * scale;
        boxHeight = (kGlyphHeight + 2) * scale;
    }

    bool Covers(std::uint32_t x, std::uint32_t y) const { return x < boxWidth && y < boxHeight; }

    // Row y of the box, from its left edge: ink and background. Row by row,
    // as a frame is drawn, without a division per pixel.
    void DrawRow(std::uint32_t y, std::span<Rgb> line, Rgb ink, Rgb background) const {
        std::fill(line.begin(), line.end(), background);
        const std::uint32_t unitY = y / scale;
        if (unitY < 1 || unitY > kGlyphHeight) {
            return;
        }
        for (std::size_t cell = 0; cell < text.size(); ++cell) {
            const std::uint8_t bits =
                kDigits[static_cast<std::size_t>(text[cell] - '0')][unitY - 1];
            for (std::uint32_t column = 0; column < kGlyphWidth; ++column) {
                if (((bits >> (kGlyphWidth - 1 - column)) & 1u) == 0) {
                    continue;
                }
                const std::size_t left = (1 + cell * kCellWidth + column) * scale;
                for (std::size_t x = left; x < left + scale && x < line.size(); ++x) {
                    line[x] = ink;
                }
            }
        }
    }

    std::uint32_t BoxWidth() const { return boxWidth; }

  private:
    std::string text;
    std::uint32_t scale = 1;
    std::uint32_t boxWidth = 0;
    std::uint32_t boxHeight = 0;
};

std::uint8_t ApplyGain(std::uint8_t value, std::uint32_t gain) {
    const std::uint64_t scaled = (static_cast<std::uint64_t>(value) * gain + 512) / 1024;
    return static_cast<std::uint8_t>(std::min<std::uint64_t>(scaled, 255));
}

// One frame of the scene. Everything but the counter is the same down a
// column within each half of the sensor, so two prepared lines serve them all.
class Frame {
  public:
    explicit Frame(const SceneView& scene) : view(scene), counter(scene) {
        rampLine.resize(view.width);
        blockLine.resize(view.width);
        const std::uint32_t sensorWidth = std::max<std::uint32_t>(view.sensorWidth, 1);
        const std::uint64_t span = sensorWidth > 1 ? sensorWidth - 1 : 1;
        const std::uint64_t barLeft =
            std::uint64_t{view.frameCounter % kFramesPerSweep} * sensorWidth / kFramesPerSweep;
        const std::uint64_t barWidth = std::max<std::uint32_t>(sensorWidth / 40, 6);
        const std::uint64_t barEdge = std::max<std::uint64_t>(barWidth / 6, 1);
        static constexpr Rgb kBlocks[4] = {kRed, kGreen, kBlue, kWhiteBlock};
        for (std::uint32_t x = 0; x < view.width; ++x) {
            const std::uint64_t sensorX = view.offsetX + std::uint64_t{x} * view.horizontalBinning;
            if (sensorX >= barLeft && sensorX < barLeft + barWidth) {
                const std::uint64_t inBar = sensorX - barLeft;
                const Rgb bar = (inBar < barEdge || inBar >= barWidth - barEdge) ? kBlack : kWhite;
                rampLine[x] = Gained(bar);
                blockLine[x] = Gained(bar);
                continue;
            }
            const auto level =
                static_cast<std::uint8_t>(16 + std::min<std::uint64_t>(sensorX, span) * 223 / span);
            rampLine[x] = Gained(Rgb{level, level, level});
            blockLine[x] = Gained(kBlocks[std::min<std::uint64_t>(sensorX * 4 / sensorWidth, 3)]);
        }
    }

    // Whether image row y shows the blocks rather than the ramp.
    bool IsBlockBand(std::uint32_t y) const {
        const std::uint64_t sensorY = view.offsetY + std::uint64_t{y} * view.verticalBinning;
        return view.color && sensorY >= view.sensorHeight / 2;
    }

    // Row y without the counter.
    void Background(std::uint32_t y, std::span<Rgb> line) const {
        const std::vector<Rgb>& source = IsBlockBand(y) ? blockLine : rampLine;
        std::copy(source.begin(), source.end(), line.begin());
    }

    // The pixels of row y that the counter's box covers, from the left edge.
    std::uint32_t CounterWidth(std::uint32_t y) const {
        return counter.Covers(0, y) ? std::min(counter.BoxWidth(), view.width) : 0;
    }
    // Row y of the counter's box: white ink on black.
    void CounterRow(std::uint32_t y, std::span<Rgb> line) const {
        counter.DrawRow(y, line, Gained(kWhite), Gained(kBlack));
    }

    void Line(std::uint32_t y, std::span<Rgb> line) const {
        Background(y, line);
        CounterRow(y, line.first(CounterWidth(y)));
    }

  private:
    Rgb Gained(Rgb pixel) const {
        if (view.color) {
            pixel.r = ApplyGain(pixel.r, view.gainRed);
            pixel.g = ApplyGain(pixel.g, view.gainGreen);
            pixel.b = ApplyGain(pixel.b, view.gainBlue);
        }
        return pixel;
    }

    SceneView view;
    CounterOverlay counter;
    std::vector<Rgb> rampLine;
    std::vector<Rgb> blockLine;
};

}  // namespace

void RenderRgb(const SceneView& view, std::span<std::uint8_t> out) {
    const Frame frame(view);
    std::vector<Rgb> row(view.width);
    std::size_t index = 0;
    for (std::uint32_t y = 0; y < view.height; ++y) {
        frame.Line(y, row);
        for (const Rgb& pixel : row) {
            out[index++] = pixel.r;
            out[index++] = pixel.g;
            out[index++] = pixel.b;
        }
    }
}

std::uint16_t WidenSample(std::uint8_t value, std::uint32_t dataDepth) {
    const std::uint32_t extra = dataDepth - 8;
    const std::uint32_t sample = value;
    const std::uint32_t wide = (sample << extra) | (sample >> (8 - extra));
    return static_cast<std::uint16_t>(wide);
}

void RenderRaw(const SceneView& view, std::uint32_t colorFilter, std::uint32_t dataDepth,
               std::span<std::uint8_t> out) {
    const Frame frame(view);
    const bool wide = dataDepth > 8;
    const std::size_t sampleBytes = wide ? 2 : 1;
    const std::size_t lineBytes = std::size_t{view.width} * sampleBytes;
    // Pixel (x, y) as the sensor reads it.
    const auto store = [&](Rgb pixel, std::uint32_t x, std::uint32_t y, std::uint8_t* line) {
        std::uint8_t value = pixel.r;  // monochrome scenes are grey
        if (view.color) {
            const Channel channel = ChannelAt(colorFilter, x, y);
            value = channel == Channel::Red     ? pixel.r
                    : channel == Channel::Green ? pixel.g
                                                : pixel.b;
        }
        if (wide) {
            const std::uint16_t widened = WidenSample(value, dataDepth);
            line[2 * x] = static_cast<std::uint8_t>(widened & 0xFFu);
            line[2 * x + 1] = static_cast<std::uint8_t>(widened >> 8);
        } else {
            line[x] = value;
        }
    };
    // Every line is one of a few: the ramp or the blocks, read on an even or
    // an odd row of the filter. Each is sampled once and copied, and the
    // counter's box is drawn over the rows it covers, so that a frame costs
    // about a copy.
    std::vector<Rgb> row(view.width);
    std::vector<std::uint8_t> prepared(4 * lineBytes);  // [block band][row parity]
    bool ready[4] = {false, false, false, false};
    for (std::uint32_t y = 0; y < view.height; ++y) {
        const std::size_t kind = (frame.IsBlockBand(y) ? 2u : 0u) + y % 2;
        std::uint8_t* line = prepared.data() + kind * lineBytes;
        if (!ready[kind]) {
            ready[kind] = true;
            frame.Background(y, row);
            for (std::uint32_t x = 0; x < view.width; ++x) {
                store(row[x], x, y, line);
            }
        }
        std::uint8_t* target = out.data() + std::size_t{y} * lineBytes;
        std::copy(line, line + lineBytes, target);
        const std::uint32_t boxWidth = frame.CounterWidth(y);
        if (boxWidth > 0) {
            frame.CounterRow(y, std::span<Rgb>(row).first(boxWidth));
            for (std::uint32_t x = 0; x < boxWidth; ++x) {
                store(row[x], x, y, target);
            }
        }
    }
}

}  // namespace zursim
