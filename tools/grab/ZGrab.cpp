// zgrab: a host program for the driver. It loads the driver library at run
// time and reaches it only through its exports, as a machine-vision host does:
// it initialises the driver, opens cameras on ports, applies settings, grabs
// frames, reads every row and writes the images as PNG (or PNM) files.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "DriverLibrary.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wcast-align"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#endif
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

using Clock = std::chrono::steady_clock;

struct Setting {
    std::string name;
    int value = 0;
};

struct Options {
    std::string driverPath = DriverLibrary::DefaultPath();
    std::string systemPath = "zgrab-data";
    std::string outputPath = "zgrab-images";
    std::string zur;  // empty: the ZUR library the driver finds
    std::vector<std::string> cameras;
    std::vector<Setting> settings;
    std::vector<std::string> queries;
    int frames = 3;
    int timeoutMs = 5000;
    bool continuous = false;
    bool list = false;
    bool properties = false;
    bool saveAll = false;
    bool pnm = false;
    bool logFile = false;
    bool verbose = false;
};

// Names getProperty answers, for --properties.
const char* const kPropertyNames[] = {
    "PixelSize",         "ImageWidth",     "ImageHeight",  "ImageOffsetX",    "ImageOffsetY",
    "Exposure",          "FrameRate",      "Gain",         "GainRed",         "GainGreen",
    "GainBlue",          "BlackLevel",     "Gamma",        "VerticalBinning", "HorizontalBinning",
    "BandAdjustment",    "BandLevel",      "SensorTaps",   "TriggerMode",     "TriggerSource",
    "TriggerActivation", "TriggerInhibit", "TriggerDelay", "ColorFilter",     "continuous",
    "LogLevel",          "LogIntoFile",
};

void PrintHelp() {
    std::puts(
        "usage: zgrab [options]\n"
        "\n"
        "Loads the ZavaDED camera driver, opens cameras on ports, grabs frames, reads every\n"
        "row through getCVLGrabRow and writes the last frame of each camera as an image file.\n"
        "\n"
        "options:\n"
        "  --list                 list the cameras, then finalise\n"
        "  --camera NAME          open this camera (repeatable; default: every camera found)\n"
        "  --frames N             frames to grab per camera (default 3)\n"
        "  --continuous           grab in continuous mode instead of one request per frame\n"
        "  --set NAME=VALUE       set a property after opening (repeatable), e.g.\n"
        "                         --set ExposureTime=500 --set AcquisitionFrameRate=10\n"
        "  --get NAME             print a property after opening (repeatable)\n"
        "  --properties           print the camera's properties after opening\n"
        "  --output DIR           folder for the image files (default: zgrab-images)\n"
        "  --save-all             write every frame, not only the last one\n"
        "  --format png|pnm       file format (default png); pnm writes the pixels as they are,\n"
        "                         binary PGM (monochrome) or PPM (red, green, blue)\n"
        "  --timeout MS           wait at most MS for each frame (default 5000)\n"
        "  --system-path DIR      folder for the driver's INI and log files (default:\n"
        "                         zgrab-data; created if missing)\n"
        "  --log-file             have the driver log into zavaDED.log in that folder (sets\n"
        "                         the property LogIntoFile after each open)\n"
        "  --driver PATH          the driver library (default: next to zgrab, or in the\n"
        "                         library folder of zgrab's installation)\n"
        "  --zur sim|gige|PATH    the ZUR library the driver uses: the simulated cameras, real\n"
        "                         GigE Vision cameras through Aravis, or the library at PATH;\n"
        "                         sets ZAVADED_ZUR (without it: ZAVADED_ZUR, else ZUR= in\n"
        "                         /etc/zavaded/zavaded.conf, else the simulated cameras)\n"
        "  --verbose              print the driver's log messages\n"
        "  --help                 this text\n"
        "\n"
        "Cameras are opened on ports 0, 1, 2, ... in the order given. Colour images arrive\n"
        "with three bytes per pixel in the order blue, green, red.\n"
        "With the simulated ZUR library the cameras come from ZUR_SIM_CONFIG, an INI file\n"
        "with one [camera N] section per camera, or else from its built-in set. The GigE\n"
        "Vision library lists the cameras that answer its discovery; ZUR_GIGE_DISCOVERY\n"
        "limits them to addresses or interfaces, ZUR_GIGE_TRACE=1 shows what happens.");
}

int ParseInt(const std::string& text, const std::string& what) {
    std::size_t used = 0;
    int value = 0;
    try {
        value = std::stoi(text, &used, 0);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size()) {
        throw std::invalid_argument(what + ": not a number: " + text);
    }
    return value;
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
        } else if (argument == "--camera") {
            options.cameras.push_back(value());
        } else if (argument == "--frames") {
            options.frames = ParseInt(value(), argument);
        } else if (argument == "--continuous") {
            options.continuous = true;
        } else if (argument == "--set") {
            const std::string text = value();
            const std::size_t equals = text.find('=');
            if (equals == std::string::npos || equals == 0) {
                throw std::invalid_argument("--set needs NAME=VALUE, not " + text);
            }
            options.settings.push_back(
                {text.substr(0, equals), ParseInt(text.substr(equals + 1), "--set " + text)});
        } else if (argument == "--get") {
            options.queries.push_back(value());
        } else if (argument == "--properties") {
            options.properties = true;
        } else if (argument == "--output") {
            options.outputPath = value();
        } else if (argument == "--save-all") {
            options.saveAll = true;
        } else if (argument == "--format") {
            const std::string format = value();
            if (format != "png" && format != "pnm") {
                throw std::invalid_argument("--format: png or pnm, not " + format);
            }
            options.pnm = format == "pnm";
        } else if (argument == "--log-file") {
            options.logFile = true;
        } else if (argument == "--timeout") {
            options.timeoutMs = ParseInt(value(), argument);
        } else if (argument == "--system-path") {
            options.systemPath = value();
        } else if (argument == "--driver") {
            options.driverPath = value();
        } else if (argument == "--zur") {
            options.zur = value();
        } else if (argument == "--verbose") {
            options.verbose = true;
        } else {
            throw std::invalid_argument("unknown option " + argument + " (see --help)");
        }
    }
    if (options.frames < 1) {
        throw std::invalid_argument("--frames must be at least 1");
    }
    return options;
}

// What the driver's callbacks tell the main thread.
std::mutex eventsLock;
std::condition_variable eventsSignal;
std::map<int, int> completedByPort;
bool verboseLog = false;

extern "C" void ZAVADED_CALL PrintDriverMessage(const char* text) {
    // Which ZUR library is in use, or why there is none, shows always.
    if (verboseLog || std::strstr(text, "ZUR library ") != nullptr ||
        std::strstr(text, "ERROR: ZUR:") != nullptr) {
        std::fputs(text, stdout);
    }
}

extern "C" void ZAVADED_CALL ImageComplete(int /*grabberNo*/, int portNo) {
    {
        std::lock_guard<std::mutex> lock(eventsLock);
        ++completedByPort[portNo];
    }
    eventsSignal.notify_all();
}

bool WaitForImages(int port, int count, int timeoutMs) {
    std::unique_lock<std::mutex> lock(eventsLock);
    return eventsSignal.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [&] { return completedByPort[port] >= count; });
}

struct OpenCamera {
    std::string name;
    int port = 0;
    int width = 0;
    int height = 0;
    int bytesPerPixel = 1;
    std::vector<unsigned char> image;
    int framesRead = 0;
    Clock::time_point firstRead;  // the rate counts from the first frame on
};

std::string FileName(const std::string& name) {
    std::string file = name;
    std::replace_if(
        file.begin(), file.end(), [](char c) { return c == '/' || c == '\\' || c == ':'; }, '_');
    return file;
}

void ReadImage(const DriverLibrary& driver, OpenCamera& camera) {
    const std::size_t lineBytes =
        static_cast<std::size_t>(camera.width) * static_cast<std::size_t>(camera.bytesPerPixel);
    camera.image.resize(lineBytes * static_cast<std::size_t>(camera.height));
    for (int row = 0; row < camera.height; ++row) {
        if (driver.getCVLGrabRow(0, camera.port,
                                 camera.image.data() + lineBytes * static_cast<std::size_t>(row),
                                 row, 0, camera.width - 1) != 1) {
            throw std::runtime_error("getCVLGrabRow failed for row " + std::to_string(row) +
                                     " of " + camera.name);
        }
    }
    ++camera.framesRead;
}

// Netpbm's binary grey and colour formats: a short text header, then the rows.
bool WritePnm(const std::string& path, const OpenCamera& camera,
              const std::vector<unsigned char>& pixels) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written =
        std::fprintf(file, "P%c\n%d %d\n255\n", camera.bytesPerPixel == 3 ? '6' : '5', camera.width,
                     camera.height) > 0 &&
        std::fwrite(pixels.data(), 1, pixels.size(), file) == pixels.size();
    return std::fclose(file) == 0 && written;
}

void WriteImage(const OpenCamera& camera, const Options& options, int frame, bool numbered) {
    std::vector<unsigned char> pixels = camera.image;
    if (camera.bytesPerPixel == 3) {
        for (std::size_t i = 0; i + 2 < pixels.size(); i += 3) {
            std::swap(pixels[i], pixels[i + 2]);  // blue, green, red to red, green, blue
        }
    }
    std::string path = (std::filesystem::path(options.outputPath) / FileName(camera.name)).string();
    if (numbered) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "-%03d", frame);
        path += suffix;
    }
    bool written = false;
    if (options.pnm) {
        path += camera.bytesPerPixel == 3 ? ".ppm" : ".pgm";
        written = WritePnm(path, camera, pixels);
    } else {
        path += ".png";
        written = stbi_write_png(path.c_str(), camera.width, camera.height, camera.bytesPerPixel,
                                 pixels.data(), camera.width * camera.bytesPerPixel) != 0;
    }
    if (!written) {
        throw std::runtime_error("cannot write " + path);
    }
    std::printf("  wrote %s\n", path.c_str());
}

void Require(bool present, const char* what) {
    if (!present) {
        throw std::runtime_error(std::string("the driver lacks the export ") + what);
    }
}

void PrintProperty(const DriverLibrary& driver, const OpenCamera& camera, const std::string& name) {
    int value = 0;
    if (driver.getProperty(0, camera.port, name.c_str(), &value) == 1) {
        std::printf("  %-18s %d\n", name.c_str(), value);
    } else {
        std::printf("  %-18s (not available)\n", name.c_str());
    }
}

std::vector<OpenCamera> OpenCameras(const DriverLibrary& driver, const Options& options,
                                    const std::vector<std::string>& found) {
    std::vector<OpenCamera> opened;
    const std::vector<std::string>& wanted = options.cameras.empty() ? found : options.cameras;
    for (const std::string& name : wanted) {
        OpenCamera camera;
        camera.name = name;
        camera.port = static_cast<int>(opened.size());
        int size[2] = {0, 0};
        if (driver.openCVLPort(0, camera.port, name.c_str(), size) != 1) {
            std::fprintf(stderr, "zgrab: cannot open %s (see the driver log)\n", name.c_str());
            continue;
        }
        camera.width = size[0];
        camera.height = size[1];
        int pixelSize = 8;
        driver.getProperty(0, camera.port, "PixelSize", &pixelSize);
        camera.bytesPerPixel = pixelSize / 8;
        driver.setCompleteCallback(0, camera.port, &ImageComplete);
        // Opening a camera switches file logging off; switch it on again.
        if (options.logFile && driver.setProperty(0, camera.port, "LogIntoFile", 1) != 1) {
            std::fprintf(stderr, "zgrab: %s refused LogIntoFile\n", name.c_str());
        }
        std::printf("%s on port %d: %d x %d, %d bit per pixel\n", name.c_str(), camera.port,
                    camera.width, camera.height, pixelSize);
        for (const Setting& setting : options.settings) {
            const int result =
                driver.setProperty(0, camera.port, setting.name.c_str(), setting.value);
            std::printf("  set %s=%d: %s\n", setting.name.c_str(), setting.value,
                        result == 1 ? "ok" : "refused");
        }
        for (const std::string& query : options.queries) {
            PrintProperty(driver, camera, query);
        }
        if (options.properties) {
            for (const char* property : kPropertyNames) {
                PrintProperty(driver, camera, property);
            }
        }
        opened.push_back(std::move(camera));
    }
    return opened;
}

void Grab(const DriverLibrary& driver, const Options& options, std::vector<OpenCamera>& cameras) {
    std::filesystem::create_directories(options.outputPath);
    for (OpenCamera& camera : cameras) {
        if (options.continuous) {
            driver.setProperty(0, camera.port, "continuous", 1);
        }
    }
    for (int frame = 1; frame <= options.frames; ++frame) {
        for (OpenCamera& camera : cameras) {
            if (!options.continuous && driver.doCVLGrab(0, camera.port) != 1) {
                throw std::runtime_error("doCVLGrab failed for " + camera.name);
            }
        }
        for (OpenCamera& camera : cameras) {
            if (!WaitForImages(camera.port, frame, options.timeoutMs)) {
                throw std::runtime_error("no image from " + camera.name + " within " +
                                         std::to_string(options.timeoutMs) + " ms");
            }
            ReadImage(driver, camera);
            // One frame makes no rate; then the frames after the first over
            // the time since it, which leaves out the start's latency.
            const Clock::time_point now = Clock::now();
            if (camera.framesRead == 1) {
                camera.firstRead = now;
                std::printf("%s: frame %d/%d\n", camera.name.c_str(), frame, options.frames);
            } else {
                const double seconds =
                    std::chrono::duration<double>(now - camera.firstRead).count();
                std::printf("%s: frame %d/%d, %.1f frames per second\n", camera.name.c_str(), frame,
                            options.frames, seconds > 0 ? (camera.framesRead - 1) / seconds : 0.0);
            }
            if (options.saveAll) {
                WriteImage(camera, options, frame, true);
            }
        }
    }
    for (OpenCamera& camera : cameras) {
        if (options.continuous) {
            driver.setProperty(0, camera.port, "continuous", 0);
        }
        if (!options.saveAll) {
            WriteImage(camera, options, options.frames, false);
        }
    }
}

int Run(const Options& options) {
    if (!options.zur.empty()) {
        DriverLibrary::ChooseZur(options.zur);
    }
    DriverLibrary driver(options.driverPath);
    Require(driver.initialize && driver.finalize && driver.getCVLCameraConfigNames, "initialize");
    std::filesystem::create_directories(options.systemPath);
    const std::string systemPath = std::filesystem::absolute(options.systemPath).string();
    verboseLog = options.verbose;

    if (driver.initialize(systemPath.c_str(), &PrintDriverMessage) != 1) {
        throw std::runtime_error("initialize failed");
    }
    std::vector<std::string> found;
    char** names = driver.getCVLCameraConfigNames();
    for (int i = 0; names != nullptr && names[i] != nullptr; ++i) {
        found.emplace_back(names[i]);
    }
    std::printf("%zu camera%s found\n", found.size(), found.size() == 1 ? "" : "s");
    for (const std::string& name : found) {
        std::printf("  %s\n", name.c_str());
    }
    int result = 0;
    if (!options.list) {
        Require(driver.openCVLPort && driver.closeCVLPort && driver.doCVLGrab &&
                    driver.getCVLGrabRow && driver.setCompleteCallback && driver.getProperty &&
                    driver.setProperty,
                "openCVLPort");
        std::vector<OpenCamera> cameras = OpenCameras(driver, options, found);
        try {
            Grab(driver, options, cameras);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "zgrab: %s\n", error.what());
            result = 1;
        }
        for (const OpenCamera& camera : cameras) {
            driver.closeCVLPort(0, camera.port);
        }
        if (cameras.empty() ||
            cameras.size() < (options.cameras.empty() ? found.size() : options.cameras.size())) {
            result = 1;
        }
    }
    driver.finalize();
    return result;
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
