#pragma once

// Camera configuration: the option keys shared by the INI file named in
// ZUR_SIM_CONFIG and ZURSimSetCameraOption, and the built-in camera set.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zursim/CameraModel.h"

namespace zursim {

// Applies one key with its text to the options; false for an unknown key or
// a value that does not read (the options are then unchanged).
bool ApplyOption(CameraOptions& options, std::string_view key, std::string_view value);

// The cameras of an INI file, in the order of their sections; none when the
// file cannot be read.
std::optional<std::vector<CameraOptions>> LoadConfigFile(const std::string& path);

// XCG-U100E 4660, XCG-5005CR 4661, XCG-H280E 4662.
std::vector<CameraOptions> BuiltInCameras();

// The cameras a process starts with: those of the INI file named by the
// environment variable ZUR_SIM_CONFIG (none when it cannot be read), or the
// built-in set when the variable is unset or empty.
std::vector<CameraOptions> ConfiguredCameras();

}  // namespace zursim
