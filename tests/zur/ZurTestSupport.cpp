#include "ZurTestSupport.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace zurtest {

void ZurTest::Add(const char* model, std::uint64_t id, std::initializer_list<const char*> options) {
    ASSERT_EQ(ZURSimAddCamera(model, id), 1) << model;
    for (auto option = options.begin(); option != options.end(); option += 2) {
        ASSERT_NE(option + 1, options.end());
        ASSERT_EQ(ZURSimSetCameraOption(id, option[0], option[1]), 1) << option[0];
    }
}

std::uint32_t ZurTest::Open(std::uint64_t id) {
    std::uint32_t handle = 0;
    EXPECT_EQ(ZUROpen(id, &handle), 1) << "error " << ZURGetLastError();
    return handle;
}

std::vector<JournalEntry> Journal() {
    std::vector<JournalEntry> entries;
    const std::int32_t count = ZURSimJournalCount();
    for (std::int32_t i = 0; i < count; ++i) {
        char text[512];
        JournalEntry entry;
        if (ZURSimJournalEntry(i, text, sizeof text, &entry.result) == 1) {
            entry.text = text;
            entries.push_back(entry);
        }
    }
    return entries;
}

std::vector<std::string> JournalTexts(const std::string& prefix) {
    std::vector<std::string> texts;
    for (const JournalEntry& entry : Journal()) {
        if (entry.text.rfind(prefix, 0) == 0) {
            texts.push_back(entry.text);
        }
    }
    return texts;
}

std::uint32_t WriteRegister(std::uint32_t handle, std::uint32_t address, std::uint32_t value) {
    ZURRegisterRecord record{};
    record.count = 1;
    record.address[0] = address;
    record.data[0] = value;
    return ZURGigESetRegister(handle, &record) != 0 ? 0 : ZURGetLastError();
}

std::optional<std::uint32_t> ReadRegister(std::uint32_t handle, std::uint32_t address) {
    ZURRegisterRecord record{};
    record.count = 1;
    record.address[0] = address;
    if (ZURGigEGetRegister(handle, &record) == 0) {
        return std::nullopt;
    }
    return record.data[0];
}

ZURImageInfo ImageInfo(std::uint32_t handle) {
    ZURImageInfo info{};
    EXPECT_EQ(ZURGetImageInfo(handle, &info), 1);
    return info;
}

void AwaitWaiters(std::uint64_t id, std::int32_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (ZURSimWaiters(id) != count) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "no waiter arrived";
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace zurtest
