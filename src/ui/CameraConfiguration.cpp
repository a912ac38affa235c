#include "ui/CameraConfiguration.h"

#include <cstdint>
#include <set>
#include <string>

#include "camera/CameraList.h"
#include "platform/NoDestructor.h"
#include "ui/Sheet.h"
#include "ui/SheetFrontEnd.h"
#include "ui/SheetPages.h"
#include "ui/ValueText.h"

namespace {

constexpr const char* kGrabRunningWarning =
    "Configuring camera properties while inspection is running may cause undesired effects. "
    "Continue anyway ?";

// The serials of the cameras whose sheets are shown.
struct ShownSheets {
    platform::Mutex lock;
    std::set<std::uint64_t> serials GUARDED_BY(lock);
};

ShownSheets& Shown() {
    static platform::NoDestructor<ShownSheets> shown;
    return *shown;
}

// Marks a camera's sheet as shown for its scope, unless it is shown already.
class ShownSheet {
  public:
    explicit ShownSheet(std::uint64_t cameraSerial) : serial(cameraSerial) {
        ShownSheets& shown = Shown();
        const platform::MutexLock hold(shown.lock);
        marked = shown.serials.insert(serial).second;
    }
    ~ShownSheet() {
        if (marked) {
            ShownSheets& shown = Shown();
            const platform::MutexLock hold(shown.lock);
            shown.serials.erase(serial);
        }
    }
    ShownSheet(const ShownSheet&) = delete;
    ShownSheet& operator=(const ShownSheet&) = delete;

    // False when the camera's sheet was shown already.
    bool Marked() const { return marked; }

  private:
    std::uint64_t serial;
    bool marked = false;
};

// The set the sheet starts from: a closed camera answers every register read
// with 0, which the sheet would show and OK would save, so its set is what
// the next open starts from instead.
ParamSet SheetCopy(Camera& camera) REQUIRES(camera.cameraLock) {
    if (camera.IsOpen()) {
        camera.GetAllParametersFromCamera();
    } else {
        camera.DefineAndLoadParams();
    }
    ParamSet copy(camera.Params());
    copy.LogLevel.value = camera.Log().LogLevel();
    copy.LogIntoFile.value = camera.Log().LogIntoFile() ? 1 : 0;
    return copy;
}

}  // namespace

bool ConfigureCamera(const std::shared_ptr<Camera>& found, void* parentWindow) {
    Camera& camera = *found;
    DriverLog& log = camera.Log();
    LogMessage(log, 2, "Camera::Configure: entering\n");
    const std::string& name = camera.Name();
    // A camera on no port has port -1 and shows number 0.
    const std::string title =
        sheet_text::Format("Configure camera on port #%lld: %s",
                           static_cast<long long>(camera.Port()) + 1, name.c_str());
    const std::unique_ptr<SheetFrontEnd> frontEnd = MakeSheetFrontEnd();
    if (!frontEnd->CanShowDialog()) {
        return false;
    }
    const ShownSheet shown(camera.Serial());
    if (!shown.Marked()) {
        LogMessage(log, 1, "Camera::Configure: ERROR: the sheet of %s is already shown\n",
                   name.c_str());
        return false;
    }
    const bool h280 = camera.IsH280();
    const bool color = camera.IsColor();
    if (camera.IsGrabRequested()) {
        bool confirmed = false;
        {
            const ExportFrame::Suspended hostCode;
            confirmed = frontEnd->ConfirmContinue(parentWindow, kGrabRunningWarning, title);
        }
        if (!confirmed) {
            return false;
        }
    }

    CSheet1 sheet(title, parentWindow);
    ParamSet copy;
    {
        const platform::MutexLock hold(camera.cameraLock);
        if (camera.IsRetired()) {
            LogMessage(log, 1, "Camera::Configure: ERROR: camera %s is gone\n", name.c_str());
            return false;
        }
        copy = SheetCopy(camera);
    }
    CPropCameraControls cameraControls(copy, sheet, h280, color);
    CPropIO io(copy, sheet);
    CPropColor colorPage(copy, sheet);
    sheet.AddPage(cameraControls);
    sheet.AddPage(io);
    if (color) {
        sheet.AddPage(colorPage);
    }

    bool accepted = false;
    {
        const ExportFrame::Suspended hostCode;
        accepted = frontEnd->RunModal(sheet);
    }
    if (accepted) {
        copy.Save(name.c_str());
        const platform::MutexLock hold(camera.cameraLock);
        if (!camera.IsRetired()) {
            camera.Params() = copy;
        }
    }
    LogMessage(log, 2, "Camera::Configure: leaving\n");
    return accepted;
}
