// The stream: requests, waits, pacing, triggers, and the ways a wait ends.

#include <bit>
#include <chrono>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "ZurTestSupport.h"

namespace zurtest {
namespace {

constexpr std::uint64_t kId = 1;

// A small monochrome camera, opened with its stream allocated and started.
class Stream : public ZurTest {
  protected:
    void SetUp() override {
        ZurTest::SetUp();
        Add("XCG-V60E", kId, {"width", "96", "height", "72"});
        handle = Open(kId);
        ASSERT_EQ(ZURIsoAlloc(handle), 1);
        ASSERT_EQ(ZURIsoStart(handle, 0), 1);
    }

    // One request and its wait; the wait's result.
    std::int32_t Grab() {
        if (ZURImageReq(handle, image.data(), static_cast<std::uint32_t>(image.size())) == 0) {
            return 0;
        }
        return ZURImageCompleteWait(handle, image.data(), 0, 0, 0);
    }

    // Runs a grab on another thread; the future holds its result and error.
    // The fixture keeps a copy, so that a test that fails early does not
    // block on it before TearDown's reset has ended the wait.
    using Outcome = std::pair<std::int32_t, std::uint32_t>;
    std::shared_future<Outcome> GrabElsewhere() {
        EXPECT_EQ(ZURImageReq(handle, image.data(), static_cast<std::uint32_t>(image.size())), 1);
        std::shared_future<Outcome> grab =
            std::async(std::launch::async, [this] {
                const std::int32_t result = ZURImageCompleteWait(handle, image.data(), 0, 0, 0);
                return std::make_pair(result, ZURGetLastError());
            }).share();
        pending.push_back(grab);
        return grab;
    }

    void TriggerMode(std::uint32_t source) {
        ASSERT_EQ(WriteRegister(handle, 0xA0002044, 1), 0u);
        ASSERT_EQ(WriteRegister(handle, 0xA0002098, source), 0u);
    }

    std::uint32_t handle = 0;
    std::vector<std::uint8_t> image = std::vector<std::uint8_t>(96 * 72);
    std::vector<std::shared_future<Outcome>> pending;
};

TEST_F(Stream, FastFramesCountAndTheCounterWrapsAround) {
    ASSERT_EQ(ZURSimSetCameraOption(kId, "fast", "1"), 1);
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(Grab(), 1) << "frame " << i << " error " << ZURGetLastError();
    }
    EXPECT_EQ(ZURSimFramesProduced(kId), 20u);
    EXPECT_EQ(ZURSimFrameCounter(kId), 3u);  // 0xFFFFFFF0 + 19, wrapped
    std::vector<std::uint8_t> last(image.size());
    ASSERT_EQ(ZURSimLastImage(kId, last.data(), static_cast<std::uint32_t>(last.size())),
              last.size());
    EXPECT_EQ(last, image);
    EXPECT_EQ(ZURSimLastImage(kId, last.data(), 10), 0u);
    EXPECT_EQ(ZURSimLastImage(kId, nullptr, 0), image.size());
}

TEST_F(Stream, PacedFramesWaitForTheirTimeAndFastModeReleasesThem) {
    // The first frame comes at once, the next one frame period later.
    ASSERT_EQ(ZURSimPokeRegister(kId, 0xA0007014, std::bit_cast<std::uint32_t>(0.001f)), 1);
    ASSERT_EQ(WriteRegister(handle, 0xA0000220, std::bit_cast<std::uint32_t>(0.001f)),
              0u);  // 1000 s apart
    ASSERT_EQ(Grab(), 1);
    auto second = GrabElsewhere();
    AwaitWaiters(kId, 1);
    EXPECT_EQ(ZURSimFramesProduced(kId), 1u);
    EXPECT_EQ(second.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    ASSERT_EQ(ZURSimSetCameraOption(kId, "fast", "1"), 1);
    EXPECT_EQ(second.get().first, 1);
    EXPECT_EQ(ZURSimFramesProduced(kId), 2u);
}

TEST_F(Stream, PacedFramesAreNoCloserThanTheFramePeriod) {
    ASSERT_EQ(WriteRegister(handle, 0xA0000220, std::bit_cast<std::uint32_t>(50.0f)), 0u);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Grab(), 1);
    ASSERT_EQ(Grab(), 1);
    ASSERT_EQ(Grab(), 1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
}

TEST_F(Stream, SoftwareTriggerReleasesOneFrameEach) {
    TriggerMode(1);
    auto grab = GrabElsewhere();
    AwaitWaiters(kId, 1);
    ASSERT_EQ(WriteRegister(handle, 0xA00002F8, 0), 0u);  // 0 fires nothing
    EXPECT_EQ(grab.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
    ASSERT_EQ(WriteRegister(handle, 0xA00002F8, 1), 0u);
    EXPECT_EQ(grab.get().first, 1);
    EXPECT_EQ(ZURSimFramesProduced(kId), 1u);

    // A trigger that comes before the request is kept for it.
    ASSERT_EQ(WriteRegister(handle, 0xA00002F8, 1), 0u);
    ASSERT_EQ(WriteRegister(handle, 0xA00002F8, 0), 0u);
    EXPECT_EQ(Grab(), 1);

    // The hardware input does nothing while the source is Software.
    EXPECT_EQ(ZURSimHardwareTrigger(kId), 0);
    EXPECT_EQ(ZURSimFramesProduced(kId), 2u);
}

TEST_F(Stream, TimedWaitEndsItsRequestAndTheBufferCanBeRequestedAgain) {
    TriggerMode(1);
    ASSERT_EQ(ZURImageReq(handle, image.data(), static_cast<std::uint32_t>(image.size())), 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_ZUR_ERROR(ZURImageCompleteWait(handle, image.data(), 30, 0, 0), ZUR_ERROR_TIMEOUT);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(30));
    EXPECT_LT(waited, std::chrono::seconds(2));
    // The request is gone: a trigger now fills nothing until a new request.
    ASSERT_EQ(WriteRegister(handle, 0xA00002F8, 1), 0u);
    EXPECT_ZUR_ERROR(ZURImageCompleteWait(handle, image.data(), 30, 0, 0), ZUR_ERROR_NO_REQUEST);
    EXPECT_EQ(Grab(), 1);
}

TEST_F(Stream, HardwareTriggerReleasesFramesOnlyInHardwareTriggerMode) {
    EXPECT_EQ(ZURSimHardwareTrigger(kId), 0);  // free-running
    TriggerMode(0);
    auto grab = GrabElsewhere();
    AwaitWaiters(kId, 1);
    ASSERT_EQ(WriteRegister(handle, 0xA00002F8, 1), 0u);  // the wrong source
    EXPECT_EQ(grab.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
    EXPECT_EQ(ZURSimHardwareTrigger(kId), 1);
    EXPECT_EQ(grab.get().first, 1);
    EXPECT_EQ(ZURSimHardwareTrigger(99), 0);
}

// Each of these, called from this thread, ends a wait blocked on another.
struct Ending {
    const char* name;
    std::function<void(std::uint32_t handle)> end;
    std::uint32_t error;
};

void PrintTo(const Ending& ending, std::ostream* out) {
    *out << ending.name;
}

class WaitEnding : public Stream, public ::testing::WithParamInterface<Ending> {};

TEST_P(WaitEnding, EndsABlockedWaitAtOnceAndDropsTheRequests) {
    TriggerMode(1);  // no trigger will come
    auto grab = GrabElsewhere();
    AwaitWaiters(kId, 1);
    GetParam().end(handle);
    const auto [result, error] = grab.get();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(error, GetParam().error);
    EXPECT_EQ(ZURSimWaiters(kId), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, WaitEnding,
    ::testing::Values(
        Ending{"Abort", [](std::uint32_t h) { EXPECT_EQ(ZURAbortImageReqAll(h), 1); },
               ZUR_ERROR_ABORTED},
        Ending{"IsoStop", [](std::uint32_t h) { EXPECT_EQ(ZURIsoStop(h), 1); }, ZUR_ERROR_ABORTED},
        Ending{"IsoRelease", [](std::uint32_t h) { EXPECT_EQ(ZURIsoRelease(h), 1); },
               ZUR_ERROR_ABORTED},
        Ending{"Close", [](std::uint32_t h) { EXPECT_EQ(ZURClose(h), 1); }, ZUR_ERROR_ABORTED},
        Ending{"Reset", [](std::uint32_t) { ZURSimReset(); }, ZUR_ERROR_ABORTED},
        Ending{"Unplug", [](std::uint32_t) { EXPECT_EQ(ZURSimUnplug(kId), 1); },
               ZUR_ERROR_DEVICE_LOST}),
    [](const ::testing::TestParamInfo<Ending>& ending) { return std::string(ending.param.name); });

TEST_F(Stream, UnpluggedCameraFailsEverythingButStaysListed) {
    ASSERT_EQ(ZURSimUnplug(kId), 1);
    EXPECT_EQ(WriteRegister(handle, 0xA0002040, 200), ZUR_ERROR_DEVICE_LOST);
    EXPECT_ZUR_ERROR(ZURImageReq(handle, image.data(), 96 * 72), ZUR_ERROR_DEVICE_LOST);
    ZURCameraList list{};
    ASSERT_EQ(ZURGetList(&list), 1);
    EXPECT_EQ(list.count, 1u);

    // Closing gives the handle back all the same; it cannot be opened again.
    EXPECT_ZUR_ERROR(ZURClose(handle), ZUR_ERROR_DEVICE_LOST);
    EXPECT_EQ(ZURSimOpenDeviceCount(), 0);
    std::uint32_t again = 0;
    EXPECT_ZUR_ERROR(ZUROpen(kId, &again), ZUR_ERROR_DEVICE_LOST);
}

TEST_F(Stream, PluggedInAgainTheCameraOpensAnewAndARestartForgetsItsRegisters) {
    ASSERT_EQ(WriteRegister(handle, 0xA0002040, 200), ZUR_ERROR_NONE);
    for (const bool restarted : {false, true}) {
        ASSERT_EQ(ZURSimUnplug(kId), 1);
        ASSERT_EQ(ZURSimPlug(kId, restarted ? 1 : 0), 1);
        // The old session is gone for good; only a new open reaches the camera.
        EXPECT_EQ(WriteRegister(handle, 0xA0002040, 300), ZUR_ERROR_DEVICE_LOST);
        EXPECT_ZUR_ERROR(ZURClose(handle), ZUR_ERROR_DEVICE_LOST);
        EXPECT_ZUR_ERROR(ZURClose(handle), ZUR_ERROR_INVALID_HANDLE);
        ASSERT_EQ(ZUROpen(kId, &handle), 1);
        EXPECT_EQ(ReadRegister(handle, 0xA0002040), restarted ? 100u : 200u) << restarted;
    }
    EXPECT_EQ(ZURSimPlug(kId, 0), 1);  // already in: nothing happens
    EXPECT_EQ(ZURSimOpenDeviceCount(), 1);
    EXPECT_EQ(ZURSimPlug(kId + 1, 0), 0);
}

TEST_F(Stream, RequestsAreCheckedAndFilledOldestFirst) {
    ASSERT_EQ(ZURSimSetCameraOption(kId, "fast", "1"), 1);
    EXPECT_ZUR_ERROR(ZURImageCompleteWait(handle, image.data(), 0, 0, 0), ZUR_ERROR_NO_REQUEST);
    EXPECT_ZUR_ERROR(ZURImageReq(handle, image.data(), 96 * 72 - 1), ZUR_ERROR_INVALID_ARGUMENT);
    EXPECT_ZUR_ERROR(ZURImageReq(handle, nullptr, 96 * 72), ZUR_ERROR_INVALID_ARGUMENT);

    std::vector<std::uint8_t> other(image.size());
    ASSERT_EQ(ZURImageReq(handle, image.data(), 96 * 72), 1);
    EXPECT_ZUR_ERROR(ZURImageReq(handle, image.data(), 96 * 72), ZUR_ERROR_BUSY);
    ASSERT_EQ(ZURImageReq(handle, other.data(), 96 * 72), 1);
    // Waiting for the second request fills the first one on the way.
    ASSERT_EQ(ZURImageCompleteWait(handle, other.data(), 0, 0, 0), 1);
    ASSERT_EQ(ZURImageCompleteWait(handle, image.data(), 0, 0, 0), 1);
    std::vector<std::uint8_t> rgb(96 * 72 * 3);
    ASSERT_EQ(ZURSimRenderRgb(kId, 0xFFFFFFF0u, rgb.data(), static_cast<std::uint32_t>(rgb.size())),
              rgb.size());
    for (std::size_t i = 0; i < image.size(); ++i) {
        ASSERT_EQ(image[i], rgb[3 * i]) << i;
    }
    EXPECT_NE(image, other);  // the later frame shows the next counter
}

TEST_F(Stream, StreamCallsNeedAnAllocation) {
    ASSERT_EQ(ZURIsoRelease(handle), 1);
    EXPECT_ZUR_ERROR(ZURIsoStart(handle, 0), ZUR_ERROR_NOT_ALLOCATED);
    EXPECT_ZUR_ERROR(ZURIsoStop(handle), ZUR_ERROR_NOT_ALLOCATED);
    EXPECT_ZUR_ERROR(ZURImageReq(handle, image.data(), 96 * 72), ZUR_ERROR_NOT_ALLOCATED);
    ASSERT_EQ(ZURIsoAlloc(handle), 1);
    EXPECT_ZUR_ERROR(ZURIsoAlloc(handle), ZUR_ERROR_BUSY);
}

TEST_F(Stream, FramesBeforeTheStartWaitForIt) {
    // The driver's grab thread may request before the stream starts.
    ASSERT_EQ(ZURSimSetCameraOption(kId, "fast", "1"), 1);
    ASSERT_EQ(ZURIsoStop(handle), 1);
    auto grab = GrabElsewhere();
    AwaitWaiters(kId, 1);
    EXPECT_EQ(ZURSimFramesProduced(kId), 0u);
    ASSERT_EQ(ZURIsoStart(handle, 0), 1);
    EXPECT_EQ(grab.get().first, 1);
}

TEST_F(Stream, LastErrorBelongsToTheThread) {
    EXPECT_EQ(WriteRegister(handle, 0xA0007000, 1), ZUR_ERROR_READ_ONLY);
    std::thread([] { EXPECT_EQ(ZURGetLastError(), 0u); }).join();
    EXPECT_EQ(ZURGetLastError(), ZUR_ERROR_READ_ONLY);
}

}  // namespace
}  // namespace zurtest
