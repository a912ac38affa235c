/*
 * Control interface of the simulated ZUR library: what tests and tools use to
 * choose the attached cameras, inject faults, unplug a camera and inspect the
 * calls the driver made. Not part of the camera maker's interface. These
 * calls are not journaled, cannot be made to fail by ZURSimFailNext and leave
 * ZURGetLastError alone.
 *
 * Cameras come from, in this order of precedence:
 *   1. this interface: after ZURSimReset() only cameras added here exist;
 *   2. the INI file named by the environment variable ZUR_SIM_CONFIG, one
 *      section per camera ([camera 1], [camera 2], ...), keys as for
 *      ZURSimSetCameraOption; a file without camera sections, or one that
 *      cannot be read, attaches none;
 *   3. the built-in set: XCG-U100E 4660, XCG-5005CR 4661, XCG-H280E 4662.
 * The state is set up on the first call of any function of the library.
 *
 * Configuration keys (INI file and ZURSimSetCameraOption; numbers decimal or
 * 0x-prefixed hexadecimal):
 *   model         model name, reported as given; setting it resets every key
 *                 but id to the model's defaults. Known models: XCG-V60E
 *                 640x480, XCG-SX97E and XCG-SX99E 1360x1024, XCG-U100E and
 *                 XCG-U100CR 1600x1200, XCG-5005E and XCG-5005CR 2448x2048,
 *                 XCG-H280E 1920x1080; any other text is 640x480. A name
 *                 with "CR" is a colour camera; one with "H280" (and no
 *                 "CR") belongs to the H280 family.
 *   id            64-bit device ID, unique among the attached cameras. In an
 *                 INI file a section without a usable one gets 4660 + its
 *                 section number - 1, or the next free ID above that.
 *   width, height sensor size, 1 to 16384; the geometry restarts at the full
 *                 sensor and the registers at their initial values.
 *   colorId       ColorID reported by ZURGetImageInfo. Default: 0 for
 *                 monochrome, 9 (8-bit raw Bayer) for colour, 5 (16-bit raw
 *                 Bayer) for colour with dataDepth > 8.
 *   dataDepth     0 to 16, reported by ZURGetDataDepth and ZURGetImageInfo;
 *                 above 8 images carry 16-bit little-endian samples scaled
 *                 to that depth. Default 8.
 *   standardMode  0 or 1, word 0 of the camera-mode record; in a standard
 *                 mode ZURSetCameraMode cannot change the filter. Default 0.
 *   colorFilter   Bayer order of the images and word 3 of the camera-mode
 *                 record: 0 RGGB, 1 GBRG, 2 GRBG, 3 BGGR. Default 2 (GRBG)
 *                 on colour cameras, so that a driver ignoring it shows red
 *                 and green exchanged; 0 on monochrome ones.
 *   bufferSize    buffer size ZURGetImageInfo reports instead of the real
 *                 one (to exercise the driver's checks); 0, the default,
 *                 reports the real width x height x (dataDepth > 8 ? 2 : 1).
 *                 ZURImageReq still needs room for the real image.
 *   fast          1: every requested frame at once; 0 (default): frames
 *                 paced by the frame-rate register.
 *   frameCounter  counter the next frame shows; default 0xFFFFFFF0, 16
 *                 frames short of the 32-bit wrap-around.
 *   frameRateMax  frame-rate maximum in whole frames per second, 1 to 1000;
 *                 per model by default (XCG-V60E 90, XCG-SX97E 20, XCG-SX99E
 *                 30, XCG-H280E 60, the others 15, unknown models 30).
 *
 * The journal holds one entry per ZUR call, in the order the calls were
 * made (a blocking ZURImageCompleteWait is entered when it starts), at most
 * 100,000 entries (the oldest are dropped). An entry is the call's name
 * followed by key=value pairs separated by single blanks, in this order:
 *   ZURSetStructVersion version=V
 *   ZURGetList count=N                    (N as passed in)
 *   ZUROpen id=ID
 *   ZURClose handle=H
 *   ZURGigESetRegister handle=H address=A data=D
 *   ZURGigESetRegister handle=H address=A data=D count=N   (2 <= N <= 135)
 *   ZURGigEGetRegister handle=H address=A
 *   ZURGigEGetRegister handle=H address=A count=N          (2 <= N <= 135)
 *   ZURGigESetRegister handle=H count=N   (N 0 or over 135; Get alike)
 *   ZURSetImageInfo handle=H offsetX=X offsetY=Y width=W height=H
 *   ZURGetImageInfo handle=H
 *   ZURNowCameraMode handle=H
 *   ZURSetCameraMode handle=H standardMode=S colorFilter=F
 *   ZURBandAdjust handle=H adjust=A level=L
 *   ZURGetDataDepth handle=H
 *   ZURCreateConvHandle convertMode=M shiftId=S
 *   ZURColorConvSetBMPINFO conversion=C width=W height=H
 *   ZURColorConvExec conversion=C width=W height=H colorId=I cFilter=F
 *   ZURCloseConvHandle conversion=C
 *   ZURIsoAlloc handle=H
 *   ZURIsoStart handle=H frames=N
 *   ZURIsoStop handle=H
 *   ZURIsoRelease handle=H
 *   ZURImageReq handle=H size=S
 *   ZURImageCompleteWait handle=H
 *   ZURAbortImageReqAll handle=H
 *   ZURGetLastError
 * Numbers are unsigned decimal (adjust, level, convertMode, shiftId, width
 * and height of the conversion calls signed decimal); register addresses and
 * data are "0x" and 8 lower-case hex digits. For count > 1 only the first
 * register is shown. A null pointer argument shows as NAME=null: in place of
 * the record's fields for list, record, position, mode (ZURSetCameraMode,
 * ZURColorConvExec), and appended at the end for the others (camera, info,
 * mode of ZURNowCameraMode, depth, conversion, source, target, buffer).
 * The entry's result is the value the call returned (0 or 1; the error code
 * for ZURGetLastError), or -1 while the call has not returned.
 *
 * Behaviour worth knowing:
 *   - Every ZUR call sets the calling thread's last error, ZUR_ERROR_NONE on
 *     success.
 *   - Registers 0xA0000000-0xA000FFFC exist (4-byte aligned); writes to the
 *     limit block 0xA0007000-0xA00070FF fail with READ_ONLY. Registers with
 *     limits (exposure, black level, frame rate, gain, colour gains, trigger
 *     delay, gamma, strobe delays and durations) and enumerated registers
 *     (trigger mode, source, activation 4-7, inhibit, line sources, line
 *     inverters, ActiveGPO lower 16 bits 0-2, sensor taps 2/4 on H280,
 *     binning) refuse other values with OUT_OF_RANGE. A multi-register
 *     write stops at the first refused register.
 *   - The geometry registers (0xA0000100 width, 0xA0000104 height,
 *     0xA0000108/0xA000010C offsets) hold the window on the sensor; binning
 *     (0xA0000114 = 1 on standard cameras, = 2 on H280; 0xA0000118 = 2 on
 *     H280) halves the delivered image, which ZURGetImageInfo reports.
 *     Geometry and binning cannot change while the stream is allocated
 *     (BUSY).
 *   - Frames are produced inside ZURImageCompleteWait: once the stream is
 *     started, the first frame at once, then one frame period after the
 *     previous one (fast=1: at once); in trigger mode (0xA0002044 = 1) one
 *     frame per trigger, software (0xA0002098 = 1, write 1 to 0xA00002F8)
 *     or hardware (0xA0002098 = 0, ZURSimHardwareTrigger). Triggers that
 *     arrive while the stream runs are kept until a request takes them.
 *     Requests are filled oldest first.
 *   - ZURAbortImageReqAll, ZURIsoStop, ZURIsoRelease, ZURClose, ZURSimReset
 *     end pending waits at once with ZUR_ERROR_ABORTED, unplugging with
 *     ZUR_ERROR_DEVICE_LOST; queued requests are dropped. An injected
 *     failure of ZURImageCompleteWait ends the request of that buffer, as a
 *     wait that timed out would.
 *   - ZURClose on an unplugged camera, or on a handle lost by unplugging and
 *     plugging in again, fails with DEVICE_LOST but releases the handle all
 *     the same.
 *   - Camera handles count up from 1, conversion handles from 50001; no
 *     handle is used twice within a process.
 *   - ZURCreateConvHandle takes convert modes 4 and 7 (16-bit samples,
 *     shifted right by shiftId 0-8, clamped to 255) and 5, 9, 11 (8-bit
 *     samples); ZURColorConvExec demosaics bilinearly.
 */
#ifndef ZUR_SIM_H
#define ZUR_SIM_H

#include "ZUR.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Detaches every camera, closes every handle (pending waits end), clears
 * faults and the journal, and stops consulting ZUR_SIM_CONFIG and the
 * built-in set. */
ZUR_API void ZURSimReset(void);

/* As ZURSimReset, then attaches the cameras of the INI file at path, through
 * the same code as ZUR_SIM_CONFIG. Returns 0 (and attaches none) when the
 * file cannot be read. */
ZUR_API int32_t ZURSimLoadConfig(const char* path);

/* Back to the state of a fresh process: everything is detached and cleared
 * as by ZURSimReset, and the next call reads ZUR_SIM_CONFIG again (or
 * attaches the built-in set). Handles still are not reused. */
ZUR_API void ZURSimRestart(void);

/* Attaches a camera at the end of the enumeration order. Geometry, format and
 * limits take the model's defaults; returns 0 if the ID is already in use. */
ZUR_API int32_t ZURSimAddCamera(const char* model, uint64_t deviceId);

/* Sets one configuration key of an attached camera, with the text the INI
 * file would hold, for example ("width", "640") or ("fast", "1"). Returns 0
 * for an unknown camera, key or unreadable value, for an ID already taken or
 * of an open camera, and for a new model or sensor size while the camera's
 * stream is allocated. */
ZUR_API int32_t ZURSimSetCameraOption(uint64_t deviceId, const char* key, const char* value);

/* Makes the named call (for example "ZURIsoAlloc") fail on its next `count`
 * calls, with ZUR_ERROR_INJECTED; a negative count fails it until cleared
 * with count 0. Every ZUR call but ZURGetLastError can be made to fail. */
ZUR_API void ZURSimFailNext(const char* call, int32_t count);

/* Makes every later call of the named function take `milliseconds` longer,
 * as a slow device or network would, before it does its work; other calls
 * go on meanwhile. 0 takes the delay away; ZURSimReset takes all away. */
ZUR_API void ZURSimSetDelay(const char* call, uint32_t milliseconds);

/* With on nonzero, ZUROpen hands out the lowest camera handle not in use, as
 * libraries that recycle handles do, instead of one never used before. Until
 * ZURSimReset. */
ZUR_API void ZURSimReuseHandles(int32_t on);

/* From now on every call on the camera fails with ZUR_ERROR_DEVICE_LOST and
 * pending image waits end. The camera stays in the enumeration list. */
ZUR_API int32_t ZURSimUnplug(uint64_t deviceId);

/* Plugs an unplugged camera in again: it answers once more, at the same ID.
 * A handle opened before the unplugging stays lost (every call on it fails
 * with ZUR_ERROR_DEVICE_LOST, ZURClose releases it) and the camera can be
 * opened again. With restarted nonzero the camera was switched off meanwhile:
 * its registers, colour filter and band adjustment are back at their initial
 * values. Returns 0 for an unknown camera, 1 otherwise (also when it was
 * plugged in). */
ZUR_API int32_t ZURSimPlug(uint64_t deviceId, int32_t restarted);

/* Fires the hardware trigger input of a camera. Returns 1 when the camera
 * took it as a trigger (stream started, trigger mode on, source Hardware),
 * 0 otherwise. */
ZUR_API int32_t ZURSimHardwareTrigger(uint64_t deviceId);

/* Reads or writes a camera register without journaling, whatever its access
 * rights and whether the camera is open. A poke has no side effect (a poke
 * of the software trigger register fires nothing). */
ZUR_API int32_t ZURSimPeekRegister(uint64_t deviceId, uint32_t address, uint32_t* value);
ZUR_API int32_t ZURSimPokeRegister(uint64_t deviceId, uint32_t address, uint32_t value);

/* Number of camera handles and conversion handles currently open. */
ZUR_API int32_t ZURSimOpenDeviceCount(void);
ZUR_API int32_t ZURSimOpenConversionCount(void);

/* Number of image requests of the camera that a thread is waiting for in
 * ZURImageCompleteWait. */
ZUR_API int32_t ZURSimWaiters(uint64_t deviceId);

/* Number of frames the camera has produced so far. */
ZUR_API uint32_t ZURSimFramesProduced(uint64_t deviceId);

/* The frame counter shown in the camera's last frame; before the first
 * frame, one less than the first frame will show. The counter starts 16
 * frames short of its 32-bit wrap-around (see the frameCounter key). */
ZUR_API uint32_t ZURSimFrameCounter(uint64_t deviceId);

/* Copies the raw image last delivered by the camera (as ZURImageCompleteWait
 * wrote it) into buffer; returns the number of bytes copied, 0 if none or if
 * size is too small. A null buffer returns the image's size. */
ZUR_API uint32_t ZURSimLastImage(uint64_t deviceId, void* buffer, uint32_t size);

/* Renders the scene the camera shows, as 8-bit RGB (3 bytes per pixel, top
 * line first), for the given frame counter at the camera's current geometry.
 * Returns the number of bytes written, 0 if the buffer is too small; a null
 * buffer returns the size needed.
 *
 * The scene, laid out on the whole sensor (the image shows its window):
 * monochrome, a horizontal grey ramp from 16 (left) to 239 (right); colour,
 * that ramp in the upper half of the sensor and in the lower half four
 * equal blocks, left to right red (220,20,20), green (20,220,20), blue
 * (20,20,220) and white (230,230,230), each channel scaled by its colour
 * gain register (1024 = 1.0). Over it a vertical bar, white with black
 * edges, 1/40 of the sensor width wide (at least 6 pixels), whose left edge
 * sits at (counter % 64) / 64 of the sensor width. At the image's top-left
 * corner the counter in white decimal digits on a black box, about a
 * twelfth of the image height tall. */
ZUR_API uint32_t ZURSimRenderRgb(uint64_t deviceId, uint32_t frameCounter, void* buffer,
                                 uint32_t size);

/* The journal: one entry per ZUR call, in call order, with its main arguments
 * as text ("ZURGigESetRegister handle=1 address=0xa0002040 data=0x00000064")
 * and its result; the format is given at the top of this file. */
ZUR_API int32_t ZURSimJournalCount(void);
/* Copies entry `index` (0 the oldest kept; zero-terminated, cut to fit) and
 * its result; returns 0 when there is no such entry. text and result may be
 * null. */
ZUR_API int32_t ZURSimJournalEntry(int32_t index, char* text, int32_t size, int32_t* result);
ZUR_API void ZURSimJournalClear(void);

#ifdef __cplusplus
}
#endif

#endif /* ZUR_SIM_H */
