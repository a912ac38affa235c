// Shows the configuration sheet of one camera family and holds it still for
// a screenshot (scripts/screenshot-sheet.sh):
//   sheet_snapshot standard|color|h280 READY-FILE DONE-FILE
// Once the sheet is up, writes its screen rectangle "x y width height" to
// READY-FILE, waits for DONE-FILE to exist (at most two minutes) and cancels.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "DriverLibrary.h"
#include "SheetDriver.h"
#include "SnapshotFamilies.h"
#include "TempDir.h"
#include "ZURSim.h"

namespace {

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: sheet_snapshot standard|color|h280 READY-FILE DONE-FILE\n");
        return 2;
    }
    const SnapshotFamily* family = FindSnapshotFamily(argv[1]);
    if (family == nullptr) {
        std::fprintf(stderr, "unknown family: %s\n", argv[1]);
        return 2;
    }
    const std::string readyFile = argv[2];
    const std::string doneFile = argv[3];

    testing_support::TempDir systemDir;
    DriverLibrary driver(DriverLibrary::DefaultPath());
    ZURSimReset();
    ZURSimAddCamera(family->model, family->deviceId);
    if (driver.initialize(systemDir.Path().c_str(), nullptr) != 1) {
        return 1;
    }
    int size[2] = {0, 0};
    if (driver.openCVLPort(0, 0, family->camera, size) != 1) {
        std::fprintf(stderr, "cannot open %s\n", family->camera);
        return 1;
    }

    const std::string title = std::string("Configure camera on port #1: ") + family->camera;
    std::thread user([&] {
        HWND sheet = sheet_driver::WaitForSheet(title);
        if (sheet == nullptr) {
            std::fprintf(stderr, "no sheet\n");
            return;
        }
        // Let it paint before anyone looks.
        std::this_thread::sleep_for(std::chrono::seconds(2));
        RECT rect{};
        GetWindowRect(sheet, &rect);
        if (FILE* ready = std::fopen(readyFile.c_str(), "w")) {
            std::fprintf(ready, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                         rect.bottom - rect.top);
            std::fclose(ready);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (!Exists(doneFile) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        sheet_driver::PressCancel(sheet);
    });
    driver.configureCamera(nullptr, family->camera);
    user.join();
    driver.closeCVLPort(0, 0);
    driver.finalize();
    return 0;
}
