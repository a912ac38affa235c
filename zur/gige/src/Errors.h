#pragma once

// ZUR error codes for what Aravis reports, and the caller's last error.

#include <glib.h>

#include <cstdint>

namespace zurgige {

// The ZUR error for a failed Aravis call: GVCP statuses the camera answered
// with map to the register errors, a camera that does not answer to
// ZUR_ERROR_DEVICE_LOST, a missing feature to ZUR_ERROR_NOT_SUPPORTED.
// A null error (a call that failed without saying why) is ZUR_ERROR_DEVICE.
std::uint32_t ZurError(const GError* error);

// Whether the error means that the camera no longer answers.
bool MeansLost(std::uint32_t zurError);

std::uint32_t CallerError();
void SetCallerError(std::uint32_t error);

}  // namespace zurgige
