#pragma once

#include <cstdint>

// Identity flags of a camera, from its model name; they choose the family of
// its parameter set. A colour camera is one with ModelColor set.
enum ModelFlag : std::uint32_t {
    ModelMono = 1,   // the model name does not contain "CR"
    ModelColor = 2,  // the model name contains "CR"
    ModelH280 = 16,  // a monochrome model whose name contains "H280"
};
