#pragma once

// The picture a simulated camera looks at, made so that a person recognises
// it and a wrong geometry, colour order or orientation shows at a glance.
//
// Laid out on the whole sensor (sensor coordinates), of which the image shows
// the window at offsetX/offsetY, every binning-th pixel:
//   - monochrome: a horizontal grey ramp from 16 (left) to 239 (right);
//   - colour: the same ramp in the upper half; the lower half split into four
//     equal blocks, from left to right red (220,20,20), green (20,220,20),
//     blue (20,20,220) and white (230,230,230);
//   - both: a vertical bar, white with black edges, 1/40 of the sensor width
//     wide (at least 6 pixels), that moves one 64th of the sensor width to
//     the right per frame and starts over every 64 frames (counter % 64, so
//     it keeps moving through the counter's wrap).
// Drawn over that in image coordinates: the frame counter in decimal digits,
// white on a black box, at the top-left corner, scaled to the image size.
// Colour cameras scale the red, green and blue channels by their colour
// gains (1024 = 1.0).

#include <cstdint>
#include <span>

namespace zursim {

struct SceneView {
    std::uint32_t sensorWidth = 0;
    std::uint32_t sensorHeight = 0;
    std::uint32_t offsetX = 0;
    std::uint32_t offsetY = 0;
    std::uint32_t width = 0;  // image size, after binning
    std::uint32_t height = 0;
    std::uint32_t horizontalBinning = 1;
    std::uint32_t verticalBinning = 1;
    bool color = false;
    std::uint32_t frameCounter = 0;
    std::uint32_t gainRed = 1024;
    std::uint32_t gainGreen = 1024;
    std::uint32_t gainBlue = 1024;
};

// The whole image as RGB, 3 bytes per pixel; out.size() >= width * height * 3.
void RenderRgb(const SceneView& view, std::span<std::uint8_t> out);

// The whole image as the sensor delivers it: grey (monochrome) or the Bayer
// mosaic of the given filter code (colour); one byte per sample, or two
// little-endian bytes scaled to dataDepth when dataDepth > 8.
// out.size() >= width * height * bytes per sample.
void RenderRaw(const SceneView& view, std::uint32_t colorFilter, std::uint32_t dataDepth,
               std::span<std::uint8_t> out);

// An 8-bit sample widened to dataDepth bits (9 to 16) by repeating its bits,
// so that shifting right by dataDepth - 8 gives the 8-bit sample back.
std::uint16_t WidenSample(std::uint8_t value, std::uint32_t dataDepth);

}  // namespace zursim
