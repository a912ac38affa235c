// The exports for start-up, shut-down, the host's environment and enumeration.
#include <new>

#include "ZavaDED.h"
#include "camera/CameraList.h"
#include "driver/ExportFrame.h"
#include "platform/Clock.h"

namespace {

constexpr const char* kDriverVersion = "1,0,0,15";
constexpr int kGrabberCount = 1;
constexpr int kPortCount = 20;

}  // namespace

extern "C" {

ZAVADED_API int ZAVADED_CALL initialize(const char* systemPath, MessageProc messageProc) {
    return RunExport(
        [&](DriverLog& log) {
            if (systemPath != nullptr && systemPath[0] != '\0') {
                log.SetSystemPath(systemPath);
            }
            log.SetMessageProc(messageProc);
            LogMessage(log, 2, "===============\ninitialize: \n");
            if (log.RefCount() == 0) {
                CameraList::GetInstance().Init();
            }
            log.SetRefCount(log.RefCount() + 1);
            const platform::LocalTime now = platform::Now();
            LogMessage(log, 1,
                       "initialize: ZavaDED camera driver V%s, refcount=%d, %d-%d-%d %d:%d:%d\n",
                       kDriverVersion, log.RefCount(), now.year, now.month, now.day, now.hour,
                       now.minute, now.second);
            return 1;
        },
        [](DriverLog& log, const char* what) {
            LogMessage(log, 1, "initialize: --EXCEPTION caught : %s\n", what);
        },
        [](DriverLog& log) {
            LogMessage(log, 1, "initialize: ZavaDED camera driver -- EXCEPTION occured\n");
        });
}

ZAVADED_API int ZAVADED_CALL finalize(void) {
    DriverLog& log = DriverLog::Instance();
    const ExportLock lock;
    LogMessage(log, 2, "finalize: entering, refcount=%d\n", log.RefCount());
    // An unmatched finalize must not take the count below 0: the next
    // initialize would then skip the enumeration and find no cameras.
    if (log.RefCount() <= 0) {
        LogMessage(log, 1, "finalize: WARNING: called without a matching initialize\n");
        LogMessage(log, 2, "finalize: leaving, refcount=%d\n", log.RefCount());
        return 1;
    }
    log.SetRefCount(log.RefCount() - 1);
    return RunExport(
        [](DriverLog& frameLog) {
            if (frameLog.RefCount() == 0) {
                CameraList::ReleaseInstance();
            }
            LogMessage(frameLog, 2, "finalize: leaving, refcount=%d\n", frameLog.RefCount());
            return 1;
        },
        [](DriverLog& frameLog, const char* what) {
            LogMessage(frameLog, 1, "finalize: --EXCEPTION caught: %s\n", what);
        },
        [](DriverLog& frameLog) { LogMessage(frameLog, 1, "finalize: --EXCEPTION occured \n"); });
}

ZAVADED_API int ZAVADED_CALL setSystemPath(const char* path) {
    if (path == nullptr || path[0] == '\0') {
        return 0;
    }
    try {
        DriverLog::Instance().SetSystemPath(path);
        return 1;
    } catch (...) {
        return 0;
    }
}

ZAVADED_API void ZAVADED_CALL setDebugMsgProc(MessageProc messageProc) {
    DriverLog::Instance().SetMessageProc(messageProc);
}

ZAVADED_API int ZAVADED_CALL getCVLMaxNoOfGrabbers(void) {
    return kGrabberCount;
}

ZAVADED_API int ZAVADED_CALL getCVLMaxNoOfPorts(void) {
    return kPortCount;
}

ZAVADED_API int ZAVADED_CALL getCVLNoOfSupportedCameras(void) {
    const ExportLock lock;
    try {
        return CameraList::GetInstance().Count();
    } catch (...) {
        return 0;
    }
}

ZAVADED_API char** ZAVADED_CALL getCVLCameraConfigNames(void) {
    const ExportLock lock;
    try {
        return CameraList::GetInstance().GetConfigNames();
    } catch (...) {
        // Out of memory: an empty list rather than an exception into the host.
        static char* noNames[1] = {nullptr};
        return noNames;
    }
}

}  // extern "C"
