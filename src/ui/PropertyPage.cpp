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

template <typename Member>
Member MemberOf(Setting setting) {
    return std::get<Member>(settings::Row(setting).member);
}

bool IsEdit(ControlKind kind) {
    return kind == ControlKind::IntegerEdit || kind == ControlKind::DecimalEdit;
}

}  // namespace

PropertyPage::PropertyPage(ParamSet& parameters, CSheet1& owner, const PageDefinition& page,
                           Family cameraFamily)
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
                const Param<int>& param = params.*MemberOf<Param<int> ParamSet::*>(row.setting);
                view->SetControlText(row.id, sheet_text::Format("%d", param.value));
                break;
            }
            case ControlKind::DecimalEdit: {
                const Param<double>& param =
                    params.*MemberOf<Param<double> ParamSet::*>(row.setting);
                const std::string text = sheet_text::FormatTwoDecimals(param.value);
                shownDecimals[row.id] = text;
                view->SetControlText(row.id, text);
                break;
            }
            case ControlKind::CheckBox: {
                const Param<int>& param = params.*MemberOf<Param<int> ParamSet::*>(row.setting);
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
                Param<int>& param = params.*MemberOf<Param<int> ParamSet::*>(row.setting);
                param.value = sheet_text::ReadInteger(view->GetControlText(row.id));
                break;
            }
            case ControlKind::DecimalEdit: {
                Param<double>& param = params.*MemberOf<Param<double> ParamSet::*>(row.setting);
                const std::string text = view->GetControlText(row.id);
                const auto shown = shownDecimals.find(row.id);
                if (shown == shownDecimals.end() || shown->second != text) {
                    param.value = sheet_text::ReadDecimal(text);
                }
                break;
            }
            case ControlKind::CheckBox: {
                Param<int>& param = params.*MemberOf<Param<int> ParamSet::*>(row.setting);
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
            if (IsDisabled(row)) {
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
        if (Applies(row.test) && !Passes(row.test)) {
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

bool PropertyPage::Applies(const ValidationTest& test) const {
    return Includes(settings::Row(test.setting).present, family);
}

bool PropertyPage::IsDisabled(const ControlRow& row) const {
    return !Includes(settings::Row(row.setting).present, family) ||
           Includes(row.alsoDisabledOn, family);
}

bool PropertyPage::Passes(const ValidationTest& test) const {
    if (test.withOffset) {
        // In 64 bits: two values within their bounds can still overflow an int.
        const Param<int>& size = params.*MemberOf<Param<int> ParamSet::*>(test.setting);
        const Param<int>& offset = params.*MemberOf<Param<int> ParamSet::*>(test.offset);
        const std::int64_t end = static_cast<std::int64_t>(size.value) + offset.value;
        return end <= size.max;
    }
    return std::visit(
        [this](auto member) {
            if constexpr (std::is_same_v<decltype(member), ParamEnum ParamSet::*>) {
                return true;  // an enumeration has no bounds to test
            } else {
                return (params.*member).InRange();
            }
        },
        settings::Row(test.setting).member);
}

void PropertyPage::FillComboBoxes() {
    for (const ControlRow& row : definition.controls) {
        if (row.kind != ControlKind::ComboBox) {
            continue;
        }
        const ParamEnum& param = params.*MemberOf<ParamEnum ParamSet::*>(row.setting);
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
            ParamEnum& param = params.*MemberOf<ParamEnum ParamSet::*>(row.setting);
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
            settings::Row(row.setting).member);
    }
}
