// The front end of builds without a dialog toolkit: the sheet cannot be
// shown, which the log says, and the configuration ends as if cancelled.
#include "log/DriverLog.h"
#include "ui/SheetFrontEnd.h"

namespace {

void ReportNoToolkit() {
    LogMessage(DriverLog::Instance(), 1,
               "Camera::Configure: ERROR: no dialog toolkit available on this platform\n");
}

class NoToolkitFrontEnd : public SheetFrontEnd {
  public:
    bool CanShowDialog() override {
        ReportNoToolkit();
        return false;
    }
    bool ConfirmContinue(void* /*parentWindow*/, const std::string& /*text*/,
                         const std::string& /*caption*/) override {
        ReportNoToolkit();
        return false;
    }
    bool RunModal(CSheet1& /*sheet*/) override {
        ReportNoToolkit();
        return false;
    }
};

}  // namespace

std::unique_ptr<SheetFrontEnd> MakePlatformSheetFrontEnd() {
    return std::make_unique<NoToolkitFrontEnd>();
}
