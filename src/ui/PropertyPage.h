#pragma once

#include <map>
#include <span>
#include <string>
#include <variant>

#include "params/ParamSet.h"
#include "params/SettingTable.h"
#include "ui/Sheet.h"
#include "ui/SheetView.h"
#include "ui/ValueText.h"

// How a control shows its parameter.
enum class ControlKind {
    IntegerEdit,  // "%d"; read back as atoi reads it
    DecimalEdit,  // rounded down to two decimals, "%.2f"; read back as atof reads it
    CheckBox,     // checked for a nonzero value; read back as 1 or 0
    ComboBox,     // the parameter's item names; read back as the selected name or "None"
};

inline constexpr int kNoRangeLabel = 0;

// One control of a page and the setting it shows. A control is disabled,
// with its range label, on the families that lack its setting (the
// setting's row says which) and on those the control names besides.
struct ControlRow {
    int id;
    ControlKind kind;
    Setting setting;
    int rangeLabelId;  // shows the setting's bounds; kNoRangeLabel for none
    sheet_text::RangeFormat rangeFormat;
    Families alsoDisabledOn = Families::None;
};

// One validation test, made only on the families that have the setting:
// the setting within its bounds, or, with an offset, the setting's value
// plus the offset's value at most the setting's maximum.
struct ValidationTest {
    Setting setting;
    bool withOffset = false;
    Setting offset = Setting::LogLevel;
};
constexpr ValidationTest InRange(Setting setting) {
    return {setting};
}
constexpr ValidationTest SumWithinMaximum(Setting size, Setting offset) {
    return {size, true, offset};
}

struct ValidationRow {
    ValidationTest test;
    const char* message;  // shown after the page's caption when the test fails
};

// Everything that tells one page from another.
struct PageDefinition {
    PageKind kind;
    int templateId;
    const char* caption;
    std::span<const ControlRow> controls;
    std::span<const ValidationRow> tests;  // in the order they are made
};

// A page of the sheet on a parameter set that it edits in place, without a
// window system: a front end attaches the page's window as a PageView and
// passes the page its events. The page's tables drive its value exchange,
// its initialisation, its OK handling and its validation.
class PropertyPage {
  public:
    PropertyPage(ParamSet& params, CSheet1& sheet, const PageDefinition& definition,
                 Family family = Family::Standard);
    virtual ~PropertyPage() = default;
    PropertyPage(const PropertyPage&) = delete;
    PropertyPage& operator=(const PropertyPage&) = delete;

    PageKind Kind() const { return definition.kind; }
    int TemplateId() const { return definition.templateId; }
    const char* Caption() const { return definition.caption; }
    std::span<const ControlRow> Controls() const { return definition.controls; }
    std::span<const ValidationRow> Tests() const { return definition.tests; }

    // Transfers between the controls and the parameters: to the controls
    // (edits and check boxes) when saveAndValidate is false, else back.
    virtual void DoDataExchange(bool saveAndValidate);
    // When the page is shown for the first time: all values into the
    // controls, every combo box filled, every range label set, and the
    // controls that the camera's family lacks disabled; then, once the sheet
    // has its window, the page validated into its flag.
    virtual void OnInitDialog();
    // OK pressed: all controls, combo boxes too, into the parameters.
    virtual void OnOK();

    // Reads the controls into the parameters and makes the page's tests in
    // order; the first that fails is reported in the status bar.
    virtual bool Validate();

    // The front end's side. The view is attached when the page's window is
    // created, before OnInitDialog, and detached (nullptr) when it goes.
    void Attach(PageView* pageView) { view = pageView; }
    bool HasWindow() const { return view != nullptr; }
    // The text of one of the page's controls changed (EN_CHANGE).
    void OnEditChange(int controlId);
    // A check box was clicked; only the camera-controls page reacts.
    virtual void OnCheckBoxClicked(int controlId);
    // The sheet's sibling query: re-validate and update the sheet.
    void OnQuerySiblings();
    // OK pressed on the sheet: false, and nothing read, while a page is
    // invalid (OK is disabled then, but a keyboard or a program can still
    // press it); else OnOK and the sheet is accepted.
    bool OnApply();

  protected:
    // Validates, stores the result in the sheet and, when the page is valid,
    // asks the other pages to re-validate.
    void ValidateLive();
    void EnableWithRangeLabel(const ControlRow& row, bool enabled);
    const ControlRow* FindControl(int controlId) const;

    ParamSet& params;
    CSheet1& sheet;

  private:
    bool Applies(const ValidationTest& test) const;
    bool IsDisabled(const ControlRow& row) const;
    bool Passes(const ValidationTest& test) const;
    void WriteControls();
    void ReadControls();
    void FillComboBoxes();
    void ReadComboBoxes();
    void SetRangeLabels();

    PageDefinition definition;
    Family family;
    PageView* view = nullptr;
    // Set while values go into the controls, whose text changes then are
    // no edits of the user's.
    bool loading = false;
    // The text each decimal edit was given: unchanged text keeps the exact
    // value, so that opening and accepting the sheet does not cut a value to
    // two decimals.
    std::map<int, std::string> shownDecimals;
};
