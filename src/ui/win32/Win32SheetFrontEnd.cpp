// The Win32 front end: the sheet as a modal comctl32 property sheet of the
// dialog templates in ConfigurationSheet.rc, its pages as PageViews over
// their dialog windows and its own window as a SheetView.
#include <windows.h>
// windows.h first: the common controls need its types.
#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "log/DriverLog.h"
#include "ui/PropertyPage.h"
#include "ui/Sheet.h"
#include "ui/SheetFrontEnd.h"

namespace {

constexpr int kApplyButtonId = 12321;
constexpr int kHelpButtonId = IDHELP;
// Posted when the sheet calls back as initialised, so that the sheet's own
// initialisation runs once the default one (which creates the first page)
// has finished.
constexpr UINT kSheetInitMessage = WM_APP + 1;
constexpr UINT_PTR kSubclassId = 1;

// The module that holds the dialog templates: this library.
HINSTANCE ThisModule() {
    static const char anchor = 0;
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        &anchor, &module);
    return module;
}

HMENU ControlIdAsMenu(int id) {
    return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
}

std::string WindowText(HWND window) {
    if (window == nullptr) {
        return {};
    }
    const int length = GetWindowTextLengthA(window);
    if (length <= 0) {
        return {};
    }
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    const int copied = GetWindowTextA(window, buffer.data(), static_cast<int>(buffer.size()));
    return std::string(buffer.data(), static_cast<std::size_t>(copied > 0 ? copied : 0));
}

// The dropped list of a combo box at least as wide as its longest item, its
// borders and a scroll bar, so that no item is cut off; the control keeps
// its size.
void WidenDroppedList(HWND combo, const std::vector<std::string>& items) {
    constexpr int kTextMargin = 3;  // on either side of an item's text
    HDC dc = combo != nullptr ? GetDC(combo) : nullptr;
    if (dc == nullptr) {
        return;
    }
    const auto font = reinterpret_cast<HGDIOBJ>(SendMessageA(combo, WM_GETFONT, 0, 0));
    HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
    int longest = 0;
    for (const std::string& item : items) {
        SIZE size{};
        if (GetTextExtentPoint32A(dc, item.c_str(), static_cast<int>(item.size()), &size)) {
            longest = std::max(longest, static_cast<int>(size.cx));
        }
    }
    if (previous != nullptr) {
        SelectObject(dc, previous);
    }
    ReleaseDC(combo, dc);
    const int width = longest + 2 * kTextMargin + 2 * GetSystemMetrics(SM_CXEDGE) +
                      GetSystemMetrics(SM_CXVSCROLL);
    if (width > SendMessageA(combo, CB_GETDROPPEDWIDTH, 0, 0)) {
        SendMessageA(combo, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(width), 0);
    }
}

class Win32PageView : public PageView {
  public:
    explicit Win32PageView(HWND pageWindow) : page(pageWindow) {}

    void SetControlText(int controlId, const std::string& text) override {
        SetDlgItemTextA(page, controlId, text.c_str());
    }
    std::string GetControlText(int controlId) const override {
        return WindowText(GetDlgItem(page, controlId));
    }
    void SetCheck(int controlId, bool checked) override {
        CheckDlgButton(page, controlId, checked ? BST_CHECKED : BST_UNCHECKED);
    }
    bool GetCheck(int controlId) const override {
        return IsDlgButtonChecked(page, controlId) == BST_CHECKED;
    }
    void FillComboBox(int controlId, const std::vector<std::string>& items) override {
        SendDlgItemMessageA(page, controlId, CB_RESETCONTENT, 0, 0);
        for (const std::string& item : items) {
            SendDlgItemMessageA(page, controlId, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(item.c_str()));
        }
        WidenDroppedList(GetDlgItem(page, controlId), items);
    }
    void SelectComboItem(int controlId, int index) override {
        SendDlgItemMessageA(page, controlId, CB_SETCURSEL,
                            static_cast<WPARAM>(static_cast<INT_PTR>(index)), 0);
    }
    std::optional<std::string> GetComboSelection(int controlId) const override {
        const LRESULT selected = SendDlgItemMessageA(page, controlId, CB_GETCURSEL, 0, 0);
        if (selected == CB_ERR) {
            return std::nullopt;
        }
        const auto index = static_cast<WPARAM>(selected);
        const LRESULT length = SendDlgItemMessageA(page, controlId, CB_GETLBTEXTLEN, index, 0);
        if (length == CB_ERR || length < 0) {
            return std::nullopt;
        }
        std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
        SendDlgItemMessageA(page, controlId, CB_GETLBTEXT, index,
                            reinterpret_cast<LPARAM>(buffer.data()));
        buffer.back() = '\0';
        return std::string(buffer.data());
    }
    void EnableControl(int controlId, bool enabled) override {
        if (HWND control = GetDlgItem(page, controlId)) {
            EnableWindow(control, enabled ? TRUE : FALSE);
        }
    }

  private:
    HWND page;
};

class Win32SheetView : public SheetView {
  public:
    Win32SheetView(HWND sheetWindow, HWND statusBarWindow)
        : sheet(sheetWindow), statusBar(statusBarWindow) {}

    void SetStatusText(const std::string& text) override {
        SendMessageA(statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    void EnableOK(bool enabled) override {
        if (HWND ok = GetDlgItem(sheet, IDOK)) {
            EnableWindow(ok, enabled ? TRUE : FALSE);
        }
    }
    void QuerySiblings() override { SendMessageA(sheet, PSM_QUERYSIBLINGS, 0, 0); }

  private:
    HWND sheet;
    HWND statusBar;
};

struct SheetSession;

struct PageBinding {
    PropertyPage& page;
    SheetSession& session;
    std::unique_ptr<Win32PageView> view;
};

// Everything one modal run of the sheet holds.
struct SheetSession {
    explicit SheetSession(CSheet1& owner) : sheet(owner) {}

    CSheet1& sheet;
    std::vector<std::unique_ptr<PageBinding>> pages;
    std::unique_ptr<Win32SheetView> view;
    // The first exception thrown in a window procedure: no exception may
    // unwind through the window system's frames, so the sheet is cancelled
    // and the exception raised again once PropertySheetA has returned.
    std::exception_ptr failure;
};

// The property sheet's callback carries no pointer of ours; the sheet runs
// modally on the calling thread, so the thread knows its session.
thread_local SheetSession* currentSession = nullptr;

class CurrentSessionScope {
  public:
    explicit CurrentSessionScope(SheetSession& session) : previous(currentSession) {
        currentSession = &session;
    }
    ~CurrentSessionScope() { currentSession = previous; }
    CurrentSessionScope(const CurrentSessionScope&) = delete;
    CurrentSessionScope& operator=(const CurrentSessionScope&) = delete;

  private:
    SheetSession* previous;
};

template <typename Work>
void Guarded(SheetSession& session, HWND sheetWindow, Work&& work) {
    try {
        work();
    } catch (...) {
        if (!session.failure) {
            session.failure = std::current_exception();
        }
        PostMessageA(sheetWindow, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    }
}

void HideButton(HWND sheetWindow, int id) {
    if (HWND button = GetDlgItem(sheetWindow, id)) {
        ShowWindow(button, SW_HIDE);
    }
}

int Width(const RECT& rect) {
    return rect.right - rect.left;
}

int Height(const RECT& rect) {
    return rect.bottom - rect.top;
}

void ResizeWindow(HWND window, int width, int height) {
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void PlaceWindow(HWND window, int x, int y, int width, int height) {
    SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Apply and Help hidden, OK above Cancel at the top right, the status bar
// across the bottom; then the behaviour's part.
void InitializeSheet(SheetSession& session, HWND sheetWindow) {
    HideButton(sheetWindow, kApplyButtonId);
    HideButton(sheetWindow, kHelpButtonId);
    HWND ok = GetDlgItem(sheetWindow, IDOK);
    HWND cancel = GetDlgItem(sheetWindow, IDCANCEL);
    if (ok == nullptr || cancel == nullptr) {
        return;
    }

    RECT sheetRect{};
    RECT okRect{};
    GetWindowRect(sheetWindow, &sheetRect);
    GetWindowRect(ok, &okRect);
    const int buttonWidth = Width(okRect);
    const int buttonHeight = Height(okRect);
    const int width = Width(sheetRect) + buttonWidth + 15;
    const int height = Height(sheetRect) - (buttonHeight + 5);
    ResizeWindow(sheetWindow, width, height);
    const int buttonX = width - buttonWidth - 17;
    PlaceWindow(ok, buttonX, 15, buttonWidth, buttonHeight);
    PlaceWindow(cancel, buttonX, buttonHeight + 20, buttonWidth, buttonHeight);

    HWND statusBar =
        CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, sheetWindow,
                        ControlIdAsMenu(CSheet1::kStatusBarId), ThisModule(), nullptr);
    if (statusBar == nullptr) {
        throw std::runtime_error("cannot create the status bar of the configuration sheet");
    }
    RECT statusRect{};
    GetWindowRect(statusBar, &statusRect);
    ResizeWindow(sheetWindow, width, height + Height(statusRect));
    // A status bar places itself across its parent's bottom edge when sized.
    SendMessageA(statusBar, WM_SIZE, 0, 0);

    session.view = std::make_unique<Win32SheetView>(sheetWindow, statusBar);
    session.sheet.Attach(session.view.get());
    session.sheet.OnInitDialog();
}

LRESULT CALLBACK SheetSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR subclassId, DWORD_PTR data) {
    SheetSession& session = *reinterpret_cast<SheetSession*>(data);
    switch (message) {
        case kSheetInitMessage:
            Guarded(session, window, [&] { InitializeSheet(session, window); });
            return 0;
        case WM_DESTROY:
            session.sheet.Attach(nullptr);
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(window, &SheetSubclassProc, subclassId);
            break;
        default:
            break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

int CALLBACK SheetCallback(HWND window, UINT message, LPARAM /*lParam*/) {
    if (message == PSCB_INITIALIZED && currentSession != nullptr) {
        SetWindowSubclass(window, &SheetSubclassProc, kSubclassId,
                          reinterpret_cast<DWORD_PTR>(currentSession));
        PostMessageA(window, kSheetInitMessage, 0, 0);
    }
    return 0;
}

// Combo boxes are drop-downs whose edit part the user cannot type into.
void MakeComboEditsReadOnly(HWND pageWindow, const PropertyPage& page) {
    for (const ControlRow& row : page.Controls()) {
        if (row.kind != ControlKind::ComboBox) {
            continue;
        }
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        HWND combo = GetDlgItem(pageWindow, row.id);
        if (combo != nullptr && GetComboBoxInfo(combo, &info) && info.hwndItem != nullptr &&
            info.hwndItem != combo) {
            SendMessageA(info.hwndItem, EM_SETREADONLY, TRUE, 0);
        }
    }
}

// A control the page's table names but its template lacks would silently
// read as empty; say so in the log instead.
void ReportMissingControls(HWND pageWindow, const PropertyPage& page) {
    for (const ControlRow& row : page.Controls()) {
        for (const int id : {row.id, row.rangeLabelId}) {
            if (id != kNoRangeLabel && GetDlgItem(pageWindow, id) == nullptr) {
                LogMessage(DriverLog::Instance(), 1,
                           "PropertyPage::OnInitDialog: ERROR: template %d has no control %d\n",
                           page.TemplateId(), id);
            }
        }
    }
}

void SetDialogResult(HWND window, LONG_PTR result) {
    SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
}

INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* sheetPage = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
        auto* binding = reinterpret_cast<PageBinding*>(sheetPage->lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(binding));
        Guarded(binding->session, GetParent(window), [&] {
            binding->view = std::make_unique<Win32PageView>(window);
            MakeComboEditsReadOnly(window, binding->page);
            ReportMissingControls(window, binding->page);
            binding->page.Attach(binding->view.get());
            binding->page.OnInitDialog();
        });
        return TRUE;
    }
    auto* binding = reinterpret_cast<PageBinding*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (binding == nullptr) {
        return FALSE;
    }
    PropertyPage& page = binding->page;
    switch (message) {
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const int code = HIWORD(wParam);
            if (code == EN_CHANGE) {
                Guarded(binding->session, GetParent(window), [&] { page.OnEditChange(id); });
            } else if (code == BN_CLICKED) {
                Guarded(binding->session, GetParent(window), [&] { page.OnCheckBoxClicked(id); });
            }
            return FALSE;
        }
        case PSM_QUERYSIBLINGS:
            Guarded(binding->session, GetParent(window), [&] { page.OnQuerySiblings(); });
            SetDialogResult(window, 0);
            return TRUE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header != nullptr && header->code == static_cast<UINT>(PSN_APPLY)) {
                bool applied = false;
                Guarded(binding->session, GetParent(window), [&] { applied = page.OnApply(); });
                SetDialogResult(window, applied ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE);
                return TRUE;
            }
            return FALSE;
        }
        case WM_DESTROY:
            page.Attach(nullptr);
            binding->view.reset();
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            return FALSE;
        default:
            return FALSE;
    }
}

class Win32SheetFrontEnd : public SheetFrontEnd {
  public:
    // Any thread can run a modal dialog of its own.
    bool CanShowDialog() override { return true; }

    bool ConfirmContinue(void* parentWindow, const std::string& text,
                         const std::string& caption) override {
        return MessageBoxA(static_cast<HWND>(parentWindow), text.c_str(), caption.c_str(),
                           MB_OKCANCEL | MB_ICONEXCLAMATION) == IDOK;
    }

    bool RunModal(CSheet1& sheet) override {
        INITCOMMONCONTROLSEX controls{};
        controls.dwSize = sizeof controls;
        controls.dwICC = ICC_BAR_CLASSES | ICC_TAB_CLASSES;
        InitCommonControlsEx(&controls);

        HINSTANCE module = ThisModule();
        SheetSession session(sheet);
        std::vector<PROPSHEETPAGEA> pages(sheet.PageCount());
        for (std::size_t i = 0; i < sheet.PageCount(); ++i) {
            session.pages.push_back(
                std::make_unique<PageBinding>(PageBinding{sheet.Page(i), session, nullptr}));
            PROPSHEETPAGEA& page = pages[i];
            page.dwSize = sizeof page;
            page.dwFlags = PSP_DEFAULT;
            page.hInstance = module;
            page.pszTemplate =
                reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(sheet.Page(i).TemplateId()));
            page.pfnDlgProc = &PageProc;
            page.lParam = reinterpret_cast<LPARAM>(session.pages.back().get());
        }

        PROPSHEETHEADERA header{};
        header.dwSize = sizeof header;
        header.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK | PSH_NOCONTEXTHELP;
        header.hwndParent = static_cast<HWND>(sheet.ParentWindow());
        header.hInstance = module;
        header.pszCaption = sheet.Title().c_str();
        header.nPages = static_cast<UINT>(pages.size());
        header.nStartPage = 0;
        header.ppsp = pages.data();
        header.pfnCallback = &SheetCallback;

        INT_PTR result = -1;
        {
            CurrentSessionScope scope(session);
            result = PropertySheetA(&header);
        }
        sheet.Attach(nullptr);
        for (std::size_t i = 0; i < sheet.PageCount(); ++i) {
            sheet.Page(i).Attach(nullptr);
        }
        if (session.failure) {
            std::rethrow_exception(session.failure);
        }
        if (result < 0) {
            LogMessage(DriverLog::Instance(), 1,
                       "Camera::Configure: ERROR: cannot show the property sheet, error %lu\n",
                       static_cast<unsigned long>(GetLastError()));
            return false;
        }
        return sheet.Accepted();
    }
};

}  // namespace

std::unique_ptr<SheetFrontEnd> MakePlatformSheetFrontEnd() {
    return std::make_unique<Win32SheetFrontEnd>();
}
