#include "Camera.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <limits>

#include "Errors.h"
#include "PixelFormat.h"
#include "Release.h"
#include "Trace.h"

namespace zurgige {
namespace {

constexpr std::uint16_t kGvcpPort = 3956;
// Bootstrap registers of every GigE Vision device: the MAC address of its
// first network interface, high 16 bits and low 32 bits.
constexpr std::uint32_t kMacHighRegister = 0x0008;
constexpr std::uint32_t kMacLowRegister = 0x000C;

// XCG features without a standard GenICam name, looked up in the camera's
// own description.
constexpr const char* kStandardModeFeature = "XcgStandardMode";
constexpr const char* kBandAdjustFeature = "XcgBandAdjust";
constexpr const char* kBandLevelFeature = "XcgBandLevel";

// How long an open and a close wait for a camera's first answer.
constexpr int kOpenProbeMs = 300;
constexpr int kCloseProbeMs = 300;

// The local address the kernel would send from to reach the device: the
// interface the stream comes back to. Connecting a UDP socket sends nothing.
std::optional<Ipv4> LocalAddressFor(Ipv4 device) {
    const int socketFd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socketFd < 0) {
        return std::nullopt;
    }
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(kGvcpPort);
    remote.sin_addr.s_addr = htonl(device);
    sockaddr_in local{};
    socklen_t length = sizeof local;
    std::optional<Ipv4> found;
    if (connect(socketFd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0 &&
        getsockname(socketFd, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
        found = ntohl(local.sin_addr.s_addr);
    }
    close(socketFd);
    return found;
}

GObjectPtr<GInetAddress> InetAddress(Ipv4 address) {
    return GObjectPtr<GInetAddress>(g_inet_address_new_from_string(FormatIpv4(address).c_str()));
}

void OnControlLost(ArvDevice* /*device*/, gpointer data) {
    // On Aravis's heartbeat thread: only the flag, which every call reads.
    static_cast<LossState*>(data)->MarkLost();
    Trace("a camera stopped answering its heartbeat: device lost");
}

}  // namespace

Camera::Camera(std::uint64_t cameraId, std::string cameraLabel, GObjectPtr<ArvDevice> arvDevice,
               std::shared_ptr<LossState> lossState, Ipv4 cameraAddress)
    : id(cameraId),
      label(std::move(cameraLabel)),
      loss(std::move(lossState)),
      deviceAddress(cameraAddress),
      device(std::move(arvDevice)) {
    lostHandler =
        g_signal_connect(device.get(), "control-lost", G_CALLBACK(OnControlLost), loss.get());
    watchdog = std::make_unique<Watchdog>(deviceAddress, loss, label);
}

Camera::~Camera() {
    const std::lock_guard<std::mutex> lock(control);
    Close();
}

std::unique_ptr<Camera> Camera::Open(std::uint64_t id, Ipv4 address, std::uint32_t& error) {
    const std::string label = "camera " + std::to_string(id) + " at " + FormatIpv4(address);
    const std::optional<Ipv4> local = LocalAddressFor(address);
    if (!local) {
        Trace("%s: no route to it", label.c_str());
        error = ZUR_ERROR_NO_DEVICE;
        return nullptr;
    }
    // A camera that is not there would keep Aravis waiting for seconds.
    if (!Watchdog::Ask(address, kOpenProbeMs)) {
        Trace("%s: no answer", label.c_str());
        error = ZUR_ERROR_TIMEOUT;
        return nullptr;
    }
    GErrorSlot failure;
    GObjectPtr<ArvDevice> device(
        arv_gv_device_new(InetAddress(*local).get(), InetAddress(address).get(), failure.Out()));
    if (!device) {
        error = ZurError(failure.Get());
        Trace("%s: cannot open: %s", label.c_str(), failure.Message());
        // A camera that does not answer at its address is not attached there.
        if (MeansLost(error)) {
            error = ZUR_ERROR_NO_DEVICE;
        }
        return nullptr;
    }
    if (!arv_gv_device_is_controller(ARV_GV_DEVICE(device.get()))) {
        Trace("%s: another application controls the camera", label.c_str());
        error = ZUR_ERROR_ACCESS_DENIED;
        return nullptr;
    }
    guint32 high = 0;
    guint32 low = 0;
    if (!arv_device_read_register(device.get(), kMacHighRegister, &high, failure.Out()) ||
        !arv_device_read_register(device.get(), kMacLowRegister, &low, failure.Out())) {
        error = ZurError(failure.Get());
        Trace("%s: cannot read its MAC address: %s", label.c_str(), failure.Message());
        return nullptr;
    }
    const std::uint64_t mac = (std::uint64_t{high & 0xFFFFu} << 32) | low;
    if (mac != id) {
        // Another camera took the address since discovery.
        Trace("%s: the camera there has the device ID %llu", label.c_str(),
              static_cast<unsigned long long>(mac));
        error = ZUR_ERROR_NO_DEVICE;
        return nullptr;
    }
    // Features are read from the camera every time: the driver also writes
    // the registers behind them directly.
    arv_device_set_register_cache_policy(device.get(), ARV_REGISTER_CACHE_POLICY_DISABLE);
    Trace("%s: open", label.c_str());
    error = ZUR_ERROR_NONE;
    return std::make_unique<Camera>(id, label, std::move(device), std::make_shared<LossState>(),
                                    address);
}

std::uint32_t Camera::Usable() const {
    if (closed.load(std::memory_order_acquire)) {
        return ZUR_ERROR_INVALID_HANDLE;
    }
    return loss->Lost() ? ZUR_ERROR_DEVICE_LOST : ZUR_ERROR_NONE;
}

std::uint32_t Camera::Failed(const GErrorSlot& error, const char* what) {
    const std::uint32_t code = ZurError(error.Get());
    if (MeansLost(code) && !loss->Lost()) {
        loss->MarkLost();
        Trace("%s: no answer (%s): device lost", label.c_str(), error.Message());
    } else {
        Trace("%s: %s: %s", label.c_str(), what, error.Message());
    }
    return code;
}

std::uint32_t Camera::ReadRegister(std::uint32_t address, std::uint32_t& value) {
    GErrorSlot error;
    guint32 read = 0;
    if (!arv_device_read_register(device.get(), address, &read, error.Out())) {
        return Failed(error, "register read");
    }
    value = read;
    return ZUR_ERROR_NONE;
}

std::uint32_t Camera::WriteRegister(std::uint32_t address, std::uint32_t value) {
    GErrorSlot error;
    const bool written = arv_device_write_register(device.get(), address, value, error.Out());
    SettingsChanged();
    return written ? std::uint32_t{ZUR_ERROR_NONE} : Failed(error, "register write");
}

bool Camera::HasFeature(const char* feature) {
    return arv_device_get_feature(device.get(), feature) != nullptr;
}

template <typename Call>
std::uint32_t Camera::OnFeature(const char* feature, Call call) {
    if (!HasFeature(feature)) {
        return ZUR_ERROR_NOT_SUPPORTED;
    }
    GErrorSlot error;
    call(error.Out());
    if (error) {
        return Failed(error, feature);
    }
    return ZUR_ERROR_NONE;
}

std::uint32_t Camera::GetInteger(const char* feature, std::int64_t& value) {
    return OnFeature(feature, [&](GError** error) {
        const gint64 read = arv_device_get_integer_feature_value(device.get(), feature, error);
        if (*error == nullptr) {
            value = read;
        }
    });
}

std::uint32_t Camera::SetInteger(const char* feature, std::int64_t value) {
    const std::uint32_t result = OnFeature(feature, [&](GError** error) {
        arv_device_set_integer_feature_value(device.get(), feature, value, error);
    });
    SettingsChanged();
    return result;
}

std::uint32_t Camera::SetEnumeration(const char* feature, const char* entry) {
    const std::uint32_t result = OnFeature(feature, [&](GError** error) {
        arv_device_set_string_feature_value(device.get(), feature, entry, error);
    });
    SettingsChanged();
    return result;
}

std::uint32_t Camera::Execute(const char* command) {
    return OnFeature(
        command, [&](GError** error) { arv_device_execute_command(device.get(), command, error); });
}

std::uint32_t Camera::GetImageInfo(ZURImageInfo& info) {
    std::int64_t offsetX = 0;
    std::int64_t offsetY = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::int64_t pixelFormat = 0;
    std::int64_t payload = 0;
    for (auto [feature, value] :
         {std::pair{"OffsetX", &offsetX}, std::pair{"OffsetY", &offsetY},
          std::pair{"Width", &width}, std::pair{"Height", &height},
          std::pair{"PixelFormat", &pixelFormat}, std::pair{"PayloadSize", &payload}}) {
        if (const std::uint32_t error = GetInteger(feature, *value); error != ZUR_ERROR_NONE) {
            return error;
        }
    }
    // The sensor size, where the camera tells it.
    std::int64_t sensorWidth = 0;
    std::int64_t sensorHeight = 0;
    GetInteger("SensorWidth", sensorWidth);
    GetInteger("SensorHeight", sensorHeight);
    if (loss->Lost()) {
        return ZUR_ERROR_DEVICE_LOST;
    }
    const std::optional<PixelFormatInfo> format =
        DescribePixelFormat(static_cast<std::uint32_t>(pixelFormat));
    if (!format) {
        Trace("%s: pixel format 0x%08llx is not one the driver takes", label.c_str(),
              static_cast<unsigned long long>(pixelFormat));
        return ZUR_ERROR_NOT_SUPPORTED;
    }
    const auto fits16 = [](std::int64_t value) { return value >= 0 && value <= 0xFFFF; };
    if (!fits16(offsetX) || !fits16(offsetY) || !fits16(width) || !fits16(height) ||
        !fits16(sensorWidth) || !fits16(sensorHeight) || payload < 0 ||
        payload > std::numeric_limits<std::uint32_t>::max()) {
        return ZUR_ERROR_DEVICE;
    }
    info = ZURImageInfo{};
    info.offsetX = static_cast<std::uint16_t>(offsetX);
    info.offsetY = static_cast<std::uint16_t>(offsetY);
    info.sensorWidth = static_cast<std::uint16_t>(sensorWidth);
    info.sensorHeight = static_cast<std::uint16_t>(sensorHeight);
    info.width = static_cast<std::uint16_t>(width);
    info.height = static_cast<std::uint16_t>(height);
    info.colorId = format->colorId;
    info.dataDepth = format->depth;
    info.bufferSize = static_cast<std::uint32_t>(payload);
    return ZUR_ERROR_NONE;
}

std::uint32_t Camera::ApplyGeometry(std::int64_t offsetX, std::int64_t offsetY, std::int64_t width,
                                    std::int64_t height) {
    // Offsets to 0 first, so that the new size fits whatever they were.
    for (auto [feature, value] :
         {std::pair{"OffsetX", std::int64_t{0}}, std::pair{"OffsetY", std::int64_t{0}},
          std::pair{"Width", width}, std::pair{"Height", height}, std::pair{"OffsetX", offsetX},
          std::pair{"OffsetY", offsetY}}) {
        if (const std::uint32_t error = SetInteger(feature, value); error != ZUR_ERROR_NONE) {
            return error;
        }
    }
    return ZUR_ERROR_NONE;
}

std::uint32_t Camera::SetGeometry(const ZURImagePosition& position) {
    if (CurrentStream()) {
        return ZUR_ERROR_BUSY;  // the buffers of the stream have the current size
    }
    if (position.width == 0 || position.height == 0) {
        return ZUR_ERROR_OUT_OF_RANGE;
    }
    std::int64_t old[4] = {};
    const char* const features[4] = {"OffsetX", "OffsetY", "Width", "Height"};
    for (int i = 0; i < 4; ++i) {
        if (const std::uint32_t error = GetInteger(features[i], old[i]); error != ZUR_ERROR_NONE) {
            return error;
        }
    }
    const std::uint32_t error =
        ApplyGeometry(position.offsetX, position.offsetY, position.width, position.height);
    if (error != ZUR_ERROR_NONE && !loss->Lost()) {
        // All four or none: the camera keeps the geometry it had.
        ApplyGeometry(old[0], old[1], old[2], old[3]);
    }
    return error;
}

std::uint32_t Camera::CurrentPixelFormat(PixelFormatInfo& format) {
    std::int64_t pixelFormat = 0;
    if (const std::uint32_t error = GetInteger("PixelFormat", pixelFormat);
        error != ZUR_ERROR_NONE) {
        return error;
    }
    const std::optional<PixelFormatInfo> described =
        DescribePixelFormat(static_cast<std::uint32_t>(pixelFormat));
    if (!described) {
        return ZUR_ERROR_NOT_SUPPORTED;
    }
    format = *described;
    return ZUR_ERROR_NONE;
}

std::uint32_t Camera::GetMode(ZURCameraMode& mode) {
    PixelFormatInfo format;
    if (const std::uint32_t error = CurrentPixelFormat(format); error != ZUR_ERROR_NONE) {
        return error;
    }
    // A camera without standard modes is never in one.
    std::int64_t standard = 0;
    if (HasFeature(kStandardModeFeature)) {
        if (const std::uint32_t error = GetInteger(kStandardModeFeature, standard);
            error != ZUR_ERROR_NONE) {
            return error;
        }
    }
    mode = ZURCameraMode{};
    mode.standardMode = standard != 0 ? 1u : 0u;
    mode.colorFilter = format.filter;
    return ZUR_ERROR_NONE;
}

std::uint32_t Camera::SetMode(const ZURCameraMode& mode) {
    ZURCameraMode now{};
    if (const std::uint32_t error = GetMode(now); error != ZUR_ERROR_NONE) {
        return error;
    }
    if (mode.colorFilter > 3) {
        return ZUR_ERROR_INVALID_ARGUMENT;
    }
    if (mode.colorFilter == now.colorFilter) {
        return ZUR_ERROR_NONE;
    }
    if (now.standardMode != 0) {
        return ZUR_ERROR_INVALID_ARGUMENT;  // a standard mode fixes the filter
    }
    std::int64_t pixelFormat = 0;
    GetInteger("PixelFormat", pixelFormat);
    const std::optional<PixelFormatInfo> format =
        DescribePixelFormat(static_cast<std::uint32_t>(pixelFormat));
    const std::optional<std::uint32_t> wanted =
        format && format->bayer ? BayerFormat(mode.colorFilter, format->depth) : std::nullopt;
    if (!wanted) {
        return ZUR_ERROR_NOT_SUPPORTED;  // monochrome: no filter to choose
    }
    const std::uint32_t error = SetInteger("PixelFormat", *wanted);
    // A camera without that order refuses the entry.
    if (error == ZUR_ERROR_OUT_OF_RANGE) {
        return ZUR_ERROR_NOT_SUPPORTED;
    }
    return error;
}

std::uint32_t Camera::BandAdjust(std::int32_t adjust, std::int32_t level) {
    if (!HasFeature(kBandAdjustFeature) || !HasFeature(kBandLevelFeature)) {
        return ZUR_ERROR_NOT_SUPPORTED;
    }
    if (const std::uint32_t error = SetInteger(kBandLevelFeature, level); error != ZUR_ERROR_NONE) {
        return error;
    }
    return SetInteger(kBandAdjustFeature, adjust);
}

std::uint32_t Camera::DataDepth(std::uint32_t& depth) {
    PixelFormatInfo format;
    if (const std::uint32_t error = CurrentPixelFormat(format); error != ZUR_ERROR_NONE) {
        return error;
    }
    depth = format.depth;
    return ZUR_ERROR_NONE;
}

std::uint32_t Camera::AllocateStream(std::uint32_t packetSize) {
    if (CurrentStream()) {
        return ZUR_ERROR_BUSY;
    }
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::int64_t pixelFormat = 0;
    std::int64_t payload = 0;
    for (auto [feature, value] :
         {std::pair{"Width", &width}, std::pair{"Height", &height},
          std::pair{"PixelFormat", &pixelFormat}, std::pair{"PayloadSize", &payload}}) {
        if (const std::uint32_t error = GetInteger(feature, *value); error != ZUR_ERROR_NONE) {
            return error;
        }
    }
    if (!DescribePixelFormat(static_cast<std::uint32_t>(pixelFormat))) {
        return ZUR_ERROR_NOT_SUPPORTED;
    }
    if (width <= 0 || height <= 0 || payload <= 0 ||
        payload > std::numeric_limits<std::uint32_t>::max()) {
        return ZUR_ERROR_DEVICE;
    }
    GErrorSlot error;
    if (!ChoosePacketSize(ARV_GV_DEVICE(device.get()), packetSize, label, error)) {
        return Failed(error, "packet size");
    }
    GObjectPtr<ArvStream> created(
        arv_device_create_stream(device.get(), nullptr, nullptr, error.Out()));
    if (!created) {
        return Failed(error, "stream");
    }
    // Lost packets are asked for again, all of them if need be: a request
    // joins the stream in the middle of a frame, whose first packets it
    // then gets again. The socket holds a whole frame, so that a frame
    // survives a receive thread that falls behind.
    g_object_set(created.get(), "packet-resend",
                 static_cast<int>(ARV_GV_STREAM_PACKET_RESEND_ALWAYS), "socket-buffer",
                 static_cast<int>(ARV_GV_STREAM_SOCKET_BUFFER_AUTO), "socket-buffer-size", 0,
                 "packet-request-ratio", 1.0, nullptr);
    FrameFormat format;
    format.width = static_cast<std::uint32_t>(width);
    format.height = static_cast<std::uint32_t>(height);
    format.pixelFormat = static_cast<std::uint32_t>(pixelFormat);
    format.payloadSize = static_cast<std::uint32_t>(payload);
    auto made = std::make_shared<Stream>(std::move(created), format, loss, label);
    const std::lock_guard<std::mutex> lock(streamSlot);
    stream = std::move(made);
    return ZUR_ERROR_NONE;
}

void Camera::SettingsChanged() {
    // Once the camera answered the write (or it was given up): every frame
    // the camera sent while the write was on its way, however slow the
    // answer, was taken with the old settings.
    if (const std::shared_ptr<Stream> current = CurrentStream()) {
        current->SettingsChanged();  // what is kept was taken with the old ones
    }
}

std::shared_ptr<Stream> Camera::CurrentStream() const {
    const std::lock_guard<std::mutex> lock(streamSlot);
    return stream;
}

std::uint32_t Camera::StartAcquisition(std::uint32_t frames) {
    const std::shared_ptr<Stream> current = CurrentStream();
    if (!current) {
        return ZUR_ERROR_NOT_ALLOCATED;
    }
    if (frames == 0) {
        // Continuous is what a camera without the feature does anyway.
        const std::uint32_t error = SetEnumeration("AcquisitionMode", "Continuous");
        if (error != ZUR_ERROR_NONE && error != ZUR_ERROR_NOT_SUPPORTED) {
            return error;
        }
    } else {
        if (const std::uint32_t error = SetEnumeration("AcquisitionMode", "MultiFrame");
            error != ZUR_ERROR_NONE) {
            return error;
        }
        if (const std::uint32_t error = SetInteger("AcquisitionFrameCount", frames);
            error != ZUR_ERROR_NONE) {
            return error;
        }
    }
    // Buffers in the stream before the first frame comes.
    current->QueueAhead(frames == 0);
    if (const std::uint32_t error = Execute("AcquisitionStart"); error != ZUR_ERROR_NONE) {
        return error;
    }
    acquiring = true;
    return ZUR_ERROR_NONE;
}

std::uint32_t Camera::StopAcquisition() {
    const std::shared_ptr<Stream> current = CurrentStream();
    if (!current) {
        return ZUR_ERROR_NOT_ALLOCATED;
    }
    std::uint32_t error = ZUR_ERROR_NONE;
    if (AnswersNow()) {
        error = Execute("AcquisitionStop");
        acquiring = false;
    }
    current->AbortAll();
    if (loss->Lost()) {
        return ZUR_ERROR_DEVICE_LOST;
    }
    return error;
}

void Camera::ReleaseObjects(GObjectPtr<ArvStream> released, bool withDevice) {
    if (withDevice && lostHandler != 0) {
        g_signal_handler_disconnect(device.get(), lostHandler);
        lostHandler = 0;
    }
    if (loss->Lost()) {
        Remains remains;
        remains.stream = std::move(released);
        if (withDevice) {
            remains.device = std::move(device);
        }
        remains.loss = loss;
        ReleaseInBackground(std::move(remains));
        return;
    }
    released.reset();  // closes the stream channel
    if (withDevice) {
        device.reset();  // gives control back
    }
}

bool Camera::AnswersNow() {
    if (loss->Lost()) {
        return false;
    }
    if (!Watchdog::Ask(deviceAddress, kCloseProbeMs)) {
        loss->MarkLost();
        Trace("%s: no answer before a stop: device lost", label.c_str());
        return false;
    }
    return true;
}

std::uint32_t Camera::ReleaseStream() {
    std::shared_ptr<Stream> released;
    {
        const std::lock_guard<std::mutex> lock(streamSlot);
        released = std::move(stream);
    }
    if (!released) {
        return ZUR_ERROR_NOT_ALLOCATED;
    }
    std::uint32_t error = ZUR_ERROR_NONE;
    if (acquiring && AnswersNow()) {
        // Not streaming to a port that closes.
        error = Execute("AcquisitionStop");
    }
    acquiring = false;
    ReleaseObjects(released->Close(), false);
    if (loss->Lost()) {
        return ZUR_ERROR_DEVICE_LOST;
    }
    return error;
}

std::uint32_t Camera::Close() {
    if (closed.exchange(true)) {
        return ZUR_ERROR_INVALID_HANDLE;
    }
    watchdog.reset();
    if (CurrentStream()) {
        ReleaseStream();
    }
    const bool lost = loss->Lost();
    ReleaseObjects(nullptr, true);
    Trace("%s: closed%s", label.c_str(), lost ? " (lost)" : "");
    return lost ? ZUR_ERROR_DEVICE_LOST : ZUR_ERROR_NONE;
}

}  // namespace zurgige
