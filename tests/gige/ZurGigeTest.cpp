// The GigE Vision ZUR library against gevcam: discovery, registers, frames,
// the ways a request ends, threads, packets that get lost.

#include <arv.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "GigeSupport.h"
#include "ZURGigE.h"
#include "zursim/CameraModel.h"

namespace gigetest {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace reg = zursim::reg;
// Buffers the library keeps queued in continuous acquisition.
constexpr std::uint64_t kQueuedAhead = 6;

class ZurGige : public ::testing::Test {
  protected:
    void SetUp() override {
        GIGE_REQUIRE_NAMESPACE();
        DefaultCameras();
        // One discovery for all tests: it takes a second.
        static const std::vector<Listed> listed = ListCameras();
        cameras = listed;
        ASSERT_GE(cameras.size(), 3u);
    }
    void TearDown() override {
        for (const std::uint32_t handle : opened) {
            ZURClose(handle);
        }
    }
    std::uint32_t Streaming(std::size_t index) {
        const std::uint32_t handle = OpenStreaming(cameras.at(index));
        EXPECT_NE(handle, 0u) << "error " << ZURGetLastError();
        opened.push_back(handle);
        return handle;
    }
    static std::vector<std::uint8_t> Buffer(std::uint32_t handle) {
        ZURImageInfo info{};
        EXPECT_EQ(ZURGetImageInfo(handle, &info), 1);
        return std::vector<std::uint8_t>(info.bufferSize);
    }

    std::vector<Listed> cameras;
    std::vector<std::uint32_t> opened;
};

TEST_F(ZurGige, ListsTheCamerasByAddressAndTheFilterLimitsThem) {
    EXPECT_EQ(cameras[0].model, "XCG-U100E");
    EXPECT_EQ(cameras[1].model, "XCG-5005CR");
    EXPECT_EQ(cameras[2].model, "XCG-H280E");
    struct Case {
        const char* filter;
        std::size_t listed;
    };
    for (const Case& filter : {Case{"127.0.0.3", 1}, Case{"127.0.0.2, 127.0.0.4/32", 2}}) {
        const ScopedEnvironment discovery("ZUR_GIGE_DISCOVERY", filter.filter);
        EXPECT_EQ(ListCameras().size(), filter.listed) << filter.filter;
    }
    const ScopedEnvironment discovery("ZUR_GIGE_DISCOVERY", "127.0.0.300");
    ZURCameraList list{};
    EXPECT_EQ(ZURGetList(&list), 0);
    EXPECT_EQ(ZURGetLastError(), static_cast<std::uint32_t>(ZUR_ERROR_INVALID_ARGUMENT));
}

TEST_F(ZurGige, FramesAreTheSimulatorsFramesOfTheirBlockIds) {
    const std::uint32_t expectedColorIds[] = {0, 9, 0};
    for (std::size_t index = 0; index < 3; ++index) {
        const std::uint32_t handle = Streaming(index);
        ZURImageInfo info{};
        ASSERT_EQ(ZURGetImageInfo(handle, &info), 1);
        EXPECT_EQ(info.colorId, expectedColorIds[index]);
        EXPECT_EQ(info.dataDepth, 8u);
        std::vector<std::uint8_t> frame = Buffer(handle);
        std::uint64_t last = 0;
        int whole = 0;
        // A frame may be reported lost (a slow camera under a sanitizer);
        // one that is delivered is whole and newer than the one before.
        for (int attempt = 0; attempt < 10 && whole < 3; ++attempt) {
            std::uint64_t blockId = 0;
            if (Grab(handle, frame, blockId) == 0) {
                EXPECT_EQ(ZURGetLastError(), static_cast<std::uint32_t>(ZUR_ERROR_INCOMPLETE));
                continue;
            }
            ++whole;
            EXPECT_GT(blockId, last) << "an older frame";
            last = blockId;
            EXPECT_TRUE(frame == ExpectedFrame(handle, cameras[index].model, blockId))
                << cameras[index].model << " block " << blockId;
        }
        EXPECT_EQ(whole, 3) << cameras[index].model;
    }
}

TEST_F(ZurGige, RegisterStatusesBecomeZurErrorsAndNothingChanges) {
    std::uint32_t handle = 0;
    ASSERT_EQ(ZUROpen(cameras[0].id, &handle), 1);
    opened.push_back(handle);
    const std::uint32_t exposure = ReadRegister(handle, reg::kExposure);
    struct Case {
        std::uint32_t address;
        std::uint32_t value;
        std::uint32_t error;
    };
    for (const Case& refused : {Case{reg::kWidthMax, 1, ZUR_ERROR_READ_ONLY},
                                Case{reg::kExposure, 1, ZUR_ERROR_OUT_OF_RANGE},
                                Case{reg::kExposure + 1, 500, ZUR_ERROR_BAD_REGISTER},
                                Case{0xA0010000u, 1, ZUR_ERROR_BAD_REGISTER}}) {
        EXPECT_EQ(WriteRegister(handle, refused.address, refused.value), refused.error)
            << std::hex << refused.address;
    }
    EXPECT_EQ(ReadRegister(handle, reg::kExposure), exposure);
    EXPECT_EQ(WriteRegister(handle, reg::kExposure, 1234), 0u);
    EXPECT_EQ(ReadRegister(handle, reg::kExposure), 1234u);

    // Geometry: all four or none, and none while the stream is allocated.
    ZURImagePosition tooWide{0, 0, 321, 200, 0};
    EXPECT_EQ(ZURSetImageInfo(handle, &tooWide), 0);
    ZURImageInfo info{};
    ASSERT_EQ(ZURGetImageInfo(handle, &info), 1);
    EXPECT_EQ(info.width, 320);
    EXPECT_EQ(info.height, 240);
    ZURImagePosition window{16, 8, 128, 200, 0};
    ASSERT_EQ(ZURSetImageInfo(handle, &window), 1);
    ASSERT_EQ(ZURGetImageInfo(handle, &info), 1);
    EXPECT_EQ(info.bufferSize, 128u * 200u);
    ASSERT_EQ(ZURIsoAlloc(handle), 1);
    ZURImagePosition full{0, 0, 320, 240, 0};
    EXPECT_EQ(ZURSetImageInfo(handle, &full), 0);
    EXPECT_EQ(ZURGetLastError(), static_cast<std::uint32_t>(ZUR_ERROR_BUSY));
    ASSERT_EQ(ZURIsoRelease(handle), 1);
    EXPECT_EQ(ZURSetImageInfo(handle, &full), 1);

    // Band adjustment through the camera's own features, within their bounds.
    EXPECT_EQ(ZURBandAdjust(handle, 1, 50), 1);
    EXPECT_EQ(ZURBandAdjust(handle, 1, 101), 0);
    EXPECT_EQ(ZURGetLastError(), static_cast<std::uint32_t>(ZUR_ERROR_OUT_OF_RANGE));
    EXPECT_EQ(ZURBandAdjust(handle, 0, 0), 1);
}

TEST_F(ZurGige, ColourFilterIsThePixelFormatsBayerOrder) {
    std::uint32_t colour = 0;
    std::uint32_t mono = 0;
    ASSERT_EQ(ZUROpen(cameras[1].id, &colour), 1);
    opened.push_back(colour);
    ASSERT_EQ(ZUROpen(cameras[0].id, &mono), 1);
    opened.push_back(mono);
    ZURCameraMode mode{};
    ASSERT_EQ(ZURNowCameraMode(colour, &mode), 1);
    EXPECT_EQ(mode.standardMode, 0u);
    EXPECT_EQ(mode.colorFilter, 2u);  // GRBG, the simulator's colour default
    for (const std::uint32_t filter : {0u, 3u, 2u}) {
        mode.colorFilter = filter;
        ASSERT_EQ(ZURSetCameraMode(colour, &mode), 1);
        ZURCameraMode now{};
        ASSERT_EQ(ZURNowCameraMode(colour, &now), 1);
        EXPECT_EQ(now.colorFilter, filter);
    }
    mode.colorFilter = 1;
    EXPECT_EQ(ZURSetCameraMode(mono, &mode), 0);
    EXPECT_EQ(ZURGetLastError(), static_cast<std::uint32_t>(ZUR_ERROR_NOT_SUPPORTED));
}

TEST_F(ZurGige, OneControllerAtATime) {
    std::uint32_t handle = 0;
    ASSERT_EQ(ZUROpen(cameras[2].id, &handle), 1);
    std::uint32_t again = 0;
    EXPECT_EQ(ZUROpen(cameras[2].id, &again), 0);
    EXPECT_EQ(ZURGetLastError(), static_cast<std::uint32_t>(ZUR_ERROR_BUSY));
    ASSERT_EQ(ZURClose(handle), 1);
    EXPECT_EQ(ZURClose(handle), 0);

    // Another client (its own socket) holds control: the camera refuses us.
    GError* error = nullptr;
    ArvDevice* other = arv_open_device("127.0.0.4", &error);
    ASSERT_NE(other, nullptr) << (error != nullptr ? error->message : "");
    EXPECT_EQ(ZUROpen(cameras[2].id, &handle), 0);
    EXPECT_EQ(ZURGetLastError(), static_cast<std::uint32_t>(ZUR_ERROR_ACCESS_DENIED));
    g_object_unref(other);
    ASSERT_EQ(ZUROpen(cameras[2].id, &handle), 1);
    opened.push_back(handle);
}

// Whatever ends a request, nothing writes into its buffer afterwards, while
// the camera goes on streaming at its top rate.
TEST_F(ZurGige, NothingWritesIntoAnEndedRequest) {
    const std::uint32_t handle = Streaming(2);
    std::vector<std::uint8_t> frame = Buffer(handle);
    const auto size = static_cast<std::uint32_t>(frame.size());
    struct Case {
        const char* ending;
        std::uint32_t error;
    };
    for (const Case& ending : {Case{"abort", ZUR_ERROR_ABORTED}, Case{"timeout", ZUR_ERROR_TIMEOUT},
                               Case{"stop", ZUR_ERROR_ABORTED}}) {
        ASSERT_EQ(ZURImageReq(handle, frame.data(), size), 1);
        std::int32_t waited = 0;
        if (std::strcmp(ending.ending, "abort") == 0) {
            ASSERT_EQ(ZURAbortImageReqAll(handle), 1);
            waited = ZURImageCompleteWait(handle, frame.data(), 1000, 0, 0);
        } else if (std::strcmp(ending.ending, "timeout") == 0) {
            waited = ZURImageCompleteWait(handle, frame.data(), 1, 0, 0);
        } else {
            ASSERT_EQ(ZURIsoStop(handle), 1);
            waited = ZURImageCompleteWait(handle, frame.data(), 1000, 0, 0);
        }
        // A frame may have come first; then the next request is ended.
        if (waited == 1) {
            continue;
        }
        EXPECT_EQ(ZURGetLastError(), ending.error) << ending.ending;
        std::fill(frame.begin(), frame.end(), std::uint8_t{0xA5});
        std::this_thread::sleep_for(200ms);  // several frame periods at 60 fps
        EXPECT_EQ(std::count(frame.begin(), frame.end(), std::uint8_t{0xA5}),
                  static_cast<std::ptrdiff_t>(frame.size()))
            << ending.ending;
    }
    ASSERT_EQ(ZURIsoStart(handle, 0), 1);
    std::uint64_t blockId = 0;
    EXPECT_EQ(Grab(handle, frame, blockId), 1);
}

// Register calls from one thread while another grabs on the same handle.
TEST_F(ZurGige, RegistersWhileAnotherThreadGrabs) {
    const std::uint32_t handle = Streaming(0);
    std::atomic<bool> done{false};
    std::atomic<int> grabbed{0};
    std::thread grabber([&] {
        std::vector<std::uint8_t> frame = Buffer(handle);
        std::uint64_t blockId = 0;
        while (!done && grabbed < 100) {
            if (Grab(handle, frame, blockId) == 1) {
                ++grabbed;
            }
        }
    });
    const auto end = Clock::now() + 10s;
    std::uint32_t value = 100;
    int written = 0;
    while (Clock::now() < end && (grabbed < 3 || written < 20)) {
        const bool ok = WriteRegister(handle, reg::kExposure, ++value) == 0 &&
                        ReadRegister(handle, reg::kExposure) == value;
        EXPECT_TRUE(ok) << "register " << value;
        if (!ok) {
            break;
        }
        ++written;
    }
    done = true;
    grabber.join();
    EXPECT_GE(grabbed.load(), 3);
    EXPECT_GE(written, 20);
}

// 5 % of the payload packets left out: resends bring frames back whole, and
// a frame that stays torn is reported, never delivered.
TEST_F(ZurGige, LostPacketsGiveWholeFramesOrErrors) {
#if defined(__SANITIZE_THREAD__)
    // gevcam under ThreadSanitizer answers resends too slowly for any frame
    // to come whole; the other flavours run this.
    GTEST_SKIP() << "too slow a camera under ThreadSanitizer";
#endif
    Gevcam own({"127.0.0.21"}, {"--drop", "5"},
               "[camera 1]\nmodel=XCG-U100E\nid=78\nwidth=640\nheight=480\n");
    const ScopedEnvironment discovery("ZUR_GIGE_DISCOVERY", "127.0.0.21");
    const std::vector<Listed> listed = ListCameras();
    ASSERT_EQ(listed.size(), 1u);
    const std::uint32_t handle = OpenStreaming(listed[0]);
    ASSERT_NE(handle, 0u);
    std::vector<std::uint8_t> frame = Buffer(handle);
    int whole = 0;
    std::uint64_t last = 0;
    for (int n = 0; n < 8; ++n) {
        std::uint64_t blockId = 0;
        if (Grab(handle, frame, blockId) == 0) {
            EXPECT_EQ(ZURGetLastError(), static_cast<std::uint32_t>(ZUR_ERROR_INCOMPLETE));
            continue;
        }
        ++whole;
        EXPECT_GT(blockId, last);
        last = blockId;
        EXPECT_TRUE(frame == ExpectedFrame(handle, "XCG-U100E", blockId)) << "block " << blockId;
    }
    EXPECT_GE(whole, 5);
    EXPECT_EQ(ZURClose(handle), 1);  // while its camera is there
}

// Continuous acquisition with a host that stalls between requests, with and
// without lost packets: a stall of a few frame periods loses no frame; a
// frame is never older than the one before, never torn; after a stall
// longer than the queue, the frame is a fresh one, not what was kept.
TEST_F(ZurGige, QueuedAheadFramesSurviveStallsInOrderAndWhole) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "too slow a camera under ThreadSanitizer";
#endif
    struct Case {
        const char* drop;
        bool lossless;  // every frame through the short stalls
    };
    for (const Case& run : {Case{"0", true}, Case{"5", false}}) {
        SCOPED_TRACE(std::string("drop ") + run.drop);
        Gevcam own({"127.0.0.22"}, {"--drop", run.drop},
                   "[camera 1]\nmodel=XCG-U100E\nid=79\nwidth=320\nheight=240\n");
        const ScopedEnvironment discovery("ZUR_GIGE_DISCOVERY", "127.0.0.22");
        const std::vector<Listed> listed = ListCameras();
        ASSERT_EQ(listed.size(), 1u);
        const std::uint32_t handle = OpenStreaming(listed[0]);
        ASSERT_NE(handle, 0u);
        std::vector<std::uint8_t> frame = Buffer(handle);
        std::uint64_t last = 0;
        int torn = 0;
        const auto grab = [&](std::uint64_t& blockId) {
            if (Grab(handle, frame, blockId) == 0) {
                EXPECT_EQ(ZURGetLastError(), static_cast<std::uint32_t>(ZUR_ERROR_INCOMPLETE));
                ++torn;
                return false;
            }
            EXPECT_GT(blockId, last) << "an older frame, or one twice";
            EXPECT_TRUE(frame == ExpectedFrame(handle, "XCG-U100E", blockId)) << blockId;
            last = blockId;
            return true;
        };
        // The frame period, from frames taken back to back.
        std::uint64_t first = 0;
        while (first == 0 && torn < 5) {
            grab(first);
        }
        const auto start = Clock::now();
        std::uint64_t blockId = 0;
        for (int n = 0; n < 10; ++n) {
            grab(blockId);
        }
        ASSERT_GT(last, first);
        const auto period = (Clock::now() - start) / (last - first);

        std::uint64_t missed = 0;
        for (int n = 0; n < 24; ++n) {
            if (n % 4 == 0) {
                std::this_thread::sleep_for(period * 3);  // shorter than the queue
            }
            const std::uint64_t before = last;
            if (grab(blockId)) {
                missed += blockId - before - 1;
            }
        }
        if (run.lossless) {
            EXPECT_EQ(missed, 0u);
            EXPECT_EQ(torn, 0);
        }
        // A setting written after frames were kept: none of those comes.
        std::uint64_t before = last;
        std::this_thread::sleep_for(period * 3);
        ASSERT_EQ(WriteRegister(handle, reg::kExposure, ReadRegister(handle, reg::kExposure)), 0u);
        for (int n = 0; n < 5 && last == before; ++n) {
            grab(blockId);
        }
        EXPECT_GE(last, before + 3) << "a frame from before the setting";
        // Longer than the queue: what it kept is older than what it lost.
        before = last;
        std::this_thread::sleep_for(period * (kQueuedAhead * 3));
        for (int n = 0; n < 5 && last == before; ++n) {
            grab(blockId);
        }
        EXPECT_GE(last, before + kQueuedAhead * 2) << "a stale frame";
        EXPECT_EQ(ZURClose(handle), 1);
    }
}

// The first frame kept in an acquisition, before its rate is known, is
// delivered to a host that asks for it a little late, as every later one is.
TEST_F(ZurGige, FirstKeptFrameOfAnAcquisitionIsNotStale) {
    Gevcam own({"127.0.0.23"}, {},
               "[camera 1]\nmodel=XCG-U100E\nid=81\nwidth=320\nheight=240\nframeRateMax=20\n");
    const ScopedEnvironment discovery("ZUR_GIGE_DISCOVERY", "127.0.0.23");
    const std::vector<Listed> listed = ListCameras();
    ASSERT_EQ(listed.size(), 1u);
    const std::uint32_t handle = OpenStreaming(listed[0]);
    ASSERT_NE(handle, 0u);
    std::vector<std::uint8_t> frame = Buffer(handle);
    for (int acquisition = 0; acquisition < 2; ++acquisition) {
        SCOPED_TRACE(acquisition);
        if (acquisition > 0) {
            ASSERT_EQ(ZURIsoStop(handle), 1);
            ASSERT_EQ(ZURIsoStart(handle, 0), 1);
        }
        std::uint64_t first = 0;
        for (int n = 0; n < 5 && first == 0; ++n) {
            Grab(handle, frame, first);  // the first may be torn: joined mid-frame
        }
        ASSERT_NE(first, 0u);
        // A period and a half later (20 fps): the next frame is kept meanwhile.
        std::this_thread::sleep_for(75ms);
        std::uint64_t next = 0;
        ASSERT_NE(Grab(handle, frame, next), 0);
        EXPECT_EQ(next, first + 1) << "the kept frame was passed over";
    }
    EXPECT_EQ(ZURClose(handle), 1);
}

// The packet size is found with test packets, within what the path carries
// (gevcam's MTU), unless the environment names one; every frame is whole.
TEST_F(ZurGige, PacketSizeIsTheLargestThePathCarries) {
    struct Case {
        const char* mtu;  // gevcam's, null for none
        const char* packetSize;
        std::uint32_t low;
        std::uint32_t high;
    };
    for (const Case& path : {Case{"1500", nullptr, 1000, 1500}, Case{nullptr, nullptr, 8193, 65500},
                             Case{"9000", "1400", 1400, 1400}}) {
        SCOPED_TRACE(std::string("mtu ") + (path.mtu ? path.mtu : "none"));
        std::vector<std::string> options;
        if (path.mtu != nullptr) {
            options = {"--mtu", path.mtu};
        }
        Gevcam own({"127.0.0.23"}, options,
                   "[camera 1]\nmodel=XCG-U100E\nid=80\nwidth=320\nheight=240\n");
        const ScopedEnvironment discovery("ZUR_GIGE_DISCOVERY", "127.0.0.23");
        const ScopedEnvironment size("ZUR_GIGE_PACKET_SIZE", path.packetSize);
        const std::vector<Listed> listed = ListCameras();
        ASSERT_EQ(listed.size(), 1u);
        const std::uint32_t handle = OpenStreaming(listed[0]);
        ASSERT_NE(handle, 0u);
        constexpr std::uint32_t kStreamPacketSize = 0x0D04;  // GevSCPS0, the size in its low half
        const std::uint32_t chosen = ReadRegister(handle, kStreamPacketSize) & 0xFFFFu;
        EXPECT_GE(chosen, path.low);
        EXPECT_LE(chosen, path.high);
        std::vector<std::uint8_t> frame = Buffer(handle);
        for (int n = 0; n < 3; ++n) {
            std::uint64_t blockId = 0;
            ASSERT_EQ(Grab(handle, frame, blockId), 1) << "error " << ZURGetLastError();
            EXPECT_TRUE(frame == ExpectedFrame(handle, "XCG-U100E", blockId)) << blockId;
        }
        EXPECT_EQ(ZURClose(handle), 1);
    }
}

}  // namespace
}  // namespace gigetest
