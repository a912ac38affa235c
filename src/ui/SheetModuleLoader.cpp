// The Linux front end of builds with the GTK dialog: the dialog module,
// loaded when a sheet is first to be shown with a display there. Without a
// display, or without the module (a headless installation), the sheet
// cannot be shown, which the log says.
#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "log/DriverLog.h"
#include "ui/SheetModule.h"
#include "ui/UnavailableFrontEnd.h"

namespace sheet_module {
namespace {

void LogForModule(int level, const char* message) {
    if (message != nullptr) {
        LogMessage(DriverLog::Instance(), level, "%s", message);
    }
}

bool DisplayNamed() {
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
}

struct Loaded {
    Entry entry = nullptr;
    std::string error;
};

Loaded Load(const std::string& path) {
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored)) {
        return {nullptr, "the configuration dialog is not installed (" + path + ")"};
    }
    // Kept loaded: GTK and GLib's main context outlive the driver.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (module == nullptr) {
        const char* reason = dlerror();
        return {nullptr, "cannot load the configuration dialog: " +
                             std::string(reason != nullptr ? reason : path)};
    }
    auto entry = reinterpret_cast<Entry>(dlsym(module, kEntryName));
    if (entry == nullptr) {
        return {nullptr, "the configuration dialog " + path + " has no " + kEntryName};
    }
    return {entry, {}};
}

std::unique_ptr<SheetFrontEnd> Make(const Loaded& loaded, const std::string& path) {
    if (loaded.entry == nullptr) {
        return MakeUnavailableFrontEnd(loaded.error);
    }
    Host host;
    host.log = &LogForModule;
    std::unique_ptr<SheetFrontEnd> made;
    loaded.entry(host, made);
    if (!made) {
        return MakeUnavailableFrontEnd("the configuration dialog " + path +
                                       " is of another version of the driver");
    }
    return made;
}

}  // namespace

std::string DefaultPath() {
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&LogForModule), &self) == 0 || self.dli_fname == nullptr) {
        return kFileName;
    }
    const std::filesystem::path folder = std::filesystem::path(self.dli_fname).parent_path();
    const std::filesystem::path installed = folder / "zavaded" / kFileName;
    const std::filesystem::path beside = folder / kFileName;
    std::error_code ignored;
    return (std::filesystem::exists(beside, ignored) ? beside : installed).string();
}

std::unique_ptr<SheetFrontEnd> LoadFrontEnd(const std::string& path) {
    return Make(Load(path), path);
}

}  // namespace sheet_module

std::unique_ptr<SheetFrontEnd> MakePlatformSheetFrontEnd() {
    // Asked before anything loads, so that a headless host never maps GTK.
    if (!sheet_module::DisplayNamed()) {
        return MakeUnavailableFrontEnd("GTK cannot open a display (is DISPLAY set?)");
    }
    // Loaded once; a module installed later is found by the next process.
    static const std::string path = sheet_module::DefaultPath();
    static const sheet_module::Loaded loaded = sheet_module::Load(path);
    return sheet_module::Make(loaded, path);
}
