#include "camera/ZurErrorText.h"

#include "ZUR.h"

const char* ZurErrorText(std::uint32_t error) {
    switch (error) {
        case ZUR_ERROR_NONE:
            return "no error";
        case ZUR_ERROR_INVALID_HANDLE:
            return "unknown or closed handle";
        case ZUR_ERROR_INVALID_ARGUMENT:
            return "invalid argument";
        case ZUR_ERROR_NO_DEVICE:
            return "no attached camera has this device ID";
        case ZUR_ERROR_BUSY:
            return "busy: the camera is already open or its stream allocated";
        case ZUR_ERROR_NOT_ALLOCATED:
            return "no stream allocated";
        case ZUR_ERROR_ABORTED:
            return "image request aborted";
        case ZUR_ERROR_DEVICE_LOST:
            return "the camera is lost: unplugged, switched off or not answering";
        case ZUR_ERROR_READ_ONLY:
            return "the register is read-only";
        case ZUR_ERROR_BAD_REGISTER:
            return "no such register";
        case ZUR_ERROR_OUT_OF_RANGE:
            return "value out of range";
        case ZUR_ERROR_NO_REQUEST:
            return "no image requested";
        case ZUR_ERROR_TIMEOUT:
            return "timed out";
        case ZUR_ERROR_INCOMPLETE:
            return "the image arrived incomplete";
        case ZUR_ERROR_NOT_SUPPORTED:
            return "not supported by the camera";
        case ZUR_ERROR_ACCESS_DENIED:
            return "another application controls the camera";
        case ZUR_ERROR_DEVICE:
            return "the camera refused";
        case ZUR_ERROR_INJECTED:
            return "failure injected by the simulator";
        default:
            return "unknown ZUR error";
    }
}
