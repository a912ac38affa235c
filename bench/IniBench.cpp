// Opening a camera whose INI file is large (3 MB: the sections of many
// cameras) against reading and parsing that file once, and against an open
// without a file.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "BenchSupport.h"
#include "params/ModelFlags.h"
#include "params/ParamSet.h"
#include "platform/IniDocument.h"

namespace {

constexpr std::size_t kIniBytes = 3 * 1024 * 1024;
constexpr const char* kModel = "XCG-U100E";
constexpr std::uint64_t kId = 1;
constexpr const char* kCamera = "XCG-U100E-1";

// A folder of its own holding ZavaDED.ini: other cameras' sections up to the
// size asked for, then the camera's own; none for size 0.
class IniFolder {
  public:
    explicit IniFolder(std::size_t size) {
        folder =
            std::filesystem::temp_directory_path() / ("zavaded-ini-bench-" + std::to_string(size));
        std::filesystem::create_directories(folder);
        std::filesystem::remove(File());
        if (size == 0) {
            return;
        }
        std::string text;
        for (int camera = 0; text.size() < size; ++camera) {
            text += "[XCG-5005E-" + std::to_string(camera) + "]\r\n";
            for (int key = 0; key < 33; ++key) {
                text += "Key" + std::to_string(key) + "=" + std::to_string(camera * key) + "\r\n";
            }
        }
        text += std::string("[") + kCamera + "]\r\nExposure=250\r\nTriggerMode=On\r\n";
        std::ofstream(File(), std::ios::binary) << text;
    }
    ~IniFolder() { std::filesystem::remove_all(folder); }
    IniFolder(const IniFolder&) = delete;
    IniFolder& operator=(const IniFolder&) = delete;

    std::string Path() const { return folder.string(); }
    std::string File() const { return (folder / "ZavaDED.ini").string(); }
    std::int64_t Size() const {
        return std::filesystem::exists(File())
                   ? static_cast<std::int64_t>(std::filesystem::file_size(File()))
                   : 0;
    }

  private:
    std::filesystem::path folder;
};

std::string ReadWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string text(static_cast<std::size_t>(std::filesystem::file_size(path)), '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    return text;
}

// The floor: the file read and parsed once.
void ParseIniOnce(benchmark::State& state) {
    const IniFolder ini(kIniBytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(platform::IniDocument::Parse(ReadWhole(ini.File())));
    }
    state.SetBytesProcessed(state.iterations() * ini.Size());
}

// What an open reads: the camera's 33 keys.
void LoadFromLargeIni(benchmark::State& state) {
    const IniFolder ini(kIniBytes);
    DriverLog::Instance().SetSystemPath(ini.Path());
    ParamSet set;
    for (auto _ : state) {
        set.Define(ModelMono, "");
        benchmark::DoNotOptimize(set.Load(kCamera));
    }
    state.SetBytesProcessed(state.iterations() * ini.Size());
}

// openCVLPort and closeCVLPort of a simulated camera, with the file of the
// given size (0: none) in the system path.
void OpenAndClose(benchmark::State& state, std::size_t iniBytes) {
    const IniFolder ini(iniBytes);
    ZURSimReset();
    ZURSimAddCamera(kModel, kId);
    ZURSimSetCameraOption(kId, "fast", "1");
    initialize(ini.Path().c_str(), nullptr);
    for (auto _ : state) {
        int size[2];
        if (openCVLPort(0, 0, kCamera, size) != 1) {
            state.SkipWithError("the camera did not open");
            break;
        }
        DriverLog::Instance().SetLogLevel(0);
        DriverLog::Instance().SetDebugView(0);
        closeCVLPort(0, 0);
    }
    finalize();
    ZURSimReset();
}

void OpenWithLargeIni(benchmark::State& state) {
    OpenAndClose(state, kIniBytes);
}
void OpenWithoutIni(benchmark::State& state) {
    OpenAndClose(state, 0);
}

BENCHMARK(ParseIniOnce)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadFromLargeIni)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenWithLargeIni)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenWithoutIni)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
