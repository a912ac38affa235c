// The driver's main use, through its exports alone, on the default simulated
// cameras: open each on a port, grab, read every row, close.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "DriverLibrary.h"
#include "ZURSim.h"

namespace {

std::mutex lock;
std::condition_variable signal;
std::vector<std::pair<int, int>> callbacks;

extern "C" void ZAVADED_CALL Completed(int grabberNo, int portNo) {
    {
        std::lock_guard<std::mutex> guard(lock);
        callbacks.emplace_back(grabberNo, portNo);
    }
    signal.notify_all();
}

bool WaitForCallbacks(std::size_t count) {
    std::unique_lock<std::mutex> guard(lock);
    return signal.wait_for(guard, std::chrono::seconds(10),
                           [count] { return callbacks.size() >= count; });
}

struct Expected {
    const char* name;
    std::uint64_t id;
    int width;
    int height;
    int bytesPerPixel;
};

TEST(HostGrab, EachDefaultCameraDeliversItsImageRowByRow) {
#ifdef _WIN32
    _putenv("ZUR_SIM_CONFIG=");
#else
    unsetenv("ZUR_SIM_CONFIG");
#endif
    DriverLibrary driver(DriverLibrary::DefaultPath());
    ASSERT_EQ(driver.initialize(nullptr, nullptr), 1);
    const Expected cameras[] = {{"XCG-U100E-4660", 4660, 1600, 1200, 1},
                                {"XCG-5005CR-4661", 4661, 2448, 2048, 3},
                                {"XCG-H280E-4662", 4662, 1920, 1080, 1}};
    for (int port = 0; port < 3; ++port) {
        const Expected& camera = cameras[port];
        int size[2] = {0, 0};
        ASSERT_EQ(driver.openCVLPort(0, port, camera.name, size), 1) << camera.name;
        EXPECT_EQ(size[0], camera.width);
        EXPECT_EQ(size[1], camera.height);
        ASSERT_EQ(driver.setCompleteCallback(0, port, &Completed), 1);
    }
    for (int port = 0; port < 3; ++port) {
        const Expected& camera = cameras[port];
        callbacks.clear();
        ASSERT_EQ(driver.doCVLGrab(0, port), 1);
        ASSERT_TRUE(WaitForCallbacks(1)) << camera.name;
        EXPECT_EQ(callbacks.front(), std::make_pair(0, port));

        const std::size_t lineBytes = static_cast<std::size_t>(camera.width * camera.bytesPerPixel);
        std::vector<std::uint8_t> image(lineBytes * static_cast<std::size_t>(camera.height));
        for (int row = 0; row < camera.height; ++row) {
            ASSERT_EQ(
                driver.getCVLGrabRow(0, port, &image[lineBytes * static_cast<std::size_t>(row)],
                                     row, 0, camera.width - 1),
                1);
        }
        if (camera.bytesPerPixel == 1) {
            std::vector<std::uint8_t> raw(image.size());
            ASSERT_EQ(
                ZURSimLastImage(camera.id, raw.data(), static_cast<std::uint32_t>(raw.size())),
                raw.size());
            EXPECT_TRUE(image == raw) << camera.name;
        } else {
            // The colour blocks of the lower half, read as blue, green, red.
            std::vector<std::uint8_t> scene(image.size());
            ASSERT_GT(ZURSimRenderRgb(camera.id, ZURSimFrameCounter(camera.id), scene.data(),
                                      static_cast<std::uint32_t>(scene.size())),
                      0u);
            const int y = camera.height * 3 / 4;
            for (int block = 0; block < 4; ++block) {
                const int x = camera.width / 8 + block * camera.width / 4;
                const std::size_t at =
                    (static_cast<std::size_t>(y) * static_cast<std::size_t>(camera.width) +
                     static_cast<std::size_t>(x)) *
                    3;
                for (int c = 0; c < 3; ++c) {
                    EXPECT_NEAR(image[at + 2 - static_cast<std::size_t>(c)],
                                scene[at + static_cast<std::size_t>(c)], 3)
                        << "block " << block << " channel " << c;
                }
            }
        }
    }
    for (int port = 0; port < 3; ++port) {
        driver.closeCVLPort(0, port);
        EXPECT_EQ(driver.doCVLGrab(0, port), 0);
    }
    EXPECT_EQ(ZURSimOpenDeviceCount(), 0);
    EXPECT_EQ(driver.finalize(), 1);
}

}  // namespace
