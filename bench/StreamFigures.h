// What the stream benches measure beside their frames: the process's (or a
// thread's) CPU time, and one memcpy of a frame's bytes as the yardstick.
#pragma once

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <vector>

namespace bench {

// User and system CPU seconds of RUSAGE_SELF or RUSAGE_THREAD.
inline double CpuSeconds(int who = RUSAGE_SELF) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Seconds one memcpy of `bytes` takes, the best of several.
inline double MemcpySeconds(std::size_t bytes) {
    std::vector<unsigned char> from(bytes, 1);
    std::vector<unsigned char> to(bytes);
    double best = 1e9;
    for (int i = 0; i < 20; ++i) {
        const auto start = std::chrono::steady_clock::now();
        std::memcpy(to.data(), from.data(), bytes);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        from[static_cast<std::size_t>(i) % bytes] = to[bytes / 2];
    }
    return best;
}

}  // namespace bench
