// The configuration sheet of the Windows build, shown by the driver as a
// host calls it and worked through its windows from a second thread, as a
// user would: the sheet's scenarios, and what only this front end has (its
// layout). Needs a display: run under xvfb-run.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "LoadedDriverSheet.h"
#include "SheetDriver.h"
#include "ZURSim.h"

#include <commctrl.h>  // after windows.h, which SheetDriver.h includes
#include <prsht.h>

namespace sheet_test {
namespace {

using namespace sheet_driver;

// The static text of a message box.
constexpr int kMessageBoxText = 0xFFFF;

RECT WindowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

// The person at the window titled as the dialog: the warning box or the
// sheet, worked from another thread than the one that runs it.
class WinePerson : public Person {
  public:
    explicit WinePerson(HWND shown) : window(shown) {}

    std::string WarningText() override { return ControlText(window, kMessageBoxText); }
    void AnswerWarning(bool proceed) override {
        PostMessageA(window, WM_COMMAND, proceed ? IDOK : IDCANCEL, 0);
        closeWait = kWindowTimeout;
    }
    int PageCount() override { return sheet_driver::PageCount(window); }
    void ShowPage(int index) override { sheet_driver::ShowPage(window, index); }
    void Type(int controlId, const std::string& text) override {
        sheet_driver::Type(CurrentPage(window), controlId, text);
    }
    void Click(int controlId) override { sheet_driver::Click(CurrentPage(window), controlId); }
    std::string Text(int controlId) override { return ControlText(CurrentPage(window), controlId); }
    bool IsEnabled(int controlId) override {
        return IsControlEnabled(CurrentPage(window), controlId);
    }
    std::string Status() override { return StatusText(window); }
    bool IsOkEnabled() override { return sheet_driver::IsOkEnabled(window); }
    // The sheet takes OK exactly while OK is enabled; pressed otherwise (as a
    // keyboard or a program can), it is refused and the sheet stays.
    void PressOk() override {
        const bool closes = IsOkEnabled();
        Press(PSBTN_OK);
        if (closes) {
            closeWait = kWindowTimeout;
        }
    }
    void PressCancel() override {
        Press(PSBTN_CANCEL);
        closeWait = kWindowTimeout;
    }
    std::optional<Focus> KeyboardFocus() override {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ||
            info.hwndFocus == nullptr) {
            return std::nullopt;
        }
        DWORD start = 0;
        DWORD end = 0;
        SendMessageA(info.hwndFocus, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        const auto length = static_cast<DWORD>(GetWindowTextLengthA(info.hwndFocus));
        return Focus{GetDlgCtrlID(info.hwndFocus), start == 0 && end == length};
    }

    HWND Window() const { return window; }
    // How long the window may take to go after the person's last action.
    std::optional<milliseconds> closeWait;

  private:
    void Press(int button) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(window, PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0, SMTO_NORMAL,
                            static_cast<UINT>(kWindowTimeout.count()), &ignored);
    }

    HWND window;
};

// A window titled title that is ready: a sheet once its status bar exists
// (its own initialisation is done then), or a message box.
HWND WaitForDialog(const std::string& title) {
    const auto deadline = std::chrono::steady_clock::now() + kWindowTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        HWND window = FindWindowA(nullptr, title.c_str());
        if (window != nullptr && (GetDlgItem(window, 105) != nullptr ||
                                  GetDlgItem(window, kMessageBoxText) != nullptr)) {
            return window;
        }
        std::this_thread::sleep_for(milliseconds(50));
    }
    return nullptr;
}

class WineSheet : public LoadedDriverSheet {
  public:
    static constexpr bool kHasKeyboard = true;

    // configureCamera on this thread while the person works each dialog, once
    // it is up, on another; a dialog still shown after the last step is
    // cancelled.
    Outcome Configure(const char* camera, const std::string& title,
                      const std::vector<Step>& steps) {
        Outcome outcome;
        std::atomic<bool> returned{false};
        std::thread person([&] {
            for (const Step& step : steps) {
                HWND window = WaitForDialog(title);
                if (window == nullptr) {
                    ADD_FAILURE() << "no window titled " << title << " for step "
                                  << outcome.steps + 1;
                    return;
                }
                WinePerson at(window);
                step(at);
                ++outcome.steps;
                if (at.closeWait) {
                    WaitUntilGone(window, *at.closeWait);
                }
            }
            while (!returned) {
                if (HWND window = FindWindowA(nullptr, title.c_str())) {
                    outcome.leftOpen = true;
                    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
                    WaitUntilGone(window);
                }
                std::this_thread::sleep_for(milliseconds(50));
            }
        });
        outcome.result = exports.configureCamera(nullptr, camera);
        returned = true;
        person.join();
        return outcome;
    }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, SheetScenario, WineSheet);

// A look at the sheet's windows, which then cancels it.
Step LookAtTheSheet(std::function<void(HWND)> look) {
    return [look](Person& person) {
        look(static_cast<WinePerson&>(person).Window());
        person.PressCancel();
    };
}

TEST_F(WineSheet, ItsLayoutHasOkAboveCancelBesideThePagesAndTheStatusBarBelow) {
    Open(0, "XCG-V60E-100");
    const Outcome outcome =
        Configure("XCG-V60E-100", "Configure camera on port #1: XCG-V60E-100",
                  {LookAtTheSheet([](HWND sheet) {
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
                      const std::string labels = ChildTexts(CurrentPage(sheet));
                      for (const char* label : {"Image", "Trigger", "Width", "Exposure Time",
                                                "Network Load", "Sensor Taps"}) {
                          EXPECT_NE(labels.find(label), std::string::npos) << label;
                      }
                  })});
    EXPECT_EQ(outcome.steps, 1u);
    EXPECT_FALSE(outcome.leftOpen);
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
    Configure("XCG-H280E-300", "Configure camera on port #3: XCG-H280E-300",
              {LookAtTheSheet([](HWND sheet) {
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
              })});
}

}  // namespace
}  // namespace sheet_test
