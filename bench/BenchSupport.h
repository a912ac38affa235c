#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "ZURSim.h"
#include "ZavaDED.h"
#include "camera/Camera.h"
#include "camera/CameraList.h"

// One simulated camera, open on port 0, that delivers frames as fast as it
// can; the driver logs nothing.
class BenchCamera {
  public:
    BenchCamera(const char* model, std::uint64_t id,
                const std::vector<std::pair<const char*, const char*>>& options = {})
        : name(std::string(model) + "-" + std::to_string(id)) {
        ZURSimReset();
        ZURSimAddCamera(model, id);
        ZURSimSetCameraOption(id, "fast", "1");
        for (const auto& [key, value] : options) {
            ZURSimSetCameraOption(id, key, value);
        }
        initialize(nullptr, nullptr);
        int size[2];
        opened = openCVLPort(0, 0, name.c_str(), size) == 1;
        DriverLog::Instance().SetLogLevel(0);
        DriverLog::Instance().SetDebugView(0);
        width = size[0];
        height = size[1];
    }
    ~BenchCamera() {
        closeCVLPort(0, 0);
        finalize();
        ZURSimReset();
    }
    BenchCamera(const BenchCamera&) = delete;
    BenchCamera& operator=(const BenchCamera&) = delete;

    Camera& Get() const { return *CameraList::Current()->GetByName(name.c_str()); }

    std::string name;
    bool opened = false;
    int width = 0;
    int height = 0;
};

// A buffer touched once, so that page faults stay out of the timing.
inline std::vector<std::uint8_t> Filled(std::size_t bytes) {
    std::vector<std::uint8_t> buffer(bytes);
    for (std::size_t i = 0; i < bytes; ++i) {
        buffer[i] = static_cast<std::uint8_t>(i * 7);
    }
    return buffer;
}
