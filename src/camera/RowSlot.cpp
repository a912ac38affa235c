#include "camera/RowSlot.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "camera/DriverError.h"
#include "camera/ImageBuffer.h"
#include "log/DriverLog.h"
#include "platform/NoDestructor.h"

namespace {

std::array<RowSlot, RowSlot::kSlots>& Slots() {
    static platform::NoDestructor<std::array<RowSlot, RowSlot::kSlots>> slots;
    return *slots;
}

// One more than the highest slot ever claimed: rows look no further.
std::atomic<std::size_t> slotsInUse{0};

}  // namespace

RowSlot* RowSlot::Claim() noexcept {
    std::array<RowSlot, kSlots>& slots = Slots();
    for (std::size_t i = 0; i < kSlots; ++i) {
        bool free = false;
        if (slots[i].claimed.compare_exchange_strong(free, true, std::memory_order_acq_rel)) {
            std::size_t inUse = slotsInUse.load(std::memory_order_relaxed);
            while (inUse < i + 1 &&
                   !slotsInUse.compare_exchange_weak(inUse, i + 1, std::memory_order_release)) {
            }
            return &slots[i];
        }
    }
    return nullptr;
}

void RowSlot::Release() noexcept {
    Withdraw();
    claimed.store(false, std::memory_order_release);
}

void RowSlot::Publish(int newPort, const ImageBuffer& newImage) noexcept {
    const platform::MutexLock hold(imageLock);
    image = &newImage;
    port = newPort;
    shownPort.store(newPort, std::memory_order_release);
}

void RowSlot::Withdraw() noexcept {
    const platform::MutexLock hold(imageLock);
    image = nullptr;
    port = -1;
    shownPort.store(-1, std::memory_order_release);
}

bool RowSlot::CopyRow(int portNo, int row, void* destination, int firstColumn, int lastColumn,
                      DriverLog& log) {
    std::array<RowSlot, kSlots>& slots = Slots();
    const std::size_t inUse = slotsInUse.load(std::memory_order_acquire);
    for (std::size_t i = 0; i < inUse; ++i) {
        RowSlot& slot = slots[i];
        if (slot.shownPort.load(std::memory_order_acquire) != portNo) {
            continue;
        }
        const platform::MutexLock hold(slot.imageLock);
        // The camera may have closed since the port was read.
        if (slot.image == nullptr || slot.port != portNo) {
            continue;
        }
        const std::uint8_t* line = slot.image->GetLine(row);
        if (line == nullptr) {
            return false;
        }
        if (destination == nullptr || lastColumn < firstColumn) {
            LogMessage(log, 1,
                       "getCVLGrabRow: ERROR: no destination or no columns, row=%d, "
                       "firstColumn=%d, lastColumn=%d, portNo=%d\n",
                       row, firstColumn, lastColumn, portNo);
            return false;
        }
        const std::int64_t pixelBytes = slot.image->IsColor() ? 3 : 1;
        const std::int64_t pixels = static_cast<std::int64_t>(lastColumn) - firstColumn + 1;
        const std::int64_t bytes = std::min(pixels * pixelBytes, slot.image->Width() * pixelBytes);
        std::memcpy(destination, line, static_cast<std::size_t>(bytes));
        return true;
    }
    LogMessage(log, 1, "CameraList::GetByPort: ERROR: could not find camera on port %d\n", portNo);
    throw DriverError{};
}
