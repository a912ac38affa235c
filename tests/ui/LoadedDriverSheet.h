#pragma once

// What the tests of both real sheets share: the driver loaded as a host loads
// it, one simulated camera of each family, the messages it logs and the INI
// file it writes.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "DriverLibrary.h"
#include "TempDir.h"
#include "ZURSim.h"
#include "ZavaDED.h"
#include "platform/Profile.h"

namespace sheet_test {

inline std::mutex received;
inline std::vector<std::string> messages;

extern "C" inline void ZAVADED_CALL Collect(const char* text) {
    std::lock_guard<std::mutex> lock(received);
    messages.emplace_back(text);
}

// How many of the messages logged so far contain part.
inline int ReceivedContaining(const std::string& part) {
    std::lock_guard<std::mutex> lock(received);
    int count = 0;
    for (const auto& message : messages) {
        count += message.find(part) != std::string::npos ? 1 : 0;
    }
    return count;
}

class LoadedDriverSheet : public ::testing::Test {
  public:
    static void SetUpTestSuite() {
        driver = std::make_unique<DriverLibrary>(DriverLibrary::DefaultPath());
    }
    static void TearDownTestSuite() { driver.reset(); }

    void SetUp() override {
        {
            std::lock_guard<std::mutex> lock(received);
            messages.clear();
        }
        ZURSimReset();
        ASSERT_EQ(ZURSimAddCamera("XCG-V60E", 100), 1);    // standard, 640 x 480
        ASSERT_EQ(ZURSimAddCamera("XCG-5005CR", 200), 1);  // colour
        ASSERT_EQ(ZURSimAddCamera("XCG-H280E", 300), 1);
        ASSERT_EQ(driver->initialize(systemDir.Path().c_str(), &Collect), 1);
        driver->setDebugMsgProc(&Collect);
    }
    void TearDown() override {
        for (int port = 0; port < 3; ++port) {
            driver->closeCVLPort(0, port);
        }
        driver->finalize();
    }

    void Open(int port, const char* camera) {
        int size[2] = {0, 0};
        ASSERT_EQ(driver->openCVLPort(0, port, camera, size), 1) << camera;
    }

    std::string IniValue(const std::string& section, const std::string& key) const {
        char value[256] = {};
        platform::GetProfileString(section.c_str(), key.c_str(), "(absent)", value, sizeof value,
                                   IniPath().c_str());
        return value;
    }
    bool IniExists() const { return testing_support::FileExists(IniPath()); }
    std::string IniPath() const { return systemDir.File("ZavaDED.ini"); }

    static inline std::unique_ptr<DriverLibrary> driver;
    testing_support::TempDir systemDir;
};

}  // namespace sheet_test
