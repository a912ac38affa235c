#pragma once

#include <cstdint>
#include <string>

#include "params/ModelFlags.h"

// The identity the registry hands to a new Camera.
struct CameraModelInfo {
    std::uint32_t flags = 0;  // ModelFlag bits
    std::string identity;
};
