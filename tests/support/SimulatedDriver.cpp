#include "SimulatedDriver.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "ZURSim.h"
#include "ZavaDED.h"
#include "camera/CameraList.h"

namespace testing_support {

DriverSession::DriverSession(std::initializer_list<SimulatedCamera> cameras)
    : capture(std::make_unique<LogCapture>(1, 0)) {
    ZURSimReset();
    for (const SimulatedCamera& camera : cameras) {
        EXPECT_EQ(ZURSimAddCamera(camera.model.c_str(), camera.id), 1) << camera.model;
        for (const auto& [key, value] : camera.options) {
            EXPECT_EQ(ZURSimSetCameraOption(camera.id, key.c_str(), value.c_str()), 1) << key;
        }
    }
    EXPECT_EQ(initialize(folder.Path().c_str(), &LogCapture::MessageProcForTest), 1);
}

DriverSession::~DriverSession() {
    while (DriverLog::Instance().RefCount() > 0) {
        finalize();
    }
    capture.reset();
    ZURSimReset();
}

Camera& DriverSession::CameraNamed(const std::string& name) const {
    return *CameraList::Current()->GetByName(name.c_str());
}

Camera& DriverSession::Open(const std::string& name, int port) {
    int size[2] = {0, 0};
    EXPECT_EQ(openCVLPort(0, port, name.c_str(), size), 1) << name;
    return CameraNamed(name);
}

std::vector<std::string> Journal() {
    std::vector<std::string> entries;
    const int count = ZURSimJournalCount();
    for (int i = 0; i < count; ++i) {
        char text[512];
        int result = 0;
        if (ZURSimJournalEntry(i, text, sizeof text, &result) != 0) {
            entries.emplace_back(text);
        }
    }
    return entries;
}

std::vector<std::string> JournalOf(const std::string& prefix) {
    std::vector<std::string> matching;
    for (const std::string& entry : Journal()) {
        if (entry.rfind(prefix + " ", 0) == 0) {
            matching.push_back(entry.substr(prefix.size() + 1));
        } else if (entry == prefix) {
            matching.emplace_back();
        }
    }
    return matching;
}

void ClearJournal() {
    ZURSimJournalClear();
}

std::string Write(std::uint32_t address, std::uint32_t data) {
    char text[64];
    std::snprintf(text, sizeof text, "address=0x%08x data=0x%08x", address, data);
    return text;
}

std::vector<std::string> RegisterWrites() {
    std::vector<std::string> writes;
    for (const std::string& entry : JournalOf("ZURGigESetRegister")) {
        // Drop "handle=N ".
        const std::size_t blank = entry.find(' ');
        writes.push_back(blank == std::string::npos ? entry : entry.substr(blank + 1));
    }
    return writes;
}

std::uint32_t PeekRegister(std::uint64_t id, std::uint32_t address) {
    std::uint32_t value = 0;
    EXPECT_EQ(ZURSimPeekRegister(id, address, &value), 1);
    return value;
}

}  // namespace testing_support
