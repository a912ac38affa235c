// The dialog module's one export: the GTK front end for the driver that
// loaded it.
#include <memory>
#include <new>

#include "ui/SheetModule.h"
#include "ui/gtk/GtkLog.h"
#include "ui/gtk/GtkSheetFrontEnd.h"

extern "C" __attribute__((visibility("default"))) void ZavaDEDMakeGtkSheetFrontEnd(
    const sheet_module::Host& host, std::unique_ptr<SheetFrontEnd>& made) {
    if (host.version != sheet_module::kInterfaceVersion || host.log == nullptr) {
        return;
    }
    gtk_log::SetSink(host.log);
    try {
        made = MakeGtkSheetFrontEnd();
    } catch (...) {
        made.reset();  // nothing escapes into the driver: it reports the empty result
    }
}
