#pragma once

// The GTK dialog as a module of its own, libZavaDED-gtk.so, so that the
// driver links no window system and installs on a headless machine. The
// driver loads the module when a sheet is to be shown and a display is
// there, and keeps it loaded (GTK cannot be set up twice in a process). The
// module is built with the driver from the same sources: both sides must
// agree on kInterfaceVersion, and the module logs through the driver.

#include <memory>
#include <string>

#include "ui/SheetFrontEnd.h"

namespace sheet_module {

inline constexpr const char* kFileName = "libZavaDED-gtk.so";
inline constexpr const char* kEntryName = "ZavaDEDMakeGtkSheetFrontEnd";
inline constexpr int kInterfaceVersion = 1;

// What the driver lends the module.
struct Host {
    int version = kInterfaceVersion;
    // Reports one message at a level, as the driver's log does.
    void (*log)(int level, const char* message) = nullptr;
};

// The module's entry point, looked up by kEntryName: a front end over GTK
// in `made`, or nothing when the host is not the module's version.
using Entry = void (*)(const Host& host, std::unique_ptr<SheetFrontEnd>& made);

// The front end of the module at path, or, when it cannot be loaded, one
// that logs why at level 1 and shows nothing.
std::unique_ptr<SheetFrontEnd> LoadFrontEnd(const std::string& path);

// Where the driver looks for the module: zavaded/ beside the driver (an
// installation), else beside it (the build tree).
std::string DefaultPath();

}  // namespace sheet_module
