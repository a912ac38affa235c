#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "ZUR.h"
#include "camera/ImageBuffer.h"
#include "platform/Mutex.h"

class DriverLog;

// Everything that turns the raw image of one open into the host's image: the
// Zaze, temp and destination buffers and, for a colour camera, ZUR's colour
// conversion. The camera and its grab thread share it, so that a thread that
// ends after the close never writes into released memory; the conversion
// handle is closed only while no image is converted with it. Any thread.
class ImageTransfer {
  public:
    // The destination's bytes are written and read under imageLock, the
    // camera's row slot's, which outlives every transfer.
    ImageTransfer(DriverLog& log, bool color, platform::Mutex& imageLock);
    ~ImageTransfer();
    ImageTransfer(const ImageTransfer&) = delete;
    ImageTransfer& operator=(const ImageTransfer&) = delete;

    // Made by Camera::Open before the grab thread starts, never replaced
    // while it runs.
    std::unique_ptr<ImageBuffer> zazeBuffer;
    std::unique_ptr<ImageBuffer> tempBuffer;
    std::unique_ptr<ImageBuffer> destBuffer;

    // The conversion of this open: ZUR's handle, the mode record handed to
    // every conversion, and the bitmap information ZUR filled in.
    struct Conversion {
        std::uint32_t handle = 0;
        ZURColorConvMode mode{};
        std::uint8_t modeTerminator = 0;
        BITMAPINFO bitmapInfo{};
        int convertMode = 0;
        int sourceBytesPerPixel = 1;  // what the convert mode reads of the raw image
    };
    Conversion GetConversion() const EXCLUDES(conversionLock);
    void SetConversion(const Conversion& conversion) EXCLUDES(conversionLock);
    // The Bayer order of the images to come, as the camera now delivers them.
    void SetFilter(std::uint32_t cFilter) EXCLUDES(conversionLock);
    // Closes ZUR's handle, once no image is being converted with it; later
    // images are not converted.
    void CloseConversion() EXCLUDES(conversionLock);

    // Copies (monochrome) or converts and packs (colour) the image in the
    // Zaze buffer into the destination buffer. False, with a message, when
    // that cannot be done.
    bool CopyImageToVantixBuffer() EXCLUDES(conversionLock, destLock);

  private:
    bool ConvertColor() EXCLUDES(conversionLock, destLock);

    DriverLog& log;
    const bool color;
    // The conversion, and ZUR's use of its handle: a conversion runs under it.
    mutable platform::Mutex conversionLock;
    Conversion conversion GUARDED_BY(conversionLock);
    // The destination buffer's bytes, which lie behind a pointer the analysis
    // cannot name: they are written only in this class, and read here and by
    // getCVLGrabRow (camera/RowSlot.h), under it.
    platform::Mutex& destLock;
};
