#pragma once

#include <memory>

#include "ui/SheetFrontEnd.h"

// The sheet as a GTK 3 dialog (the module's front end).
std::unique_ptr<SheetFrontEnd> MakeGtkSheetFrontEnd();
