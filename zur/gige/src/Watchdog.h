#pragma once

// Watches that a controlled camera still answers, apart from Aravis: its
// heartbeat gives a silent camera about six seconds, and commands queue
// behind its retries. A read of the control privilege register, on a socket
// of the watchdog's own, every kPeriod; a camera that answers none of
// kMissesForLoss probes in a row, or says that nobody controls it any more
// (it restarted, or gave control up), is lost.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "Settings.h"

namespace zurgige {

class LossState;

class Watchdog {
  public:
    static constexpr int kPeriodMs = 400;
    static constexpr int kAnswerTimeoutMs = 300;
    static constexpr int kMissesForLoss = 3;

    Watchdog(Ipv4 device, std::shared_ptr<LossState> loss, std::string label);
    // Returns within a fraction of kAnswerTimeoutMs.
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Asks the camera at device for its control privilege register, on a
    // socket of its own, within timeoutMs; false when it does not answer in
    // time or *stop turns true meanwhile. Any thread.
    static bool Ask(Ipv4 device, int timeoutMs, std::uint32_t& privilege,
                    const std::atomic<bool>* stop = nullptr);
    static bool Ask(Ipv4 device, int timeoutMs) {
        std::uint32_t privilege = 0;
        return Ask(device, timeoutMs, privilege);
    }

  private:
    void Run();
    // Waits ms unless stopping; false when stopping.
    bool Pause(int ms);

    const Ipv4 device;
    const std::shared_ptr<LossState> loss;
    const std::string label;
    std::mutex mutex;
    std::condition_variable wake;
    std::atomic<bool> stopping{false};  // set under mutex, for the wake
    std::thread thread;
};

}  // namespace zurgige
