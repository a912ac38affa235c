/*
 * Control interface of the simulated ZUR library: what tests and tools use to
 * choose the attached cameras, inject faults, unplug a camera and inspect the
 * calls the driver made. Not part of the camera maker's interface.
 *
 * Cameras come from, in this order of precedence:
 *   1. this interface: after ZURSimReset() only cameras added here exist;
 *   2. the INI file named by the environment variable ZUR_SIM_CONFIG, one
 *      section per camera ([camera 1], [camera 2], ...), keys as for
 *      ZURSimSetCameraOption; a file without camera sections attaches none;
 *   3. the built-in set: XCG-U100E 4660, XCG-5005CR 4661, XCG-H280E 4662.
 */
#ifndef ZUR_SIM_H
#define ZUR_SIM_H

#include "ZUR.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Detaches every camera, closes every handle, clears faults and the journal,
 * and stops consulting ZUR_SIM_CONFIG and the built-in set. */
ZUR_API void ZURSimReset(void);

/* Attaches a camera at the end of the enumeration order. Geometry, format and
 * limits take the model's defaults; returns 0 if the ID is already in use. */
ZUR_API int32_t ZURSimAddCamera(const char* model, uint64_t deviceId);

/* Sets one configuration key of an attached camera, with the text the INI
 * file would hold, for example ("width", "640") or ("fast", "1"). Returns 0
 * for an unknown camera, key or unreadable value. */
ZUR_API int32_t ZURSimSetCameraOption(uint64_t deviceId, const char* key, const char* value);

/* Makes the named call (for example "ZURIsoAlloc") fail on its next `count`
 * calls, with ZUR_ERROR_INJECTED; a negative count fails it until cleared
 * with count 0. */
ZUR_API void ZURSimFailNext(const char* call, int32_t count);

/* From now on every call on the camera fails with ZUR_ERROR_DEVICE_LOST and
 * pending image waits end. The camera stays in the enumeration list. */
ZUR_API int32_t ZURSimUnplug(uint64_t deviceId);

/* Fires the hardware trigger input of a camera. */
ZUR_API int32_t ZURSimHardwareTrigger(uint64_t deviceId);

/* Reads or writes a camera register without journaling, whatever its access
 * rights and whether the camera is open. */
ZUR_API int32_t ZURSimPeekRegister(uint64_t deviceId, uint32_t address, uint32_t* value);
ZUR_API int32_t ZURSimPokeRegister(uint64_t deviceId, uint32_t address, uint32_t value);

/* Number of camera handles and conversion handles currently open. */
ZUR_API int32_t ZURSimOpenDeviceCount(void);
ZUR_API int32_t ZURSimOpenConversionCount(void);

/* Number of frames the camera has produced so far, and its frame counter
 * (which starts a few frames short of its 32-bit wrap-around). */
ZUR_API uint32_t ZURSimFramesProduced(uint64_t deviceId);

/* Copies the raw image last delivered by the camera (as ZURImageCompleteWait
 * wrote it) into buffer; returns the number of bytes copied, 0 if none. */
ZUR_API uint32_t ZURSimLastImage(uint64_t deviceId, void* buffer, uint32_t size);

/* Renders the scene the camera shows, as 8-bit RGB (3 bytes per pixel, top
 * line first), for the given frame counter at the camera's current geometry.
 * Returns the number of bytes written, 0 if the buffer is too small. */
ZUR_API uint32_t ZURSimRenderRgb(uint64_t deviceId, uint32_t frameCounter, void* buffer,
                                 uint32_t size);

/* The journal: one entry per ZUR call, in call order, with its main arguments
 * as text ("ZURGigESetRegister handle=1 address=0xa0002040 data=0x00000064")
 * and its result. */
ZUR_API int32_t ZURSimJournalCount(void);
/* Copies entry `index` (zero-terminated, cut to fit) and its result; returns
 * 0 when there is no such entry. */
ZUR_API int32_t ZURSimJournalEntry(int32_t index, char* text, int32_t size, int32_t* result);
ZUR_API void ZURSimJournalClear(void);

#ifdef __cplusplus
}
#endif

#endif /* ZUR_SIM_H */
