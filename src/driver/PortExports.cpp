// The exports that bind a camera to a port and grab from it.
#include <memory>

#include "ZavaDED.h"
#include "camera/CameraList.h"
#include "camera/RowSlot.h"
#include "driver/ExportPolicy.h"
#include "platform/AsciiText.h"

namespace {

// The names a host gives a port that has no camera assigned.
bool IsUndefinedCamera(const char* name) {
    return name == nullptr || name[0] == '\0' ||
           platform::EqualsIgnoringAsciiCase(name, "Undefined") ||
           platform::EqualsIgnoringAsciiCase(name, "Udefinert");
}

}  // namespace

extern "C" {

ZAVADED_API int ZAVADED_CALL openCVLPort(int grabberNo, int portNo, const char* cameraName,
                                         int* size) {
    const ExportArgs args{.grabberNo = grabberNo, .portNo = portNo, .cameraName = cameraName};
    return RunExport<policy::openCVLPort>(args, [&](DriverLog& log) REQUIRES(exportFrame) {
        if (size == nullptr) {
            LogMessage(log, 1,
                       "openCVLPort: ERROR: no place for the image size, grabberNo=%d, portNo=%d\n",
                       grabberNo, portNo);
            return 0;
        }
        size[0] = 0;
        size[1] = 0;
        LogMessage(log, 2, "openCVLPort: entering grabberNo=%d, portNo=%d, cameraName=%s\n",
                   grabberNo, portNo, TextOrNull(cameraName));
        if (portNo == -1) {
            LogMessage(log, 1,
                       "openCVLPort: ERROR: port -1 stands for no port, grabberNo=%d, "
                       "cameraName=%s\n",
                       grabberNo, TextOrNull(cameraName));
            return 0;
        }
        // Callbacks never name a port below 0, so a camera opened on one
        // would never call back.
        if (portNo < 0) {
            LogMessage(log, 1,
                       "openCVLPort: ERROR: port %d is negative, and a negative port cannot be "
                       "told from no port (-1), grabberNo=%d, cameraName=%s\n",
                       portNo, grabberNo, TextOrNull(cameraName));
            return 0;
        }
        if (IsUndefinedCamera(cameraName)) {
            LogMessage(log, 1,
                       "openCVLPort: ERROR: undefined camera, grabberNo=%d, portNo=%d, "
                       "cameraName=%s\n",
                       grabberNo, portNo, TextOrNull(cameraName));
            return 0;
        }
        const std::shared_ptr<CameraList> cameras = CameraList::Current();
        if (!cameras->IsCameraAvailable(cameraName)) {
            if (log.RefCount() <= 0) {
                LogMessage(log, 1,
                           "openCVLPort: ERROR: the driver is not initialised: call initialize "
                           "first\n");
            }
            LogMessage(log, 1, "openCVLPort: ERROR: cannot find camera by name:%s\n", cameraName);
            return 0;
        }
        return cameras->WithCameraNamed(
            cameraName, [&](Camera& camera) REQUIRES(camera.cameraLock, exportFrame) {
                if (!camera.Open(portNo, size)) {
                    LogMessage(log, 1,
                               "openCVLPort: ERROR: camera not opened, grabberNo=%d, portNo=%d, "
                               "cameraName=%s\n",
                               grabberNo, portNo, cameraName);
                    size[0] = 0;
                    size[1] = 0;
                    return 0;
                }
                LogMessage(log, 2, "openCVLPort: leaving -- Camera %s OPENED on port %d\n",
                           camera.Name().c_str(), portNo);
                return 1;
            });
    });
}

ZAVADED_API void ZAVADED_CALL closeCVLPort(int grabberNo, int portNo) {
    RunExport<policy::closeCVLPort>(
        {.grabberNo = grabberNo, .portNo = portNo}, [&](DriverLog& log) REQUIRES(exportFrame) {
            LogMessage(log, 2, "closeCVLPort: entering grabberNo=%d, portNo=%d\n", grabberNo,
                       portNo);
            CameraList::Current()->WithCameraOnPort(
                portNo,
                [](Camera& camera) REQUIRES(camera.cameraLock, exportFrame) { camera.Close(); },
                CameraList::Intent::Close);
        });
    // Also after an exception, and after the wait for the grab thread.
    LogMessage(DriverLog::Instance(), 2, "closeCVLPort: leaving grabberNo=%d, portNo=%d\n",
               grabberNo, portNo);
}

ZAVADED_API int ZAVADED_CALL doCVLGrab(int grabberNo, int portNo) {
    return RunExport<policy::doCVLGrab>(
        {.grabberNo = grabberNo, .portNo = portNo}, [&](DriverLog& log) REQUIRES(exportFrame) {
            LogMessage(log, 2, "doCVLGrab entering grabberNo=%d portNo=%d\n", grabberNo, portNo);
            const bool granted = CameraList::Current()->WithCameraOnPort(
                portNo, [](Camera& camera) REQUIRES(camera.cameraLock) { return camera.Grab(); });
            if (!granted) {
                return 0;
            }
            LogMessage(log, 3, "doCVLGrab: leaving grabberNo=%d portNo=%d\n", grabberNo, portNo);
            return 1;
        });
}

ZAVADED_API int ZAVADED_CALL getCVLGrabRow(int grabberNo, int portNo, void* destination, int row,
                                           int firstColumn, int lastColumn) {
    return RunExport<policy::getCVLGrabRow>(
        {.grabberNo = grabberNo, .portNo = portNo}, [&](DriverLog& log) REQUIRES(exportFrame) {
            // Per row: the level is checked before anything is formatted.
            const bool traced = log.Logs(4);
            if (traced) {
                LogMessage(log, 4, "getCVLGrabRow: entering row=%d  grabberNo=%d  portNo=%d\n", row,
                           grabberNo, portNo);
            }
            // Through the camera's row slot: no registry, no camera lock.
            if (!RowSlot::CopyRow(portNo, row, destination, firstColumn, lastColumn, log)) {
                return 0;
            }
            if (traced) {
                LogMessage(log, 4, "getCVLGrabRow: leaving row=%d  grabberNo=%d  portNo=%d\n", row,
                           grabberNo, portNo);
            }
            return 1;
        });
}

ZAVADED_API int ZAVADED_CALL setCompleteCallback(int grabberNo, int portNo,
                                                 CompleteCallback callback) {
    return RunExport<policy::setCompleteCallback>(
        {.grabberNo = grabberNo, .portNo = portNo}, [&](DriverLog& log) REQUIRES(exportFrame) {
            LogMessage(log, 2, "setCompleteCallback: entering grabberNo=%d   portNo=%d\n",
                       grabberNo, portNo);
            CameraList::Current()->WithCameraOnPort(
                portNo, [&](Camera& camera)
                            REQUIRES(camera.cameraLock) { camera.SetCompleteCB(callback); });
            LogMessage(log, 2, "setCompleteCallback: leaving grabberNo=%d   portNo=%d\n", grabberNo,
                       portNo);
            return 1;
        });
}

}  // extern "C"
