#pragma once

// The dialog module's messages, which go to the driver's log through the
// function the driver lent the module (sheet_module::Host).

#include "log/DriverLog.h"  // ZAVADED_PRINTF only: the module has no log of its own

namespace gtk_log {

void SetSink(void (*sink)(int level, const char* message));
void Log(int level, const char* format, ...) ZAVADED_PRINTF(2, 3);

}  // namespace gtk_log
