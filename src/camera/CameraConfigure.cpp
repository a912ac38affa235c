// The configuration sheet over a copy of the camera's parameter set.
#include "camera/Camera.h"
#include "ui/Sheet.h"
#include "ui/SheetFrontEnd.h"
#include "ui/SheetPages.h"
#include "ui/ValueText.h"

namespace {

constexpr const char* kGrabRunningWarning =
    "Configuring camera properties while inspection is running may cause undesired effects. "
    "Continue anyway ?";

}  // namespace

bool Camera::Configure(void* parentWindow) {
    LogMessage(log, 2, "Camera::Configure: entering\n");
    // A camera on no port has port -1 and shows number 0.
    const std::string title = sheet_text::Format("Configure camera on port #%lld: %s",
                                                 static_cast<long long>(Port()) + 1, name.c_str());
    const std::unique_ptr<SheetFrontEnd> frontEnd = MakeSheetFrontEnd();
    // Asked first: where nothing can be shown, the camera is not touched.
    if (!frontEnd->CanShowDialog()) {
        return false;
    }
    if (IsGrabRequested() && !frontEnd->ConfirmContinue(parentWindow, kGrabRunningWarning, title)) {
        return false;
    }

    CSheet1 sheet(title, parentWindow);
    if (isOpen) {
        GetAllParametersFromCamera();
    } else {
        // A closed camera answers every register read with 0, which the
        // sheet would show and OK would save. Its set is what the next open
        // starts from instead: the family's definition and the INI file.
        params.Define(modelFlags, identity);
        params.Load(name.c_str());
    }

    ParamSet copy(params);
    copy.LogLevel.value = log.LogLevel();
    copy.LogIntoFile.value = log.LogIntoFile() ? 1 : 0;

    CPropCameraControls cameraControls(copy, sheet, IsH280(), IsColor());
    CPropIO io(copy, sheet);
    CPropColor color(copy, sheet);
    sheet.AddPage(cameraControls);
    sheet.AddPage(io);
    if (IsColor()) {
        sheet.AddPage(color);
    }

    const bool accepted = frontEnd->RunModal(sheet);
    if (accepted) {
        copy.Save(name.c_str());
        params = copy;
    }
    LogMessage(log, 2, "Camera::Configure: leaving\n");
    return accepted;
}
