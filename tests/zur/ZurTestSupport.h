#pragma once

// Shared helpers of the simulated ZUR tests: a fixture that starts every test
// from an empty simulator, and short forms of the calls the tests repeat.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ZUR.h"
#include "ZURSim.h"

namespace zurtest {

// Every test starts and ends with no camera attached and an empty journal.
class ZurTest : public ::testing::Test {
  protected:
    void SetUp() override { ZURSimReset(); }
    void TearDown() override { ZURSimReset(); }

    // Attaches a camera and sets options given as key, value, key, value...
    static void Add(const char* model, std::uint64_t id,
                    std::initializer_list<const char*> options = {});
    // Opens an attached camera; fails the test if it cannot.
    static std::uint32_t Open(std::uint64_t id);
};

struct JournalEntry {
    std::string text;
    std::int32_t result = 0;
};
std::vector<JournalEntry> Journal();
// The journal texts of the entries whose text starts with prefix.
std::vector<std::string> JournalTexts(const std::string& prefix = "");

// One-register access through the ZUR calls; the error code, 0 for success.
std::uint32_t WriteRegister(std::uint32_t handle, std::uint32_t address, std::uint32_t value);
std::optional<std::uint32_t> ReadRegister(std::uint32_t handle, std::uint32_t address);

// Error of a call that must fail.
#define EXPECT_ZUR_ERROR(call, error)          \
    do {                                       \
        EXPECT_EQ((call), 0) << #call;         \
        EXPECT_EQ(ZURGetLastError(), (error)); \
    } while (false)

ZURImageInfo ImageInfo(std::uint32_t handle);

// Polls (briefly sleeping) until the camera has `count` waiting requests.
void AwaitWaiters(std::uint64_t id, std::int32_t count);

}  // namespace zurtest
