#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "DriverLibrary.h"

namespace {

std::mutex received;
std::vector<std::string> texts;

extern "C" void ZAVADED_CALL Collect(const char* text) {
    std::lock_guard<std::mutex> lock(received);
    texts.emplace_back(text);
}

bool Received(const std::string& text) {
    std::lock_guard<std::mutex> lock(received);
    for (const auto& each : texts) {
        if (each == text) {
            return true;
        }
    }
    return false;
}

bool ReceivedStartingWith(const std::string& start) {
    std::lock_guard<std::mutex> lock(received);
    for (const auto& each : texts) {
        if (each.rfind(start, 0) == 0) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> Names(char** names) {
    std::vector<std::string> result;
    for (int i = 0; names != nullptr && names[i] != nullptr; ++i) {
        result.emplace_back(names[i]);
    }
    return result;
}

// The driver stays loaded for the whole program, as in a host; every test
// leaves it finalised.
class Host : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
#ifdef _WIN32
        _putenv("ZUR_SIM_CONFIG=");
#else
        unsetenv("ZUR_SIM_CONFIG");
#endif
        driver = std::make_unique<DriverLibrary>(DriverLibrary::DefaultPath());
    }
    static void TearDownTestSuite() {
        driver.reset();
    }
    void SetUp() override {
        std::lock_guard<std::mutex> lock(received);
        texts.clear();
    }

    static std::unique_ptr<DriverLibrary> driver;
};

std::unique_ptr<DriverLibrary> Host::driver;

TEST_F(Host, FindsTheDefaultSimulatedCameras) {
    ASSERT_NE(driver->initialize, nullptr);
    EXPECT_EQ(driver->initialize(nullptr, &Collect), 1);
    EXPECT_EQ(driver->getCVLMaxNoOfGrabbers(), 1);
    EXPECT_EQ(driver->getCVLMaxNoOfPorts(), 20);
    EXPECT_EQ(driver->getCVLNoOfSupportedCameras(), 3);
    EXPECT_EQ(Names(driver->getCVLCameraConfigNames()),
              (std::vector<std::string>{"XCG-U100E-4660", "XCG-5005CR-4661", "XCG-H280E-4662"}));
    EXPECT_TRUE(Received("* b/w camera found: XCG-U100E-4660 \n"));
    EXPECT_TRUE(Received("* color camera found: XCG-5005CR-4661 \n"));
    EXPECT_TRUE(Received("* b/w camera found: XCG-H280E-4662 \n"));

    EXPECT_EQ(driver->finalize(), 1);
    EXPECT_EQ(driver->getCVLNoOfSupportedCameras(), 0);
    EXPECT_EQ(Names(driver->getCVLCameraConfigNames()), std::vector<std::string>{});
}

TEST_F(Host, CountsInitializeCallsAndReleasesOnTheLastFinalize) {
    EXPECT_EQ(driver->initialize("", &Collect), 1);
    EXPECT_EQ(driver->initialize("", &Collect), 1);
    EXPECT_TRUE(ReceivedStartingWith("initialize: ZavaDED camera driver V1,0,0,15, refcount=2, "));
    EXPECT_EQ(driver->finalize(), 1);
    EXPECT_EQ(driver->getCVLNoOfSupportedCameras(), 3);
    EXPECT_EQ(driver->finalize(), 1);
    EXPECT_EQ(driver->getCVLNoOfSupportedCameras(), 0);
}

TEST_F(Host, UnmatchedFinalizeDoesNotStopTheNextEnumeration) {
    EXPECT_EQ(driver->finalize(), 1);
    EXPECT_EQ(driver->initialize(nullptr, &Collect), 1);
    EXPECT_TRUE(ReceivedStartingWith("initialize: ZavaDED camera driver V1,0,0,15, refcount=1, "));
    EXPECT_EQ(driver->getCVLNoOfSupportedCameras(), 3);
    EXPECT_EQ(driver->finalize(), 1);
}

TEST_F(Host, EachNameArrayReplacesThePreviousOne) {
    EXPECT_EQ(driver->initialize(nullptr, nullptr), 1);
    char** first = driver->getCVLCameraConfigNames();
    const std::vector<std::string> firstNames = Names(first);
    char** second = driver->getCVLCameraConfigNames();
    EXPECT_EQ(Names(second), firstNames);
    EXPECT_EQ(driver->finalize(), 1);
}

TEST_F(Host, NullCallbackSwitchesTheHostDestinationOff) {
    EXPECT_EQ(driver->initialize(nullptr, &Collect), 1);
    driver->setDebugMsgProc(nullptr);
    EXPECT_EQ(driver->finalize(), 1);
    EXPECT_FALSE(Received("finalize: entering, refcount=1\n"));
}

TEST_F(Host, SystemPathMustNotBeEmpty) {
    EXPECT_EQ(driver->setSystemPath(nullptr), 0);
    EXPECT_EQ(driver->setSystemPath(""), 0);
    EXPECT_EQ(driver->setSystemPath("somewhere"), 1);
}

}  // namespace
