// The export that shows one camera's configuration sheet.
#include "ZavaDED.h"
#include "camera/CameraList.h"
#include "driver/ExportPolicy.h"
#include "ui/CameraConfiguration.h"

extern "C" {

ZAVADED_API int ZAVADED_CALL configureCamera(void* parentWindow, const char* cameraName) {
    return RunExport<policy::configureCamera>(
        {.cameraName = cameraName}, [&](DriverLog& log) REQUIRES(exportFrame) {
            LogMessage(log, 2, "configureCamera: entering cameraName=%s\n", TextOrNull(cameraName));
            const std::shared_ptr<CameraList> cameras = CameraList::Current();
            if (!cameras->IsCameraAvailable(cameraName)) {
                LogMessage(log, 1, "configureCamera: ERROR: cannot find camera by name: %s\n",
                           TextOrNull(cameraName));
                return 0;
            }
            const bool accepted = ConfigureCamera(cameras->GetByName(cameraName), parentWindow);
            LogMessage(log, 2, "configureCamera: leaving cameraName=%s\n", cameraName);
            return accepted ? 1 : 0;
        });
}

}  // extern "C"
