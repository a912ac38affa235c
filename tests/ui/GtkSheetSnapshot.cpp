// Shows the configuration dialog of the GTK build for one camera family and
// saves a picture of its window (scripts/screenshot-sheet-gtk.sh):
//   sheet_snapshot_gtk standard|color|h280 OUTPUT.png [PAGE]
// PAGE is the index of the page shown, 0 (the first) when not given.
// Needs a display with a window manager, which draws the title bar.
#include <gtk/gtk.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "DriverLibrary.h"
#include "GtkSheetDriver.h"
#include "SnapshotFamilies.h"
#include "TempDir.h"
#include "ZURSim.h"

namespace {

using namespace gtk_sheet_driver;

// Lets the window manager frame the window and the window paint before
// anyone looks.
void Settle(GdkWindow* window) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    GdkRectangle frame{};
    do {
        Pump();
        g_usleep(10000);
        gdk_window_get_frame_extents(window, &frame);
    } while (frame.height <= gdk_window_get_height(window) &&
             std::chrono::steady_clock::now() < until);
    const auto painted = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (std::chrono::steady_clock::now() < painted) {
        Pump();
        g_usleep(10000);
    }
}

// The window with its frame, as the screen shows it.
bool Save(GtkWidget* dialog, const std::string& path) {
    GdkWindow* window = gtk_widget_get_window(dialog);
    Settle(window);
    GdkRectangle frame{};
    gdk_window_get_frame_extents(window, &frame);
    GdkPixbuf* picture = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), frame.x, frame.y,
                                                    frame.width, frame.height);
    if (picture == nullptr) {
        return false;
    }
    GError* error = nullptr;
    const bool saved = gdk_pixbuf_save(picture, path.c_str(), "png", &error, nullptr) != FALSE;
    if (error != nullptr) {
        std::fprintf(stderr, "cannot save %s: %s\n", path.c_str(), error->message);
        g_error_free(error);
    }
    g_object_unref(picture);
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: sheet_snapshot_gtk standard|color|h280 OUTPUT.png [PAGE]\n");
        return 2;
    }
    const SnapshotFamily* family = FindSnapshotFamily(argv[1]);
    if (family == nullptr) {
        std::fprintf(stderr, "unknown family: %s\n", argv[1]);
        return 2;
    }
    const std::string output = argv[2];
    const int page = argc == 4 ? std::atoi(argv[3]) : 0;

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
    bool saved = false;
    const Outcome outcome = WhileShown(
        std::string("Configure camera on port #1: ") + family->camera, {[&](GtkWidget* dialog) {
            ShowPage(dialog, page);
            saved = Save(dialog, output);
            PressKey(dialog, GDK_KEY_Escape);
        }},
        [&] { return driver.configureCamera(nullptr, family->camera); });
    driver.closeCVLPort(0, 0);
    driver.finalize();
    if (outcome.steps != 1 || !saved) {
        std::fprintf(stderr, "no picture of the %s dialog\n", family->name);
        return 1;
    }
    return 0;
}
