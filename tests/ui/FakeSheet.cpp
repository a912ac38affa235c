#include "FakeSheet.h"

#include <algorithm>
#include <stdexcept>

namespace testing_support {

void FakePageView::SetControlText(int controlId, const std::string& text) {
    controls[controlId].text = text;
    page.OnEditChange(controlId);
}

std::string FakePageView::GetControlText(int controlId) const {
    return Control(controlId).text;
}

void FakePageView::SetCheck(int controlId, bool checked) {
    controls[controlId].checked = checked;
}

bool FakePageView::GetCheck(int controlId) const {
    return Control(controlId).checked;
}

void FakePageView::FillComboBox(int controlId, const std::vector<std::string>& items) {
    controls[controlId].items = items;
    controls[controlId].selection = -1;
}

void FakePageView::SelectComboItem(int controlId, int index) {
    FakeControl& combo = controls[controlId];
    combo.selection = index >= 0 && index < static_cast<int>(combo.items.size()) ? index : -1;
}

std::optional<std::string> FakePageView::GetComboSelection(int controlId) const {
    const FakeControl& combo = Control(controlId);
    if (combo.selection < 0) {
        return std::nullopt;
    }
    return combo.items.at(static_cast<std::size_t>(combo.selection));
}

void FakePageView::EnableControl(int controlId, bool enabled) {
    controls[controlId].enabled = enabled;
}

void FakePageView::Click(int controlId) {
    controls[controlId].checked = !controls[controlId].checked;
    page.OnCheckBoxClicked(controlId);
}

void FakePageView::Choose(int controlId, const std::string& item) {
    FakeControl& combo = controls.at(controlId);
    const auto found = std::find(combo.items.begin(), combo.items.end(), item);
    if (found == combo.items.end()) {
        throw std::invalid_argument("no such item: " + item);
    }
    combo.selection = static_cast<int>(found - combo.items.begin());
}

const FakeControl& FakePageView::Control(int controlId) const {
    static const FakeControl none;
    const auto found = controls.find(controlId);
    return found != controls.end() ? found->second : none;
}

void FakeSheetView::QuerySiblings() {
    ++queries;
    for (std::size_t i = 0; i < sheet.PageCount(); ++i) {
        if (sheet.Page(i).HasWindow()) {
            sheet.Page(i).OnQuerySiblings();
        }
    }
}

FakeSheetWindows::FakeSheetWindows(CSheet1& owner) : sheet(owner), sheetView(owner) {
    pageViews.resize(sheet.PageCount());
    ShowPage(0);
    sheet.Attach(&sheetView);
    sheet.OnInitDialog();
}

FakeSheetWindows::~FakeSheetWindows() {
    sheet.Attach(nullptr);
    for (std::size_t i = 0; i < sheet.PageCount(); ++i) {
        sheet.Page(i).Attach(nullptr);
    }
}

FakePageView& FakeSheetWindows::ShowPage(std::size_t index) {
    std::unique_ptr<FakePageView>& view = pageViews.at(index);
    if (!view) {
        PropertyPage& page = sheet.Page(index);
        view = std::make_unique<FakePageView>(page);
        page.Attach(view.get());
        page.OnInitDialog();
    }
    return *view;
}

bool FakeSheetWindows::PressOk() {
    for (std::size_t i = 0; i < sheet.PageCount(); ++i) {
        if (sheet.Page(i).HasWindow() && !sheet.Page(i).OnApply()) {
            return false;
        }
    }
    return true;
}

bool ScriptedFrontEnd::ConfirmContinue(void* /*parentWindow*/, const std::string& text,
                                       const std::string& caption) {
    ++script.warnings;
    script.warningText = text;
    script.warningCaption = caption;
    return script.continueWhileGrabbing;
}

bool ScriptedFrontEnd::RunModal(CSheet1& sheet) {
    ++script.runs;
    script.title = sheet.Title();
    script.captions.clear();
    for (std::size_t i = 0; i < sheet.PageCount(); ++i) {
        script.captions.emplace_back(sheet.Page(i).Caption());
    }
    FakeSheetWindows windows(sheet);
    return script.user(windows) && windows.PressOk() && sheet.Accepted();
}

ScriptedFrontEndScope::ScriptedFrontEndScope(SheetScript& script) {
    SetSheetFrontEndFactory([&script] { return std::make_unique<ScriptedFrontEnd>(script); });
}

ScriptedFrontEndScope::~ScriptedFrontEndScope() {
    SetSheetFrontEndFactory({});
}

}  // namespace testing_support
