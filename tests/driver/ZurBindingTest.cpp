// The driver binds its ZUR library at the first initialize: the choice is
// logged, and a library that cannot be had leaves no camera, never another.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "LogCapture.h"
#include "TempDir.h"
#include "ZURSim.h"
#include "ZavaDED.h"
#include "platform/ZurLibrary.h"

using testing_support::LogCapture;
using testing_support::SetEnvironment;

namespace {

#ifdef _WIN32
const std::string kShortLibrary = "zur_short.dll";
#else
const std::string kShortLibrary = "libzur_short.so";
#endif

struct BindingCase {
    const char* name;
    std::string library;     // ZAVADED_ZUR ("" unset)
    std::string convention;  // ZAVADED_ZUR_CALL ("" unset)
    bool cameras;
    std::string logged;  // part of the level-1 line
};

class ZurBinding : public ::testing::TestWithParam<BindingCase> {
  protected:
    void SetUp() override {
        ZURSimReset();
        ZURSimAddCamera("XCG-U100E", 4660);
    }
    void TearDown() override {
        while (DriverLog::Instance().RefCount() > 0) {
            finalize();
        }
        SetEnvironment("ZAVADED_ZUR", "");
        SetEnvironment("ZAVADED_ZUR_CALL", "");
        ZURSimReset();
    }
    bool Logged(const std::string& part) const {
        for (const std::string& message : capture.Messages()) {
            if (message.find(part) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    // Cameras found, and whether one of them opens.
    bool Run(const BindingCase& setting) {
        SetEnvironment("ZAVADED_ZUR", setting.library);
        SetEnvironment("ZAVADED_ZUR_CALL", setting.convention);
        EXPECT_EQ(initialize(folder.Path().c_str(), &LogCapture::MessageProcForTest), 1);
        int size[2] = {0, 0};
        const bool opened = openCVLPort(0, 0, "XCG-U100E-4660", size) == 1;
        closeCVLPort(0, 0);
        EXPECT_EQ(opened, getCVLNoOfSupportedCameras() == 1);
        return opened;
    }
    LogCapture capture{1, 0};
    testing_support::TempDir folder;
};

const std::string bin = platform::ModuleFolder();

TEST_P(ZurBinding, LogsTheLibraryOrWhyThereIsNone) {
    const BindingCase& setting = GetParam();
    EXPECT_EQ(Run(setting), setting.cameras);
    EXPECT_TRUE(Logged(setting.logged)) << setting.logged;
    // A failed choice never falls back to the simulated cameras.
    EXPECT_EQ(Logged("simulated cameras"), setting.cameras);
    // Nor does the next session keep a failed or an earlier binding.
    finalize();
    capture.Clear();
    EXPECT_EQ(Run({"default", "", "", true, ""}), true);
}

std::vector<BindingCase> Cases() {
    return {
#ifdef _WIN32
        {"Default", "", "", true, "ZUR library " + bin + "ZUR.dll"},
        {"Missing", bin + "absent\\ZUR.dll", "", false,
         "ERROR: ZUR: cannot load " + bin +
             "absent\\ZUR.dll (chosen by ZAVADED_ZUR): Windows error 126; no cameras"},
        {"BareName", "ZUR.dll", "", false,
         "ERROR: ZUR: ZAVADED_ZUR=ZUR.dll: the path of a ZUR.dll"},
#else
        {"Default", "", "", true, "ZUR library " + bin + "sim/libZUR.so"},
        {"Simulated", "sim", "", true, "(chosen by ZAVADED_ZUR=sim)"},
        {"Path", bin + "libZUR.so", "", true,
         "ZUR library " + bin + "libZUR.so: simulated cameras"},
        {"Missing", bin + "absent/libZUR.so", "", false,
         "ERROR: ZUR: cannot load " + bin + "absent/libZUR.so (chosen by ZAVADED_ZUR): "},
        {"BareName", "libZUR.so", "", false,
         "ERROR: ZUR: ZAVADED_ZUR=libZUR.so: sim, gige or a path to a libZUR.so"},
#endif
        {"Short", bin + kShortLibrary, "", false,
         "ERROR: ZUR: " + bin + kShortLibrary + " lacks ZURBandAdjust; no cameras"},
        {"UnknownConvention", "", "fastcall", false,
         "ERROR: ZUR: ZAVADED_ZUR_CALL: ZUR_CALL=fastcall is neither cdecl nor stdcall"},
    };
}

// The form of the simulated ZUR.dll beside the tests (scripts/test-windows.sh
// runs them with each), called rightly and wrongly.
std::vector<BindingCase> FormCases() {
    if (!ZAVADED_ZUR_TWO_CONVENTIONS) {
        return {};
    }
    const char* given = std::getenv("ZAVADED_TEST_ZUR_FORM");
    const std::string form = given != nullptr && *given != '\0' ? given : "cdecl";
    const std::string library = "ZUR library " + bin + "ZUR.dll, ";
    if (form == "stdcall-decorated") {
        // The decoration tells the convention, whatever the setting says.
        return {{"DecoratedNames", "", "cdecl", true,
                 library + "decorated __stdcall names: simulated cameras"}};
    }
    const bool stdcall = form == "stdcall-undecorated";
    const std::string used = stdcall ? "__stdcall" : "__cdecl";
    const std::string wrong = stdcall ? "__cdecl" : "__stdcall";
    // Called the other way, every call would unbalance the stack.
    return {{"MatchingSetting", "", "", true, library + "undecorated " + used + " names"},
            {"WrongConvention", "", stdcall ? "cdecl" : "stdcall", false,
             "ERROR: ZUR: " + bin + "ZUR.dll: ZURSetStructVersion is " + used +
                 " but the driver is set to " + wrong + " (ZAVADED_ZUR_CALL): set ZUR_CALL=" +
                 (stdcall ? "stdcall" : "cdecl") + "; no cameras"}};
}

INSTANTIATE_TEST_SUITE_P(Form, ZurBinding, ::testing::ValuesIn(FormCases()),
                         [](const ::testing::TestParamInfo<BindingCase>& param) {
                             return std::string(param.param.name);
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ZurBinding);

INSTANTIATE_TEST_SUITE_P(Choices, ZurBinding, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<BindingCase>& param) {
                             return std::string(param.param.name);
                         });

// The system-wide file sets what the environment does not.
TEST(ZurChoice, TheEnvironmentComesBeforeTheConfigurationFile) {
    testing_support::TempDir folder;
    const std::string file = folder.File("zavaded.conf");
    testing_support::WriteWholeFile(file, "# which cameras\n  ZUR = gige \nZUR_CALL=stdcall\n");
    std::vector<std::string> errors;
    platform::ZurChoice choice = platform::ChooseZur(file, errors);
    EXPECT_EQ(choice.library, "gige");
    EXPECT_EQ(choice.source, file);
    EXPECT_EQ(choice.convention, platform::ZurConvention::Stdcall);

    SetEnvironment("ZAVADED_ZUR", "sim");
    SetEnvironment("ZAVADED_ZUR_CALL", "cdecl");
    choice = platform::ChooseZur(file, errors);
    SetEnvironment("ZAVADED_ZUR", "");
    SetEnvironment("ZAVADED_ZUR_CALL", "");
    EXPECT_EQ(choice.library, "sim");
    EXPECT_EQ(choice.source, "ZAVADED_ZUR");
    EXPECT_EQ(choice.convention, platform::ZurConvention::Cdecl);
    EXPECT_TRUE(errors.empty());

    choice = platform::ChooseZur(folder.File("absent.conf"), errors);
    EXPECT_EQ(choice.library, "");
    EXPECT_EQ(choice.source, "default");
}

}  // namespace
