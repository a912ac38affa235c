// The journal of ZUR calls and injected faults.

#include <future>
#include <string>
#include <vector>

#include "ZurTestSupport.h"

namespace zurtest {
namespace {

using Texts = std::vector<std::string>;

class JournalAndFaults : public ZurTest {};

TEST_F(JournalAndFaults, EntriesFollowTheDocumentedFormat) {
    Add("XCG-5005CR", 4660);
    ZURSimJournalClear();
    ASSERT_EQ(ZURSetStructVersion(210), 1);
    ZURCameraList list{};
    ASSERT_EQ(ZURGetList(&list), 1);
    std::uint32_t handle = 0;
    ASSERT_EQ(ZUROpen(4660, &handle), 1);
    ASSERT_EQ(WriteRegister(handle, 0xA0002040, 100), 0u);
    ASSERT_TRUE(ReadRegister(handle, 0xA0007000));
    ZURImagePosition position{0, 0, 20000, 20000, 0};
    EXPECT_EQ(ZURSetImageInfo(handle, &position), 0);
    ASSERT_EQ(ZURBandAdjust(handle, 1, -3), 1);
    ZURCameraMode mode{0, 0, 0, 2};
    ASSERT_EQ(ZURSetCameraMode(handle, &mode), 1);
    std::uint32_t conversion = 0;
    ASSERT_EQ(ZURCreateConvHandle(&conversion, 5, 0, 0), 1);
    EXPECT_EQ(ZURGetLastError(), 0u);

    const std::vector<JournalEntry> journal = Journal();
    const std::string h = "handle=" + std::to_string(handle);
    const std::vector<std::pair<std::string, std::int32_t>> expected = {
        {"ZURSetStructVersion version=210", 1},
        {"ZURGetList count=0", 1},
        {"ZUROpen id=4660", 1},
        {"ZURGigESetRegister " + h + " address=0xa0002040 data=0x00000064", 1},
        {"ZURGigEGetRegister " + h + " address=0xa0007000", 1},
        {"ZURSetImageInfo " + h + " offsetX=0 offsetY=0 width=20000 height=20000", 0},
        {"ZURBandAdjust " + h + " adjust=1 level=-3", 1},
        {"ZURSetCameraMode " + h + " standardMode=0 colorFilter=2", 1},
        {"ZURCreateConvHandle convertMode=5 shiftId=0", 1},
        {"ZURGetLastError", 0},
    };
    ASSERT_EQ(journal.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(journal[i].text, expected[i].first);
        EXPECT_EQ(journal[i].result, expected[i].second) << expected[i].first;
    }
}

TEST_F(JournalAndFaults, MultiRegisterBadCountsAndNullPointers) {
    Add("XCG-V60E", 9);
    std::uint32_t handle = Open(9);
    ZURSimJournalClear();
    ZURRegisterRecord record{};
    record.count = 3;
    record.address[0] = 0xA000F000;
    record.data[0] = 0xDEADBEEF;
    ZURGigESetRegister(handle, &record);
    ZURGigEGetRegister(handle, &record);
    record.count = 136;
    ZURGigESetRegister(handle, &record);
    ZURGigESetRegister(handle, nullptr);
    ZURSetImageInfo(handle, nullptr);
    ZURGetImageInfo(handle, nullptr);
    ZURGetList(nullptr);
    ZUROpen(9, nullptr);
    ZURColorConvExec(7, 2, 2, nullptr, nullptr, &record);
    ZURImageReq(handle, nullptr, 5);
    const std::string h = "handle=" + std::to_string(handle);
    EXPECT_EQ(JournalTexts(),
              (Texts{
                  "ZURGigESetRegister " + h + " address=0xa000f000 data=0xdeadbeef count=3",
                  "ZURGigEGetRegister " + h + " address=0xa000f000 count=3",
                  "ZURGigESetRegister " + h + " count=136",
                  "ZURGigESetRegister " + h + " record=null",
                  "ZURSetImageInfo " + h + " position=null",
                  "ZURGetImageInfo " + h + " info=null",
                  "ZURGetList list=null",
                  "ZUROpen id=9 camera=null",
                  "ZURColorConvExec conversion=7 width=2 height=2 mode=null source=null",
                  "ZURImageReq " + h + " size=5 buffer=null",
              }));
}

TEST_F(JournalAndFaults, BlockedWaitIsEnteredWhenItStarts) {
    Add("XCG-V60E", 9, {"width", "64", "height", "120"});
    const std::uint32_t handle = Open(9);
    ASSERT_EQ(ZURIsoAlloc(handle), 1);
    ASSERT_EQ(ZURIsoStart(handle, 0), 1);
    ASSERT_EQ(WriteRegister(handle, 0xA0002044, 1), 0u);  // trigger mode: no frame comes
    std::vector<std::uint8_t> buffer(64 * 120);
    ASSERT_EQ(ZURImageReq(handle, buffer.data(), 64 * 120), 1);
    ZURSimJournalClear();
    auto wait = std::async(std::launch::async,
                           [&] { return ZURImageCompleteWait(handle, buffer.data(), 0, 0, 0); });
    AwaitWaiters(9, 1);
    ASSERT_EQ(ZURAbortImageReqAll(handle), 1);
    EXPECT_EQ(wait.get(), 0);
    const std::vector<JournalEntry> journal = Journal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0].text, "ZURImageCompleteWait handle=" + std::to_string(handle));
    EXPECT_EQ(journal[0].result, 0);
    EXPECT_EQ(journal[1].text, "ZURAbortImageReqAll handle=" + std::to_string(handle));
}

TEST_F(JournalAndFaults, JournalKeepsTheNewestHundredThousand) {
    for (int i = 0; i < 100005; ++i) {
        ZURSetStructVersion(static_cast<std::uint32_t>(i));
    }
    EXPECT_EQ(ZURSimJournalCount(), 100000);
    char text[64];
    std::int32_t result = 0;
    ASSERT_EQ(ZURSimJournalEntry(0, text, sizeof text, &result), 1);
    EXPECT_STREQ(text, "ZURSetStructVersion version=5");
    ASSERT_EQ(ZURSimJournalEntry(99999, text, 8, nullptr), 1);
    EXPECT_STREQ(text, "ZURSetS");  // cut to fit
    EXPECT_EQ(ZURSimJournalEntry(100000, text, sizeof text, &result), 0);
    EXPECT_EQ(ZURSimJournalEntry(-1, text, sizeof text, &result), 0);
}

TEST_F(JournalAndFaults, InjectedFaultsCountDown) {
    ZURSimFailNext("ZURGetList", 2);
    ZURSimFailNext("ZURSetStructVersion", -1);
    ZURCameraList list{};
    list.count = 7;
    EXPECT_ZUR_ERROR(ZURGetList(&list), ZUR_ERROR_INJECTED);
    EXPECT_EQ(list.count, 7u);  // untouched by a failed call
    EXPECT_ZUR_ERROR(ZURGetList(&list), ZUR_ERROR_INJECTED);
    EXPECT_EQ(ZURGetList(&list), 1);
    for (int i = 0; i < 5; ++i) {
        EXPECT_ZUR_ERROR(ZURSetStructVersion(210), ZUR_ERROR_INJECTED);
    }
    ZURSimFailNext("ZURSetStructVersion", 0);
    EXPECT_EQ(ZURSetStructVersion(210), 1);

    ZURSimFailNext("ZURCreateConvHandle", 1);
    std::uint32_t conversion = 0;
    EXPECT_ZUR_ERROR(ZURCreateConvHandle(&conversion, 5, 0, 0), ZUR_ERROR_INJECTED);
    EXPECT_EQ(ZURSimOpenConversionCount(), 0);
    const std::vector<JournalEntry> journal = Journal();
    EXPECT_EQ(journal.back().text, "ZURGetLastError");
    EXPECT_EQ(journal[journal.size() - 2].text, "ZURCreateConvHandle convertMode=5 shiftId=0");
    EXPECT_EQ(journal[journal.size() - 2].result, 0);

    // A reset clears pending faults.
    ZURSimFailNext("ZURSetStructVersion", -1);
    ZURSimReset();
    EXPECT_EQ(ZURSetStructVersion(210), 1);
}

TEST_F(JournalAndFaults, InjectedWaitFailureEndsTheRequest) {
    Add("XCG-V60E", 9, {"width", "64", "height", "120", "fast", "1"});
    const std::uint32_t handle = Open(9);
    ZURSimFailNext("ZURIsoAlloc", 1);
    EXPECT_ZUR_ERROR(ZURIsoAlloc(handle), ZUR_ERROR_INJECTED);
    ASSERT_EQ(ZURIsoAlloc(handle), 1);
    ASSERT_EQ(ZURIsoStart(handle, 0), 1);
    std::vector<std::uint8_t> buffer(64 * 120);
    ASSERT_EQ(ZURImageReq(handle, buffer.data(), 64 * 120), 1);
    ZURSimFailNext("ZURImageCompleteWait", 1);
    EXPECT_ZUR_ERROR(ZURImageCompleteWait(handle, buffer.data(), 0, 0, 0), ZUR_ERROR_INJECTED);
    // The buffer can be requested again, as after a wait that timed out.
    ASSERT_EQ(ZURImageReq(handle, buffer.data(), 64 * 120), 1);
    EXPECT_EQ(ZURImageCompleteWait(handle, buffer.data(), 0, 0, 0), 1);
}

}  // namespace
}  // namespace zurtest
