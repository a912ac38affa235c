#include "ui/UnavailableFrontEnd.h"

#include <utility>

#include "log/DriverLog.h"

namespace {

class UnavailableFrontEnd : public SheetFrontEnd {
  public:
    explicit UnavailableFrontEnd(std::string why) : reason(std::move(why)) {}

    bool CanShowDialog() override { return Report(); }
    bool ConfirmContinue(void* /*parentWindow*/, const std::string& /*text*/,
                         const std::string& /*caption*/) override {
        return Report();
    }
    bool RunModal(CSheet1& /*sheet*/) override { return Report(); }

  private:
    bool Report() const {
        LogMessage(DriverLog::Instance(), 1, "Camera::Configure: ERROR: %s\n", reason.c_str());
        return false;
    }

    std::string reason;
};

}  // namespace

std::unique_ptr<SheetFrontEnd> MakeUnavailableFrontEnd(std::string reason) {
    return std::make_unique<UnavailableFrontEnd>(std::move(reason));
}
