// Register access and feature setters against the simulated camera: the
// addresses, encodings and order of writes are the camera's interface.
#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <string>
#include <vector>

#include "SimulatedDriver.h"
#include "ZURSim.h"
#include "camera/Camera.h"

using testing_support::ClearJournal;
using testing_support::DriverSession;
using testing_support::Journal;
using testing_support::JournalOf;
using testing_support::PeekRegister;
using testing_support::RegisterWrites;
using testing_support::Write;

namespace {

constexpr std::uint64_t kId = 7;

// The journal as a list of steps: "W address" for a register write, "R
// address" for a read, the call's name without "ZUR" for anything else.
std::vector<std::string> Steps() {
    std::vector<std::string> steps;
    for (const std::string& entry : Journal()) {
        const std::size_t at = entry.find("address=0x");
        if (entry.rfind("ZURGigESetRegister", 0) == 0) {
            steps.push_back("W " + entry.substr(at + 10, 8));
        } else if (entry.rfind("ZURGigEGetRegister", 0) == 0) {
            steps.push_back("R " + entry.substr(at + 10, 8));
        } else if (entry.rfind("ZURGetLastError", 0) != 0) {
            steps.push_back(entry.substr(3, entry.find(' ') - 3));
        }
    }
    return steps;
}

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// The writes every family shares, between the black level and the gamma.
const std::vector<std::string> kHead = {"W a0002040", "W a0002018"};

TEST(SetParameters, StandardFamilyWritesInTheCamerasOrder) {
    DriverSession session({{"XCG-U100E", kId}});
    Camera& camera = session.Open("XCG-U100E-7", 0);
    ClearJournal();
    camera.SetParameters();
    const std::vector<std::string> expected = Concat({
        kHead,
        {"R a0001100", "W a0001100", "W a0008038"},                // selector, black level
        {"W a0000224", "W a0000220"},                              // frame rate
        {"SetImageInfo"},                                          // refused while streaming:
        {"R a0000100", "R a0000104", "R a0000108", "R a000010c"},  // the geometry is read back
        {"W a000201c", "W a0002008"},                              // gain
        {"W a0000000", "W a0000000", "W a0000000"},                // colour gains: no registers
        {"BandAdjust", "W a0000114"},                              // band, vertical binning
        {"W a0002044", "W a0002098", "W a0002048", "W a0002050", "W a0002058"},  // trigger
        {"R a0001104", "W a0001104"},                                            // active GPO
        {"W a000206c", "W a0002080"},                                            // line sources
        {"W a0002070", "W a0002084", "W a0002078", "W a000208c", "W a0002074", "W a0002088"},
        {"W a0000310"},  // gamma
    });
    EXPECT_EQ(Steps(), expected);
}

TEST(SetParameters, ColourFamilyAddsColourGainsAndTheFilter) {
    DriverSession session({{"XCG-5005CR", kId}});
    Camera& camera = session.Open("XCG-5005CR-7", 0);
    ClearJournal();
    camera.SetParameters();
    const std::vector<std::string> expected = Concat({
        kHead,
        {"R a0001100", "W a0001100", "W a0008038"},
        {"W a0000224", "W a0000220"},
        {"SetImageInfo", "R a0000100", "R a0000104", "R a0000108", "R a000010c"},
        {"W a000201c", "W a0002008"},
        {"W a0003000", "W a0003008", "W a0003018"},
        {"BandAdjust"},  // no vertical binning on colour cameras
        {"W a0002044", "W a0002098", "W a0002048", "W a0002050", "W a0002058"},
        {"R a0001104", "W a0001104"},
        {"W a000206c", "W a0002080"},
        {"W a00020a8", "W a00020ac", "W a0002078", "W a000208c", "W a0002074", "W a0002088"},
        {"W a0000310"},
        {"NowCameraMode", "SetCameraMode"},
    });
    EXPECT_EQ(Steps(), expected);
}

TEST(SetParameters, H280FamilyHasItsOwnRegistersAndNoGamma) {
    DriverSession session({{"XCG-H280E", kId}});
    Camera& camera = session.Open("XCG-H280E-7", 0);
    ClearJournal();
    camera.SetParameters();
    const std::vector<std::string> expected = Concat({
        kHead,
        {"W a0002038"},  // black level without the selector
        {"W a0000224", "W a0000220", "R a0000220"},
        {"SetImageInfo", "R a0000100", "R a0000104", "R a0000108", "R a000010c"},
        {"W a000201c", "W a00030a0"},
        {"W a0000000", "W a0000000", "W a0000000"},
        {"BandAdjust", "W a0000114", "W a0000118"},
        {"W a0002044", "W a0002098", "W a0002048", "W a0002050", "W a0002058"},
        {"R a0000354", "W a0000354"},
        {"W a000206c", "W a0002080"},
        {"W a00020a8", "W a00020ac", "W a0002078", "W a000208c", "W a0002074", "W a0002088"},
        {"W a0000124"},  // sensor taps
    });
    EXPECT_EQ(Steps(), expected);
}

TEST(FrameRate, H280CountsMillionthsOtherCamerasUseFloats) {
    DriverSession session({{"XCG-H280E", 1}, {"XCG-U100E", 2}});
    Camera& h280 = session.Open("XCG-H280E-1", 0);
    Camera& standard = session.Open("XCG-U100E-2", 1);
    ClearJournal();
    EXPECT_TRUE(h280.SetFrameRate(7.5f));
    EXPECT_TRUE(standard.SetFrameRate(7.5f));
    EXPECT_EQ(RegisterWrites(),
              (std::vector<std::string>{Write(0xA0000224, 0), Write(0xA0000220, 7500000),
                                        Write(0xA0000224, 0), Write(0xA0000220, 0x40F00000)}));
    EXPECT_DOUBLE_EQ(h280.Params().FrameRate.value, 7.5);
}

TEST(FrameRate, FailedWriteOfANewRateReadsTheCamerasRateBack) {
    DriverSession session({{"XCG-U100E", kId}});
    Camera& camera = session.Open("XCG-U100E-7", 0);
    ASSERT_TRUE(camera.SetFrameRate(5.0f));
    // The camera refuses a rate beyond its limit.
    EXPECT_FALSE(camera.SetFrameRate(500.0f));
    EXPECT_DOUBLE_EQ(camera.Params().FrameRate.value, 5.0);
    EXPECT_TRUE(session.Log().Contains(
        "Camera::SetFrameRate: Failed to set framerate: port= 0, framerate = 500.000000\n"));
    // Writing the stored rate again and failing leaves it as it is.
    camera.Params().FrameRate.value = 400.0;
    EXPECT_FALSE(camera.SetFrameRate(-1.0f));
    EXPECT_DOUBLE_EQ(camera.Params().FrameRate.value, 400.0);
}

TEST(Setters, NegativeValuesRewriteTheStoredValue) {
    DriverSession session({{"XCG-U100E", kId}});
    Camera& camera = session.Open("XCG-U100E-7", 0);
    ASSERT_TRUE(camera.SetParamInt(camera.Params().Exposure, 250));
    ClearJournal();
    EXPECT_TRUE(camera.SetParamInt(camera.Params().Exposure, -1));
    EXPECT_TRUE(camera.SetParamInt(camera.Params().Exposure, -5));
    EXPECT_EQ(RegisterWrites(),
              (std::vector<std::string>{Write(0xA0002040, 250), Write(0xA0002040, 250)}));
}

TEST(Setters, FailedWriteOfANewValueMirrorsTheCamera) {
    DriverSession session({{"XCG-U100E", kId}});
    Camera& camera = session.Open("XCG-U100E-7", 0);
    ZURSimFailNext("ZURGigESetRegister", 1);
    EXPECT_FALSE(camera.SetParamInt(camera.Params().Exposure, 500));
    EXPECT_EQ(camera.Params().Exposure.value, 100);
    EXPECT_TRUE(session.Log().Contains(
        "Camera::SetParamInt: Failed to set parameter:  port= 0, name= Exposure, value = 500\n"));

    ParamEnum& activation = camera.Params().TriggerActivation;
    ZURSimFailNext("ZURGigESetRegister", 1);
    EXPECT_FALSE(camera.SetParamEnum(activation, 6));
    EXPECT_EQ(activation.value, "Falling Edge");
}

TEST(Setters, EnumCodesAreCheckedAgainstTheItems) {
    DriverSession session({{"XCG-U100E", 1}, {"XCG-H280E", 2}});
    Camera& camera = session.Open("XCG-U100E-1", 0);
    ParamEnum& activation = camera.Params().TriggerActivation;
    ClearJournal();
    EXPECT_FALSE(camera.SetParamEnum(activation, 3));
    EXPECT_FALSE(camera.SetParamEnum(activation, 8));
    EXPECT_TRUE(
        session.Log().Contains("Camera::SetParamEnum: value out of enum range: port= 0, name= "
                               "TriggerActivation, value= 8 \n"));
    EXPECT_TRUE(RegisterWrites().empty());
    EXPECT_TRUE(camera.SetParamEnum(activation, 6));
    EXPECT_EQ(activation.value, "Rising Edge");
    EXPECT_EQ(RegisterWrites(), std::vector<std::string>{Write(0xA0002048, 6)});

    // Without items only code 0 passes, and 0 is written to the placeholder.
    ClearJournal();
    EXPECT_FALSE(camera.SetParamEnum(camera.Params().SensorTaps, 2));
    EXPECT_TRUE(camera.SetParamEnum(camera.Params().SensorTaps, 0));
    EXPECT_EQ(RegisterWrites(), std::vector<std::string>{Write(0xA0000000, 0)});

    // A code inside the range that no item has keeps the current item.
    Camera& h280 = session.Open("XCG-H280E-2", 1);
    ClearJournal();
    EXPECT_TRUE(h280.SetParamEnum(h280.Params().SensorTaps, 3));
    EXPECT_EQ(h280.Params().SensorTaps.value, "2");
    EXPECT_EQ(RegisterWrites(), std::vector<std::string>{Write(0xA0000124, 2)});
}

TEST(Setters, BlackLevelSelectsDigitalAllExceptOnTheH280) {
    DriverSession session({{"XCG-U100E", 1}, {"XCG-H280E", 2}});
    Camera& standard = session.Open("XCG-U100E-1", 0);
    Camera& h280 = session.Open("XCG-H280E-2", 1);
    ASSERT_EQ(ZURSimPokeRegister(1, 0xA0001100, 0x00010005), 1);
    EXPECT_TRUE(standard.SetBlackLevel(100));
    EXPECT_EQ(PeekRegister(1, 0xA0001100), 0x00020005u);
    EXPECT_EQ(PeekRegister(1, 0xA0008038), 100u);

    ClearJournal();
    EXPECT_TRUE(h280.SetBlackLevel(100));
    for (const std::string& entry : Journal()) {
        EXPECT_EQ(entry.find("0xa0001100"), std::string::npos) << entry;
    }
    EXPECT_EQ(PeekRegister(2, 0xA0002038), 100u);
}

TEST(Setters, ActiveGpoKeepsTheUpperHalfOfItsRegister) {
    DriverSession session({{"XCG-U100E", kId}});
    Camera& camera = session.Open("XCG-U100E-7", 0);
    ASSERT_EQ(ZURSimPokeRegister(kId, 0xA0001104, 0x00050000), 1);
    camera.Params().ActiveGPO.value = "GPO2";
    ClearJournal();
    EXPECT_TRUE(camera.setActiveGPO());
    camera.Params().ActiveGPO.value = "None";
    EXPECT_TRUE(camera.setActiveGPO());
    EXPECT_EQ(RegisterWrites(), (std::vector<std::string>{Write(0xA0001104, 0x00050002),
                                                          Write(0xA0001104, 0x00050000)}));
}

TEST(Setters, BandAdjustmentIsClampedToOne) {
    DriverSession session({{"XCG-U100E", kId}});
    Camera& camera = session.Open("XCG-U100E-7", 0);
    camera.Params().BandLevel.value = 40;
    ClearJournal();
    EXPECT_TRUE(camera.SetBandAdjustment(5));
    EXPECT_EQ(camera.Params().BandAdjustment.value, 1);
    const std::vector<std::string> calls = JournalOf("ZURBandAdjust");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_NE(calls[0].find("adjust=1 level=40"), std::string::npos) << calls[0];

    ZURSimFailNext("ZURBandAdjust", 1);
    EXPECT_FALSE(camera.SetBandAdjustment(0));
    EXPECT_EQ(camera.Params().BandAdjustment.value, 1);
}

TEST(Setters, SoftwareTriggerIsAlwaysResetToZero) {
    DriverSession session({{"XCG-U100E", kId}});
    Camera& camera = session.Open("XCG-U100E-7", 0);
    ClearJournal();
    ZURSimFailNext("ZURGigESetRegister", 1);
    EXPECT_FALSE(camera.GenerateSoftwareTrigger());
    EXPECT_EQ(RegisterWrites(),
              (std::vector<std::string>{Write(0xA00002F8, 1), Write(0xA00002F8, 0)}));
    EXPECT_TRUE(camera.GenerateSoftwareTrigger());
}

TEST(Setters, ColorFilterGoesThroughTheCameraMode) {
    DriverSession session({{"XCG-5005CR", 1}, {"XCG-U100CR", 2, {{"standardMode", "1"}}}});
    Camera& camera = session.Open("XCG-5005CR-1", 0);
    camera.Params().ColorFilter.value = "BGGR";
    ClearJournal();
    EXPECT_TRUE(camera.SetColorFilter(-1));
    const std::vector<std::string> modes = JournalOf("ZURSetCameraMode");
    ASSERT_EQ(modes.size(), 1u);
    EXPECT_NE(modes[0].find("standardMode=0 colorFilter=3"), std::string::npos) << modes[0];

    EXPECT_FALSE(camera.SetColorFilter(4));
    EXPECT_TRUE(session.Log().Contains(
        "Camera::SetColorFilter: value out of enum range: port= 0, value= 4 \n"));
    EXPECT_TRUE(camera.SetColorFilter(1));
    EXPECT_EQ(camera.Params().ColorFilter.value, "GBRG");

    // A camera in a standard mode keeps its filter.
    Camera& standardMode = session.Open("XCG-U100CR-2", 1);
    ClearJournal();
    EXPECT_FALSE(standardMode.SetColorFilter(1));
    EXPECT_TRUE(JournalOf("ZURSetCameraMode").empty());
}

TEST(Limits, AreReadFromTheCamerasLimitRegisters) {
    DriverSession session({{"XCG-U100E", 1}, {"XCG-H280E", 2}});
    Camera& camera = session.Open("XCG-U100E-1", 0);
    ASSERT_EQ(ZURSimPokeRegister(1, 0xA0007000, 640), 1);
    ASSERT_EQ(ZURSimPokeRegister(1, 0xA0007004, 64), 1);
    ASSERT_EQ(ZURSimPokeRegister(1, 0xA0007010, std::bit_cast<std::uint32_t>(12.5f)), 1);
    camera.GetMinMaxValues();
    const ParamSet& params = camera.Params();
    EXPECT_EQ(params.ImageWidth.max, 640);
    EXPECT_EQ(params.ImageOffsetX.min, 0);
    EXPECT_EQ(params.ImageOffsetX.max, 576);
    EXPECT_DOUBLE_EQ(params.FrameRate.max, 12.5);
    EXPECT_EQ(params.VerticalBinning.max, 1);
    EXPECT_EQ(params.BandLevel.max, 100);

    Camera& h280 = session.Open("XCG-H280E-2", 1);
    ASSERT_EQ(ZURSimPokeRegister(2, 0xA0007010, 30500000), 1);
    h280.GetMinMaxValues();
    EXPECT_DOUBLE_EQ(h280.Params().FrameRate.max, 30.0);  // whole frames per second
    EXPECT_EQ(h280.Params().VerticalBinning.min, 1);
    EXPECT_EQ(h280.Params().HorizontalBinning.max, 2);
}

TEST(RegisterAccess, WritesNoMoreThanTheRecordHolds) {
    DriverSession session({{"XCG-U100E", kId}});
    Camera& camera = session.Open("XCG-U100E-7", 0);
    std::vector<std::uint32_t> words(136, 0);
    ClearJournal();
    EXPECT_FALSE(camera.ZazeGigE_WriteRegister(0xA0002040, words.data(), 544));
    EXPECT_TRUE(Journal().empty());
    EXPECT_TRUE(camera.ZazeGigE_WriteRegister(0xA0002040, words.data(), 540) || !Journal().empty());
}

TEST(RegisterAccess, FailedReadsYieldZero) {
    DriverSession session({{"XCG-U100E", kId}});
    Camera& camera = session.Open("XCG-U100E-7", 0);
    ZURSimFailNext("ZURGigEGetRegister", 1);
    EXPECT_EQ(camera.ReadRegister(0xA0002040), 0u);
    EXPECT_TRUE(
        session.Log().Contains("Camera::ReadRegister: ERROR: Failed to read registry a0002040 \n"));
    EXPECT_EQ(camera.ReadRegister(0xA0002040), 100u);
}

}  // namespace
