// Image transfer: the raw image ZUR delivers becomes the host's image, copied
// unchanged for a monochrome camera, colour-converted by ZUR and packed from
// four to three bytes per pixel for a colour camera.
#include <cstdlib>
#include <cstring>

#include "camera/Camera.h"
#include "camera/PixelPack.h"

namespace {

struct ConversionChoice {
    int convertMode;
    int shiftId;
    bool needsDepth;
};

// How ZUR is to convert each ColorID; the shift ID of the deep formats is the
// data depth beyond 8 bits.
ConversionChoice ChooseConversion(std::uint32_t colorId) {
    switch (colorId) {
        case 0:
            return {5, 0, false};
        case 5:
            return {7, 0, true};
        case 6:
        case 7:
        case 8:
        case 16:
            return {4, 0, true};
        case 9:
            return {5, 0, false};
        case 10:
            return {7, 0, false};
        case 12:
            return {9, 0, false};
        case 14:
            return {11, 0, false};
        default:
            return {4, 0, false};
    }
}

// Bytes of the raw image that a convert mode reads for each pixel: the modes
// of 16-bit samples read two.
int SourceBytesPerPixel(int convertMode) {
    return convertMode == 4 || convertMode == 7 ? 2 : 1;
}

constexpr std::uint32_t kDefaultDepth = 8;  // what a depth of 0, or no answer, stands for

}  // namespace

bool Camera::ReadFilterValue() {
    ZURCameraMode mode{};
    if (ZURNowCameraMode(zurHandle, &mode) == 0) {
        LogMessage(log, 1, "Camera::ReadFilterValue: ZURNowCameraMode ERROR \n");
        return false;
    }
    if (mode.standardMode != 0) {
        LogMessage(log, 1, "Camera::ReadFilterValue: camera in standard mode. \n");
        return false;
    }
    convMode.cFilter = mode.colorFilter;
    params.ColorFilter.SetByCode(static_cast<int>(mode.colorFilter));
    return true;
}

bool Camera::CreateConversionHandle(std::uint32_t rawBufferSize) {
    ReadFilterValue();
    convMode.storeMode = 1;
    convMode.endianMode = 1;
    convMode.reserved = 1;
    LogMessage(log, 3, "Camera::CreateConversionHandle: ColorID=%d CFilter=%d, StoreMode=%d \n",
               static_cast<int>(convMode.colorId), static_cast<int>(convMode.cFilter), 1);

    ConversionChoice choice = ChooseConversion(convMode.colorId);
    if (choice.needsDepth) {
        std::uint32_t depth = 0;
        if (ZURGetDataDepth(zurHandle, &depth) == 0 || depth == 0) {
            depth = kDefaultDepth;
        }
        choice.shiftId = static_cast<int>(depth) - static_cast<int>(kDefaultDepth);
    }
    // ZUR reads every pixel of the raw image at the mode's sample size,
    // whatever size it gave the buffer: a mode that reads more than the
    // buffer holds would read past it with every image.
    const int bytesPerPixel = SourceBytesPerPixel(choice.convertMode);
    const std::int64_t needed = static_cast<std::int64_t>(bytesPerPixel) * width * height;
    if (needed > rawBufferSize) {
        LogMessage(log, 1,
                   "Camera::CreateConversionHandle: ERROR: ColorID=%d selects convert mode %d, "
                   "which reads %d bytes per pixel: %lld bytes for %d x %d pixels, but the image "
                   "buffer holds %u\n",
                   static_cast<int>(convMode.colorId), choice.convertMode, bytesPerPixel,
                   static_cast<long long>(needed), width, height, rawBufferSize);
        return false;
    }
    if (ZURCreateConvHandle(&convHandle, choice.convertMode, choice.shiftId, 0) == 0) {
        LogMessage(log, 1, "Camera::ZURCreateConvHandle ERROR convertMode= %d \n",
                   choice.convertMode);
        return false;
    }
    LogMessage(
        log, 3,
        "Camera::Open (color) ZURCreateConvHandle ColorID= %d, Convert mode= %d, Shift ID= %d \n",
        static_cast<int>(convMode.colorId), choice.convertMode, choice.shiftId);

    const BITMAPINFOHEADER& header = bitmapInfo.bmiHeader;
    if (ZURColorConvSetBMPINFO(convHandle, width, height, &bitmapInfo) == 0) {
        LogMessage(log, 1, "Camera::ZURColorConvSetBMPINFO ERROR = %d \n",
                   static_cast<int>(ZURGetLastError()));
        LogMessage(
            log, 3,
            "Camera::ZURColorConvSetBMPINFO return data: w=%d, h=%d bmpsize=%d bmpsizeImage=%d",
            static_cast<int>(header.biWidth), static_cast<int>(header.biHeight),
            static_cast<int>(header.biSize), static_cast<int>(header.biSizeImage));
        return false;
    }
    LogMessage(log, 3,
               "Camera::ZURColorConvSetBMPINFO return data: w=%d, h=%d bitcount=%d bmpsizeImage=%d",
               static_cast<int>(header.biWidth), static_cast<int>(header.biHeight),
               static_cast<int>(header.biBitCount), static_cast<int>(header.biSizeImage));
    LogMessage(log, 3, "Camera::ZURColorConvSetBMPINFO executed convertMode=%d \n",
               choice.convertMode);
    return true;
}

bool Camera::CopyImageToVantixBuffer() {
    if (!zazeBuffer || zazeBuffer->Data() == nullptr || !tempBuffer || !destBuffer) {
        return false;
    }
    LogMessage(log, 3, "Camera::CopyImageToVantixBuffer: entering\n");
    if (!IsColor()) {
        if (zazeBuffer->Size() != destBuffer->Size()) {
            LogMessage(
                log, 1,
                "Camera::CopyImageToVantixBuffer ERROR ZazeBufferSize = %d, VantixbufferSize= %d\n",
                zazeBuffer->Size(), destBuffer->Size());
            return false;
        }
        std::memcpy(destBuffer->Data(), zazeBuffer->Data(),
                    static_cast<std::size_t>(destBuffer->Size()));
        LogMessage(log, 3,
                   "Camera::CopyImageToVantixBuffer (mono): leaving. ZazeBufferSize = %d, "
                   "VantixbufferSize= %d\n",
                   zazeBuffer->Size(), destBuffer->Size());
        return true;
    }

    const BITMAPINFOHEADER& header = bitmapInfo.bmiHeader;
    LogMessage(log, 3, "Camera::CopyImageToVantixBuffer (color): ZURColorConvExec start \n");
    // ZUR writes 4 bytes for each of biWidth × biHeight pixels into the temp
    // buffer: never let it write more than the buffer holds, whatever it
    // reported when the conversion was set up.
    const std::int64_t convertedBytes = 4 * static_cast<std::int64_t>(std::abs(header.biWidth)) *
                                        std::abs(static_cast<std::int64_t>(header.biHeight));
    if (convertedBytes > tempBuffer->Size()) {
        LogMessage(log, 1,
                   "Camera::CopyImageToVantixBuffer (color) ERROR: conversion of %d x %d pixels "
                   "exceeds the temp buffer of %d bytes\n",
                   static_cast<int>(header.biWidth), static_cast<int>(header.biHeight),
                   tempBuffer->Size());
        return false;
    }
    const int convertMode = ChooseConversion(convMode.colorId).convertMode;
    const std::int64_t sourceBytes = SourceBytesPerPixel(convertMode) *
                                     std::abs(static_cast<std::int64_t>(header.biWidth)) *
                                     std::abs(static_cast<std::int64_t>(header.biHeight));
    if (sourceBytes > zazeBuffer->Size()) {
        LogMessage(log, 1,
                   "Camera::CopyImageToVantixBuffer (color) ERROR: convert mode %d reads %lld "
                   "bytes of the raw image, but the Zaze buffer holds %d\n",
                   convertMode, static_cast<long long>(sourceBytes), zazeBuffer->Size());
        return false;
    }
    const int converted = ZURColorConvExec(convHandle, header.biWidth, header.biHeight, &convMode,
                                           zazeBuffer->Data(), tempBuffer->Data());
    LogMessage(log, converted == 0 ? 1 : 3,
               converted == 0
                   ? "Camera::CopyImageToVantixBuffer (color) ZURColorConvExec ERROR ColorID= %d, "
                     "CFilter= %d, Mode.StoreMode= %d, Mode.EndianMode= %d,  ImageWidth = %d, "
                     "ImageHeight = %d, bitcount = %d, sizeimage= %d\n"
                   : "Camera::CopyImageToVantixBuffer (color) : mColorID= %d, CFilter= %d, "
                     "Mode.StoreMode= %d, Mode.EndianMode= %d,  ImageWidth = %d, ImageHeight = %d, "
                     "bitcount = %d, sizeimage= %d\n",
               static_cast<int>(convMode.colorId), static_cast<int>(convMode.cFilter),
               static_cast<int>(convMode.storeMode), static_cast<int>(convMode.endianMode),
               static_cast<int>(header.biWidth), static_cast<int>(header.biHeight),
               static_cast<int>(header.biBitCount), static_cast<int>(header.biSizeImage));
    if (converted == 0) {
        return false;
    }
    // Temp lines are 4 × width bytes apart and destination lines 3 × width,
    // both without gaps: the whole image packs as one run of pixels.
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    PackFourToThree(tempBuffer->Data(), destBuffer->Data(), pixels);
    LogMessage(log, 3, "Camera::CopyImageToVantix finished");
    return true;
}
