#include "params/Param.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "params/ModelFlags.h"
#include "params/ParamSet.h"

namespace {

using Names = std::vector<std::string>;
using Codes = std::vector<std::int32_t>;

ParamSet Defined(std::uint32_t flags) {
    ParamSet set;
    set.Define(flags, "identity");
    return set;
}

TEST(Param, ConstructionTakesMinBeforeMax) {
    const Param<int> width("ImageWidth", 0xa0000100, 20000, 64, 20001);
    EXPECT_EQ(width.name, "ImageWidth");
    EXPECT_EQ(width.registerAddress, 0xa0000100u);
    EXPECT_EQ(width.value, 20000);
    EXPECT_EQ(width.min, 64);
    EXPECT_EQ(width.max, 20001);

    const Param<std::string> text("Text", "abc");
    EXPECT_EQ(text.value, "abc");
    EXPECT_EQ(text.min, "abc");
    EXPECT_EQ(text.max, "abc");
    EXPECT_EQ(text.registerAddress, 0u);
}

TEST(Param, InRangeIncludesBothBounds) {
    const ParamSet set = Defined(ModelMono);
    Param<int> width = set.ImageWidth;
    for (const int value : {64, 20000}) {
        width.value = value;
        EXPECT_TRUE(width.InRange()) << value;
    }
    for (const int value : {63, 20001}) {
        width.value = value;
        EXPECT_FALSE(width.InRange()) << value;
    }
    Param<double> frameRate = set.FrameRate;
    for (const double value : {1.0, 15.0}) {
        frameRate.value = value;
        EXPECT_TRUE(frameRate.InRange()) << value;
    }
    frameRate.value = std::nextafter(15.0, 16.0);
    EXPECT_FALSE(frameRate.InRange());
    Param<double> gamma = set.Gamma;
    for (const double value : {0.0, 1.0}) {
        gamma.value = value;
        EXPECT_TRUE(gamma.InRange()) << value;
    }
    gamma.value = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(gamma.InRange());
}

TEST(Param, PrintWritesNameEqualsValue) {
    const ParamSet set = Defined(ModelMono);
    std::ostringstream out;
    set.Exposure.Print(out);
    set.Gamma.Print(out);
    // Through the base: ParamEnum prints as its text.
    static_cast<const Param<std::string>&>(set.TriggerActivation).Print(out);
    EXPECT_EQ(out.str(), "Exposure=100\nGamma=0.7\nTriggerActivation=Falling Edge\n");
}

TEST(ParamEnum, AddItemIgnoresEmptyNamesAndSelectsTheFirstItem) {
    ParamEnum param("Mode", "Initial");
    param.AddItem(nullptr, 5);
    param.AddItem("", 6);
    EXPECT_TRUE(param.names.empty());
    EXPECT_TRUE(param.codes.empty());
    EXPECT_EQ(param.value, "Initial");

    param.AddItem("A", 10);
    EXPECT_EQ(param.value, "A");
    param.value = "B";
    param.AddItem("B", 11);
    param.AddItem("C", 11);
    EXPECT_EQ(param.value, "B") << "only the first item selects itself";
    EXPECT_EQ(param.names, (Names{"A", "B", "C"}));
    EXPECT_EQ(param.codes, (Codes{10, 11, 11}));

    param.ClearItems();
    EXPECT_TRUE(param.names.empty());
    EXPECT_TRUE(param.codes.empty());
    EXPECT_EQ(param.value, "B");
}

TEST(ParamEnum, CodeLookupsAndCodeZeroAmbiguity) {
    const ParamSet set = Defined(ModelMono);
    const ParamEnum& mode = set.TriggerMode;
    EXPECT_EQ(mode.CodeOf("On"), 1);
    EXPECT_EQ(mode.CodeOf("Off"), 0);
    EXPECT_EQ(mode.CodeOf("Maybe"), 0);
    EXPECT_EQ(mode.CodeOf(""), 0);
    EXPECT_EQ(mode.CodeOf(static_cast<const char*>(nullptr)), 0);
    EXPECT_EQ(mode.CodeOf("on"), 0) << "names match case-sensitively";
    EXPECT_EQ(mode.CodeOf("On "), 0) << "and whole";

    ParamEnum activation = set.TriggerActivation;
    EXPECT_EQ(activation.CurrentCode(), 4);
    EXPECT_EQ(activation.MinCode(), 4);
    EXPECT_EQ(activation.MaxCode(), 7);
    activation.SetByCode(3);
    EXPECT_EQ(activation.value, "Falling Edge");
    activation.SetByCode(6);
    EXPECT_EQ(activation.value, "Rising Edge");
    EXPECT_EQ(activation.CurrentCode(), 6);
    activation.value = "Rising";
    EXPECT_EQ(activation.CurrentCode(), 0) << "a text that is no item";
}

TEST(ParamEnum, WithoutItemsEverythingIsZero) {
    for (const std::uint32_t flags : {1u, 2u}) {
        ParamEnum taps = Defined(flags).SensorTaps;
        EXPECT_TRUE(taps.names.empty());
        EXPECT_EQ(taps.MinCode(), 0);
        EXPECT_EQ(taps.MaxCode(), 0);
        EXPECT_EQ(taps.CurrentCode(), 0);
        taps.SetByCode(0);
        EXPECT_EQ(taps.value, "2");
    }
}

TEST(ParamEnum, ListsOfUnequalLengthAreReadUpToTheShorter) {
    ParamEnum param("P", "x");
    param.names = {"a", "b", "c"};
    param.codes = {5, 9};
    EXPECT_EQ(param.CodeOf("c"), 0);
    EXPECT_EQ(param.MaxCode(), 9);
    param.AddItem("d", 1);
    EXPECT_EQ(param.names, (Names{"a", "b", "d"}));
    EXPECT_EQ(param.codes, (Codes{5, 9, 1}));
    EXPECT_EQ(param.MinCode(), 1);
}

TEST(ParamSet, UndefinedUntilAFamilyIsDefined) {
    ParamSet set;
    EXPECT_FALSE(set.IsDefined());
    EXPECT_EQ(set.identityFlags, 0u);
    EXPECT_TRUE(set.SensorTaps.name.empty());
    set.DefineStandard();
    EXPECT_TRUE(set.IsDefined());
    EXPECT_EQ(set.SensorTaps.name, "Sensor Taps");
    EXPECT_EQ(set.LogIntoFile.name, "LogIntoFile");
}

TEST(ParamSet, DefineChoosesTheFamilyFromTheFlags) {
    // H280 is tested before colour; anything else is standard.
    const struct {
        std::uint32_t flags;
        std::uint32_t gainRegister;
    } cases[] = {
        {0, 0xa0002008}, {1, 0xa0002008}, {2, 0xa0002008}, {17, 0xa00030a0}, {16 | 2, 0xa00030a0}};
    for (const auto& c : cases) {
        ParamSet set;
        set.Define(c.flags, "XCG");
        EXPECT_EQ(set.identityFlags, c.flags);
        EXPECT_EQ(set.identityString, "XCG");
        EXPECT_EQ(set.Gain.registerAddress, c.gainRegister) << c.flags;
        EXPECT_EQ(set.GainRed.value, c.flags == 2 ? 1024 : 0) << c.flags;
    }
}

TEST(ParamSet, StandardFamily) {
    const ParamSet set = Defined(ModelMono);
    EXPECT_EQ(set.LogLevel.registerAddress, 0u);
    EXPECT_EQ(set.LogLevel.min, 1);
    EXPECT_EQ(set.LogLevel.max, 3);
    EXPECT_EQ(set.Exposure.registerAddress, 0xa0002040u);
    EXPECT_EQ(set.Exposure.min, 10);
    EXPECT_EQ(set.Exposure.max, 2000000);
    EXPECT_EQ(set.BlackLevel.registerAddress, 0xa0008038u);
    EXPECT_EQ(set.BlackLevel.value, 1023);
    EXPECT_EQ(set.FrameRate.registerAddress, 0xa0000220u);
    EXPECT_EQ(set.Gamma.registerAddress, 0xa0000310u);
    EXPECT_EQ(set.Gamma.value, 0.7);
    EXPECT_EQ(set.ImageHeight.min, 120);
    EXPECT_EQ(set.ImageOffsetY.registerAddress, 0xa000010cu);
    EXPECT_EQ(set.GainBlue.registerAddress, 0xa0000000u);
    EXPECT_EQ(set.GainBlue.value, 0);
    EXPECT_EQ(set.GainBlue.min, 0);
    EXPECT_EQ(set.GainBlue.max, 0);
    EXPECT_EQ(set.BandLevel.max, 100);
    EXPECT_EQ(set.TriggerDelay.max, 4000000);
    EXPECT_EQ(set.LineInverter1.registerAddress, 0xa0002070u);
    EXPECT_EQ(set.LineInverter2.registerAddress, 0xa0002084u);
    EXPECT_EQ(set.StrobeDuration2.registerAddress, 0xa000208cu);
    EXPECT_EQ(set.StrobeDuration2.min, 1);
    EXPECT_EQ(set.StrobeDelay1.registerAddress, 0xa0002074u);
    EXPECT_EQ(set.StrobeDelay1.max, 4000);

    EXPECT_EQ(set.TriggerSource.value, "Software");
    EXPECT_EQ(set.TriggerSource.names, (Names{"Hardware", "Software"}));
    EXPECT_EQ(set.TriggerSource.registerAddress, 0xa0002098u);
    EXPECT_EQ(set.TriggerActivation.names,
              (Names{"Falling Edge", "Low Level", "Rising Edge", "High Level"}));
    EXPECT_EQ(set.TriggerActivation.codes, (Codes{4, 5, 6, 7}));
    EXPECT_EQ(set.TriggerInhibit.registerAddress, 0xa0002050u);
    EXPECT_EQ(set.SensorTaps.registerAddress, 0xa0000000u);
    EXPECT_EQ(set.ActiveGPO.registerAddress, 0xa0001104u);
    EXPECT_EQ(set.ActiveGPO.names, (Names{"None", "GPO1", "GPO2"}));
    EXPECT_EQ(set.LineSource1.names, (Names{"Exposure", "Strobe", "GPO"}));
    EXPECT_EQ(set.LineSource1.codes, (Codes{0, 1, 2}));
    EXPECT_EQ(set.LineSource2.registerAddress, 0xa0002080u);
    EXPECT_EQ(set.ColorFilter.names, (Names{"RGGB", "GBRG", "GRBG", "BGGR"}));
    EXPECT_EQ(set.ColorFilter.codes, (Codes{0, 1, 2, 3}));
}

TEST(ParamSet, ColorFamily) {
    const ParamSet set = Defined(ModelColor);
    EXPECT_EQ(set.BlackLevel.registerAddress, 0xa0008038u);
    EXPECT_EQ(set.GainRed.registerAddress, 0xa0003000u);
    EXPECT_EQ(set.GainGreen.registerAddress, 0xa0003008u);
    EXPECT_EQ(set.GainBlue.registerAddress, 0xa0003018u);
    for (const Param<int>* gain : {&set.GainRed, &set.GainGreen, &set.GainBlue}) {
        EXPECT_EQ(gain->value, 1024) << gain->name;
        EXPECT_EQ(gain->min, 1024) << gain->name;
        EXPECT_EQ(gain->max, 16383) << gain->name;
    }
    EXPECT_EQ(set.LineInverter1.registerAddress, 0xa00020a8u);
    EXPECT_EQ(set.LineInverter2.registerAddress, 0xa00020acu);
    EXPECT_EQ(set.Gamma.registerAddress, 0xa0000310u);
    EXPECT_EQ(set.ActiveGPO.registerAddress, 0xa0001104u);
    EXPECT_EQ(set.LineSource2.names, (Names{"Exposure", "Strobe", "GPO"}));
}

TEST(ParamSet, H280Family) {
    const ParamSet set = Defined(ModelMono | ModelH280);
    EXPECT_EQ(set.BlackLevel.registerAddress, 0xa0002038u);
    EXPECT_EQ(set.Gain.registerAddress, 0xa00030a0u);
    EXPECT_EQ(set.Gain.max, 502);
    EXPECT_EQ(set.Gamma.registerAddress, 0xa0000000u);
    EXPECT_EQ(set.GainGreen.registerAddress, 0xa0000000u);
    EXPECT_EQ(set.GainGreen.max, 0);
    EXPECT_EQ(set.LineInverter1.registerAddress, 0xa00020a8u);
    EXPECT_EQ(set.SensorTaps.registerAddress, 0xa0000124u);
    EXPECT_EQ(set.SensorTaps.names, (Names{"2", "4"}));
    EXPECT_EQ(set.SensorTaps.codes, (Codes{2, 4}));
    EXPECT_EQ(set.SensorTaps.value, "2");
    EXPECT_EQ(set.ActiveGPO.registerAddress, 0xa0000354u);
    const Names lineSources{"Exposure",       "Strobe",         "UserOutput0", "UserOutput1",
                            "Sensor Readout", "Trigger Signal", "True",        "False"};
    EXPECT_EQ(set.LineSource1.names, lineSources);
    EXPECT_EQ(set.LineSource2.names, lineSources);
    EXPECT_EQ(set.LineSource2.codes, (Codes{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(set.LineSource1.registerAddress, 0xa000206cu);
    EXPECT_EQ(set.TriggerMode.registerAddress, 0xa0002044u);
}

TEST(ParamSet, DefiningAgainResetsEverything) {
    const ParamSet fresh = Defined(ModelMono | ModelH280);
    ParamSet set = fresh;
    set.Exposure.value = 5000;
    set.Exposure.max = 1;
    set.Gamma.value = 0.25;
    set.LineSource1.value = "True";
    set.LineSource1.AddItem("Extra", 9);
    set.SensorTaps.ClearItems();
    set.Define(ModelMono | ModelH280, "identity");
    EXPECT_EQ(set, fresh);
}

TEST(ParamSet, CopyKeepsTheFamilyListsAndTheValues) {
    ParamSet source = Defined(ModelMono | ModelH280);
    source.identityString = "XCG-H280E";
    source.Exposure.value = 777;
    source.Gain.max = 480;
    source.SensorTaps.SetByCode(4);
    source.LineSource2.SetByCode(7);

    const ParamSet copy(source);
    EXPECT_EQ(copy, source);
    EXPECT_EQ(copy.identityFlags, 17u);
    EXPECT_EQ(copy.identityString, "XCG-H280E");
    EXPECT_EQ(copy.LineSource1.names.size(), 8u);
    EXPECT_EQ(copy.SensorTaps.names, (Names{"2", "4"}));
    EXPECT_EQ(copy.SensorTaps.value, "4");
    EXPECT_EQ(copy.LineSource2.value, "False");
    EXPECT_EQ(copy.Exposure.value, 777);
    EXPECT_EQ(copy.Gain.max, 480);

    ParamSet assigned = Defined(ModelColor);
    assigned = source;
    EXPECT_EQ(assigned, source);
}

}  // namespace
