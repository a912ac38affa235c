#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/PropertyPage.h"
#include "ui/Sheet.h"
#include "ui/SheetFrontEnd.h"
#include "ui/SheetView.h"

namespace testing_support {

struct FakeControl {
    std::string text;
    bool checked = false;
    std::vector<std::string> items;
    int selection = -1;
    bool enabled = true;
};

// A page's window as plain values. Every text change notifies the page as
// an edit control does (EN_CHANGE), also while the page fills its controls.
class FakePageView : public PageView {
  public:
    explicit FakePageView(PropertyPage& owner) : page(owner) {}

    void SetControlText(int controlId, const std::string& text) override;
    std::string GetControlText(int controlId) const override;
    void SetCheck(int controlId, bool checked) override;
    bool GetCheck(int controlId) const override;
    void FillComboBox(int controlId, const std::vector<std::string>& items) override;
    void SelectComboItem(int controlId, int index) override;
    std::optional<std::string> GetComboSelection(int controlId) const override;
    void EnableControl(int controlId, bool enabled) override;

    // What a user does.
    void Type(int controlId, const std::string& text) { SetControlText(controlId, text); }
    void Click(int controlId);
    void Choose(int controlId, const std::string& item);

    const FakeControl& Control(int controlId) const;
    const std::string& Text(int controlId) const { return Control(controlId).text; }
    bool IsEnabled(int controlId) const { return Control(controlId).enabled; }

  private:
    PropertyPage& page;
    std::map<int, FakeControl> controls;
};

// The sheet's window as plain values; the sibling query goes to every page
// whose window exists, as the property sheet sends it.
class FakeSheetView : public SheetView {
  public:
    explicit FakeSheetView(CSheet1& owner) : sheet(owner) {}

    void SetStatusText(const std::string& text) override { status = text; }
    void EnableOK(bool enabled) override { okEnabled = enabled; }
    void QuerySiblings() override;

    std::string status;
    bool okEnabled = true;
    int queries = 0;

  private:
    CSheet1& sheet;
};

// The sheet's windows as a property sheet makes them: the first page's
// window, then the sheet's own initialisation; other pages when first shown.
class FakeSheetWindows {
  public:
    explicit FakeSheetWindows(CSheet1& sheet);
    ~FakeSheetWindows();
    FakeSheetWindows(const FakeSheetWindows&) = delete;
    FakeSheetWindows& operator=(const FakeSheetWindows&) = delete;

    // The page's window, created on first use.
    FakePageView& ShowPage(std::size_t index);
    // OK on the sheet: each page whose window exists, in order, handles it;
    // true when all accepted it.
    bool PressOk();

    const std::string& Status() const { return sheetView.status; }
    bool OkEnabled() const { return sheetView.okEnabled; }
    int Queries() const { return sheetView.queries; }

  private:
    CSheet1& sheet;
    FakeSheetView sheetView;
    std::vector<std::unique_ptr<FakePageView>> pageViews;
};

// What the scripted front end does and what it saw.
struct SheetScript {
    // Works the sheet; returns true to press OK, false to cancel.
    std::function<bool(FakeSheetWindows&)> user = [](FakeSheetWindows&) { return false; };
    bool continueWhileGrabbing = true;
    bool canShow = true;

    int warnings = 0;
    std::string warningText;
    std::string warningCaption;
    int runs = 0;
    std::string title;
    std::vector<std::string> captions;
};

// A front end that runs the sheet on fake windows, as the script says.
class ScriptedFrontEnd : public SheetFrontEnd {
  public:
    explicit ScriptedFrontEnd(SheetScript& steps) : script(steps) {}

    bool CanShowDialog() override { return script.canShow; }
    bool ConfirmContinue(void* parentWindow, const std::string& text,
                         const std::string& caption) override;
    bool RunModal(CSheet1& sheet) override;

  private:
    SheetScript& script;
};

// Makes every configuration of the scope use a ScriptedFrontEnd on script.
class ScriptedFrontEndScope {
  public:
    explicit ScriptedFrontEndScope(SheetScript& script);
    ~ScriptedFrontEndScope();
    ScriptedFrontEndScope(const ScriptedFrontEndScope&) = delete;
    ScriptedFrontEndScope& operator=(const ScriptedFrontEndScope&) = delete;
};

}  // namespace testing_support
