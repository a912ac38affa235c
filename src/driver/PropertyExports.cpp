// The exports that read and change camera settings by name.
#include "ZavaDED.h"
#include "camera/CameraList.h"
#include "driver/ExportPolicy.h"

extern "C" {

ZAVADED_API int ZAVADED_CALL getProperty(int grabberNo, int portNo, const char* property,
                                         int* value) {
    const ExportArgs args{.grabberNo = grabberNo, .portNo = portNo, .property = property};
    return RunExport<policy::getProperty>(args, [&](DriverLog& log) REQUIRES(exportFrame) {
        if (property == nullptr || value == nullptr) {
            LogMessage(log, 1,
                       "getProperty: ERROR: no property name or no place for the value, "
                       "grabberNo=%d, portNo=%d\n",
                       grabberNo, portNo);
            return 0;
        }
        return CameraList::Current()->WithCameraOnPort(
            portNo, [&](Camera& camera) REQUIRES(camera.cameraLock) {
                return camera.GetProperty(property, value) ? 1 : 0;
            });
    });
}

ZAVADED_API int ZAVADED_CALL setProperty(int grabberNo, int portNo, const char* property,
                                         int value) {
    const ExportArgs args{
        .grabberNo = grabberNo, .portNo = portNo, .property = property, .value = value};
    return RunExport<policy::setProperty>(args, [&](DriverLog& log) REQUIRES(exportFrame) {
        LogMessage(log, 3, "setProperty: portNo=%d\n", portNo);
        if (property == nullptr) {
            LogMessage(log, 1, "setProperty: ERROR: no property name, grabberNo=%d, portNo=%d\n",
                       grabberNo, portNo);
            return 0;
        }
        return CameraList::Current()->WithCameraOnPort(
            portNo, [&](Camera& camera) REQUIRES(camera.cameraLock) {
                return camera.SetProperty(property, value) ? 1 : 0;
            });
    });
}

ZAVADED_API int ZAVADED_CALL getPropertyRange(int grabberNo, int portNo, const char* property,
                                              int* minimum, int* maximum) {
    return RunExport<policy::getPropertyRange>(
        {.grabberNo = grabberNo, .portNo = portNo}, [&](DriverLog& log) REQUIRES(exportFrame) {
            LogMessage(log, 2, "getPropertyRange: entering grabberNo=%d   portNo=%d\n", grabberNo,
                       portNo);
            const bool known = CameraList::Current()->WithCameraOnPort(
                portNo, [&](Camera& camera) REQUIRES(camera.cameraLock) {
                    return camera.GetRange(property, minimum, maximum);
                });
            if (!known) {
                return 0;
            }
            LogMessage(log, 2, "getPropertyRange: leaving grabberNo=%d   portNo=%d\n", grabberNo,
                       portNo);
            return 1;
        });
}

}  // extern "C"
