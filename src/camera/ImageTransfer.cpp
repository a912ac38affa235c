#include "camera/ImageTransfer.h"

#include <cstdlib>
#include <cstring>

#include "camera/PixelPack.h"
#include "log/DriverLog.h"
#include "platform/ZurLibrary.h"

ImageTransfer::ImageTransfer(DriverLog& driverLog, bool isColor, platform::Mutex& imageLock)
    : log(driverLog), color(isColor), destLock(imageLock) {}

ImageTransfer::~ImageTransfer() {
    // Closed by the close or by a failed open; this only catches a path that forgot.
    CloseConversion();
}

ImageTransfer::Conversion ImageTransfer::GetConversion() const {
    const platform::MutexLock lock(conversionLock);
    return conversion;
}

void ImageTransfer::SetConversion(const Conversion& settings) {
    const platform::MutexLock lock(conversionLock);
    conversion = settings;
}

void ImageTransfer::SetFilter(std::uint32_t cFilter) {
    const platform::MutexLock lock(conversionLock);
    conversion.mode.cFilter = cFilter;
}

void ImageTransfer::CloseConversion() {
    const platform::MutexLock lock(conversionLock);
    if (conversion.handle != 0) {
        platform::Zur().ZURCloseConvHandle(conversion.handle);
        conversion.handle = 0;
    }
}

bool ImageTransfer::CopyImageToVantixBuffer() {
    if (!zazeBuffer || zazeBuffer->Data() == nullptr || !tempBuffer || !destBuffer) {
        return false;
    }
    LogMessage(log, 3, "Camera::CopyImageToVantixBuffer: entering\n");
    if (color) {
        return ConvertColor();
    }
    if (zazeBuffer->Size() != destBuffer->Size()) {
        LogMessage(
            log, 1,
            "Camera::CopyImageToVantixBuffer ERROR ZazeBufferSize = %d, VantixbufferSize= %d\n",
            zazeBuffer->Size(), destBuffer->Size());
        return false;
    }
    {
        const platform::MutexLock lock(destLock);
        std::memcpy(destBuffer->Data(), zazeBuffer->Data(),
                    static_cast<std::size_t>(destBuffer->Size()));
    }
    LogMessage(log, 3,
               "Camera::CopyImageToVantixBuffer (mono): leaving. ZazeBufferSize = %d, "
               "VantixbufferSize= %d\n",
               zazeBuffer->Size(), destBuffer->Size());
    return true;
}

bool ImageTransfer::ConvertColor() {
    LogMessage(log, 3, "Camera::CopyImageToVantixBuffer (color): ZURColorConvExec start \n");
    // The settings of this image, taken with the conversion itself: a filter
    // change or a close waits for it, and nothing is logged while it runs.
    Conversion used;
    bool fits = true;
    bool readable = true;
    std::int64_t sourceBytes = 0;
    int converted = 0;
    {
        const platform::MutexLock lock(conversionLock);
        used = conversion;
        if (used.handle == 0) {
            return false;  // the camera is closing
        }
        // ZUR writes 4 bytes for each of biWidth × biHeight pixels into the
        // temp buffer: never let it write more than the buffer holds,
        // whatever it reported when the conversion was set up.
        const BITMAPINFOHEADER& header = used.bitmapInfo.bmiHeader;
        const std::int64_t convertedBytes = 4 *
                                            static_cast<std::int64_t>(std::abs(header.biWidth)) *
                                            std::abs(static_cast<std::int64_t>(header.biHeight));
        fits = convertedBytes <= tempBuffer->Size();
        // Nor read more of the raw image than the Zaze buffer holds.
        sourceBytes = used.sourceBytesPerPixel *
                      std::abs(static_cast<std::int64_t>(header.biWidth)) *
                      std::abs(static_cast<std::int64_t>(header.biHeight));
        readable = sourceBytes <= zazeBuffer->Size();
        if (fits && readable) {
            converted = platform::Zur().ZURColorConvExec(used.handle, header.biWidth,
                                                         header.biHeight, &used.mode,
                                                         zazeBuffer->Data(), tempBuffer->Data());
        }
    }
    const BITMAPINFOHEADER& header = used.bitmapInfo.bmiHeader;
    if (!fits) {
        LogMessage(log, 1,
                   "Camera::CopyImageToVantixBuffer (color) ERROR: conversion of %d x %d pixels "
                   "exceeds the temp buffer of %d bytes\n",
                   static_cast<int>(header.biWidth), static_cast<int>(header.biHeight),
                   tempBuffer->Size());
        return false;
    }
    if (!readable) {
        LogMessage(log, 1,
                   "Camera::CopyImageToVantixBuffer (color) ERROR: convert mode %d reads %lld "
                   "bytes of the raw image, but the Zaze buffer holds %d\n",
                   used.convertMode, static_cast<long long>(sourceBytes), zazeBuffer->Size());
        return false;
    }
    const ZURColorConvMode& mode = used.mode;
    LogMessage(log, converted == 0 ? 1 : 3,
               converted == 0
                   ? "Camera::CopyImageToVantixBuffer (color) ZURColorConvExec ERROR ColorID= %d, "
                     "CFilter= %d, Mode.StoreMode= %d, Mode.EndianMode= %d,  ImageWidth = %d, "
                     "ImageHeight = %d, bitcount = %d, sizeimage= %d\n"
                   : "Camera::CopyImageToVantixBuffer (color) : mColorID= %d, CFilter= %d, "
                     "Mode.StoreMode= %d, Mode.EndianMode= %d,  ImageWidth = %d, ImageHeight = %d, "
                     "bitcount = %d, sizeimage= %d\n",
               static_cast<int>(mode.colorId), static_cast<int>(mode.cFilter),
               static_cast<int>(mode.storeMode), static_cast<int>(mode.endianMode),
               static_cast<int>(header.biWidth), static_cast<int>(header.biHeight),
               static_cast<int>(header.biBitCount), static_cast<int>(header.biSizeImage));
    if (converted == 0) {
        return false;
    }
    // Temp lines are 4 × width bytes apart and destination lines 3 × width,
    // both without gaps: the whole image packs as one run of pixels.
    const std::size_t pixels = static_cast<std::size_t>(destBuffer->Width()) *
                               static_cast<std::size_t>(destBuffer->Height());
    {
        const platform::MutexLock lock(destLock);
        PackFourToThree(tempBuffer->Data(), destBuffer->Data(), pixels);
    }
    LogMessage(log, 3, "Camera::CopyImageToVantix finished");
    return true;
}
