#include "Scene.h"

#include <algorithm>
#include <string>
#include <vector>

#include "Bayer.h"

namespace zursim {
namespace {

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

    // Inside the box: whether the pixel belongs to a digit.
    bool IsInk(std::uint32_t x, std::uint32_t y) const {
        const std::uint32_t unitX = x / scale;
        const std::uint32_t unitY = y / scale;
        if (unitX < 1 || unitY < 1 || unitY > kGlyphHeight) {
            return false;
        }
        const std::uint32_t cell = (unitX - 1) / kCellWidth;
        const std::uint32_t column = (unitX - 1) % kCellWidth;
        if (cell >= text.size() || column >= kGlyphWidth) {
            return false;
        }
        const auto digit = static_cast<std::size_t>(text[cell] - '0');
        return ((kDigits[digit][unitY - 1] >> (kGlyphWidth - 1 - column)) & 1u) != 0;
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

}  // namespace

void RenderRow(const SceneView& view, std::uint32_t y, std::span<Rgb> row) {
    const std::uint32_t sensorWidth = std::max<std::uint32_t>(view.sensorWidth, 1);
    const std::uint32_t sensorY = view.offsetY + y * view.verticalBinning;
    const bool blockBand = view.color && sensorY >= view.sensorHeight / 2;

    const std::uint32_t barLeft =
        (view.frameCounter % kFramesPerSweep) * sensorWidth / kFramesPerSweep;
    const std::uint32_t barWidth = std::max<std::uint32_t>(sensorWidth / 40, 6);
    const std::uint32_t barEdge = std::max<std::uint32_t>(barWidth / 6, 1);
    const CounterOverlay counter(view);

    for (std::uint32_t x = 0; x < row.size(); ++x) {
        const std::uint64_t sensorX =
            view.offsetX + static_cast<std::uint64_t>(x) * view.horizontalBinning;
        Rgb pixel;
        if (counter.Covers(x, y)) {
            pixel = counter.IsInk(x, y) ? kWhite : kBlack;
        } else if (sensorX >= barLeft && sensorX < barLeft + barWidth) {
            const std::uint64_t inBar = sensorX - barLeft;
            pixel = (inBar < barEdge || inBar >= barWidth - barEdge) ? kBlack : kWhite;
        } else if (blockBand) {
            static constexpr Rgb kBlocks[4] = {kRed, kGreen, kBlue, kWhiteBlock};
            pixel = kBlocks[std::min<std::uint64_t>(sensorX * 4 / sensorWidth, 3)];
        } else {
            const std::uint64_t span = sensorWidth > 1 ? sensorWidth - 1 : 1;
            const auto level =
                static_cast<std::uint8_t>(16 + std::min<std::uint64_t>(sensorX, span) * 223 / span);
            pixel = Rgb{level, level, level};
        }
        if (view.color) {
            pixel.r = ApplyGain(pixel.r, view.gainRed);
            pixel.g = ApplyGain(pixel.g, view.gainGreen);
            pixel.b = ApplyGain(pixel.b, view.gainBlue);
        }
        row[x] = pixel;
    }
}

void RenderRgb(const SceneView& view, std::span<std::uint8_t> out) {
    std::vector<Rgb> row(view.width);
    std::size_t index = 0;
    for (std::uint32_t y = 0; y < view.height; ++y) {
        RenderRow(view, y, row);
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
    std::vector<Rgb> row(view.width);
    const bool wide = dataDepth > 8;
    std::size_t index = 0;
    for (std::uint32_t y = 0; y < view.height; ++y) {
        RenderRow(view, y, row);
        for (std::uint32_t x = 0; x < view.width; ++x) {
            std::uint8_t sample = row[x].r;  // monochrome scenes are grey
            if (view.color) {
                switch (ChannelAt(colorFilter, x, y)) {
                    case Channel::Red:
                        sample = row[x].r;
                        break;
                    case Channel::Green:
                        sample = row[x].g;
                        break;
                    case Channel::Blue:
                        sample = row[x].b;
                        break;
                }
            }
            if (wide) {
                const std::uint16_t value = WidenSample(sample, dataDepth);
                out[index++] = static_cast<std::uint8_t>(value & 0xFFu);
                out[index++] = static_cast<std::uint8_t>(value >> 8);
            } else {
                out[index++] = sample;
            }
        }
    }
}

}  // namespace zursim
