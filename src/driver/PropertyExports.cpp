// The exports that read and change camera settings by name.
#include "ZavaDED.h"
#include "camera/CameraList.h"
#include "driver/ExportFrame.h"

extern "C" {

ZAVADED_API int ZAVADED_CALL getProperty(int grabberNo, int portNo, const char* property,
                                         int* value) {
    return RunExport(
        [&](DriverLog& log) {
            if (property == nullptr || value == nullptr) {
                LogMessage(log, 1,
                           "getProperty: ERROR: no property name or no place for the value, "
                           "grabberNo=%d, portNo=%d\n",
                           grabberNo, portNo);
                return 0;
            }
            return CameraList::GetInstance().GetByPort(portNo).GetProperty(property, value) ? 1 : 0;
        },
        [&](DriverLog& log, const char* what) {
            LogMessage(log, 1,
                       "getProperty: --EXCEPTION caught grabberNo=%d, portNo=%d, property=%s: %s\n",
                       grabberNo, portNo, TextOrNull(property), what);
        },
        [](DriverLog& log) { LogMessage(log, 1, "--EXCEPTION caught at getProperty\n"); });
}

ZAVADED_API int ZAVADED_CALL setProperty(int grabberNo, int portNo, const char* property,
                                         int value) {
    return RunExport(
        [&](DriverLog& log) {
            LogMessage(log, 3, "setProperty: portNo=%d\n", portNo);
            if (property == nullptr) {
                LogMessage(log, 1,
                           "setProperty: ERROR: no property name, grabberNo=%d, portNo=%d\n",
                           grabberNo, portNo);
                return 0;
            }
            return CameraList::GetInstance().GetByPort(portNo).SetProperty(property, value) ? 1 : 0;
        },
        [&](DriverLog& log, const char* what) {
            LogMessage(log, 1,
                       "setProperty: --EXCEPTION caught grabberNo=%d, portNo=%d, property=%s, "
                       "value=%d: %s\n",
                       grabberNo, portNo, TextOrNull(property), value, what);
        },
        [](DriverLog& log) { LogMessage(log, 1, "setProperty: --EXCEPTION caught \n"); });
}

ZAVADED_API int ZAVADED_CALL getPropertyRange(int grabberNo, int portNo, const char* property,
                                              int* minimum, int* maximum) {
    return RunExport(
        [&](DriverLog& log) {
            LogMessage(log, 2, "getPropertyRange: entering grabberNo=%d   portNo=%d\n", grabberNo,
                       portNo);
            if (!CameraList::GetInstance().GetByPort(portNo).GetRange(property, minimum, maximum)) {
                return 0;
            }
            LogMessage(log, 2, "getPropertyRange: leaving grabberNo=%d   portNo=%d\n", grabberNo,
                       portNo);
            return 1;
        },
        [&](DriverLog& log, const char* what) {
            LogMessage(log, 1, "getPropertyRange: --EXCEPTION caught grabberNo=%d, portNo=%d: %s\n",
                       grabberNo, portNo, what);
        },
        [](DriverLog& log) { LogMessage(log, 1, "getPropertyRange: --EXCEPTION caught \n"); });
}

}  // extern "C"
