#pragma once

// The GenICam description of a served camera: the standard features of a
// GigE Vision camera and the camera family's XCG feature registers with their
// limit registers, as one XML document.

#include <cstdint>
#include <string>
#include <vector>

namespace gevcam {

struct PixelFormatEntry {
    std::string name;  // PFNC name, for example "BayerGR8"
    std::uint32_t code = 0;
};

struct XmlCamera {
    std::string model;
    std::string serial;
    bool color = false;
    bool h280 = false;
    std::vector<PixelFormatEntry> pixelFormats;  // those PixelFormat accepts
};

std::string BuildGenicamXml(const XmlCamera& camera);

}  // namespace gevcam
