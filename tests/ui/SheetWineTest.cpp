// The configuration sheet of the Windows build, shown by the driver as a
// host calls it and worked through its windows from a second thread, as a
// user would. Needs a display: run under xvfb-run.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LoadedDriverSheet.h"
#include "SheetDriver.h"
#include "ZURSim.h"

namespace {

using namespace sheet_driver;
using namespace sheet_test;

class WineSheet : public LoadedDriverSheet {
  protected:
    // configureCamera on this thread while user() works the sheet, once it
    // is up, on another; user() must close the sheet.
    int Configure(const std::string& camera, const std::string& title,
                  const std::function<void(HWND)>& user) {
        std::thread userThread([&] {
            HWND sheet = WaitForSheet(title);
            if (sheet == nullptr) {
                ADD_FAILURE() << "no sheet titled " << title;
                return;
            }
            user(sheet);
            // A sheet that refused to close must not leave the test hanging.
            if (!WaitUntilGone(sheet, std::chrono::seconds(30))) {
                ADD_FAILURE() << "the sheet stayed open";
                PressCancel(sheet);
                WaitUntilGone(sheet);
            }
        });
        const int result = driver->configureCamera(nullptr, camera.c_str());
        userThread.join();
        return result;
    }
};

RECT WindowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

TEST_F(WineSheet, ChecksEditsAsTheyChangeAndSavesTheSectionOnOk) {
    Open(0, "XCG-V60E-100");
    const int result =
        Configure("XCG-V60E-100", "Configure camera on port #1: XCG-V60E-100", [](HWND sheet) {
            EXPECT_EQ(PageCount(sheet), 2);
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(sheet, 12321)));  // Apply
            const RECT ok = WindowRect(GetDlgItem(sheet, IDOK));
            const RECT cancel = WindowRect(GetDlgItem(sheet, IDCANCEL));
            const RECT tabs = WindowRect(TabControl(sheet));
            const RECT status = WindowRect(GetDlgItem(sheet, 105));
            EXPECT_EQ(ok.left, cancel.left);
            EXPECT_LT(ok.bottom, cancel.top);
            EXPECT_GT(ok.left, tabs.right);
            EXPECT_LT(ok.top, tabs.top + 20);
            EXPECT_GE(status.top, tabs.bottom);
            EXPECT_GE(status.right - status.left, tabs.right - tabs.left);

            HWND page = CurrentPage(sheet);
            const std::string labels = ChildTexts(page);
            for (const char* label :
                 {"Image", "Trigger", "Width", "Exposure Time", "Network Load", "Sensor Taps"}) {
                EXPECT_NE(labels.find(label), std::string::npos) << label;
            }
            EXPECT_EQ(StatusText(sheet), "");
            EXPECT_TRUE(IsOkEnabled(sheet));
            EXPECT_EQ(ControlText(page, 1086), "640");
            EXPECT_EQ(ControlText(page, 1084).substr(ControlText(page, 1084).size() - 5), " 640]");
            EXPECT_EQ(ControlText(page, 1101), "0.70");  // single-precision 0.7 from the camera
            EXPECT_EQ(ControlText(page, 1099), "[1.0 ... 90.0]");
            EXPECT_FALSE(IsControlEnabled(page, 1104));  // Horz Binning: no H280
            EXPECT_FALSE(IsControlEnabled(page, 1105));  // band level: Network Load off

            Type(page, 1086, "700");
            EXPECT_EQ(StatusText(sheet), "Camera Settings: Image width not in range");
            EXPECT_FALSE(IsOkEnabled(sheet));
            Type(page, 1086, "600");
            EXPECT_EQ(StatusText(sheet), "");
            EXPECT_TRUE(IsOkEnabled(sheet));
            Type(page, 1088, "100");
            EXPECT_EQ(StatusText(sheet),
                      "Camera Settings: Image Width + OffsetX exceeds maximal image width");
            EXPECT_FALSE(IsOkEnabled(sheet));
            Type(page, 1088, "40");
            Type(page, 1093, "5000");
            Click(page, 1014);
            EXPECT_TRUE(IsControlEnabled(page, 1105));
            Type(page, 1105, "55");
            EXPECT_EQ(StatusText(sheet), "");

            page = ShowPage(sheet, 1);
            Type(page, 1015, "0");
            EXPECT_EQ(StatusText(sheet), "I/O: Strobe1 duration not in range");
            EXPECT_FALSE(IsOkEnabled(sheet));
            Type(page, 1015, "10");
            EXPECT_TRUE(IsOkEnabled(sheet));
            PressOk(sheet);
        });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(IniValue("XCG-V60E-100", "ImageWidth"), "600");
    EXPECT_EQ(IniValue("XCG-V60E-100", "ImageOffsetX"), "40");
    EXPECT_EQ(IniValue("XCG-V60E-100", "Exposure"), "5000");
    EXPECT_EQ(IniValue("XCG-V60E-100", "BandAdjustment"), "1");
    EXPECT_EQ(IniValue("XCG-V60E-100", "BandLevel"), "55");
    EXPECT_EQ(IniValue("XCG-V60E-100", "StrobeDuration1"), "10");
    EXPECT_EQ(IniValue("XCG-V60E-100", "Gamma"), "0.7");
    EXPECT_EQ(IniValue("XCG-V60E-100", "TriggerSource"), "Software");
    EXPECT_FALSE(ReceivedContaining("has no control"));
}

TEST_F(WineSheet, ColorCameraNotOpenShowsThreePagesAndCancelWritesNothing) {
    const int result =
        Configure("XCG-5005CR-200", "Configure camera on port #0: XCG-5005CR-200", [](HWND sheet) {
            EXPECT_EQ(PageCount(sheet), 3);
            HWND page = CurrentPage(sheet);
            EXPECT_FALSE(IsControlEnabled(page, 1082));  // Gain
            EXPECT_FALSE(IsControlEnabled(page, 1097));  // its range label
            EXPECT_FALSE(IsControlEnabled(page, 1091));  // Vert Binning
            EXPECT_TRUE(IsControlEnabled(page, 1101));   // Gamma
            page = ShowPage(sheet, 2);
            EXPECT_NE(ChildTexts(page).find("Digital Red"), std::string::npos);
            EXPECT_EQ(ControlText(page, 1112), "[1024 ... 16383]");
            Type(page, 1109, "99");
            EXPECT_EQ(StatusText(sheet), "Color Camera Settings: Digital red not in range");
            PressCancel(sheet);
        });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(IniValue("XCG-5005CR-200", "GainRed"), "(absent)");
    EXPECT_FALSE(ReceivedContaining("has no control"));
}

TEST_F(WineSheet, H280CameraChecksHorizontalBinningAndNotGamma) {
    Open(2, "XCG-H280E-300");
    const int result =
        Configure("XCG-H280E-300", "Configure camera on port #3: XCG-H280E-300", [](HWND sheet) {
            HWND page = CurrentPage(sheet);
            EXPECT_FALSE(IsControlEnabled(page, 1101));  // Gamma
            EXPECT_TRUE(IsControlEnabled(page, 1104));   // Horz Binning
            EXPECT_TRUE(IsControlEnabled(page, 1046));   // Sensor Taps
            // The family's binnings 0 are below this camera's limits
            // [1 ... 2]: the sheet's initialisation has found the first.
            EXPECT_EQ(ControlText(page, 1103), "[1 ... 2]");
            EXPECT_EQ(StatusText(sheet), "Camera Settings: Horizontal binning not in range");
            EXPECT_FALSE(IsOkEnabled(sheet));
            Type(page, 1104, "2");
            EXPECT_EQ(StatusText(sheet), "Camera Settings: Vertical binning not in range");
            Type(page, 1091, "1");
            EXPECT_EQ(StatusText(sheet), "");
            EXPECT_TRUE(IsOkEnabled(sheet));
            Type(page, 1101, "7");
            EXPECT_EQ(StatusText(sheet), "");
            Type(page, 1104, "3");
            EXPECT_EQ(StatusText(sheet), "Camera Settings: Horizontal binning not in range");
            Type(page, 1104, "2");
            PressOk(sheet);
        });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(IniValue("XCG-H280E-300", "HorizontalBinning"), "2");
    EXPECT_EQ(IniValue("XCG-H280E-300", "Sensor Taps"), "2");
}

TEST_F(WineSheet, APageShownHoldingAValueOutsideItsLimitsSaysSoAndCannotBeSaved) {
    Open(0, "XCG-V60E-100");
    ASSERT_EQ(ZURSimPokeRegister(100, 0xa0002078, 0), 1);          // Strobe Duration 1, minimum 1
    const std::string ini = "[XCG-5005CR-200]\r\nGainRed=99\r\n";  // [1024 ... 16383]
    testing_support::WriteWholeFile(systemDir.File("ZavaDED.ini"), ini);
    const auto showPage = [](int index, const std::string& message) {
        return [=](HWND sheet) {
            EXPECT_EQ(StatusText(sheet), "");
            EXPECT_TRUE(IsOkEnabled(sheet));
            ShowPage(sheet, index);
            EXPECT_EQ(StatusText(sheet), message);
            EXPECT_FALSE(IsOkEnabled(sheet));
            PressOk(sheet);  // as a keyboard or a program still can: refused
            PressCancel(sheet);
        };
    };
    EXPECT_EQ(Configure("XCG-V60E-100", "Configure camera on port #1: XCG-V60E-100",
                        showPage(1, "I/O: Strobe1 duration not in range")),
              0);
    EXPECT_EQ(Configure("XCG-5005CR-200", "Configure camera on port #0: XCG-5005CR-200",
                        showPage(2, "Color Camera Settings: Digital red not in range")),
              0);
    EXPECT_EQ(testing_support::ReadWholeFile(systemDir.File("ZavaDED.ini")), ini);
}

int TextWidth(HWND window, const std::string& text) {
    HDC dc = GetDC(window);
    HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(window, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, previous);
    ReleaseDC(window, dc);
    return size.cx;
}

TEST_F(WineSheet, DroppedLineSourceListsShowTheirLongestItemWhole) {
    Open(2, "XCG-H280E-300");
    Configure("XCG-H280E-300", "Configure camera on port #3: XCG-H280E-300", [](HWND sheet) {
        HWND page = ShowPage(sheet, 1);
        RECT templateSize{0, 0, 63, 72};  // the line sources' size in dialog units
        MapDialogRect(page, &templateSize);
        for (const int id : {1046, 1047}) {
            HWND combo = GetDlgItem(page, id);
            const RECT control = WindowRect(combo);
            EXPECT_EQ(control.right - control.left, templateSize.right) << id;
            SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
            COMBOBOXINFO info{};
            info.cbSize = sizeof info;
            ASSERT_TRUE(GetComboBoxInfo(combo, &info)) << id;
            EXPECT_TRUE(IsWindowVisible(info.hwndList)) << id;
            // The client area lies beside the scroll bar; an item's text
            // starts a pixel in.
            RECT client{};
            GetClientRect(info.hwndList, &client);
            EXPECT_GE(client.right, TextWidth(info.hwndList, "Sensor Readout") + 2) << id;
            SendMessageA(combo, CB_SHOWDROPDOWN, FALSE, 0);
        }
        PressCancel(sheet);
    });
}

TEST_F(WineSheet, PendingGrabAsksFirstAndCancelShowsNoSheet) {
    Open(1, "XCG-V60E-100");
    ASSERT_EQ(driver->setProperty(0, 1, "continuous", 1), 1);
    const std::string title = "Configure camera on port #2: XCG-V60E-100";
    bool sawTheSheet = false;
    std::thread userThread([&] {
        HWND box = WaitForWindow(title);
        if (box == nullptr) {
            ADD_FAILURE() << "no warning";
            return;
        }
        sawTheSheet = GetDlgItem(box, 105) != nullptr;
        EXPECT_NE(GetDlgItem(box, IDOK), nullptr);
        EXPECT_NE(GetDlgItem(box, IDCANCEL), nullptr);
        EXPECT_NE(ChildTexts(box).find("Continue anyway ?"), std::string::npos);
        PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(driver->configureCamera(nullptr, "XCG-V60E-100"), 0);
    userThread.join();
    EXPECT_FALSE(sawTheSheet);
    driver->setProperty(0, 1, "continuous", 0);
}

}  // namespace
