#include "Watchdog.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstring>

#include "Stream.h"
#include "Trace.h"

namespace zurgige {
namespace {

constexpr std::uint16_t kGvcpPort = 3956;
constexpr std::uint8_t kKey = 0x42;
constexpr std::uint8_t kAckRequired = 0x01;
constexpr std::uint16_t kReadRegCommand = 0x0080;
constexpr std::uint16_t kReadRegAck = 0x0081;
constexpr std::uint32_t kControlPrivilege = 0x0A00;
constexpr std::uint32_t kPrivilegeBits = 0x3;  // exclusive, control
// How often a wait looks whether it is to stop.
constexpr int kSliceMs = 50;
constexpr int kResendAfterMs = 150;

void PutBe16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value);
}
void PutBe32(std::uint8_t* at, std::uint32_t value) {
    PutBe16(at, static_cast<std::uint16_t>(value >> 16));
    PutBe16(at + 2, static_cast<std::uint16_t>(value));
}
std::uint16_t Be16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>((at[0] << 8) | at[1]);
}
std::uint32_t Be32(const std::uint8_t* at) {
    return (std::uint32_t{Be16(at)} << 16) | Be16(at + 2);
}

}  // namespace

bool Watchdog::Ask(Ipv4 device, int timeoutMs, std::uint32_t& privilege,
                   const std::atomic<bool>* stop) {
    const auto stopped = [stop] { return stop != nullptr && stop->load(); };
    const int socketFd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (socketFd < 0) {
        return false;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kGvcpPort);
    to.sin_addr.s_addr = htonl(device);
    bool answered = false;
    if (connect(socketFd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
        static std::atomic<std::uint16_t> lastId{0};
        const std::uint16_t id = static_cast<std::uint16_t>(lastId.fetch_add(1) % 0xFFFF + 1);
        std::array<std::uint8_t, 12> command{};
        command[0] = kKey;
        command[1] = kAckRequired;
        PutBe16(&command[2], kReadRegCommand);
        PutBe16(&command[4], 4);
        PutBe16(&command[6], id);
        PutBe32(&command[8], kControlPrivilege);
        const int resendAfter = timeoutMs / 2;
        for (int waited = 0; !answered && waited < timeoutMs && !stopped(); waited += kSliceMs) {
            // Sent twice, so that one lost datagram is no missed answer.
            if (waited == 0 || (waited < resendAfter + kSliceMs && waited >= resendAfter)) {
                send(socketFd, command.data(), command.size(), 0);
            }
            pollfd ready{socketFd, POLLIN, 0};
            if (poll(&ready, 1, kSliceMs) <= 0) {
                continue;
            }
            std::array<std::uint8_t, 64> answer{};
            for (ssize_t got = 0;
                 !answered && (got = recv(socketFd, answer.data(), answer.size(), 0)) > 0;) {
                if (got >= 12 && Be16(&answer[0]) == 0 && Be16(&answer[2]) == kReadRegAck &&
                    Be16(&answer[6]) == id) {
                    privilege = Be32(&answer[8]);
                    answered = true;
                }
            }
        }
    }
    close(socketFd);
    return answered;
}

Watchdog::Watchdog(Ipv4 address, std::shared_ptr<LossState> lossState, std::string cameraLabel)
    : device(address), loss(std::move(lossState)), label(std::move(cameraLabel)) {
    thread = std::thread([this] { Run(); });
}

Watchdog::~Watchdog() {
    {
        const std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    if (thread.joinable()) {
        thread.join();
    }
}

bool Watchdog::Pause(int ms) {
    std::unique_lock<std::mutex> lock(mutex);
    return !wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping.load(); });
}

void Watchdog::Run() {
    int misses = 0;
    while (Pause(kPeriodMs) && !loss->Lost()) {
        std::uint32_t privilege = 0;
        if (!Ask(device, kAnswerTimeoutMs, privilege, &stopping)) {
            if (stopping.load()) {
                break;
            }
            if (++misses >= kMissesForLoss) {
                loss->MarkLost();
                Trace("%s: no answer to %d probes: device lost", label.c_str(), misses);
            }
            continue;
        }
        misses = 0;
        if ((privilege & kPrivilegeBits) == 0) {
            // It restarted, or dropped us for want of heartbeats.
            loss->MarkLost();
            Trace("%s: nobody controls the camera any more: device lost", label.c_str());
        }
    }
}

}  // namespace zurgige
