#include "GigeSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "ZURGigE.h"
#include "zursim/CameraModel.h"
#include "zursim/Scene.h"

extern char** environ;

namespace gigetest {
namespace {

using namespace std::chrono_literals;

std::string ProgramFolder() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

}  // namespace

bool InPrivateNetwork() {
    const char* inside = std::getenv("ZAVADED_NETNS");
    return inside != nullptr && std::string(inside) == "1";
}

Gevcam::Gevcam(std::vector<std::string> addresses, std::vector<std::string> options,
               std::string config) {
    // An idle timeout, so that no camera outlives a test run that died.
    arguments = {ProgramFolder() + "/gevcam", "--idle-timeout", "60"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.insert(arguments.end(), addresses.begin(), addresses.end());
    names.resize(addresses.size());
    if (!config.empty()) {
        configPath = std::filesystem::temp_directory_path() /
                     ("gevcam-" + std::to_string(getpid()) + "-" + addresses.front() + ".ini");
        std::ofstream(configPath) << config;
    }
    Start();
}

Gevcam::~Gevcam() {
    Stop();
    if (!configPath.empty()) {
        std::filesystem::remove(configPath);
    }
}

void Gevcam::Start() {
    int pipe[2] = {-1, -1};
    if (pipe2(pipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("no pipe for gevcam");
    }
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::string(*entry).rfind("ZUR_SIM_CONFIG=", 0) != 0) {
            environment.emplace_back(*entry);
        }
    }
    if (!configPath.empty()) {
        environment.push_back("ZUR_SIM_CONFIG=" + configPath);
    }
    std::vector<char*> argv;
    std::vector<char*> envp;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    for (std::string& variable : environment) {
        envp.push_back(variable.data());
    }
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    pid = fork();
    if (pid == 0) {
        // The cameras die with the test, however it ends.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(pipe[1], STDOUT_FILENO);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(pipe[1]);
    if (pid < 0) {
        close(pipe[0]);
        throw std::runtime_error("cannot start " + arguments[0]);
    }
    // "NAME on ADDRESS" per camera once all are served.
    std::string text;
    std::size_t ready = 0;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (ready < names.size() && std::chrono::steady_clock::now() < deadline) {
        pollfd wait{pipe[0], POLLIN, 0};
        if (poll(&wait, 1, 100) <= 0) {
            continue;
        }
        char chunk[256];
        const ssize_t got = read(pipe[0], chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        text.append(chunk, static_cast<std::size_t>(got));
        for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n')) {
            const std::string line = text.substr(0, end);
            text.erase(0, end + 1);
            if (ready < names.size()) {
                names[ready++] = line.substr(0, line.find(" on "));
            }
        }
    }
    close(pipe[0]);
    if (ready < names.size()) {
        Stop();
        throw std::runtime_error("gevcam did not get ready");
    }
}

void Gevcam::Kill() {
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
}

void Gevcam::Freeze() {
    if (pid > 0) {
        kill(pid, SIGSTOP);
    }
}

void Gevcam::Resume() {
    if (pid > 0) {
        kill(pid, SIGCONT);
    }
}

void Gevcam::Stop() {
    if (pid <= 0) {
        return;
    }
    kill(pid, SIGCONT);  // a frozen one hears no SIGTERM
    kill(pid, SIGTERM);
    for (int i = 0; i < 50; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(100ms);
    }
    Kill();
}

Gevcam& DefaultCameras() {
    // The default models on small sensors, so that every build flavour
    // streams them at their top rates.
    static Gevcam cameras({"127.0.0.2", "127.0.0.3", "127.0.0.4"}, {},
                          "[camera 1]\nmodel=XCG-U100E\nid=4660\nwidth=320\nheight=240\n"
                          "[camera 2]\nmodel=XCG-5005CR\nid=4661\nwidth=320\nheight=256\n"
                          "[camera 3]\nmodel=XCG-H280E\nid=4662\nwidth=384\nheight=216\n");
    return cameras;
}

ScopedEnvironment::ScopedEnvironment(const char* variable, const char* value) : name(variable) {
    const char* before = std::getenv(variable);
    had = before != nullptr;
    old = had ? before : "";
    if (value != nullptr) {
        setenv(variable, value, 1);
    } else {
        unsetenv(variable);
    }
}

ScopedEnvironment::~ScopedEnvironment() {
    if (had) {
        setenv(name.c_str(), old.c_str(), 1);
    } else {
        unsetenv(name.c_str());
    }
}

std::vector<Listed> ListCameras() {
    ZURCameraList list{};
    std::vector<Listed> cameras;
    if (ZURGetList(&list) == 0 || list.count == 0) {
        return cameras;
    }
    if (ZURGetList(&list) == 0) {
        return cameras;
    }
    for (std::uint32_t i = 0; i < list.count; ++i) {
        const ZURCameraRecord& record = list.records[i];
        cameras.push_back(
            {record.deviceIdLow | (std::uint64_t{record.deviceIdHigh} << 32), record.modelName});
    }
    return cameras;
}

std::uint32_t ReadRegister(std::uint32_t handle, std::uint32_t address) {
    ZURRegisterRecord record{};
    record.count = 1;
    record.address[0] = address;
    EXPECT_EQ(ZURGigEGetRegister(handle, &record), 1) << std::hex << address;
    return record.data[0];
}

std::uint32_t WriteRegister(std::uint32_t handle, std::uint32_t address, std::uint32_t value) {
    ZURRegisterRecord record{};
    record.count = 1;
    record.address[0] = address;
    record.data[0] = value;
    return ZURGigESetRegister(handle, &record) != 0 ? 0u : ZURGetLastError();
}

std::uint32_t OpenStreaming(const Listed& camera) {
    std::uint32_t handle = 0;
    if (ZUROpen(camera.id, &handle) == 0) {
        return 0;
    }
    // The top frame rate, in whatever encoding the family has: the limit
    // register holds it as the rate register wants it.
    WriteRegister(handle, zursim::reg::kFrameRateAuto, 0);
    WriteRegister(handle, zursim::reg::kFrameRate,
                  ReadRegister(handle, zursim::reg::kFrameRateMax));
    if (ZURIsoAlloc(handle) == 0 || ZURIsoStart(handle, 0) == 0) {
        ZURClose(handle);
        return 0;
    }
    return handle;
}

std::vector<std::uint8_t> ExpectedFrame(std::uint32_t handle, const std::string& model,
                                        std::uint64_t blockId) {
    namespace reg = zursim::reg;
    ZURImageInfo info{};
    EXPECT_EQ(ZURGetImageInfo(handle, &info), 1);
    zursim::CameraOptions options = zursim::ModelDefaults(model, 1);
    options.sensorWidth = info.sensorWidth;
    options.sensorHeight = info.sensorHeight;
    zursim::Camera simulated(options);
    for (const std::uint32_t address :
         {reg::kWidth, reg::kHeight, reg::kOffsetX, reg::kOffsetY, reg::kVerticalBinning,
          reg::kHorizontalBinning, reg::kGainRed, reg::kGainGreen, reg::kGainBlue}) {
        simulated.Poke(address, ReadRegister(handle, address));
    }
    ZURCameraMode mode{};
    std::uint32_t depth = 0;
    EXPECT_EQ(ZURNowCameraMode(handle, &mode), 1);
    EXPECT_EQ(ZURGetDataDepth(handle, &depth), 1);
    // Frame i of a gevcam camera has block ID i + 1 and the i-th counter.
    const auto counter = static_cast<std::uint32_t>(zursim::kFirstFrameCounter + (blockId - 1));
    const zursim::SceneView view = simulated.View(counter);
    std::vector<std::uint8_t> frame(std::size_t{view.width} * view.height * (depth > 8 ? 2 : 1));
    zursim::RenderRaw(view, mode.colorFilter, depth, frame);
    return frame;
}

std::int32_t Grab(std::uint32_t handle, std::vector<std::uint8_t>& buffer, std::uint64_t& blockId,
                  std::uint32_t timeoutMs) {
    if (ZURImageReq(handle, buffer.data(), static_cast<std::uint32_t>(buffer.size())) == 0 ||
        ZURImageCompleteWait(handle, buffer.data(), timeoutMs, 0, 0) == 0) {
        return 0;
    }
    return ZURGigEGetFrameId(handle, buffer.data(), &blockId);
}

}  // namespace gigetest

#if defined(__SANITIZE_THREAD__)
// Aravis's receive thread fills each image buffer and hands it over through
// GLib's queue, which ThreadSanitizer cannot see: every 8 bytes of every
// image read is a race that gige-tsan.supp suppresses. By default TSan
// remembers each such address in one list that it searches linearly on every
// race, so each new buffer costs more than the last, in the whole program:
// after a test or two the first image takes seconds to copy and stalls the
// other threads (heartbeats, watchdog), and the camera looks lost. Without
// the list, equal races are still told apart by their stacks. TSAN_OPTIONS
// given at run time still apply after this.
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_options() {
    return "suppress_equal_addresses=0";
}
#endif
