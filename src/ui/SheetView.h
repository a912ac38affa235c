#pragma once

#include <optional>
#include <string>
#include <vector>

// What the sheet's behaviour needs of the windows that show it. A dialog
// toolkit implements these over its real controls; the tests implement them
// over plain values. Control ids are those of the page templates.

// One page's window and its controls.
class PageView {
  public:
    virtual ~PageView() = default;

    virtual void SetControlText(int controlId, const std::string& text) = 0;
    virtual std::string GetControlText(int controlId) const = 0;
    virtual void SetCheck(int controlId, bool checked) = 0;
    virtual bool GetCheck(int controlId) const = 0;
    // Replaces a combo box's entries, none selected.
    virtual void FillComboBox(int controlId, const std::vector<std::string>& items) = 0;
    // Selects the entry at index; -1 selects none.
    virtual void SelectComboItem(int controlId, int index) = 0;
    // The selected entry's text; nothing when no entry is selected.
    virtual std::optional<std::string> GetComboSelection(int controlId) const = 0;
    virtual void EnableControl(int controlId, bool enabled) = 0;
};

// The sheet's own window: status bar, OK button and the sibling query.
class SheetView {
  public:
    virtual ~SheetView() = default;

    // The status bar's first (and only) section.
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void EnableOK(bool enabled) = 0;
    // Asks every page whose window exists to re-validate (the property
    // sheet's sibling query with both parameters 0); each page answers 0, so
    // every one is asked.
    virtual void QuerySiblings() = 0;
};
