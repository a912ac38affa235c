#pragma once

#include <cstdint>
#include <string>

// Identity flags of a camera, from its model name.
enum ModelFlag : std::uint32_t {
    ModelMono = 1,   // the model name does not contain "CR"
    ModelColor = 2,  // the model name contains "CR"
    ModelH280 = 16,  // a monochrome model whose name contains "H280"
};

// The identity the registry hands to a new Camera.
struct CameraModelInfo {
    std::uint32_t flags = 0;
    std::string identity;
};
