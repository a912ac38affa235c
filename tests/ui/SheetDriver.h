#pragma once

#include <windows.h>

#include <chrono>
#include <string>

// Drives the configuration sheet of the Windows build from another thread
// than the one that runs it, as a user would: through its windows.
namespace sheet_driver {

using std::chrono::milliseconds;

// Generous: Wine's first start of the window system takes seconds.
inline constexpr milliseconds kWindowTimeout{120000};

// The top-level window with this title, once it exists; nullptr after the
// timeout.
HWND WaitForWindow(const std::string& title, milliseconds timeout = kWindowTimeout);
// The sheet with this title, once its status bar exists (the sheet's own
// initialisation is done then); nullptr after the timeout.
HWND WaitForSheet(const std::string& title, milliseconds timeout = kWindowTimeout);
// Waits until the window is gone; false after the timeout.
bool WaitUntilGone(HWND window, milliseconds timeout = kWindowTimeout);

HWND TabControl(HWND sheet);
int PageCount(HWND sheet);
// Makes the page at index current and returns its window.
HWND ShowPage(HWND sheet, int index);
HWND CurrentPage(HWND sheet);

// Sets an edit's text as if typed: the page receives EN_CHANGE.
void Type(HWND page, int controlId, const std::string& text);
// Toggles a check box and notifies the page as a click does.
void Click(HWND page, int controlId);
std::string ControlText(HWND page, int controlId);
bool IsControlEnabled(HWND page, int controlId);
bool IsChecked(HWND page, int controlId);
// The text in the first section of the sheet's status bar (id 105).
std::string StatusText(HWND sheet);
bool IsOkEnabled(HWND sheet);
// The texts of a window's children, in z-order (labels, buttons, ...).
std::string ChildTexts(HWND window);

void PressOk(HWND sheet);
void PressCancel(HWND sheet);

}  // namespace sheet_driver
