#pragma once

#include <memory>
#include <string>

#include "ui/SheetFrontEnd.h"

// A front end that can show nothing: each call logs the reason at level 1,
// and the configuration ends as if cancelled.
std::unique_ptr<SheetFrontEnd> MakeUnavailableFrontEnd(std::string reason);
