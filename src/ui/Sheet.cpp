#include "ui/Sheet.h"

#include <algorithm>
#include <utility>

#include "ui/PropertyPage.h"
#include "ui/ValueText.h"

CSheet1::CSheet1(std::string sheetTitle, void* parent)
    : title(std::move(sheetTitle)), parentWindow(parent) {}

void CSheet1::AddPage(PropertyPage& page) {
    pages.push_back(&page);
}

void CSheet1::OnInitDialog() {
    for (PropertyPage* page : pages) {
        if (page->HasWindow()) {
            validity[static_cast<std::size_t>(page->Kind())] = page->Validate();
        }
    }
    if (view != nullptr) {
        view->EnableOK(AllPagesValid());
    }
}

void CSheet1::SetPageValid(PageKind kind, bool valid) {
    validity[static_cast<std::size_t>(kind)] = valid;
    const bool all = AllPagesValid();
    if (view == nullptr) {
        return;
    }
    view->EnableOK(all);
    if (all) {
        view->SetStatusText("");
    }
}

bool CSheet1::AllPagesValid() const {
    return std::all_of(validity.begin(), validity.end(), [](bool valid) { return valid; });
}

void CSheet1::SetStatusText(const std::string& text) {
    if (view != nullptr) {
        view->SetStatusText(sheet_text::Truncated(text, kMaxStatusText));
    }
}

void CSheet1::QuerySiblings() {
    if (view != nullptr) {
        view->QuerySiblings();
    }
}

void ReportPageError(CSheet1& sheet, const PropertyPage& page, const char* message) {
    std::string text = sheet_text::Truncated(page.Caption(), CSheet1::kMaxStatusText);
    text += ": ";
    text += TextOrNull(message);
    sheet.SetStatusText(sheet_text::Truncated(std::move(text), CSheet1::kMaxStatusText));
}
