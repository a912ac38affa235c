// What one camera's slow open costs another camera, through the driver's
// exports alone, for scripts/bench.sh:
//   two_camera_bench [--grabs N] [--open-delay-ms D]
// Camera A (XCG-V60E on port 0; its frames come at once, so that a grab
// measures the driver's path) is grabbed once per frame period of its top
// frame rate, and after each callback the host thread reads the whole image
// row by row. Each grab gives one latency sample, doCVLGrab to callback;
// the slowest getCVLGrabRow call of the phase is its row stall. Phase "idle":
// camera B is closed. Phase "busy": another host thread opens B on port 1
// and closes it again, in a loop, while every ZUROpen takes D ms. The phases
// take turns in rounds, so that the stalls of a shared machine fall on both
// alike. One JSON object per phase on standard output.
#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ZURSim.h"
#include "ZavaDED.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kCallbackLimit = 2s;  // a grab whose callback takes longer is a timeout
constexpr int kMaxOpensOfB = 100;    // the loop over B ends by itself

std::atomic<int> callbacksOfA{0};

extern "C" void ZAVADED_CALL Completed(int /*grabberNo*/, int portNo) {
    if (portNo == 0) {
        callbacksOfA.fetch_add(1, std::memory_order_release);
    }
}

double Microseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::micro>(duration).count();
}

// Ends the process when a stage of the run outlasts its time limit, since a
// driver that hangs inside an export cannot be timed out by its caller.
class Watchdog {
  public:
    explicit Watchdog(Clock::duration limit)
        : deadline(Clock::now() + limit), thread([this] {
              std::unique_lock lock(mutex);
              while (!finished) {
                  if (changed.wait_until(lock, deadline) == std::cv_status::timeout && !finished &&
                      Clock::now() >= deadline) {
                      std::fputs("two_camera_bench: HANG: a stage outlasted its time limit\n",
                                 stderr);
                      std::_Exit(2);
                  }
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex);
            finished = true;
        }
        changed.notify_one();
        thread.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // The next stage may take this long from now.
    void Allow(Clock::duration limit) {
        {
            std::lock_guard lock(mutex);
            deadline = Clock::now() + limit;
        }
        changed.notify_one();
    }

  private:
    std::mutex mutex;
    std::condition_variable changed;
    bool finished = false;
    Clock::time_point deadline;
    std::thread thread;
};

struct Phase {
    std::vector<double> latenciesUs;
    double rowStallUs = 0;
    int timeouts = 0;
    int failures = 0;  // refused grabs and row reads
};

// Adds a round's samples to its phase.
void Merge(Phase& into, const Phase& round) {
    into.latenciesUs.insert(into.latenciesUs.end(), round.latenciesUs.begin(),
                            round.latenciesUs.end());
    std::sort(into.latenciesUs.begin(), into.latenciesUs.end());
    into.rowStallUs = std::max(into.rowStallUs, round.rowStallUs);
    into.timeouts += round.timeouts;
    into.failures += round.failures;
}

// Twice the time the grabs take when nothing holds them up, and a little more.
Clock::duration PhaseLimit(int grabs, Clock::duration period) {
    return 2 * grabs * period + 2s;
}

// One grab per frame period; each waits for its callback, then reads every
// row. The phase ends early at its time limit.
Phase MeasureA(int grabs, int width, int height, Clock::duration period) {
    Phase phase;
    std::vector<unsigned char> row(static_cast<std::size_t>(width));
    auto next = Clock::now();
    const auto end = next + PhaseLimit(grabs, period);
    for (int i = 0; i < grabs && Clock::now() < end; ++i) {
        next += period;
        // At least a short pause, so that A's grab thread is asleep and each
        // sample is a real wake-up.
        std::this_thread::sleep_until(std::max(next, Clock::now() + 200us));
        const int before = callbacksOfA.load(std::memory_order_acquire);
        const auto start = Clock::now();
        if (doCVLGrab(0, 0) != 1) {
            ++phase.failures;
            continue;
        }
        // The limit counts from the return: doCVLGrab itself may be held up.
        const auto returned = Clock::now();
        bool called = true;
        while (callbacksOfA.load(std::memory_order_acquire) == before) {
            const auto waited = Clock::now() - returned;
            if (waited > kCallbackLimit) {
                called = false;
                break;
            }
            // Close watch at first; a late callback is late anyway.
            if (waited < 1ms) {
                std::this_thread::yield();
            } else {
                std::this_thread::sleep_for(50us);
            }
        }
        phase.latenciesUs.push_back(Microseconds(Clock::now() - start));
        if (!called) {
            ++phase.timeouts;
            continue;
        }
        for (int y = 0; y < height && Clock::now() < end; ++y) {
            const auto rowStart = Clock::now();
            if (getCVLGrabRow(0, 0, row.data(), y, 0, width - 1) != 1) {
                ++phase.failures;
            }
            phase.rowStallUs = std::max(phase.rowStallUs, Microseconds(Clock::now() - rowStart));
        }
    }
    std::sort(phase.latenciesUs.begin(), phase.latenciesUs.end());
    return phase;
}

void Print(const char* name, const Phase& phase, int requested, double periodUs, int opensOfB) {
    const auto& samples = phase.latenciesUs;
    const auto at = [&](std::size_t index) { return samples.empty() ? -1.0 : samples[index]; };
    std::printf(
        "{\"phase\": \"%s\", \"requested\": %d, \"grabs\": %zu, \"timeouts\": %d, "
        "\"failures\": %d, \"median_us\": %.1f, \"p99_us\": %.1f, \"max_us\": %.1f, "
        "\"row_stall_us\": %.1f, \"frame_period_us\": %.1f, \"opens_of_b\": %d}\n",
        name, requested, samples.size(), phase.timeouts, phase.failures, at(samples.size() / 2),
        at(samples.size() * 99 / 100), at(samples.size() - 1), phase.rowStallUs, periodUs,
        opensOfB);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    int grabs = 300;
    std::uint32_t openDelayMs = 500;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--grabs") {
            grabs = std::clamp(std::atoi(argv[i + 1]), 1, 100000);
        } else if (option == "--open-delay-ms") {
            openDelayMs = static_cast<std::uint32_t>(std::clamp(std::atoi(argv[i + 1]), 0, 10000));
        }
    }
    Watchdog watchdog(30s);  // set-up
    ZURSimReset();
    ZURSimAddCamera("XCG-V60E", 1);
    ZURSimSetCameraOption(1, "fast", "1");
    ZURSimAddCamera("XCG-U100E", 2);
    const std::string nameA = "XCG-V60E-1";
    const std::string nameB = "XCG-U100E-2";
    const auto data = std::filesystem::temp_directory_path() / "two-camera-bench";
    std::error_code error;
    std::filesystem::create_directories(data, error);
    if (initialize(data.string().c_str(), nullptr) != 1) {
        std::fputs("two_camera_bench: initialize failed\n", stderr);
        return 1;
    }
    int size[2] = {0, 0};
    if (openCVLPort(0, 0, nameA.c_str(), size) != 1 || size[0] <= 0 || size[1] <= 0) {
        std::fprintf(stderr, "two_camera_bench: cannot open %s\n", nameA.c_str());
        finalize();
        return 1;
    }
    setCompleteCallback(0, 0, &Completed);
    // A's frame period at its top frame rate (the limit register holds a float).
    int maxRate = 0;
    getProperty(0, 0, "0xa0007010", &maxRate);
    const float rate = std::bit_cast<float>(maxRate);
    const double periodUs = rate >= 1 && rate <= 1000 ? 1e6 / rate : 1e6 / 30;
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::micro>(periodUs));
    constexpr int kRounds = 5;
    Phase idle;
    Phase busy;
    int opensOfB = 0;  // read once each round's loop has ended
    int failedOpensOfB = 0;
    for (int round = 0; round < kRounds; ++round) {
        const int share = grabs / kRounds + (round < grabs % kRounds ? 1 : 0);
        // A phase's last grab may run over its limit, and the end of B's
        // loop waits for one more open.
        const auto stageLimit = PhaseLimit(share, period) + kCallbackLimit +
                                2 * std::chrono::milliseconds(openDelayMs) + 10s;
        watchdog.Allow(stageLimit);
        Merge(idle, MeasureA(share, size[0], size[1], period));

        watchdog.Allow(stageLimit);
        ZURSimSetDelay("ZUROpen", openDelayMs);
        std::atomic<bool> stop{false};
        // B's loop ends by itself with A's phase at the latest: a driver that
        // lets B's opens starve A's calls must not keep A's phase from ending.
        const auto endOfB = Clock::now() + PhaseLimit(share, period);
        std::thread loopOverB([&] {
            for (int i = 0; i < kMaxOpensOfB && !stop.load() && Clock::now() < endOfB; ++i) {
                int sizeB[2];
                if (openCVLPort(0, 1, nameB.c_str(), sizeB) == 1) {
                    ++opensOfB;
                    closeCVLPort(0, 1);
                } else {
                    ++failedOpensOfB;
                }
            }
        });
        // A's samples start once B's first open is under way.
        std::this_thread::sleep_for(20ms);
        Merge(busy, MeasureA(share, size[0], size[1], period));
        stop = true;
        loopOverB.join();
        ZURSimSetDelay("ZUROpen", 0);
    }
    Print("idle", idle, grabs, periodUs, 0);
    Print("busy", busy, grabs, periodUs, opensOfB);
    if (failedOpensOfB > 0) {
        std::fprintf(stderr, "two_camera_bench: %d opens of %s failed\n", failedOpensOfB,
                     nameB.c_str());
    }

    watchdog.Allow(30s);  // shut-down
    closeCVLPort(0, 0);
    finalize();
    ZURSimReset();
    return 0;
}
