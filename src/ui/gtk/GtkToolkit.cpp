#include "ui/gtk/GtkToolkit.h"

#include <dlfcn.h>
#include <gtk/gtk.h>

#include <optional>
#include <thread>

#include "platform/Mutex.h"
#include "ui/gtk/GtkLog.h"

namespace gtk_toolkit {

namespace {

struct ToolkitState {
    platform::Mutex lock;
    // The thread GTK serves, fixed by the first call that got past the
    // thread checks.
    std::optional<std::thread::id> thread GUARDED_BY(lock);
    bool keptLoaded GUARDED_BY(lock) = false;
};

ToolkitState& State() {
    static ToolkitState state;
    return state;
}

void ReportOtherThread() {
    gtk_log::Log(1,
                 "Camera::Configure: ERROR: GTK runs on another thread; the dialog is shown only "
                 "on the thread that runs GTK\n");
}

// GTK registers its event source in GLib's default main context, and GLib
// stays loaded for the life of the process: were GTK unloaded with the
// driver, that context would call into unmapped code, and a driver loaded
// again could not set GTK up a second time. So GTK stays once it has run.
void KeepGtkLoaded() {
    Dl_info gtk{};
    if (dladdr(reinterpret_cast<void*>(&gtk_init_check), &gtk) != 0 && gtk.dli_fname != nullptr) {
        dlopen(gtk.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    }
}

}  // namespace

bool ReadyOnThisThread() {
    ToolkitState& state = State();
    const platform::MutexLock guard(state.lock);
    const std::thread::id self = std::this_thread::get_id();
    if (state.thread && *state.thread != self) {
        ReportOtherThread();
        return false;
    }
    // A thread that runs the default main loop owns its context; a nested
    // loop here would wait for that thread for ever.
    GMainContext* context = g_main_context_default();
    if (!g_main_context_acquire(context)) {
        ReportOtherThread();
        return false;
    }
    g_main_context_release(context);

    if (!state.thread) {
        state.thread = self;
        // GDK registers its display manager when GTK is set up. If the host
        // has not done so, the driver does, without setlocale: the process's
        // locale is the host's, and a decimal comma would change how every
        // number is printed and read, the driver's INI file included.
        if (g_type_from_name("GdkDisplayManager") == 0) {
            gtk_disable_setlocale();
        }
    }
    if (!gtk_init_check(nullptr, nullptr)) {
        gtk_log::Log(1, "Camera::Configure: ERROR: GTK cannot open a display (is DISPLAY set?)\n");
        return false;
    }
    if (!state.keptLoaded) {
        KeepGtkLoaded();
        state.keptLoaded = true;
    }
    return true;
}

}  // namespace gtk_toolkit
