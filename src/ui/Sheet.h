#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "ui/SheetView.h"

class PropertyPage;

// The kinds of page, each with its own validity flag in the sheet.
enum class PageKind : std::size_t { CameraControls = 0, IO = 1, Color = 2 };

// The configuration sheet: its title and parent window, its pages in the
// order they were added, the validity flag of each page kind, the status bar
// and the OK button. The pages and the view are not owned.
class CSheet1 {
  public:
    static constexpr int kStatusBarId = 105;
    static constexpr std::size_t kMaxStatusText = 255;

    CSheet1(std::string title, void* parentWindow);
    CSheet1(const CSheet1&) = delete;
    CSheet1& operator=(const CSheet1&) = delete;

    const std::string& Title() const { return title; }
    void* ParentWindow() const { return parentWindow; }

    void AddPage(PropertyPage& page);
    std::size_t PageCount() const { return pages.size(); }
    PropertyPage& Page(std::size_t index) const { return *pages.at(index); }

    // The front end attaches the sheet's window when it exists and detaches
    // it (nullptr) before it goes.
    void Attach(SheetView* sheetView) { view = sheetView; }
    bool HasWindow() const { return view != nullptr; }

    // Sheet initialisation, once the window and its first page exist (the
    // front end has already hidden Apply and Help, placed OK above Cancel and
    // created the status bar): every page whose window exists is validated
    // into its flag, and OK is enabled exactly when all flags are true.
    void OnInitDialog();

    // Stores a page's validity, enables OK exactly when all three flags are
    // true, and then clears the status bar.
    void SetPageValid(PageKind kind, bool valid);
    bool IsPageValid(PageKind kind) const { return validity[static_cast<std::size_t>(kind)]; }
    bool AllPagesValid() const;

    void SetStatusText(const std::string& text);
    void QuerySiblings();

    // Set by the pages' OK handling; the front end reports it as the result.
    void MarkAccepted() { accepted = true; }
    bool Accepted() const { return accepted; }

  private:
    std::string title;
    void* parentWindow;
    std::vector<PropertyPage*> pages;
    std::array<bool, 3> validity{true, true, true};
    SheetView* view = nullptr;
    bool accepted = false;
};

// Shows a page's violation in the status bar: the page's caption, ": " and
// the message, at most 255 characters in all.
void ReportPageError(CSheet1& sheet, const PropertyPage& page, const char* message);
