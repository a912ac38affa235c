// The sheet's scenarios on the toolkit-free sheet: the driver linked in, its
// dialogs worked on fake windows by a front end that plays the person.
#include <memory>

#include "FakeSheet.h"
#include "SheetScenarios.h"
#include "ui/SheetFrontEnd.h"

namespace sheet_test {
namespace {

using testing_support::FakePageView;
using testing_support::FakeSheetWindows;

// The person at the warning (no windows) or at the sheet's fake windows.
class FakePerson : public Person {
  public:
    explicit FakePerson(std::string warning) : warningText(std::move(warning)) {}
    FakePerson(CSheet1& shown, FakeSheetWindows& sheetWindows)
        : sheet(&shown), windows(&sheetWindows), page(&sheetWindows.ShowPage(0)) {}

    std::string WarningText() override { return warningText; }
    void AnswerWarning(bool proceed) override {
        answered = true;
        accepted = proceed;
    }
    int PageCount() override { return static_cast<int>(sheet->PageCount()); }
    void ShowPage(int index) override {
        page = &windows->ShowPage(static_cast<std::size_t>(index));
    }
    void Type(int controlId, const std::string& text) override { page->Type(controlId, text); }
    void Click(int controlId) override { page->Click(controlId); }
    std::string Text(int controlId) override { return page->Text(controlId); }
    bool IsEnabled(int controlId) override { return page->IsEnabled(controlId); }
    std::string Status() override { return windows->Status(); }
    bool IsOkEnabled() override { return windows->OkEnabled(); }
    void PressOk() override {
        accepted = windows->PressOk() && sheet->Accepted();
        answered = accepted;
    }
    void PressCancel() override { answered = true; }
    std::optional<Focus> KeyboardFocus() override { return std::nullopt; }

    bool answered = false;  // the dialog closed
    bool accepted = false;  // with OK

  private:
    std::string warningText;
    CSheet1* sheet = nullptr;
    FakeSheetWindows* windows = nullptr;
    FakePageView* page = nullptr;
};

// Shows each dialog titled title to the person, one step at a time.
class PersonFrontEnd : public SheetFrontEnd {
  public:
    PersonFrontEnd(std::string dialogTitle, const std::vector<Step>& personSteps, Outcome& result)
        : title(std::move(dialogTitle)), steps(personSteps), outcome(result) {}

    bool CanShowDialog() override { return true; }
    bool ConfirmContinue(void* /*parentWindow*/, const std::string& text,
                         const std::string& caption) override {
        EXPECT_EQ(caption, title);
        FakePerson person(text);
        return Work(person);
    }
    bool RunModal(CSheet1& sheet) override {
        EXPECT_EQ(sheet.Title(), title);
        FakeSheetWindows windows(sheet);
        FakePerson person(sheet, windows);
        return Work(person);
    }

  private:
    bool Work(FakePerson& person) {
        while (!person.answered && outcome.steps < steps.size()) {
            steps[outcome.steps++](person);
        }
        outcome.leftOpen = outcome.leftOpen || !person.answered;
        return person.accepted;
    }

    std::string title;
    const std::vector<Step>& steps;
    Outcome& outcome;
};

class FakeFrontEnd : public DriverSheet {
  public:
    static constexpr bool kHasKeyboard = false;

    static void SetUpTestSuite() {
        exports = {&::initialize,   &::finalize,    &::setDebugMsgProc, &::openCVLPort,
                   &::closeCVLPort, &::setProperty, &::configureCamera};
    }

    Outcome Configure(const char* camera, const std::string& title,
                      const std::vector<Step>& steps) {
        Outcome outcome;
        SetSheetFrontEndFactory(
            [&] { return std::make_unique<PersonFrontEnd>(title, steps, outcome); });
        outcome.result = configureCamera(nullptr, camera);
        SetSheetFrontEndFactory({});
        return outcome;
    }
};

INSTANTIATE_TYPED_TEST_SUITE_P(ToolkitFree, SheetScenario, FakeFrontEnd);

}  // namespace
}  // namespace sheet_test
