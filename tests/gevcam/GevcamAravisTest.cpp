// gevcam over the network with Aravis as the client: the frames Aravis
// assembles are the simulated ZUR library's frames for the same camera,
// settings and frame counter, and with packets left out on purpose every
// frame still arrives whole through resends.
//
// Opens sockets: run it only inside a private network namespace that holds
// nothing but the loopback interface (scripts/check-gevcam.sh does).

#include <arv.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "DeviceHarness.h"
#include "zursim/Config.h"

extern char** environ;

namespace gevtest {
namespace {

namespace reg = zursim::reg;
using Registers = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
using namespace std::chrono_literals;

std::filesystem::path ProgramFolder() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

// gevcam as a child process, serving a camera configuration of the test's
// own; stopped with SIGTERM at the end, which it must obey at once.
class GevcamProcess {
  public:
    GevcamProcess(const std::string& config, std::vector<std::string> arguments) {
        configPath = std::filesystem::temp_directory_path() /
                     ("gevcam-test-" + std::to_string(::getpid()) + ".ini");
        std::ofstream(configPath) << config;
        std::vector<std::string> environment = {"ZUR_SIM_CONFIG=" + configPath.string()};
        for (char** entry = environ; *entry != nullptr; ++entry) {
            if (std::string(*entry).rfind("ZUR_SIM_CONFIG=", 0) != 0) {
                environment.emplace_back(*entry);
            }
        }
        const std::string program = (ProgramFolder() / "gevcam").string();
        arguments.insert(arguments.begin(), {program, "--idle-timeout", "60"});
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& entry : environment) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);

        int pipe[2];
        EXPECT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
        const int spawned =
            ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipe[1]);
        output = ::fdopen(pipe[0], "r");
        EXPECT_EQ(spawned, 0) << program;
    }

    ~GevcamProcess() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (output != nullptr) {
            std::fclose(output);
        }
        std::filesystem::remove(configPath);
    }

    // The "NAME on ADDRESS" lines gevcam prints when ready; fewer if it ends.
    std::vector<std::string> AwaitReady(std::size_t count) {
        std::vector<std::string> lines;
        char line[256];
        while (lines.size() < count && std::fgets(line, sizeof line, output) != nullptr) {
            lines.emplace_back(line, std::strcspn(line, "\n"));
        }
        EXPECT_EQ(lines.size(), count) << "gevcam did not get ready";
        return lines;
    }

    // SIGTERM; the exit status, or -1 when it did not end within 5 s.
    int Stop() {
        ::kill(pid, SIGTERM);
        for (int i = 0; i < 500; ++i) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }

    const std::filesystem::path& Config() const { return configPath; }

  private:
    std::filesystem::path configPath;
    pid_t pid = -1;
    std::FILE* output = nullptr;
};

// Owns a GObject reference.
template <typename T>
struct Unref {
    void operator()(T* object) const {
        if (object != nullptr) {
            g_object_unref(object);
        }
    }
};
template <typename T>
using GPtr = std::unique_ptr<T, Unref<T>>;

// Takes a GError, if any, into the test's failure.
bool Ok(GError* error, const std::string& what) {
    if (error == nullptr) {
        return true;
    }
    ADD_FAILURE() << what << ": " << error->message;
    g_error_free(error);
    return false;
}

struct Setting {
    const char* feature;    // set through Aravis, by name
    std::uint32_t address;  // the same setting on the simulated library's camera
    std::uint32_t value;
};

struct Streamed {
    std::uint64_t frameId = 0;
    std::vector<std::uint8_t> bytes;
};

// Opens the camera through Aravis, applies the settings, streams `frames`
// frames at 15 per second and returns them as Aravis assembled them.
std::vector<Streamed> StreamThroughAravis(const std::string& name,
                                          const std::vector<Setting>& settings, int frames,
                                          guint64* resent = nullptr) {
    std::vector<Streamed> result;
    GError* error = nullptr;
    const GPtr<ArvCamera> camera(arv_camera_new(name.c_str(), &error));
    if (!Ok(error, "open " + name)) {
        return result;
    }
    for (const Setting& setting : settings) {
        arv_camera_set_integer(camera.get(), setting.feature, setting.value, &error);
        if (!Ok(error, setting.feature)) {
            return result;
        }
    }
    arv_camera_set_float(camera.get(), "AcquisitionFrameRate", 15.0, &error);
    const guint payload = arv_camera_get_payload(camera.get(), &error);
    const GPtr<ArvStream> stream(arv_camera_create_stream(camera.get(), nullptr, nullptr, &error));
    if (!Ok(error, "stream of " + name)) {
        return result;
    }
    for (int i = 0; i < 4; ++i) {
        arv_stream_push_buffer(stream.get(), arv_buffer_new(payload, nullptr));
    }
    arv_camera_start_acquisition(camera.get(), &error);
    if (!Ok(error, "start " + name)) {
        return result;
    }
    for (int i = 0; i < frames; ++i) {
        ArvBuffer* buffer = arv_stream_timeout_pop_buffer(stream.get(), 5000000);
        if (buffer == nullptr) {
            ADD_FAILURE() << name << ": no frame within 5 s";
            break;
        }
        EXPECT_EQ(arv_buffer_get_status(buffer), ARV_BUFFER_STATUS_SUCCESS) << name;
        size_t size = 0;
        const auto* data = static_cast<const std::uint8_t*>(arv_buffer_get_data(buffer, &size));
        result.push_back({arv_buffer_get_frame_id(buffer), {data, data + size}});
        arv_stream_push_buffer(stream.get(), buffer);
    }
    arv_camera_stop_acquisition(camera.get(), &error);
    Ok(error, "stop " + name);
    if (resent != nullptr) {
        guint64 missing = 0;
        arv_gv_stream_get_statistics(ARV_GV_STREAM(stream.get()), resent, &missing);
        EXPECT_EQ(missing, 0u) << name;
    }
    return result;
}

Registers RegistersOf(const std::vector<Setting>& settings) {
    Registers registers;
    for (const Setting& setting : settings) {
        registers.emplace_back(setting.address, setting.value);
    }
    return registers;
}

void ExpectSimulatorFrames(const zursim::CameraOptions& options,
                           const std::vector<Setting>& settings,
                           const std::vector<Streamed>& frames) {
    for (const Streamed& frame : frames) {
        // Block n is the camera's n-th frame since gevcam started.
        const auto counter = static_cast<std::uint32_t>(options.frameCounter + frame.frameId - 1);
        EXPECT_TRUE(frame.bytes == SimulatorFrame(options, counter, RegistersOf(settings)))
            << options.model << " frame " << frame.frameId;
    }
}

class GevcamAravis : public ::testing::Test {
  protected:
    static void TearDownTestSuite() { arv_shutdown(); }
};

TEST_F(GevcamAravis, FramesAreTheSimulatedLibrarysFrames) {
    GevcamProcess gevcam(
        "[camera 1]\nmodel=XCG-5005CR\nid=4661\nframeCounter=0xFFFFFFFE\n"
        "[camera 2]\nmodel=XCG-H280E\nid=4662\n"
        "[camera 3]\nmodel=XCG-U100E\nid=4660\ndataDepth=12\n",
        {"127.0.0.2", "127.0.0.3", "127.0.0.4"});
    ASSERT_EQ(gevcam.AwaitReady(3), (std::vector<std::string>{"XCG-5005CR-4661 on 127.0.0.2",
                                                              "XCG-H280E-4662 on 127.0.0.3",
                                                              "XCG-U100E-4660 on 127.0.0.4"}));
    const std::vector<zursim::CameraOptions> cameras =
        zursim::LoadConfigFile(gevcam.Config().string()).value();
    const std::vector<Setting> settings[] = {
        {{"Width", reg::kWidth, 1000},
         {"Height", reg::kHeight, 600},
         {"OffsetX", reg::kOffsetX, 101},
         {"OffsetY", reg::kOffsetY, 1333},
         {"GainRed", reg::kGainRed, 2048}},
        {{"VerticalBinning", reg::kVerticalBinning, 2},
         {"HorizontalBinning", reg::kHorizontalBinning, 2}},
        {},
    };
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        const std::string name = "Zaze-" + cameras[i].model + "-" + std::to_string(cameras[i].id);
        const std::vector<Streamed> frames = StreamThroughAravis(name, settings[i], 4);
        ASSERT_EQ(frames.size(), 4u) << name;
        EXPECT_EQ(frames.front().frameId, 1u) << name;
        ExpectSimulatorFrames(cameras[i], settings[i], frames);
    }
    EXPECT_EQ(gevcam.Stop(), 0);
}

TEST_F(GevcamAravis, EveryFrameArrivesWholeWithFivePercentOfPacketsLeftOut) {
    GevcamProcess gevcam("[camera 1]\nmodel=XCG-5005CR\nid=4661\n", {"--drop", "5", "127.0.0.2"});
    ASSERT_EQ(gevcam.AwaitReady(1).size(), 1u);
    const std::vector<zursim::CameraOptions> cameras =
        zursim::LoadConfigFile(gevcam.Config().string()).value();
    guint64 resent = 0;
    const std::vector<Streamed> frames =
        StreamThroughAravis("Zaze-XCG-5005CR-4661", {}, 20, &resent);
    ASSERT_EQ(frames.size(), 20u);
    // 5 % of some 600 payload packets a frame: hundreds asked for again.
    EXPECT_GT(resent, 20u * 600u / 100u);
    ExpectSimulatorFrames(cameras[0], {}, frames);
    EXPECT_EQ(gevcam.Stop(), 0);
}

}  // namespace
}  // namespace gevtest
