#include "SheetDriver.h"

#include <commctrl.h>
#include <prsht.h>

#include <thread>
#include <vector>

namespace sheet_driver {

namespace {

constexpr int kStatusBarId = 105;
constexpr milliseconds kPoll{50};

template <typename Found>
auto WaitFor(milliseconds timeout, Found found) -> decltype(found()) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (auto result = found()) {
            return result;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return {};
        }
        std::this_thread::sleep_for(kPoll);
    }
}

std::string TextOf(HWND window) {
    char buffer[512] = {};
    if (window != nullptr) {
        SendMessageA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
    }
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

}  // namespace

HWND WaitForWindow(const std::string& title, milliseconds timeout) {
    return WaitFor(timeout, [&] { return FindWindowA(nullptr, title.c_str()); });
}

HWND WaitForSheet(const std::string& title, milliseconds timeout) {
    return WaitFor(timeout, [&]() -> HWND {
        HWND sheet = FindWindowA(nullptr, title.c_str());
        return sheet != nullptr && GetDlgItem(sheet, kStatusBarId) != nullptr ? sheet : nullptr;
    });
}

bool WaitUntilGone(HWND window, milliseconds timeout) {
    return WaitFor(timeout, [&] { return IsWindow(window) == FALSE; });
}

HWND TabControl(HWND sheet) {
    return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
}

int PageCount(HWND sheet) {
    HWND tabs = TabControl(sheet);
    return tabs != nullptr ? static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0)) : 0;
}

HWND ShowPage(HWND sheet, int index) {
    SendMessageA(sheet, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
    return CurrentPage(sheet);
}

HWND CurrentPage(HWND sheet) {
    return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

void Type(HWND page, int controlId, const std::string& text) {
    SendMessageA(GetDlgItem(page, controlId), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(text.c_str()));
}

void Click(HWND page, int controlId) {
    HWND box = GetDlgItem(page, controlId);
    const bool checked = SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
    SendMessageA(box, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(box));
}

std::string ControlText(HWND page, int controlId) {
    return TextOf(GetDlgItem(page, controlId));
}

bool IsControlEnabled(HWND page, int controlId) {
    return IsWindowEnabled(GetDlgItem(page, controlId)) != FALSE;
}

bool IsChecked(HWND page, int controlId) {
    return SendMessageA(GetDlgItem(page, controlId), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::string StatusText(HWND sheet) {
    HWND status = GetDlgItem(sheet, kStatusBarId);
    const LRESULT length = SendMessageA(status, SB_GETTEXTLENGTHA, 0, 0);
    std::vector<char> buffer(static_cast<std::size_t>(LOWORD(length)) + 1, '\0');
    SendMessageA(status, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(buffer.data()));
    buffer.back() = '\0';
    return buffer.data();
}

bool IsOkEnabled(HWND sheet) {
    return IsWindowEnabled(GetDlgItem(sheet, IDOK)) != FALSE;
}

std::string ChildTexts(HWND window) {
    std::string texts;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        texts += TextOf(child);
        texts += '\n';
    }
    return texts;
}

void PressOk(HWND sheet) {
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
}

void PressCancel(HWND sheet) {
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

}  // namespace sheet_driver
