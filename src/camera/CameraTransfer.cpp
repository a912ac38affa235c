// Image transfer: the raw image ZUR delivers becomes the host's image, copied
// unchanged for a monochrome camera, colour-converted by ZUR and packed from
// four to three bytes per pixel for a colour camera.
#include "camera/Camera.h"

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
    if (platform::Zur().ZURNowCameraMode(zurHandle, &mode) == 0) {
        LogMessage(log, 1, "Camera::ReadFilterValue: ZURNowCameraMode ERROR \n");
        return false;
    }
    if (mode.standardMode != 0) {
        LogMessage(log, 1, "Camera::ReadFilterValue: camera in standard mode. \n");
        return false;
    }
    if (transfer) {
        transfer->SetFilter(mode.colorFilter);
    }
    params.ColorFilter.SetByCode(static_cast<int>(mode.colorFilter));
    return true;
}

bool Camera::CreateConversionHandle(std::uint32_t rawBufferSize) {
    ReadFilterValue();
    ImageTransfer::Conversion conversion = transfer->GetConversion();
    ZURColorConvMode& mode = conversion.mode;
    mode.storeMode = 1;
    mode.endianMode = 1;
    mode.reserved = 1;
    transfer->SetConversion(conversion);
    LogMessage(log, 3, "Camera::CreateConversionHandle: ColorID=%d CFilter=%d, StoreMode=%d \n",
               static_cast<int>(mode.colorId), static_cast<int>(mode.cFilter), 1);

    ConversionChoice choice = ChooseConversion(mode.colorId);
    if (choice.needsDepth) {
        std::uint32_t depth = 0;
        if (platform::Zur().ZURGetDataDepth(zurHandle, &depth) == 0 || depth == 0) {
            depth = kDefaultDepth;
        }
        choice.shiftId = static_cast<int>(depth) - static_cast<int>(kDefaultDepth);
    }
    // ZUR reads every pixel of the raw image at the mode's sample size,
    // whatever size it gave the buffer: a mode that reads more than the
    // buffer holds would read past it with every image.
    conversion.convertMode = choice.convertMode;
    conversion.sourceBytesPerPixel = SourceBytesPerPixel(choice.convertMode);
    const std::int64_t needed =
        static_cast<std::int64_t>(conversion.sourceBytesPerPixel) * width * height;
    if (needed > rawBufferSize) {
        LogMessage(log, 1,
                   "Camera::CreateConversionHandle: ERROR: ColorID=%d selects convert mode %d, "
                   "which reads %d bytes per pixel: %lld bytes for %d x %d pixels, but the image "
                   "buffer holds %u\n",
                   static_cast<int>(mode.colorId), choice.convertMode,
                   conversion.sourceBytesPerPixel, static_cast<long long>(needed), width, height,
                   rawBufferSize);
        return false;
    }
    if (platform::Zur().ZURCreateConvHandle(&conversion.handle, choice.convertMode, choice.shiftId,
                                            0) == 0) {
        LogMessage(log, 1, "Camera::ZURCreateConvHandle ERROR convertMode= %d \n",
                   choice.convertMode);
        return false;
    }
    // Held by the transfer from now on, so that every way out closes it.
    transfer->SetConversion(conversion);
    LogMessage(
        log, 3,
        "Camera::Open (color) ZURCreateConvHandle ColorID= %d, Convert mode= %d, Shift ID= %d \n",
        static_cast<int>(mode.colorId), choice.convertMode, choice.shiftId);

    const BITMAPINFOHEADER& header = conversion.bitmapInfo.bmiHeader;
    if (platform::Zur().ZURColorConvSetBMPINFO(conversion.handle, width, height,
                                               &conversion.bitmapInfo) == 0) {
        LogMessage(log, 1, "Camera::ZURColorConvSetBMPINFO ERROR = %d \n",
                   static_cast<int>(platform::Zur().ZURGetLastError()));
        LogMessage(
            log, 3,
            "Camera::ZURColorConvSetBMPINFO return data: w=%d, h=%d bmpsize=%d bmpsizeImage=%d",
            static_cast<int>(header.biWidth), static_cast<int>(header.biHeight),
            static_cast<int>(header.biSize), static_cast<int>(header.biSizeImage));
        return false;
    }
    transfer->SetConversion(conversion);
    LogMessage(log, 3,
               "Camera::ZURColorConvSetBMPINFO return data: w=%d, h=%d bitcount=%d bmpsizeImage=%d",
               static_cast<int>(header.biWidth), static_cast<int>(header.biHeight),
               static_cast<int>(header.biBitCount), static_cast<int>(header.biSizeImage));
    LogMessage(log, 3, "Camera::ZURColorConvSetBMPINFO executed convertMode=%d \n",
               choice.convertMode);
    return true;
}

bool Camera::CopyImageToVantixBuffer() {
    return transfer && transfer->CopyImageToVantixBuffer();
}
