// The configuration sheet over a copy of the camera's parameter set.
#include "camera/Camera.h"
#include "driver/ExportLock.h"
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
    if (!frontEnd->CanShowDialog()) {
        return false;
    }
    // The host's code runs while a sheet is shown, and may ask for this
    // camera's sheet again: one at a time.
    if (configuring) {
        LogMessage(log, 1, "Camera::Configure: ERROR: the sheet of %s is already shown\n",
                   name.c_str());
        return false;
    }
    const std::weak_ptr<const int> alive = lifetime;
    configuring = true;
    const struct Shown {
        const std::weak_ptr<const int>& camera;
        bool& flag;
        ~Shown() {
            if (!camera.expired()) {
                flag = false;
            }
        }
    } shown{alive, configuring};
    // The dialogs run the host's windows; the export lock is let go meanwhile,
    // and the camera may be gone when they return.
    const std::string cameraName = name;
    DriverLog& driverLog = log;
    if (IsGrabRequested()) {
        bool confirmed = false;
        {
            const ExportLock::Released hostCode;
            confirmed = frontEnd->ConfirmContinue(parentWindow, kGrabRunningWarning, title);
        }
        if (!confirmed) {
            return false;
        }
        if (alive.expired()) {
            LogMessage(driverLog, 1, "Camera::Configure: ERROR: camera %s is gone\n",
                       cameraName.c_str());
            return false;
        }
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

    bool accepted = false;
    {
        const ExportLock::Released hostCode;
        accepted = frontEnd->RunModal(sheet);
    }
    if (accepted) {
        copy.Save(cameraName.c_str());
        if (!alive.expired()) {
            params = copy;
        }
    }
    LogMessage(driverLog, 2, "Camera::Configure: leaving\n");
    return accepted;
}
