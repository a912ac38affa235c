#include "Errors.h"

#include <arv.h>

#include "ZUR.h"

namespace zurgige {
namespace {

thread_local std::uint32_t lastError = ZUR_ERROR_NONE;

std::uint32_t FromDeviceError(gint code) {
    switch (code) {
        case ARV_DEVICE_ERROR_PROTOCOL_ERROR_INVALID_ADDRESS:
        case ARV_DEVICE_ERROR_PROTOCOL_ERROR_BAD_ALIGNMENT:
            return ZUR_ERROR_BAD_REGISTER;
        case ARV_DEVICE_ERROR_PROTOCOL_ERROR_WRITE_PROTECT:
            return ZUR_ERROR_READ_ONLY;
        case ARV_DEVICE_ERROR_PROTOCOL_ERROR_INVALID_PARAMETER:
            return ZUR_ERROR_OUT_OF_RANGE;
        case ARV_DEVICE_ERROR_PROTOCOL_ERROR_BUSY:
            return ZUR_ERROR_BUSY;
        case ARV_DEVICE_ERROR_PROTOCOL_ERROR_ACCESS_DENIED:
        case ARV_DEVICE_ERROR_NOT_CONTROLLER:
            return ZUR_ERROR_ACCESS_DENIED;
        case ARV_DEVICE_ERROR_PROTOCOL_ERROR_NOT_IMPLEMENTED:
        case ARV_DEVICE_ERROR_FEATURE_NOT_FOUND:
        case ARV_DEVICE_ERROR_WRONG_FEATURE:
        case ARV_DEVICE_ERROR_NO_STREAM_CHANNEL:
            return ZUR_ERROR_NOT_SUPPORTED;
        case ARV_DEVICE_ERROR_TIMEOUT:
        case ARV_DEVICE_ERROR_NOT_CONNECTED:
        case ARV_DEVICE_ERROR_TRANSFER_ERROR:
            return ZUR_ERROR_DEVICE_LOST;
        case ARV_DEVICE_ERROR_NOT_FOUND:
            return ZUR_ERROR_NO_DEVICE;
        case ARV_DEVICE_ERROR_INVALID_PARAMETER:
            return ZUR_ERROR_INVALID_ARGUMENT;
        default:
            return ZUR_ERROR_DEVICE;
    }
}

std::uint32_t FromGenicamError(gint code) {
    switch (code) {
        case ARV_GC_ERROR_OUT_OF_RANGE:
        case ARV_GC_ERROR_ENUM_ENTRY_NOT_FOUND:
            return ZUR_ERROR_OUT_OF_RANGE;
        case ARV_GC_ERROR_READ_ONLY:
            return ZUR_ERROR_READ_ONLY;
        case ARV_GC_ERROR_NODE_NOT_FOUND:
        case ARV_GC_ERROR_PROPERTY_NOT_DEFINED:
        case ARV_GC_ERROR_PVALUE_NOT_DEFINED:
        case ARV_GC_ERROR_EMPTY_ENUMERATION:
            return ZUR_ERROR_NOT_SUPPORTED;
        default:
            return ZUR_ERROR_DEVICE;
    }
}

}  // namespace

std::uint32_t ZurError(const GError* error) {
    if (error == nullptr) {
        return ZUR_ERROR_DEVICE;
    }
    if (error->domain == ARV_DEVICE_ERROR) {
        return FromDeviceError(error->code);
    }
    if (error->domain == ARV_GC_ERROR) {
        return FromGenicamError(error->code);
    }
    return ZUR_ERROR_DEVICE;
}

bool MeansLost(std::uint32_t zurError) {
    return zurError == ZUR_ERROR_DEVICE_LOST;
}

std::uint32_t CallerError() {
    return lastError;
}

void SetCallerError(std::uint32_t error) {
    lastError = error;
}

}  // namespace zurgige
