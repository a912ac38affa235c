#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

namespace testing_support {

// Runs work on a thread of its own and returns how long it took. A driver that
// hangs cannot be cleaned up, so a step that outlives its limit ends the whole
// program with a message instead of holding up the test run.
template <typename Work>
std::chrono::milliseconds Bounded(std::chrono::milliseconds limit, const char* what, Work work) {
    const auto started = std::chrono::steady_clock::now();
    std::packaged_task<void()> task(std::move(work));
    std::future<void> done = task.get_future();
    std::thread runner(std::move(task));
    if (done.wait_for(limit) != std::future_status::ready) {
        std::fprintf(stderr, "HANG: %s did not return within %lld ms\n", what,
                     static_cast<long long>(limit.count()));
        std::fflush(stderr);
        std::_Exit(3);
    }
    runner.join();
    done.get();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 started);
}

// A host's message callback. On the thread that created the sink (the host's
// UI thread) it takes every text at once; on other threads it can block, as
// a sink that hands the text to its UI thread and waits does, or close a port
// from inside the callback. Installed with setDebugMsgProc; one at a time.
class HostLogSink {
  public:
    HostLogSink();
    ~HostLogSink();
    HostLogSink(const HostLogSink&) = delete;
    HostLogSink& operator=(const HostLogSink&) = delete;

    static void Proc(const char* text);
    // The calling thread is one of the host's own too.
    static void CountAsHostThread();

    // Texts from other threads wait up to `time` (until Release).
    void BlockOtherThreads(std::chrono::milliseconds time);
    bool WaitUntilBlocked(std::chrono::milliseconds timeout) const;
    void Release();
    // The first text from another thread that contains `trigger` closes the port.
    void CloseFromOtherThreads(int port, const std::string& trigger);
    bool WaitUntilClosed(std::chrono::milliseconds timeout) const;
};

}  // namespace testing_support
