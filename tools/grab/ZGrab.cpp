// zgrab: a host program for the driver. It loads the driver library at run
// time and reaches it only through its exports, as a machine-vision host does.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "DriverLibrary.h"

namespace {

struct Options {
    std::string driverPath = DriverLibrary::DefaultPath();
    std::string systemPath = "zgrab-data";
    bool list = false;
    bool verbose = false;
};

void PrintHelp() {
    std::puts(
        "usage: zgrab [options]\n"
        "\n"
        "Loads the ZavaDED camera driver, initialises it with a system path and lists the\n"
        "cameras it finds.\n"
        "\n"
        "options:\n"
        "  --list               list the cameras and their names, then finalise\n"
        "  --system-path DIR    folder for the driver's INI and log files (default: zgrab-data,\n"
        "                       created if missing)\n"
        "  --driver PATH        the driver library (default: next to zgrab)\n"
        "  --verbose            print the driver's log messages\n"
        "  --help               this text\n"
        "\n"
        "With the simulated ZUR library the cameras come from ZUR_SIM_CONFIG, an INI file\n"
        "with one [camera N] section per camera, or else from its built-in set.");
}

Options Parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                throw std::invalid_argument(argument + " needs a value");
            }
            return argv[++i];
        };
        if (argument == "--help" || argument == "-h") {
            PrintHelp();
            std::exit(0);
        } else if (argument == "--list") {
            options.list = true;
        } else if (argument == "--system-path") {
            options.systemPath = value();
        } else if (argument == "--driver") {
            options.driverPath = value();
        } else if (argument == "--verbose") {
            options.verbose = true;
        } else {
            throw std::invalid_argument("unknown option " + argument + " (see --help)");
        }
    }
    return options;
}

bool verboseLog = false;

extern "C" void ZAVADED_CALL PrintDriverMessage(const char* text) {
    if (verboseLog) {
        std::fputs(text, stdout);
    }
}

int Run(const Options& options) {
    DriverLibrary driver(options.driverPath);
    if (driver.initialize == nullptr || driver.finalize == nullptr ||
        driver.getCVLNoOfSupportedCameras == nullptr || driver.getCVLCameraConfigNames == nullptr) {
        throw std::runtime_error(options.driverPath + " lacks the lifecycle exports");
    }
    std::filesystem::create_directories(options.systemPath);
    const std::string systemPath = std::filesystem::absolute(options.systemPath).string();
    verboseLog = options.verbose;

    if (driver.initialize(systemPath.c_str(), &PrintDriverMessage) != 1) {
        throw std::runtime_error("initialize failed");
    }
    const int count = driver.getCVLNoOfSupportedCameras();
    std::printf("%d camera%s found\n", count, count == 1 ? "" : "s");
    char** names = driver.getCVLCameraConfigNames();
    for (int i = 0; names != nullptr && names[i] != nullptr; ++i) {
        std::printf("  %s\n", names[i]);
    }
    driver.finalize();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(Parse(argc, argv));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "zgrab: %s\n", error.what());
        return 1;
    }
}
