// The export that shows one camera's configuration sheet.
#include "ZavaDED.h"
#include "camera/CameraList.h"
#include "driver/ExportFrame.h"

extern "C" {

ZAVADED_API int ZAVADED_CALL configureCamera(void* parentWindow, const char* cameraName) {
    bool failed = false;
    const int result = RunExport(
        [&](DriverLog& log) {
            LogMessage(log, 2, "configureCamera: entering cameraName=%s\n", TextOrNull(cameraName));
            CameraList& cameras = CameraList::GetInstance();
            if (!cameras.IsCameraAvailable(cameraName)) {
                LogMessage(log, 1, "configureCamera: ERROR: cannot find camera by name: %s\n",
                           TextOrNull(cameraName));
                return 0;
            }
            const bool accepted = cameras.GetByName(cameraName).Configure(parentWindow);
            LogMessage(log, 2, "configureCamera: leaving cameraName=%s\n", cameraName);
            return accepted ? 1 : 0;
        },
        [&](DriverLog& log, const char* what) {
            failed = true;
            LogMessage(log, 1, "configureCamera: --EXCEPTION caught cameraName=%s: %s\n",
                       TextOrNull(cameraName), what);
        },
        [&](DriverLog& log) {
            failed = true;
            LogMessage(log, 1, "configureCamera --EXCEPTION , cameraName=%s\n",
                       TextOrNull(cameraName));
        });
    if (failed) {
        LogMessage(DriverLog::Instance(), 2, "configureCamera: leaving cameraName=%s\n",
                   TextOrNull(cameraName));
    }
    return result;
}

}  // extern "C"
