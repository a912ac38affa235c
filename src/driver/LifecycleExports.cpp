// The exports for start-up, shut-down, the host's environment and enumeration.
#include "ZavaDED.h"
#include "camera/CameraList.h"
#include "driver/ExportPolicy.h"
#include "platform/Clock.h"
#include "platform/Mutex.h"
#include "platform/NoDestructor.h"

namespace {

constexpr const char* kDriverVersion = "1,0,0,15";
constexpr int kGrabberCount = 1;
constexpr int kPortCount = 20;

// initialize and finalize run one at a time; the cameras' exports do not
// wait for them, but for the registry lock at most.
platform::NoDestructor<platform::Mutex> lifecycleMutex;
platform::Mutex& lifecycleLock = *lifecycleMutex;

}  // namespace

extern "C" {

ZAVADED_API int ZAVADED_CALL initialize(const char* systemPath, MessageProc messageProc) {
    return RunExport<policy::initialize>({}, [&](DriverLog& log) REQUIRES(exportFrame) {
        const platform::MutexLock lifecycle(lifecycleLock);
        if (systemPath != nullptr && systemPath[0] != '\0') {
            log.SetSystemPath(systemPath);
        }
        log.SetMessageProc(messageProc);
        LogMessage(log, 2, "===============\ninitialize: \n");
        if (log.RefCount() == 0) {
            CameraList::Current()->Init();
        }
        log.SetRefCount(log.RefCount() + 1);
        const platform::LocalTime now = platform::Now();
        LogMessage(log, 1,
                   "initialize: ZavaDED camera driver V%s, refcount=%d, %d-%d-%d %d:%d:%d\n",
                   kDriverVersion, log.RefCount(), now.year, now.month, now.day, now.hour,
                   now.minute, now.second);
        return 1;
    });
}

ZAVADED_API int ZAVADED_CALL finalize(void) {
    return RunExport<policy::finalize>({}, [](DriverLog& log) REQUIRES(exportFrame) {
        const platform::MutexLock lifecycle(lifecycleLock);
        LogMessage(log, 2, "finalize: entering, refcount=%d\n", log.RefCount());
        // An unmatched finalize must not take the count below 0: the next
        // initialize would then skip the enumeration and find no cameras.
        if (log.RefCount() <= 0) {
            LogMessage(log, 1, "finalize: WARNING: called without a matching initialize\n");
            LogMessage(log, 2, "finalize: leaving, refcount=%d\n", log.RefCount());
            return 1;
        }
        // Counted down before the release, which may fail.
        log.SetRefCount(log.RefCount() - 1);
        if (log.RefCount() == 0) {
            CameraList::ReleaseInstance();
        }
        LogMessage(log, 2, "finalize: leaving, refcount=%d\n", log.RefCount());
        return 1;
    });
}

ZAVADED_API int ZAVADED_CALL setSystemPath(const char* path) {
    return RunExport<policy::setSystemPath>({}, [&](DriverLog& log) {
        if (path == nullptr || path[0] == '\0') {
            return 0;
        }
        log.SetSystemPath(path);
        return 1;
    });
}

ZAVADED_API void ZAVADED_CALL setDebugMsgProc(MessageProc messageProc) {
    RunExport<policy::setDebugMsgProc>({},
                                       [&](DriverLog& log) { log.SetMessageProc(messageProc); });
}

ZAVADED_API int ZAVADED_CALL getCVLMaxNoOfGrabbers(void) {
    return RunExport<policy::getCVLMaxNoOfGrabbers>({}, [](DriverLog&) { return kGrabberCount; });
}

ZAVADED_API int ZAVADED_CALL getCVLMaxNoOfPorts(void) {
    return RunExport<policy::getCVLMaxNoOfPorts>({}, [](DriverLog&) { return kPortCount; });
}

ZAVADED_API int ZAVADED_CALL getCVLNoOfSupportedCameras(void) {
    return RunExport<policy::getCVLNoOfSupportedCameras>(
        {}, [](DriverLog&) REQUIRES(exportFrame) { return CameraList::Current()->Count(); });
}

ZAVADED_API char** ZAVADED_CALL getCVLCameraConfigNames(void) {
    return RunExport<policy::getCVLCameraConfigNames>({}, [](DriverLog&) REQUIRES(exportFrame) {
        return CameraList::Current()->GetConfigNames();
    });
}

}  // extern "C"
