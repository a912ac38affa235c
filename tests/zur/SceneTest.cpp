// The scene: what the delivered images show, compared with the RGB rendering.

#include <map>
#include <string>
#include <vector>

#include "ZurTestSupport.h"

namespace zurtest {
namespace {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.r << "," << c.g << "," << c.b << ")";
}

class Scene : public ZurTest {
  public:
    struct Image {
        int width = 0;
        int height = 0;
        std::vector<std::uint8_t> bytes;  // RGB, 3 per pixel
        Rgb At(int x, int y) const {
            const auto i = static_cast<std::size_t>((y * width + x) * 3);
            return Rgb{bytes[i], bytes[i + 1], bytes[i + 2]};
        }
    };

  protected:
    static Image Render(std::uint64_t id, std::uint32_t counter, int width, int height) {
        Image image;
        image.width = width;
        image.height = height;
        image.bytes.resize(static_cast<std::size_t>(width * height * 3));
        EXPECT_EQ(ZURSimRenderRgb(id, counter, nullptr, 0), image.bytes.size());
        EXPECT_EQ(ZURSimRenderRgb(id, counter, image.bytes.data(),
                                  static_cast<std::uint32_t>(image.bytes.size())),
                  image.bytes.size());
        return image;
    }

    // Opens a camera and grabs one frame; the raw image.
    std::vector<std::uint8_t> GrabOne(std::uint64_t id) {
        std::uint32_t handle = 0;
        if (handles.count(id) == 0) {
            handles[id] = Open(id);
            EXPECT_EQ(ZURIsoAlloc(handles[id]), 1);
            EXPECT_EQ(ZURIsoStart(handles[id], 0), 1);
        }
        handle = handles[id];
        std::vector<std::uint8_t> raw(ImageInfo(handle).bufferSize);
        EXPECT_EQ(ZURImageReq(handle, raw.data(), static_cast<std::uint32_t>(raw.size())), 1);
        EXPECT_EQ(ZURImageCompleteWait(handle, raw.data(), 0, 0, 0), 1);
        return raw;
    }

    std::map<std::uint64_t, std::uint32_t> handles;
};

// The column where the bar's white core starts on a line, or -1.
int BarColumn(const Scene::Image& image, int y) {
    for (int x = 1; x + 1 < image.width; ++x) {
        if (image.At(x - 1, y).r == 0 && image.At(x, y).r == 255) {
            return x;
        }
    }
    return -1;
}

TEST_F(Scene, MonochromeFramesAreTheRenderedScene) {
    Add("XCG-V60E", 1, {"width", "256", "height", "128", "fast", "1"});
    for (int frame = 0; frame < 3; ++frame) {
        const std::vector<std::uint8_t> raw = GrabOne(1);
        const Image rgb = Render(1, ZURSimFrameCounter(1), 256, 128);
        ASSERT_EQ(raw.size() * 3, rgb.bytes.size());
        for (std::size_t i = 0; i < raw.size(); ++i) {
            ASSERT_EQ(raw[i], rgb.bytes[3 * i]) << i;
            ASSERT_EQ(rgb.bytes[3 * i], rgb.bytes[3 * i + 2]) << i;
        }
    }
}

TEST_F(Scene, ColourFramesAreTheMosaicOfTheSceneInTheCurrentOrder) {
    Add("XCG-U100CR", 1, {"width", "128", "height", "96", "fast", "1"});
    const std::string names[] = {"RGGB", "GBRG", "GRBG", "BGGR"};
    for (std::uint32_t filter = 0; filter < 4; ++filter) {
        std::vector<std::uint8_t> raw = GrabOne(1);  // opens the camera the first time
        ZURCameraMode mode{};
        ASSERT_EQ(ZURNowCameraMode(handles[1], &mode), 1);
        mode.colorFilter = filter;
        ASSERT_EQ(ZURSetCameraMode(handles[1], &mode), 1);
        raw = GrabOne(1);
        const Image rgb = Render(1, ZURSimFrameCounter(1), 128, 96);
        for (int y = 0; y < rgb.height; ++y) {
            for (int x = 0; x < rgb.width; ++x) {
                const Rgb pixel = rgb.At(x, y);
                const char channel = names[filter][static_cast<std::size_t>((y % 2) * 2 + x % 2)];
                const int expected = channel == 'R' ? pixel.r : channel == 'G' ? pixel.g : pixel.b;
                ASSERT_EQ(raw[static_cast<std::size_t>(y * rgb.width + x)], expected)
                    << names[filter] << " x=" << x << " y=" << y;
            }
        }
    }
}

TEST_F(Scene, ColourPipelineShowsTheBlocksWhereDocumented) {
    Add("XCG-5005CR", 1, {"width", "320", "height", "240", "fast", "1"});
    const std::vector<std::uint8_t> raw = GrabOne(1);
    ZURCameraMode mode{};
    ASSERT_EQ(ZURNowCameraMode(handles[1], &mode), 1);
    std::uint32_t conversion = 0;
    ASSERT_EQ(ZURCreateConvHandle(&conversion, 5, 0, 0), 1);
    ZURColorConvMode convert{ImageInfo(handles[1]).colorId, mode.colorFilter, 1, 1, 1};
    std::vector<std::uint8_t> bgra(320 * 240 * 4);
    ASSERT_EQ(ZURColorConvExec(conversion, 320, 240, &convert, raw.data(), bgra.data()), 1);
    const auto at = [&](int x, int y) {
        const auto i = static_cast<std::size_t>((y * 320 + x) * 4);
        return Rgb{bgra[i + 2], bgra[i + 1], bgra[i]};
    };
    // Lower half: red, green, blue, white blocks, left to right.
    EXPECT_EQ(at(40, 180), (Rgb{220, 20, 20}));
    EXPECT_EQ(at(120, 180), (Rgb{20, 220, 20}));
    EXPECT_EQ(at(200, 200), (Rgb{20, 20, 220}));
    // Upper half: a grey ramp, brighter to the right (interpolation along the
    // ramp may differ by a step between channels).
    const Rgb left = at(40, 80);
    const Rgb right = at(160, 80);
    EXPECT_NEAR(left.r, left.g, 2);
    EXPECT_NEAR(left.g, left.b, 2);
    EXPECT_LT(left.r + 40, right.r);
}

TEST_F(Scene, BarMovesWithTheCounterAndTheCounterIsDrawnTopLeft) {
    Add("XCG-V60E", 1, {"width", "640", "height", "200"});
    const int line = 150;
    const Image first = Render(1, 0, 640, 200);
    const Image next = Render(1, 1, 640, 200);
    const Image beforeWrap = Render(1, 0xFFFFFFFFu, 640, 200);
    const int step = 640 / 64;
    // Left edge at (counter % 64) / 64 of the width, behind a black edge.
    EXPECT_EQ(BarColumn(first, line) - BarColumn(next, line), -step);
    EXPECT_GT(BarColumn(beforeWrap, line), 600);
    EXPECT_LT(BarColumn(first, line), step);

    // The counter's box: black at the corner, with white ink (the bar is far
    // away at counter 32), and the only difference between counters 32 and 96,
    // whose bars coincide.
    const Image middle = Render(1, 32, 640, 200);
    const Image later = Render(1, 96, 640, 200);
    EXPECT_EQ(middle.At(0, 0), (Rgb{0, 0, 0}));
    int ink = 0;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 40; ++x) {
            ink += middle.At(x, y).r == 255 ? 1 : 0;
            EXPECT_EQ(middle.At(x + 100, y + 50), later.At(x + 100, y + 50));
        }
    }
    EXPECT_GT(ink, 10);
    EXPECT_NE(middle.bytes, later.bytes);
    EXPECT_EQ(Render(1, 12345, 640, 200).bytes, Render(1, 12345, 640, 200).bytes);
}

TEST_F(Scene, WindowShowsItsPartOfTheSensor) {
    Add("XCG-V60E", 1, {"width", "200", "height", "160"});
    const Image full = Render(1, 7, 200, 160);
    const std::uint32_t handle = Open(1);
    ZURImagePosition window{40, 30, 100, 120, 0};
    ASSERT_EQ(ZURSetImageInfo(handle, &window), 1);
    const Image part = Render(1, 7, 100, 120);
    ASSERT_EQ(part.bytes.size(), 100u * 120u * 3u);
    for (int y = 40; y < 120; ++y) {  // below both counter boxes
        for (int x = 0; x < 100; ++x) {
            ASSERT_EQ(part.At(x, y), full.At(x + 40, y + 30)) << "x=" << x << " y=" << y;
        }
    }
}

TEST_F(Scene, DeepSamplesAreWidenedLittleEndian) {
    Add("XCG-V60E", 1, {"width", "64", "height", "120", "dataDepth", "12", "fast", "1"});
    const std::vector<std::uint8_t> raw = GrabOne(1);
    const Image rgb = Render(1, ZURSimFrameCounter(1), 64, 120);
    ASSERT_EQ(raw.size(), 64u * 120u * 2u);
    for (std::size_t i = 0; i < raw.size() / 2; ++i) {
        const unsigned sample = raw[2 * i] | (unsigned{raw[2 * i + 1]} << 8);
        ASSERT_LE(sample, 4095u);
        ASSERT_EQ(sample >> 4, rgb.bytes[3 * i]) << i;
    }
}

TEST_F(Scene, ColourGainsScaleTheirChannel) {
    Add("XCG-U100CR", 1, {"width", "320", "height", "240"});
    const std::uint32_t handle = Open(1);
    ASSERT_EQ(WriteRegister(handle, 0xA0003000, 2048), 0u);  // red twice
    const Image image = Render(1, 0, 320, 240);
    EXPECT_EQ(image.At(40, 180), (Rgb{255, 20, 20}));
    EXPECT_EQ(image.At(200, 180), (Rgb{40, 20, 220}));
}

}  // namespace
}  // namespace zurtest
