#include "camera/ImageBuffer.h"

#include <cstring>
#include <new>
#include <utility>

#include "log/DriverLog.h"

namespace {
constexpr std::uint8_t kFreshByte = 200;  // marks memory no image has reached yet
}

std::unique_ptr<ImageBuffer> ImageBuffer::Create(int width, int height, bool color, int size,
                                                 DriverLog& log) {
    auto buffer = std::make_unique<ImageBuffer>(width, height, color, log);
    const std::int64_t pixels = static_cast<std::int64_t>(width) * height;
    if (size < pixels) {
        LogMessage(log, 1, "ImageBuffer::Create: ERROR: mono buffer < wh, w=%d, h=%d, size=%d",
                   width, height, size);
        return nullptr;
    }
    if (!buffer->Allocate(size)) {
        return nullptr;
    }
    return buffer;
}

ImageBuffer::ImageBuffer(int bufferWidth, int bufferHeight, bool isColor, DriverLog& driverLog)
    : width(bufferWidth), height(bufferHeight), color(isColor), log(driverLog) {}

bool ImageBuffer::Allocate(int newSize) {
    if (newSize <= 0) {
        LogMessage(log, 1, "ImageBuffer::Allocate: ERROR: incorrect size: \n");
        return false;
    }
    if (newSize != size) {
        data.reset();
        size = 0;
        try {
            data =
                std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(newSize));
            size = newSize;
        } catch (const std::bad_alloc&) {
            data.reset();
        }
    }
    if (!data) {
        size = 0;
        LogMessage(log, 1,
                   "ImageBuffer::Allocate: ERROR: could not allocate buffer of required size  \n");
        return false;
    }
    std::memset(data.get(), kFreshByte, static_cast<std::size_t>(size));
    LogMessage(log, 2, "ImageBuffer::Allocate: leaving. Allocated size: %d\n", size);
    return true;
}

std::uint8_t* ImageBuffer::GetLine(int line) {
    return const_cast<std::uint8_t*>(std::as_const(*this).GetLine(line));
}

const std::uint8_t* ImageBuffer::GetLine(int line) const {
    if (line < 0 || line >= height) {
        LogMessage(log, 1, "ImageBuffer::GetLine: ERROR: line index out of range: %d \n", line);
        return nullptr;
    }
    if (!data) {
        LogMessage(
            log, 1,
            "ImageBuffer::GetLine: ERROR: cannot proceed since it finds unallocated buffer\n");
        return nullptr;
    }
    const std::size_t lineBytes = static_cast<std::size_t>(width) * (color ? 3u : 1u);
    const std::size_t offset = static_cast<std::size_t>(line) * lineBytes;
    // The buffer's own size bounds every line, whatever geometry it was given.
    if (offset + lineBytes > static_cast<std::size_t>(size)) {
        LogMessage(log, 1,
                   "ImageBuffer::GetLine: ERROR: line %d lies beyond the buffer of %d bytes\n",
                   line, size);
        return nullptr;
    }
    return data.get() + offset;
}
