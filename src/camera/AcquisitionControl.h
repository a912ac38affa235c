#pragma once

#include <atomic>

#include "ZavaDED.h"

// What a camera shares with its grab threads: the host's requests, its
// completion callback and the port. Each thread keeps it alive, so a thread
// that ends after its camera is gone still reads valid memory. Any thread:
// atomics, which the thread-safety analysis does not see; each is one value
// that the camera writes and its threads read (and take requests from), and
// the grab thread's stop gate orders what must not follow a close.
struct AcquisitionControl {
    // Images are requested one after the other, without waiting.
    std::atomic<bool> continuous{false};
    // Requests not yet served; in continuous mode, a standing request.
    std::atomic<int> pendingGrabs{0};
    std::atomic<CompleteCallback> callback{nullptr};
    // The host port, -1 while the camera is on none.
    std::atomic<int> port{-1};

    bool IsContinuous() const { return continuous.load(std::memory_order_acquire); }
    bool IsGrabRequested() const { return pendingGrabs.load(std::memory_order_acquire) > 0; }
    void ClearGrabRequests() { pendingGrabs.store(0, std::memory_order_release); }

    // Takes the request that the image just acquired serves: in single-grab
    // mode each request is served by one image; in continuous mode every image
    // is delivered while a request stands.
    bool TakeGrabRequest() {
        if (IsContinuous()) {
            return IsGrabRequested();
        }
        int pending = pendingGrabs.load(std::memory_order_acquire);
        while (pending > 0) {
            if (pendingGrabs.compare_exchange_weak(pending, pending - 1,
                                                   std::memory_order_acq_rel)) {
                return true;
            }
        }
        return false;
    }
};
