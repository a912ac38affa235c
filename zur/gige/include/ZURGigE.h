/*
 * The GigE Vision ZUR library: ZUR over Aravis, for real GigE Vision
 * cameras (and for gevcam, the simulated cameras served over the network).
 * It is libZUR.so in a folder of its own, beside the simulated library; the
 * driver uses whichever libZUR.so the dynamic loader finds first (see the
 * README for the switch). This header adds what the camera maker's
 * interface lacks.
 *
 * Environment:
 *   ZUR_GIGE_DISCOVERY    which cameras ZURGetList lists and ZUROpen opens:
 *                         IPv4 addresses (127.0.0.2), networks
 *                         (127.0.0.0/24) and interface names (eth1),
 *                         separated by commas or blanks. Unset: every camera
 *                         that answers Aravis's discovery broadcast. An
 *                         item that is none of these fails both calls with
 *                         ZUR_ERROR_INVALID_ARGUMENT.
 *   ZUR_GIGE_PACKET_SIZE  stream packet size in bytes, 576 to 65500 (for
 *                         example 8192 on a link with jumbo frames); unset:
 *                         the largest that the camera's test packets reach
 *                         the host with, found at ZURIsoAlloc (traced).
 *   ZUR_GIGE_TRACE        1: a line on standard error for every camera
 *                         found, open, close, loss, refused command and
 *                         frame, with the frame's block ID.
 *
 * How the calls reach the camera:
 *   - ZURGetList: Aravis discovery; the device ID is the MAC address of the
 *     camera's interface, the model name its DeviceModelName; cameras are
 *     listed by ascending IPv4 address.
 *   - ZUROpen opens the camera where discovery last saw it (discovering
 *     again when it is not there) and takes control of it: BUSY when this
 *     process has it open, ACCESS_DENIED when another application controls
 *     it, NO_DEVICE when no camera with that MAC answers.
 *   - ZURGigESetRegister / ZURGigEGetRegister: GVCP WRITEREG / READREG, one
 *     register after the other; the camera's status maps to BAD_REGISTER
 *     (invalid address, bad alignment), READ_ONLY (write protected),
 *     OUT_OF_RANGE (invalid parameter), BUSY, ACCESS_DENIED,
 *     NOT_SUPPORTED (not implemented), DEVICE (any other).
 *   - Geometry, pixel format and data depth: the features OffsetX, OffsetY,
 *     Width, Height, SensorWidth, SensorHeight, PixelFormat, PayloadSize.
 *     ZURSetImageInfo sets all four or, when the camera refuses one, none
 *     (BUSY while the stream is allocated). PixelFormat Mono8 to Mono16
 *     reports ColorID 0, Bayer*8 ColorID 9, wider Bayer ColorID 5, with the
 *     data depth of the format; other formats are NOT_SUPPORTED.
 *   - ZURNowCameraMode: word 3 is the Bayer order of PixelFormat; word 0 the
 *     feature XcgStandardMode, 0 on a camera without it.
 *     ZURSetCameraMode changes the order by choosing the Bayer PixelFormat
 *     of the same depth (NOT_SUPPORTED where there is none).
 *   - ZURBandAdjust: the features XcgBandLevel and XcgBandAdjust;
 *     NOT_SUPPORTED on a camera without them.
 *   - ZURIsoAlloc makes the Aravis stream (packet resend on, socket buffer
 *     the size of a frame); ZURIsoStart sets AcquisitionMode (Continuous, or
 *     MultiFrame with AcquisitionFrameCount) and runs AcquisitionStart;
 *     ZURIsoStop runs AcquisitionStop.
 *   - In continuous acquisition (ZURIsoStart with 0 frames) the library
 *     keeps six buffers of its own queued in the stream, so that frames
 *     that come while the caller is busy between two requests are kept: a
 *     request takes the oldest kept frame newer than the last delivered,
 *     copied into the caller's buffer, or else the next to complete. Kept
 *     frames are stale, and dropped, once the queue ran over, when they
 *     began more than twelve frame periods before the request (the period
 *     measured on the acquisition's own frames; none is stale by age before
 *     two were kept), or before the last register or feature write. The
 *     first request of an acquisition is filled as below, with the spares
 *     queued behind it for the frames that follow.
 *   - Otherwise ZURImageReq hands the caller's buffer to the stream as it
 *     is (no copy). A request usually joins the stream in the middle of a frame,
 *     whose first packets it asks the camera for again (packet resend on,
 *     without a limit per frame); should that frame come out torn, the
 *     request takes the next one. ZURImageCompleteWait fails with
 *     INCOMPLETE for a frame that did not arrive whole (lost packets that
 *     resends did not bring back) or not at the size and format of the
 *     stream, with TIMEOUT after its timeout; it never delivers a frame
 *     older than one it delivered before. Once ZURAbortImageReqAll,
 *     ZURIsoStop, ZURIsoRelease, ZURClose or a failed wait have returned,
 *     nothing writes into the buffers of the requests they ended.
 *   - A camera that stops answering (heartbeat lost, a command without
 *     reply) is lost: every later call on its handle fails at once with
 *     DEVICE_LOST, pending waits end with it, and ZURClose releases the
 *     handle (returning DEVICE_LOST).
 *   - The colour conversion calls are the simulated library's, on the same
 *     code, so that the same raw frame gives the same pixels.
 *   - Register calls may come from one thread while another waits for an
 *     image on the same handle.
 */
#ifndef ZUR_GIGE_H
#define ZUR_GIGE_H

#include "ZUR.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The block ID (GVSP) of the frame that the last successful
 * ZURImageCompleteWait on this buffer delivered. Fails with NO_REQUEST when
 * none did since the stream was allocated. */
ZUR_API int32_t ZURGigEGetFrameId(uint32_t camera, const void* buffer, uint64_t* frameId);

#ifdef __cplusplus
}
#endif

#endif /* ZUR_GIGE_H */
