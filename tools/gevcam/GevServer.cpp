#include "GevServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <utility>

namespace gevcam {
namespace {

// A socket descriptor with one owner.
class Descriptor {
  public:
    Descriptor() = default;
    explicit Descriptor(int descriptor) : fd(descriptor) {}
    Descriptor(Descriptor&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            Reset();
            fd = std::exchange(other.fd, -1);
        }
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { Reset(); }

    int Get() const { return fd; }
    explicit operator bool() const { return fd >= 0; }

  private:
    void Reset() {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
    int fd = -1;
};

sockaddr_in SocketAddress(std::uint32_t address, std::uint16_t port) {
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_addr.s_addr = htonl(address);
    socketAddress.sin_port = htons(port);
    return socketAddress;
}

// A UDP socket bound to address:port, or an empty one with the reason in `error`.
Descriptor BoundSocket(std::uint32_t address, std::uint16_t port, bool reuse, std::string& error) {
    Descriptor socket(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket) {
        error = std::strerror(errno);
        return {};
    }
    const int on = 1;
    if (reuse) {
        ::setsockopt(socket.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    const sockaddr_in bound = SocketAddress(address, port);
    if (::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0) {
        error = AddressText(address) + ":" + std::to_string(port) + ": " + std::strerror(errno);
        return {};
    }
    return socket;
}

struct Served {
    std::unique_ptr<GevCamera> camera;
    Descriptor control;
    Descriptor stream;
    std::uint32_t mtu = 0;
};

// IPv4 and UDP headers, which a packet size or an MTU counts.
constexpr std::size_t kIpUdpHeaders = 28;

bool FitsMtu(const Served& served, std::size_t payload) {
    return served.mtu == 0 || payload + kIpUdpHeaders <= served.mtu;
}

void SendStream(const Served& served, const std::vector<StreamPacket>& packets) {
    const Endpoint to = served.camera->StreamDestination();
    if (packets.empty() || to.port == 0 || !IsLoopback(to.address)) {
        return;
    }
    sockaddr_in destination = SocketAddress(to.address, to.port);
    for (const StreamPacket& packet : packets) {
        if (!FitsMtu(served, packet.Size())) {
            continue;
        }
        std::array<iovec, 2> parts{};
        parts[0].iov_base = const_cast<std::uint8_t*>(packet.head.data());
        parts[0].iov_len = packet.headSize;
        parts[1].iov_base = const_cast<std::uint8_t*>(packet.body.data());
        parts[1].iov_len = packet.body.size();
        msghdr message{};
        message.msg_name = &destination;
        message.msg_namelen = sizeof destination;
        message.msg_iov = parts.data();
        message.msg_iovlen = packet.body.empty() ? 1 : 2;
        // A packet the socket cannot take now is lost, as on a network; the
        // client asks for it again.
        ::sendmsg(served.stream.Get(), &message, MSG_DONTWAIT);
    }
}

void SendAck(const Served& served, const std::vector<std::uint8_t>& ack, Endpoint to) {
    if (ack.empty() || !FitsMtu(served, ack.size())) {
        return;
    }
    const sockaddr_in destination = SocketAddress(to.address, to.port);
    ::sendto(served.control.Get(), ack.data(), ack.size(), MSG_DONTWAIT,
             reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
}

// Takes the datagrams waiting on a socket, at most a bounded number per call
// so that frames keep going out under a flood of commands.
template <typename Handler>
void Receive(int socket, Handler&& handle) {
    std::array<std::uint8_t, 2048> buffer;
    for (int i = 0; i < 64; ++i) {
        sockaddr_in source{};
        socklen_t sourceLength = sizeof source;
        const ssize_t size = ::recvfrom(socket, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                        reinterpret_cast<sockaddr*>(&source), &sourceLength);
        if (size < 0) {
            return;
        }
        const Endpoint from{ntohl(source.sin_addr.s_addr), ntohs(source.sin_port)};
        // Only loopback clients are served, whatever reaches the sockets.
        if (source.sin_family == AF_INET && IsLoopback(from.address)) {
            handle(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(size)),
                   from);
        }
    }
}

}  // namespace

std::optional<std::uint32_t> ParseLoopbackAddress(const char* text) {
    in_addr parsed{};
    if (text == nullptr || ::inet_pton(AF_INET, text, &parsed) != 1) {
        return std::nullopt;
    }
    const std::uint32_t address = ntohl(parsed.s_addr);
    if (!IsLoopback(address) || address == 0x7F000000u || address == 0x7FFFFFFFu) {
        return std::nullopt;
    }
    return address;
}

std::string AddressText(std::uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFFu) + "." +
           std::to_string((address >> 8) & 0xFFu) + "." + std::to_string(address & 0xFFu);
}

int Serve(std::vector<zursim::CameraOptions> cameras, const ServerOptions& options,
          std::ostream& out, std::ostream& err) {
    // SIGTERM and SIGINT arrive as readable data, between two steps of the loop.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    if (::sigprocmask(SIG_BLOCK, &stopSignals, nullptr) != 0) {
        err << "gevcam: cannot block SIGTERM: " << std::strerror(errno) << "\n";
        return 1;
    }
    const Descriptor signals(::signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC));
    if (!signals) {
        err << "gevcam: signalfd: " << std::strerror(errno) << "\n";
        return 1;
    }

    const Clock::time_point start = Clock::now();
    std::vector<Served> served;
    std::string error;
    for (std::size_t i = 0; i < options.addresses.size() && i < cameras.size(); ++i) {
        const std::uint32_t address = options.addresses[i];
        Served entry;
        entry.mtu = options.mtu;
        entry.control = BoundSocket(address, kGvcpPort, false, error);
        if (!entry.control) {
            err << "gevcam: cannot serve on " << error << "\n";
            return 1;
        }
        entry.stream = BoundSocket(address, 0, false, error);
        if (!entry.stream) {
            err << "gevcam: no stream socket on " << error << "\n";
            return 1;
        }
        // Room for a few bursts of a frame.
        const int sendBuffer = 4 << 20;
        ::setsockopt(entry.stream.Get(), SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
        sockaddr_in bound{};
        socklen_t boundLength = sizeof bound;
        ::getsockname(entry.stream.Get(), reinterpret_cast<sockaddr*>(&bound), &boundLength);
        entry.camera =
            std::make_unique<GevCamera>(std::move(cameras[i]), address, options.device, start);
        entry.camera->SetStreamSourcePort(ntohs(bound.sin_port));
        served.push_back(std::move(entry));
    }
    // Clients discover with a broadcast to 255.255.255.255, which a socket
    // bound to a camera's own address never sees. Only datagrams from
    // loopback addresses are taken from it, and nothing is sent on it.
    const Descriptor broadcast = BoundSocket(INADDR_BROADCAST, kGvcpPort, true, error);
    if (!broadcast) {
        err << "gevcam: no discovery by broadcast (" << error << "); discovery by address only\n";
    }
    for (const Served& entry : served) {
        out << entry.camera->Name() << " on " << AddressText(entry.camera->Address()) << "\n";
    }
    out.flush();

    std::vector<pollfd> descriptors;
    descriptors.push_back({signals.Get(), POLLIN, 0});
    for (const Served& entry : served) {
        descriptors.push_back({entry.control.Get(), POLLIN, 0});
    }
    if (broadcast) {
        descriptors.push_back({broadcast.Get(), POLLIN, 0});
    }
    Clock::time_point lastDatagram = Clock::now();
    Output output;
    for (;;) {
        Clock::time_point now = Clock::now();
        Clock::time_point next = now + std::chrono::seconds(1);
        for (const Served& entry : served) {
            output.stream.clear();
            next = std::min(next, entry.camera->Tick(now, output));
            SendStream(entry, output.stream);
        }
        if (options.idleTimeout) {
            if (now - lastDatagram >= *options.idleTimeout) {
                err << "gevcam: idle for " << options.idleTimeout->count() << " ms, stopping\n";
                return 0;
            }
            next = std::min(next, lastDatagram + *options.idleTimeout);
        }
        const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::max(next - Clock::now(), Clock::duration::zero()));
        const timespec timeout{static_cast<time_t>(wait.count() / 1000000000),
                               static_cast<long>(wait.count() % 1000000000)};
        const int ready = ::ppoll(descriptors.data(), descriptors.size(), &timeout, nullptr);
        if (ready < 0 && errno != EINTR) {
            err << "gevcam: poll: " << std::strerror(errno) << "\n";
            return 1;
        }
        if (ready <= 0) {
            continue;
        }
        if ((descriptors[0].revents & POLLIN) != 0) {
            signalfd_siginfo info{};
            const ssize_t size = ::read(signals.Get(), &info, sizeof info);
            err << "gevcam: " << (size > 0 ? strsignal(static_cast<int>(info.ssi_signo)) : "signal")
                << ", stopping\n";
            return 0;
        }
        now = Clock::now();
        for (std::size_t i = 0; i < served.size(); ++i) {
            if ((descriptors[i + 1].revents & POLLIN) == 0) {
                continue;
            }
            const Served& entry = served[i];
            Receive(entry.control.Get(),
                    [&](std::span<const std::uint8_t> datagram, Endpoint from) {
                        lastDatagram = now;
                        output.stream.clear();
                        entry.camera->Handle(datagram, from, false, now, output);
                        SendAck(entry, output.ack, from);
                        SendStream(entry, output.stream);
                    });
        }
        if (broadcast && (descriptors.back().revents & POLLIN) != 0) {
            Receive(broadcast.Get(), [&](std::span<const std::uint8_t> datagram, Endpoint from) {
                lastDatagram = now;
                // Every camera answers, each from its own address.
                for (const Served& entry : served) {
                    output.stream.clear();
                    entry.camera->Handle(datagram, from, true, now, output);
                    SendAck(entry, output.ack, from);
                }
            });
        }
    }
}

}  // namespace gevcam
