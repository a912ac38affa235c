#pragma once

#include <atomic>
#include <cstddef>

#include "log/ExportFrame.h"
#include "platform/Mutex.h"

class DriverLog;
class ImageBuffer;

// Where getCVLGrabRow finds an open camera's image. Each camera holds a slot
// for its life; while the camera is open on a port, the slot shows the
// port and the destination image. The slot's image lock is the only lock a
// row takes: the camera's grab thread writes the image under it, and no
// other camera's work ever takes it, so rows run at memory speed whatever
// the other cameras do. Slots are never freed: a grab thread that outlives
// its camera still locks valid memory. Any thread.
class RowSlot {
  public:
    // Twice the registry's cameras, so that cameras a finalize retired while
    // an export still held them leave room for the next initialize's.
    static constexpr std::size_t kSlots = 40;

    // A free slot for a new camera; none when every slot is taken.
    static RowSlot* Claim() noexcept;
    // Withdraws the image and frees the slot for another camera.
    void Release() noexcept EXCLUDES(imageLock);

    // The lock under which the destination image's bytes are written and read.
    platform::Mutex& ImageLock() RETURN_CAPABILITY(imageLock) { return imageLock; }

    // Shows image as the one of the camera open on port; Withdraw hides it
    // again, before the camera lets go of the image.
    void Publish(int port, const ImageBuffer& image) noexcept EXCLUDES(imageLock);
    void Withdraw() noexcept EXCLUDES(imageLock);

    // Copies a row of the image of the first open camera on port: from the
    // row's first pixel, (lastColumn - firstColumn + 1) pixels, never beyond
    // the row. False, with a message, for a row outside the image or no
    // destination or columns; DriverError, with a message, when no open
    // camera is on port. Allocates nothing.
    static bool CopyRow(int port, int row, void* destination, int firstColumn, int lastColumn,
                        DriverLog& log) REQUIRES(exportFrame);

    RowSlot() = default;
    RowSlot(const RowSlot&) = delete;
    RowSlot& operator=(const RowSlot&) = delete;

  private:
    std::atomic<bool> claimed{false};
    // The published port, read without the lock to find the slot; the lock
    // then confirms it.
    std::atomic<int> shownPort{-1};
    mutable platform::Mutex imageLock;
    const ImageBuffer* image GUARDED_BY(imageLock) = nullptr;
    int port GUARDED_BY(imageLock) = -1;
};
