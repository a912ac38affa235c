#include "zursim/Config.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>

#ifdef _WIN32
// windows.h turns GetProfileString into GetProfileStringA by a macro, and the
// platform layer defines the function with windows.h in sight; include it
// here as well so that this call names the same function.
#include <windows.h>
#endif

#include "platform/Profile.h"

// Configuration keys, the same in an INI camera section and for
// ZURSimSetCameraOption. Numbers are decimal or 0x-prefixed hexadecimal.
//
//   model         model name, reported as given. Setting it resets every
//                 other key but id to the model's defaults. Known models get
//                 their sensor size; any other text is a 640 x 480 camera.
//                 Colour: the name contains "CR"; H280 family: "H280".
//   id            64-bit device ID; must be unique.
//   width, height sensor size, 1 to 16384 (the geometry registers restart at
//                 the full sensor).
//   colorId       ColorID that ZURGetImageInfo reports. Default 0 (mono),
//                 9 (colour, 8-bit samples) or 5 (colour, dataDepth > 8).
//   dataDepth     0 to 16; ZURGetDataDepth reports it. Above 8 the images
//                 carry 16-bit little-endian samples scaled to that depth.
//                 Default 8.
//   standardMode  0 or 1: word 0 of the camera-mode record; in a standard
//                 mode the colour filter cannot be changed. Default 0.
//   colorFilter   0 RGGB, 1 GBRG, 2 GRBG, 3 BGGR: the Bayer order of the
//                 images and word 3 of the camera-mode record. Default 2 on
//                 colour cameras (so that ignoring it shows), 0 otherwise.
//   bufferSize    image buffer size that ZURGetImageInfo reports instead of
//                 the real one; 0 (default) reports the real size.
//   fast          1: frames as fast as requested, for tests; 0 (default):
//                 paced by the frame-rate register.
//   frameCounter  the counter that the next frame shows; default 0xFFFFFFF0,
//                 16 frames short of the wrap-around.
//   frameRateMax  frame-rate maximum in whole frames per second, 1 to 1000
//                 (the limit registers restart); per model by default.
//
// An INI file holds one section per camera, [camera 1], [camera 2], ...,
// read until the first section without a model key. A camera without a
// readable id, or with one an earlier section took, gets 4660 + its section
// number - 1, or the next ID above that not yet taken. A value that does not
// read is left out, and the key keeps its default.

namespace zursim {
namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<std::uint64_t> ParseNumber(std::string_view text, std::uint64_t max) {
    text = Trim(text);
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        if (digit > max || value > (max - digit) / base) {
            return std::nullopt;
        }
        value = value * base + digit;
    }
    return value;
}

std::optional<std::uint32_t> ParseInRange(std::string_view text, std::uint32_t low,
                                          std::uint32_t high) {
    const std::optional<std::uint64_t> value = ParseNumber(text, high);
    if (!value || *value < low) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*value);
}

constexpr std::uint32_t kAnyU32 = std::numeric_limits<std::uint32_t>::max();

// Keys read from an INI section after model and id, in this order.
constexpr const char* kSectionKeys[] = {"width",        "height",      "colorId",    "dataDepth",
                                        "standardMode", "colorFilter", "bufferSize", "fast",
                                        "frameCounter", "frameRateMax"};

}  // namespace

bool ApplyOption(CameraOptions& options, std::string_view key, std::string_view value) {
    if (key == "model") {
        const std::string_view model = Trim(value);
        if (model.empty()) {
            return false;
        }
        options = ModelDefaults(std::string(model), options.id);
        return true;
    }
    if (key == "id") {
        const auto id = ParseNumber(value, std::numeric_limits<std::uint64_t>::max());
        if (!id) {
            return false;
        }
        options.id = *id;
        return true;
    }
    struct NumberKey {
        const char* name;
        std::uint32_t low;
        std::uint32_t high;
        std::uint32_t CameraOptions::*field;
    };
    static constexpr NumberKey kNumbers[] = {
        {"width", 1, kMaxSensorSide, &CameraOptions::sensorWidth},
        {"height", 1, kMaxSensorSide, &CameraOptions::sensorHeight},
        {"dataDepth", 0, 16, &CameraOptions::dataDepth},
        {"standardMode", 0, 1, &CameraOptions::standardMode},
        {"colorFilter", 0, 3, &CameraOptions::colorFilter},
        {"bufferSize", 0, kAnyU32, &CameraOptions::bufferSize},
        {"frameCounter", 0, kAnyU32, &CameraOptions::frameCounter},
        {"frameRateMax", 1, 1000, &CameraOptions::frameRateMax},
    };
    for (const NumberKey& number : kNumbers) {
        if (key == number.name) {
            const auto parsed = ParseInRange(value, number.low, number.high);
            if (!parsed) {
                return false;
            }
            options.*number.field = *parsed;
            return true;
        }
    }
    if (key == "colorId") {
        const auto parsed = ParseInRange(value, 0, kAnyU32);
        if (!parsed) {
            return false;
        }
        options.colorId = *parsed;
        return true;
    }
    if (key == "fast") {
        const auto parsed = ParseInRange(value, 0, 1);
        if (!parsed) {
            return false;
        }
        options.fast = *parsed == 1;
        return true;
    }
    return false;
}

std::optional<std::vector<CameraOptions>> LoadConfigFile(const std::string& path) {
    if (!std::ifstream(path)) {
        return std::nullopt;
    }
    // The Windows profile functions take a relative name as one in the
    // Windows folder, so hand them the full path.
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    const std::string file = error ? path : absolute.string();

    std::vector<CameraOptions> cameras;
    const auto taken = [&](std::uint64_t id) {
        return std::any_of(cameras.begin(), cameras.end(),
                           [id](const CameraOptions& camera) { return camera.id == id; });
    };
    for (unsigned number = 1;; ++number) {
        const std::string section = "camera " + std::to_string(number);
        char text[1024];
        platform::GetProfileString(section.c_str(), "model", "", text, sizeof text, file.c_str());
        if (Trim(text).empty()) {
            break;
        }
        CameraOptions camera;
        ApplyOption(camera, "model", text);
        platform::GetProfileString(section.c_str(), "id", "", text, sizeof text, file.c_str());
        if (!ApplyOption(camera, "id", text) || taken(camera.id)) {
            camera.id = 4660 + number - 1;
            while (taken(camera.id)) {
                ++camera.id;
            }
        }
        for (const char* key : kSectionKeys) {
            platform::GetProfileString(section.c_str(), key, "", text, sizeof text, file.c_str());
            if (!Trim(text).empty()) {
                ApplyOption(camera, key, text);  // a value that does not read is left out
            }
        }
        cameras.push_back(std::move(camera));
    }
    return cameras;
}

std::vector<CameraOptions> BuiltInCameras() {
    return {ModelDefaults("XCG-U100E", 4660), ModelDefaults("XCG-5005CR", 4661),
            ModelDefaults("XCG-H280E", 4662)};
}

std::vector<CameraOptions> ConfiguredCameras() {
    const char* path = std::getenv("ZUR_SIM_CONFIG");
    if (path == nullptr || *path == '\0') {
        return BuiltInCameras();
    }
    // A file that cannot be read attaches no camera, as one without sections.
    return LoadConfigFile(path).value_or(std::vector<CameraOptions>{});
}

}  // namespace zursim
