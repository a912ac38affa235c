#include "ui/PropertyPage.h"

#include <algorithm>
#include <cstdint>
#include <type_traits>

namespace {

// Sets a flag for the lifetime of the object, restoring what it was.
class FlagScope {
  public:
    explicit FlagScope(bool& target) : flag(target), before(target) { flag = true; }
    ~FlagScope() { flag = before; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

  private:
    bool& flag;
    bool before;
};

bool IsEdit(ControlKind kind) {
    return kind == ControlKind::IntegerEdit || kind == ControlKind::DecimalEdit;
}

}  // namespace

PropertyPage::PropertyPage(ParamSet& parameters, CSheet1& owner, const PageDefinition& page,
                           CameraFamily cameraFamily)
    : params(parameters), sheet(owner), definition(page), family(cameraFamily) {}

void PropertyPage::DoDataExchange(bool saveAndValidate) {
    if (view == nullptr) {
        return;
    }
    if (saveAndValidate) {
        ReadControls();
    } else {
        FlagScope loadingScope(loading);
        WriteControls();
    }
}

void PropertyPage::WriteControls() {
    for (const ControlRow& row : definition.controls) {
        switch (row.kind) {
            case ControlKind::IntegerEdit: {
                const Param<int>& param = params.*std::get<Param<int> ParamSet::*>(row.param);
                view->SetControlText(row.id, sheet_text::Format("%d", param.value));
                break;
            }
            case ControlKind::DecimalEdit: {
                const Param<double>& param = params.*std::get<Param<double> ParamSet::*>(row.param);
                const std::string text = sheet_text::FormatTwoDecimals(param.value);
                shownDecimals[row.id] = text;
                view->SetControlText(row.id, text);
                break;
            }
            case ControlKind::CheckBox: {
                const Param<int>& param = params.*std::get<Param<int> ParamSet::*>(row.param);
                view->SetCheck(row.id, param.value != 0);
                break;
            }
            case ControlKind::ComboBox:
                break;  // filled at initialisation
        }
    }
}

void PropertyPage::ReadControls() {
    for (const ControlRow& row : definition.controls) {
        switch (row.kind) {
            case ControlKind::IntegerEdit: {
                Param<int>& param = params.*std::get<Param<int> ParamSet::*>(row.param);
                param.value = sheet_text::ReadInteger(view->GetControlText(row.id));
                break;
            }
            case ControlKind::DecimalEdit: {
                Param<double>& param = params.*std::get<Param<double> ParamSet::*>(row.param);
                const std::string text = view->GetControlText(row.id);
                const auto shown = shownDecimals.find(row.id);
                if (shown == shownDecimals.end() || shown->second != text) {
                    param.value = sheet_text::ReadDecimal(text);
                }
                break;
            }
            case ControlKind::CheckBox: {
                Param<int>& param = params.*std::get<Param<int> ParamSet::*>(row.param);
                param.value = view->GetCheck(row.id) ? 1 : 0;
                break;
            }
            case ControlKind::ComboBox:
                break;  // read at OK only
        }
    }
}

void PropertyPage::OnInitDialog() {
    if (view == nullptr) {
        return;
    }
    {
        FlagScope loadingScope(loading);
        DoDataExchange(false);
        FillComboBoxes();
        SetRangeLabels();
        for (const ControlRow& row : definition.controls) {
            if (IsDisabled(row.disabledWhen)) {
                EnableWithRangeLabel(row, false);
            }
        }
    }
    // Filled, the page is validated once, so that a value outside its limits
    // (from the INI file or the camera) shows at once and keeps OK disabled.
    // The first page is filled before the sheet has its window; the sheet's
    // own initialisation validates it.
    if (sheet.HasWindow()) {
        sheet.SetPageValid(Kind(), Validate());
    }
}

void PropertyPage::OnOK() {
    DoDataExchange(true);
    ReadComboBoxes();
}

bool PropertyPage::Validate() {
    DoDataExchange(true);
    for (const ValidationRow& row : definition.tests) {
        if (Applies(row.when) && !Passes(row.test)) {
            ReportPageError(sheet, *this, row.message);
            return false;
        }
    }
    return true;
}

void PropertyPage::OnEditChange(int controlId) {
    const ControlRow* row = FindControl(controlId);
    if (row != nullptr && IsEdit(row->kind)) {
        ValidateLive();
    }
}

void PropertyPage::OnCheckBoxClicked(int /*controlId*/) {}

void PropertyPage::OnQuerySiblings() {
    if (view == nullptr) {
        return;
    }
    sheet.SetPageValid(Kind(), Validate());
}

bool PropertyPage::OnApply() {
    if (!sheet.AllPagesValid()) {
        return false;
    }
    OnOK();
    sheet.MarkAccepted();
    return true;
}

void PropertyPage::ValidateLive() {
    if (loading || view == nullptr) {
        return;
    }
    const bool valid = Validate();
    sheet.SetPageValid(Kind(), valid);
    if (valid) {
        sheet.QuerySiblings();
    }
}

void PropertyPage::EnableWithRangeLabel(const ControlRow& row, bool enabled) {
    if (view == nullptr) {
        return;
    }
    view->EnableControl(row.id, enabled);
    if (row.rangeLabelId != kNoRangeLabel) {
        view->EnableControl(row.rangeLabelId, enabled);
    }
}

const ControlRow* PropertyPage::FindControl(int controlId) const {
    const auto found =
        std::find_if(definition.controls.begin(), definition.controls.end(),
                     [controlId](const ControlRow& row) { return row.id == controlId; });
    return found != definition.controls.end() ? &*found : nullptr;
}

bool PropertyPage::Applies(TestedWhen when) const {
    switch (when) {
        case TestedWhen::Always:
            return true;
        case TestedWhen::OnlyOnH280:
            return family.h280;
        case TestedWhen::NotOnH280:
            return !family.h280;
        case TestedWhen::NotOnColor:
            return !family.color;
    }
    return true;
}

bool PropertyPage::IsDisabled(DisabledWhen when) const {
    switch (when) {
        case DisabledWhen::ColorCamera:
            return family.color;
        case DisabledWhen::NotH280Camera:
            return !family.h280;
        case DisabledWhen::H280Camera:
            return family.h280;
        case DisabledWhen::Never:
        case DisabledWhen::BandAdjustmentOff:
            break;
    }
    return false;
}

bool PropertyPage::Passes(const ValidationTest& test) const {
    if (test.offset != nullptr) {
        // In 64 bits: two values within their bounds can still overflow an int.
        const Param<int>& size = params.*std::get<Param<int> ParamSet::*>(test.param);
        const std::int64_t end =
            static_cast<std::int64_t>(size.value) + (params.*test.offset).value;
        return end <= size.max;
    }
    return std::visit([this](auto member) { return (params.*member).InRange(); }, test.param);
}

void PropertyPage::FillComboBoxes() {
    for (const ControlRow& row : definition.controls) {
        if (row.kind != ControlKind::ComboBox) {
            continue;
        }
        const ParamEnum& param = params.*std::get<ParamEnum ParamSet::*>(row.param);
        view->FillComboBox(row.id, param.names);
        const auto selected = std::find(param.names.begin(), param.names.end(), param.value);
        view->SelectComboItem(row.id, selected != param.names.end()
                                          ? static_cast<int>(selected - param.names.begin())
                                          : -1);
    }
}

void PropertyPage::ReadComboBoxes() {
    if (view == nullptr) {
        return;
    }
    for (const ControlRow& row : definition.controls) {
        if (row.kind == ControlKind::ComboBox) {
            ParamEnum& param = params.*std::get<ParamEnum ParamSet::*>(row.param);
            param.value = view->GetComboSelection(row.id).value_or("None");
        }
    }
}

void PropertyPage::SetRangeLabels() {
    for (const ControlRow& row : definition.controls) {
        if (row.rangeLabelId == kNoRangeLabel) {
            continue;
        }
        std::visit(
            [&](auto member) {
                if constexpr (!std::is_same_v<decltype(member), ParamEnum ParamSet::*>) {
                    const auto& param = params.*member;
                    view->SetControlText(
                        row.rangeLabelId,
                        sheet_text::FormatRange(row.rangeFormat, param.min, param.max));
                }
            },
            row.param);
    }
}
