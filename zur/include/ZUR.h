/*
 * ZUR: control library for Zaze GigE cameras.
 *
 * Every call returns nonzero on success and 0 on failure; after a failure
 * ZURGetLastError() on the same thread tells why. Records are little-endian,
 * fixed-width and packed as the static_asserts below pin them, so that 32-bit
 * and 64-bit callers agree byte for byte.
 */
#ifndef ZUR_H
#define ZUR_H

#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32
#include <windows.h>
#endif

#if defined(_WIN32)
#if defined(ZUR_BUILDING_LIBRARY)
#define ZUR_API __declspec(dllexport)
#else
#define ZUR_API __declspec(dllimport)
#endif
#else
#define ZUR_API __attribute__((visibility("default")))
#endif

/* The 24 functions of the camera maker's library are __cdecl under plain
 * names, unless the library is built as one of the other forms a 32-bit
 * ZUR.dll comes in: ZUR_STDCALL makes them __stdcall, and with
 * ZUR_EXPORTS_BY_DEF a module-definition file gives their exported names. */
#if defined(_WIN32) && defined(ZUR_STDCALL)
#define ZUR_CALL __stdcall
#else
#define ZUR_CALL
#endif
#if defined(ZUR_BUILDING_LIBRARY) && defined(ZUR_EXPORTS_BY_DEF)
#define ZUR_FUNCTION_API
#else
#define ZUR_FUNCTION_API ZUR_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#ifndef _WIN32
/* The Windows device-independent bitmap header, for platforms without windows.h. */
typedef struct tagBITMAPINFOHEADER {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
} BITMAPINFOHEADER;

typedef struct tagRGBQUAD {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO;
#endif

/* Error codes of ZURGetLastError. */
enum {
    ZUR_ERROR_NONE = 0,
    ZUR_ERROR_INVALID_HANDLE = 1, /* unknown or closed camera or conversion handle */
    ZUR_ERROR_INVALID_ARGUMENT = 2,
    ZUR_ERROR_NO_DEVICE = 3,      /* no attached camera has that device ID */
    ZUR_ERROR_BUSY = 4,           /* camera already open, stream already allocated */
    ZUR_ERROR_NOT_ALLOCATED = 5,  /* stream call before ZURIsoAlloc */
    ZUR_ERROR_ABORTED = 6,        /* image request ended by ZURAbortImageReqAll or ZURIsoStop */
    ZUR_ERROR_DEVICE_LOST = 7,    /* camera unplugged */
    ZUR_ERROR_READ_ONLY = 8,      /* write to a read-only register */
    ZUR_ERROR_BAD_REGISTER = 9,   /* register outside the camera's register space */
    ZUR_ERROR_OUT_OF_RANGE = 10,  /* geometry or value the camera cannot take */
    ZUR_ERROR_NO_REQUEST = 11,    /* wait for a buffer that was never requested */
    ZUR_ERROR_TIMEOUT = 12,       /* image wait timed out; its request is withdrawn */
    ZUR_ERROR_INCOMPLETE = 13,    /* frame torn (packets lost) or not of the stream's format */
    ZUR_ERROR_NOT_SUPPORTED = 14, /* the camera has nothing for this call or value */
    ZUR_ERROR_ACCESS_DENIED = 15, /* another application controls the camera */
    ZUR_ERROR_DEVICE = 16,        /* the camera refused for a reason not listed above */
    ZUR_ERROR_INJECTED = 100      /* failure injected through the simulator's control interface */
};

#define ZUR_MAX_LIST_RECORDS 20
#define ZUR_MAX_REGISTERS 135

/* One attached camera as ZURGetList reports it. */
typedef struct ZURCameraRecord {
    uint32_t deviceIdLow; /* the 64-bit device ID, low half first */
    uint32_t deviceIdHigh;
    char reserved[256];
    char modelName[256]; /* zero-terminated, for example "XCG-U100E" */
} ZURCameraRecord;

/* In: 0 to ask for the number of cameras, else the number of records to fill.
 * Out: the number of cameras attached, or of records filled. */
typedef struct ZURCameraList {
    uint32_t count;
    ZURCameraRecord records[ZUR_MAX_LIST_RECORDS];
} ZURCameraList;

/* count consecutive registers starting at address[0]; data is written by the
 * caller for ZURGigESetRegister and by ZUR for ZURGigEGetRegister. */
typedef struct ZURRegisterRecord {
    uint32_t count;
    uint32_t address[ZUR_MAX_REGISTERS];
    uint32_t data[ZUR_MAX_REGISTERS];
} ZURRegisterRecord;

/* Image geometry for ZURSetImageInfo. */
typedef struct ZURImagePosition {
    uint16_t offsetX;
    uint16_t offsetY;
    uint16_t width;
    uint16_t height;
    uint32_t reserved; /* 0 */
} ZURImagePosition;

/* Image geometry and format as ZURGetImageInfo reports it. */
typedef struct ZURImageInfo {
    uint16_t offsetX;
    uint16_t offsetY;
    uint16_t sensorWidth;
    uint16_t sensorHeight;
    uint16_t width;
    uint16_t height;
    uint32_t colorId;
    uint32_t dataDepth;  /* significant bits per sample */
    uint32_t bufferSize; /* bytes one image needs */
    uint32_t reserved[2];
} ZURImageInfo;

/* ZURNowCameraMode / ZURSetCameraMode. */
typedef struct ZURCameraMode {
    uint32_t standardMode; /* nonzero: a standard mode, in which the colour filter is fixed */
    uint32_t mode;
    uint32_t format;
    uint32_t colorFilter; /* Bayer order: 0 RGGB, 1 GBRG, 2 GRBG, 3 BGGR */
} ZURCameraMode;

/* How ZURColorConvExec reads its source. */
typedef struct ZURColorConvMode {
    uint32_t colorId;
    uint32_t cFilter;
    uint32_t storeMode;
    uint32_t endianMode;
    uint32_t reserved;
} ZURColorConvMode;

ZUR_FUNCTION_API int32_t ZUR_CALL ZURSetStructVersion(uint32_t version);
ZUR_FUNCTION_API int32_t ZUR_CALL ZURGetList(ZURCameraList* list);

ZUR_FUNCTION_API int32_t ZUR_CALL ZUROpen(uint64_t deviceId, uint32_t* camera);
ZUR_FUNCTION_API int32_t ZUR_CALL ZURClose(uint32_t camera);

ZUR_FUNCTION_API int32_t ZUR_CALL ZURGigESetRegister(uint32_t camera, ZURRegisterRecord* record);
ZUR_FUNCTION_API int32_t ZUR_CALL ZURGigEGetRegister(uint32_t camera, ZURRegisterRecord* record);
ZUR_FUNCTION_API int32_t ZUR_CALL ZURSetImageInfo(uint32_t camera, ZURImagePosition* position);
ZUR_FUNCTION_API int32_t ZUR_CALL ZURGetImageInfo(uint32_t camera, ZURImageInfo* info);
ZUR_FUNCTION_API int32_t ZUR_CALL ZURNowCameraMode(uint32_t camera, ZURCameraMode* mode);
ZUR_FUNCTION_API int32_t ZUR_CALL ZURSetCameraMode(uint32_t camera, ZURCameraMode* mode);
ZUR_FUNCTION_API int32_t ZUR_CALL ZURBandAdjust(uint32_t camera, int32_t adjust, int32_t level);
ZUR_FUNCTION_API int32_t ZUR_CALL ZURGetDataDepth(uint32_t camera, uint32_t* depth);

ZUR_FUNCTION_API int32_t ZUR_CALL ZURCreateConvHandle(uint32_t* conversion, int32_t convertMode,
                                                      int32_t shiftId, int32_t reserved);
ZUR_FUNCTION_API int32_t ZUR_CALL ZURColorConvSetBMPINFO(uint32_t conversion, int32_t width,
                                                         int32_t height, BITMAPINFO* info);
/* Converts one raw image into 4 bytes per pixel (blue, green, red, 255), top line first. */
ZUR_FUNCTION_API int32_t ZUR_CALL ZURColorConvExec(uint32_t conversion, int32_t width,
                                                   int32_t height, ZURColorConvMode* mode,
                                                   const void* source, void* target);
ZUR_FUNCTION_API int32_t ZUR_CALL ZURCloseConvHandle(uint32_t conversion);

ZUR_FUNCTION_API int32_t ZUR_CALL ZURIsoAlloc(uint32_t camera);
ZUR_FUNCTION_API int32_t ZUR_CALL ZURIsoStart(uint32_t camera, uint32_t frames);
ZUR_FUNCTION_API int32_t ZUR_CALL ZURIsoStop(uint32_t camera);
ZUR_FUNCTION_API int32_t ZUR_CALL ZURIsoRelease(uint32_t camera);
ZUR_FUNCTION_API int32_t ZUR_CALL ZURImageReq(uint32_t camera, void* buffer, uint32_t size);
/* Waits for the image requested into buffer: at most timeoutMs milliseconds,
 * or, with 0, until it arrives, the request is aborted or the camera is lost.
 * A wait that times out withdraws its request (ZUR_ERROR_TIMEOUT); nothing
 * is written into the buffer after that. */
ZUR_FUNCTION_API int32_t ZUR_CALL ZURImageCompleteWait(uint32_t camera, void* buffer,
                                                       uint32_t timeoutMs, uint32_t reserved2,
                                                       uint32_t reserved3);
/* Ends every pending image request of the camera (ZUR_ERROR_ABORTED), as
 * ZURIsoStop, ZURIsoRelease and ZURClose do; once it returns, nothing is
 * written into their buffers. */
ZUR_FUNCTION_API int32_t ZUR_CALL ZURAbortImageReqAll(uint32_t camera);

ZUR_FUNCTION_API uint32_t ZUR_CALL ZURGetLastError(void);

#ifdef __cplusplus
}  // extern "C"

static_assert(sizeof(ZURCameraRecord) == 520, "camera record");
static_assert(offsetof(ZURCameraRecord, deviceIdLow) == 0, "device ID at byte 0");
static_assert(offsetof(ZURCameraRecord, modelName) == 264, "model name at byte 264");
static_assert(offsetof(ZURCameraList, records) == 4, "records follow the count");
static_assert(sizeof(ZURCameraList) == 4 + 20 * 520, "camera list");
static_assert(sizeof(ZURRegisterRecord) == 1084, "register record");
static_assert(offsetof(ZURRegisterRecord, address) == 4, "register addresses");
static_assert(offsetof(ZURRegisterRecord, data) == 544, "register data");
static_assert(sizeof(ZURImagePosition) == 12, "image position record");
static_assert(offsetof(ZURImagePosition, width) == 4, "image position width");
static_assert(offsetof(ZURImagePosition, reserved) == 8, "image position tail word");
static_assert(sizeof(ZURImageInfo) == 32, "image info record");
static_assert(offsetof(ZURImageInfo, width) == 8, "image width at byte 8");
static_assert(offsetof(ZURImageInfo, height) == 10, "image height at byte 10");
static_assert(offsetof(ZURImageInfo, colorId) == 12, "ColorID at byte 12");
static_assert(offsetof(ZURImageInfo, bufferSize) == 20, "buffer size at byte 20");
static_assert(sizeof(ZURCameraMode) == 16, "camera mode record");
static_assert(offsetof(ZURCameraMode, colorFilter) == 12, "colour filter is word 3");
static_assert(sizeof(ZURColorConvMode) == 20, "colour conversion mode record");
static_assert(offsetof(ZURColorConvMode, cFilter) == 4, "CFilter");
static_assert(offsetof(ZURColorConvMode, storeMode) == 8, "StoreMode");
static_assert(offsetof(ZURColorConvMode, endianMode) == 12, "EndianMode");
static_assert(offsetof(ZURColorConvMode, reserved) == 16, "third mode word");
static_assert(sizeof(BITMAPINFOHEADER) == 40, "bitmap header");
static_assert(sizeof(BITMAPINFO) == 44, "bitmap info");
#endif

#endif /* ZUR_H */
