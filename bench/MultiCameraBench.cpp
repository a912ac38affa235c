// Several cameras streaming at once through the driver, as a host sees them,
// for scripts/bench.sh (which serves them with gevcam):
//   multi_camera_bench [--seconds S] [--rate FPS] [--busy THREADS]
// Every camera the driver lists streams in continuous mode at FPS at the
// same time for S seconds. Frames lost are counted frame by frame from each
// camera's first delivered frame: the scene's bar moves one 64th of the
// sensor per frame, so the bar of each delivered frame tells how many frames
// came since the one before. THREADS busy threads keep the cores loaded, as
// a host's own image processing would; their CPU is left out of the
// process's CPU per frame, which is set against a memcpy of the frame. One
// JSON object on standard output.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DriverLibrary.h"
#include "StreamFigures.h"

namespace {

using bench::CpuSeconds;
using bench::MemcpySeconds;

using Clock = std::chrono::steady_clock;

constexpr int kFramesPerSweep = 64;  // the bar's positions

// What one camera's callbacks found; written on its grab thread only.
struct Counted {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> row;
    int last = -1;  // bar position of the last frame
    long delivered = 0;
    long lost = 0;
    long repeated = 0;
    long unreadable = 0;
};

const DriverLibrary* theDriver = nullptr;
std::vector<std::unique_ptr<Counted>> counted;

extern "C" void ZAVADED_CALL Completed(int /*grabberNo*/, int portNo) {
    Counted& camera = *counted.at(static_cast<std::size_t>(portNo));
    // The bottom row, well below the frame counter's box: white only in the bar.
    if (theDriver->getCVLGrabRow(0, portNo, camera.row.data(), camera.height - 1, 0,
                                 camera.width - 1) != 1) {
        ++camera.unreadable;
        return;
    }
    const auto white = std::find(camera.row.begin(), camera.row.end(), 255);
    if (white == camera.row.end()) {
        ++camera.unreadable;
        return;
    }
    const int position =
        static_cast<int>((white - camera.row.begin()) * kFramesPerSweep / camera.width);
    ++camera.delivered;
    if (camera.last >= 0) {
        const int step = (position - camera.last + kFramesPerSweep) % kFramesPerSweep;
        if (step == 0) {
            ++camera.repeated;
        } else {
            camera.lost += step - 1;
        }
    }
    camera.last = position;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 10;
    int rate = 60;
    int busyThreads = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--seconds") {
            seconds = std::stod(argv[i + 1]);
        } else if (option == "--rate") {
            rate = std::stoi(argv[i + 1]);
        } else if (option == "--busy") {
            busyThreads = std::stoi(argv[i + 1]);
        }
    }
    try {
        DriverLibrary::ChooseZur("gige");
        DriverLibrary driver(DriverLibrary::DefaultPath());
        theDriver = &driver;
        const std::string data =
            (std::filesystem::temp_directory_path() / "multi-camera-bench").string();
        std::filesystem::create_directories(data);
        if (driver.initialize(data.c_str(), nullptr) != 1) {
            return 1;
        }
        // The largest stream packet size the cameras were given (GevSCPS0).
        int packetSize = 0;
        std::vector<std::string> names;
        for (char** name = driver.getCVLCameraConfigNames(); name && *name; ++name) {
            names.emplace_back(*name);
        }
        for (std::size_t port = 0; port < names.size(); ++port) {
            auto camera = std::make_unique<Counted>();
            int size[2] = {0, 0};
            if (driver.openCVLPort(0, static_cast<int>(port), names[port].c_str(), size) != 1) {
                std::fprintf(stderr, "multi_camera_bench: cannot open %s\n", names[port].c_str());
                return 1;
            }
            camera->width = size[0];
            camera->height = size[1];
            camera->row.resize(static_cast<std::size_t>(size[0]));
            counted.push_back(std::move(camera));
            driver.setProperty(0, static_cast<int>(port), "AcquisitionFrameRate", rate);
            driver.setCompleteCallback(0, static_cast<int>(port), &Completed);
            int scps = 0;
            driver.getProperty(0, static_cast<int>(port), "0x00000d04", &scps);
            packetSize = std::max(packetSize, scps & 0xFFFF);
        }
        if (counted.empty()) {
            std::fprintf(stderr, "multi_camera_bench: no camera\n");
            return 1;
        }

        std::atomic<bool> stop{false};
        std::atomic<double> busyCpu{0};
        std::vector<std::thread> busy;
        for (int i = 0; i < busyThreads; ++i) {
            busy.emplace_back([&] {
                const double before = CpuSeconds(RUSAGE_THREAD);
                volatile unsigned spin = 0;
                while (!stop.load(std::memory_order_relaxed)) {
                    spin = spin + 1;
                }
                busyCpu.fetch_add(CpuSeconds(RUSAGE_THREAD) - before);
            });
        }
        // What the cameras sent meanwhile, from gevcam's frame counters.
        const auto frameCounters = [&] {
            std::vector<std::uint32_t> values;
            for (std::size_t port = 0; port < counted.size(); ++port) {
                int value = 0;
                driver.getProperty(0, static_cast<int>(port), "0x0000a020", &value);
                values.push_back(static_cast<std::uint32_t>(value));
            }
            return values;
        };
        const std::vector<std::uint32_t> sentBefore = frameCounters();
        const double cpuBefore = CpuSeconds(RUSAGE_SELF);
        const auto start = Clock::now();
        for (std::size_t port = 0; port < counted.size(); ++port) {
            driver.setProperty(0, static_cast<int>(port), "continuous", 1);
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        for (std::size_t port = 0; port < counted.size(); ++port) {
            driver.setProperty(0, static_cast<int>(port), "continuous", 0);
        }
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        long sent = 0;
        const std::vector<std::uint32_t> sentAfter = frameCounters();
        for (std::size_t port = 0; port < counted.size(); ++port) {
            sent += static_cast<long>(sentAfter[port] - sentBefore[port]);
        }
        stop = true;
        for (std::thread& thread : busy) {
            thread.join();
        }
        const double cpu = CpuSeconds(RUSAGE_SELF) - cpuBefore - busyCpu.load();
        for (std::size_t port = 0; port < counted.size(); ++port) {
            driver.closeCVLPort(0, static_cast<int>(port));
        }
        driver.finalize();

        long delivered = 0;
        long lost = 0;
        long repeated = 0;
        long unreadable = 0;
        std::string perCamera;
        for (const auto& camera : counted) {
            delivered += camera->delivered;
            lost += camera->lost;
            repeated += camera->repeated;
            unreadable += camera->unreadable;
            perCamera += (perCamera.empty() ? "" : ", ") + std::to_string(camera->lost);
        }
        const auto frameBytes = static_cast<std::size_t>(counted[0]->width) *
                                static_cast<std::size_t>(counted[0]->height);
        std::printf(
            "{\"cameras\": %zu, \"rate\": %d, \"busy\": %d, \"seconds\": %.3f, \"width\": %d, "
            "\"height\": %d, \"delivered\": %ld, \"lost\": %ld, \"repeated\": %ld, "
            "\"unreadable\": %ld, \"lost_per_camera\": [%s], \"cpu_per_frame_s\": %.7f, "
            "\"memcpy_s\": %.7f, \"packet_size\": %d, \"sent\": %ld}\n",
            counted.size(), rate, busyThreads, elapsed, counted[0]->width, counted[0]->height,
            delivered, lost, repeated, unreadable, perCamera.c_str(),
            delivered > 0 ? cpu / static_cast<double>(delivered) : 0.0, MemcpySeconds(frameBytes),
            packetSize, sent);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "multi_camera_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
