/*
 * ZavaDED: camera driver for Zaze GigE cameras of the XCG series, behind the
 * CVL driver interface. All functions have C linkage and the C calling
 * convention; integer results are 1 for success and 0 for failure, texts are
 * zero-terminated 8-bit strings.
 */
#ifndef ZAVADED_H
#define ZAVADED_H

#if defined(_WIN32)
#define ZAVADED_CALL __cdecl
#define ZAVADED_API /* exported by name through ZavaDED.def */
#else
#define ZAVADED_CALL
#define ZAVADED_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Receives every log message the driver passes to the host: first a prefix
 * with date, time and level, then the message. The text is valid during the
 * call only. Called on whichever thread logs, grab threads included. */
typedef void(ZAVADED_CALL* MessageProc)(const char* text);

/* Called on the camera's grab thread when a requested image is ready to be
 * read with getCVLGrabRow; grabberNo is 0. */
typedef void(ZAVADED_CALL* CompleteCallback)(int grabberNo, int portNo);

/* Lifecycle and enumeration. */
ZAVADED_API int ZAVADED_CALL initialize(const char* systemPath, MessageProc messageProc);
ZAVADED_API int ZAVADED_CALL finalize(void);
ZAVADED_API int ZAVADED_CALL setSystemPath(const char* path);
ZAVADED_API void ZAVADED_CALL setDebugMsgProc(MessageProc messageProc);
ZAVADED_API int ZAVADED_CALL getCVLMaxNoOfGrabbers(void);
ZAVADED_API int ZAVADED_CALL getCVLMaxNoOfPorts(void);
ZAVADED_API int ZAVADED_CALL getCVLNoOfSupportedCameras(void);
/* Names of the cameras found, ending with a null pointer. Owned by the
 * driver; valid until the next call or the last finalize. */
ZAVADED_API char** ZAVADED_CALL getCVLCameraConfigNames(void);

/* Ports and grabbing. openCVLPort receives the image width and height in
 * size[0] and size[1]. getCVLGrabRow copies the start of one row of the last
 * image: lastColumn - firstColumn + 1 pixels of 1 (monochrome) or 3 (colour:
 * blue, green, red) bytes, at most one row. */
ZAVADED_API int ZAVADED_CALL openCVLPort(int grabberNo, int portNo, const char* cameraName,
                                         int* size);
ZAVADED_API void ZAVADED_CALL closeCVLPort(int grabberNo, int portNo);
ZAVADED_API int ZAVADED_CALL doCVLGrab(int grabberNo, int portNo);
ZAVADED_API int ZAVADED_CALL getCVLGrabRow(int grabberNo, int portNo, void* destination, int row,
                                           int firstColumn, int lastColumn);
ZAVADED_API int ZAVADED_CALL setCompleteCallback(int grabberNo, int portNo,
                                                 CompleteCallback callback);

/* Camera settings by name. getPropertyRange reports no ranges: it returns 0
 * and leaves both outputs untouched. */
ZAVADED_API int ZAVADED_CALL getProperty(int grabberNo, int portNo, const char* property,
                                         int* value);
ZAVADED_API int ZAVADED_CALL setProperty(int grabberNo, int portNo, const char* property,
                                         int value);
ZAVADED_API int ZAVADED_CALL getPropertyRange(int grabberNo, int portNo, const char* property,
                                              int* minimum, int* maximum);

/* Shows the modal configuration sheet of the named camera over the host's
 * window (an HWND on Windows; may be null). Returns 1 when the user accepted
 * the sheet: the settings are then saved in the INI file and reach the
 * camera at its next open. 0 for Cancel, an unknown camera, or a failure. */
ZAVADED_API int ZAVADED_CALL configureCamera(void* parentWindow, const char* cameraName);

#ifdef __cplusplus
}
#endif

#endif /* ZAVADED_H */
