// The host side of acquisition: requests, continuous mode and the completion
// callback. The grab thread does the rest.
#include <string>

#include "camera/Camera.h"
#include "camera/GrabThread.h"

bool Camera::Grab() {
    LogMessage(log, 3, "Camera::Grab: entering, port=%d \n", Port());
    control->pendingGrabs.fetch_add(1, std::memory_order_acq_rel);
    if (grabThread) {
        grabThread->SetGrabEvent();
    }
    LogMessage(log, 3, "Camera::Grab: leaving \n");
    return true;
}

void Camera::SetContinuousGrab(bool on) {
    LogMessage(log, 2, "Camera::SetContinuousGrab: entering, mode=%s\n", on ? "on" : "off");
    if (control->IsContinuous() == on) {
        LogMessage(log, 3,
                   "Camera::SetContinuousGrab has no effect -- the same mode is already active\n");
        return;
    }
    control->continuous.store(on, std::memory_order_release);
    if (on) {
        Grab();
    } else {
        control->ClearGrabRequests();
    }
    LogMessage(log, 2, "Camera::SetContinuousGrab: leaving\n");
}

void Camera::SetCompleteCB(CompleteCallback callback) {
    std::string message = "Camera::SetCompleteCB: ";
    const CompleteCallback previous = GetCompleteCB();
    if (previous != nullptr) {
        message += "CB was already assigned. ";
        if (previous == callback) {
            message += "The new CB is the same function. ";
        }
    }
    if (callback == nullptr) {
        message += "Resetting CB to null. ";
    }
    message += "\n";
    LogMessage(log, 2, "%s", message.c_str());
    control->callback.store(callback, std::memory_order_release);
}
