// Colour conversion: conversion handles and the demosaic of each Bayer order.
// The source and target vectors have exactly the sizes the call may touch, so
// that the address sanitizer catches a step outside them.

#include <string>
#include <vector>

#include "ZurTestSupport.h"

namespace zurtest {
namespace {

struct Color {
    std::uint8_t r, g, b;
    bool operator==(const Color&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Color& c) {
    return out << "(" << int{c.r} << "," << int{c.g} << "," << int{c.b} << ")";
}

// The mosaic a sensor with this filter (named as "GRBG": the top-left 2 x 2
// block line by line) makes of an image.
std::vector<std::uint8_t> Mosaic(const std::vector<Color>& image, int width,
                                 const std::string& filter) {
    std::vector<std::uint8_t> samples(image.size());
    for (std::size_t i = 0; i < image.size(); ++i) {
        const int x = static_cast<int>(i) % width;
        const int y = static_cast<int>(i) / width;
        const Color c = image[i];
        switch (filter[static_cast<std::size_t>((y % 2) * 2 + x % 2)]) {
            case 'R':
                samples[i] = c.r;
                break;
            case 'G':
                samples[i] = c.g;
                break;
            default:
                samples[i] = c.b;
        }
    }
    return samples;
}

class Conversion : public ZurTest {
  protected:
    void SetUp() override {
        ZurTest::SetUp();
        ASSERT_EQ(ZURCreateConvHandle(&conversion, 5, 0, 0), 1);
    }

    // Converts and returns the pixels; checks the alpha byte on the way.
    std::vector<Color> Convert(const void* source, int width, int height, std::uint32_t filter,
                               std::uint32_t handle = 0) {
        ZURColorConvMode mode{9, filter, 1, 1, 1};
        std::vector<std::uint8_t> target(static_cast<std::size_t>(width * height * 4));
        EXPECT_EQ(ZURColorConvExec(handle != 0 ? handle : conversion, width, height, &mode, source,
                                   target.data()),
                  1);
        std::vector<Color> pixels;
        for (std::size_t i = 0; i < target.size(); i += 4) {
            EXPECT_EQ(target[i + 3], 255);
            pixels.push_back(Color{target[i + 2], target[i + 1], target[i]});
        }
        return pixels;
    }

    std::uint32_t conversion = 0;
};

const std::string kFilterNames[] = {"RGGB", "GBRG", "GRBG", "BGGR"};

class EachFilter : public Conversion, public ::testing::WithParamInterface<std::uint32_t> {
  protected:
    const std::string& Name() const { return kFilterNames[GetParam()]; }
};

TEST_P(EachFilter, UniformFieldKeepsItsColourUpToTheBorder) {
    const Color field{200, 100, 50};
    const std::vector<Color> image(6 * 4, field);
    const std::vector<std::uint8_t> mosaic = Mosaic(image, 6, Name());
    for (const Color& pixel : Convert(mosaic.data(), 6, 4, GetParam())) {
        EXPECT_EQ(pixel, field);
    }
}

TEST_P(EachFilter, QuadrantsLandInPlaceTopLineFirst) {
    const Color red{200, 10, 10};
    const Color green{10, 200, 10};
    const Color blue{10, 10, 200};
    const Color white{220, 220, 220};
    std::vector<Color> image;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            image.push_back(y < 4 ? (x < 4 ? red : green) : (x < 4 ? blue : white));
        }
    }
    const std::vector<std::uint8_t> mosaic = Mosaic(image, 8, Name());
    const std::vector<Color> pixels = Convert(mosaic.data(), 8, 8, GetParam());
    // Away from the quadrant edges every pixel is exact.
    for (int y : {0, 1, 2, 5, 6, 7}) {
        for (int x : {0, 1, 2, 5, 6, 7}) {
            const auto i = static_cast<std::size_t>(y * 8 + x);
            EXPECT_EQ(pixels[i], image[i]) << "x=" << x << " y=" << y;
        }
    }
    // Read with another order, the same mosaic gives other colours.
    const std::vector<Color> wrong = Convert(mosaic.data(), 8, 8, (GetParam() + 1) % 4);
    EXPECT_NE(wrong[0], red);
}

INSTANTIATE_TEST_SUITE_P(Filters, EachFilter, ::testing::Values(0u, 1u, 2u, 3u),
                         [](const ::testing::TestParamInfo<std::uint32_t>& filter) {
                             return kFilterNames[filter.param];
                         });

TEST_F(Conversion, SixteenBitModesShiftTheirSamples) {
    const Color field{180, 90, 30};
    const std::vector<std::uint8_t> narrow = Mosaic(std::vector<Color>(4 * 4, field), 4, "GRBG");
    std::vector<std::uint8_t> wide;
    for (const std::uint8_t sample : narrow) {
        const unsigned twelveBit = (unsigned{sample} << 4) | 0x0Fu;
        wide.push_back(static_cast<std::uint8_t>(twelveBit & 0xFF));
        wide.push_back(static_cast<std::uint8_t>(twelveBit >> 8));
    }
    std::uint32_t mode7 = 0;
    ASSERT_EQ(ZURCreateConvHandle(&mode7, 7, 4, 0), 1);
    for (const Color& pixel : Convert(wide.data(), 4, 4, 2, mode7)) {
        EXPECT_EQ(pixel, field);
    }
    // Mode 4 without a shift: samples above 255 saturate.
    std::uint32_t mode4 = 0;
    ASSERT_EQ(ZURCreateConvHandle(&mode4, 4, 0, 0), 1);
    for (const Color& pixel : Convert(wide.data(), 4, 4, 2, mode4)) {
        EXPECT_EQ(pixel, (Color{255, 255, 255}));
    }
}

TEST_F(Conversion, DegenerateSizesStayInsideTheirBuffers) {
    const std::vector<std::uint8_t> one{77};
    EXPECT_EQ(Convert(one.data(), 1, 1, 0).size(), 1u);
    const std::vector<std::uint8_t> line(5, 77);
    EXPECT_EQ(Convert(line.data(), 5, 1, 3).size(), 5u);
    EXPECT_EQ(Convert(line.data(), 1, 5, 1).size(), 5u);
}

TEST_F(Conversion, BitmapInfoDescribesTheTarget) {
    BITMAPINFO info{};
    ASSERT_EQ(ZURColorConvSetBMPINFO(conversion, 2448, 2048, &info), 1);
    EXPECT_EQ(info.bmiHeader.biSize, 40u);
    EXPECT_EQ(info.bmiHeader.biWidth, 2448);
    EXPECT_EQ(info.bmiHeader.biHeight, 2048);
    EXPECT_EQ(info.bmiHeader.biPlanes, 1);
    EXPECT_EQ(info.bmiHeader.biBitCount, 32);
    EXPECT_EQ(info.bmiHeader.biCompression, 0u);
    EXPECT_EQ(info.bmiHeader.biSizeImage, 2448u * 2048u * 4u);
}

TEST_F(Conversion, BadArgumentsFailCleanly) {
    std::uint32_t handle = 0;
    EXPECT_ZUR_ERROR(ZURCreateConvHandle(nullptr, 5, 0, 0), ZUR_ERROR_INVALID_ARGUMENT);
    EXPECT_ZUR_ERROR(ZURCreateConvHandle(&handle, 6, 0, 0), ZUR_ERROR_INVALID_ARGUMENT);
    EXPECT_ZUR_ERROR(ZURCreateConvHandle(&handle, 7, 9, 0), ZUR_ERROR_INVALID_ARGUMENT);
    EXPECT_ZUR_ERROR(ZURCreateConvHandle(&handle, 7, -1, 0), ZUR_ERROR_INVALID_ARGUMENT);

    BITMAPINFO info{};
    EXPECT_ZUR_ERROR(ZURColorConvSetBMPINFO(conversion, 0, 10, &info), ZUR_ERROR_INVALID_ARGUMENT);
    EXPECT_ZUR_ERROR(ZURColorConvSetBMPINFO(conversion, 10, -10, &info),
                     ZUR_ERROR_INVALID_ARGUMENT);
    EXPECT_ZUR_ERROR(ZURColorConvSetBMPINFO(conversion, 10, 10, nullptr),
                     ZUR_ERROR_INVALID_ARGUMENT);
    EXPECT_ZUR_ERROR(ZURColorConvSetBMPINFO(conversion + 1, 10, 10, &info),
                     ZUR_ERROR_INVALID_HANDLE);

    std::uint8_t source[4] = {};
    std::uint8_t target[16] = {};
    ZURColorConvMode mode{9, 0, 1, 1, 1};
    EXPECT_ZUR_ERROR(ZURColorConvExec(conversion, 2, 2, nullptr, source, target),
                     ZUR_ERROR_INVALID_ARGUMENT);
    EXPECT_ZUR_ERROR(ZURColorConvExec(conversion, 2, 2, &mode, nullptr, target),
                     ZUR_ERROR_INVALID_ARGUMENT);
    EXPECT_ZUR_ERROR(ZURColorConvExec(conversion, 2, 2, &mode, source, nullptr),
                     ZUR_ERROR_INVALID_ARGUMENT);
    EXPECT_ZUR_ERROR(ZURColorConvExec(conversion, 100000, 2, &mode, source, target),
                     ZUR_ERROR_INVALID_ARGUMENT);
    mode.cFilter = 4;
    EXPECT_ZUR_ERROR(ZURColorConvExec(conversion, 2, 2, &mode, source, target),
                     ZUR_ERROR_INVALID_ARGUMENT);

    // A camera handle is no conversion handle, and a closed one is gone.
    ZURSimAddCamera("XCG-U100CR", 5);
    EXPECT_ZUR_ERROR(ZURCloseConvHandle(Open(5)), ZUR_ERROR_INVALID_HANDLE);
    EXPECT_EQ(ZURSimOpenConversionCount(), 1);
    ASSERT_EQ(ZURCloseConvHandle(conversion), 1);
    EXPECT_EQ(ZURSimOpenConversionCount(), 0);
    EXPECT_ZUR_ERROR(ZURCloseConvHandle(conversion), ZUR_ERROR_INVALID_HANDLE);
    mode.cFilter = 0;
    EXPECT_ZUR_ERROR(ZURColorConvExec(conversion, 2, 2, &mode, source, target),
                     ZUR_ERROR_INVALID_HANDLE);
}

}  // namespace
}  // namespace zurtest
